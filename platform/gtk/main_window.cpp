// The main window: a GtkWindow holding a small menu bar and the drawing area that serves as the
// client area. Its signals become the messages Windows would send to the window procedure: size,
// activation, focus and close; keys go through the pump's queue like posted messages.
#include "app/main_window.h"

#include <cstring>

#include "app/window_messages.h"
#include "platform/gtk/code_page.h"
#include "platform/gtk/gtk_state.h"
#include "platform/platform.h"

namespace platform::gtk {

GtkWidget* MainWindow = nullptr;
GtkWidget* ClientArea = nullptr;

namespace {

// The 80 x 25 screen with its margins of two cells on every side, and a little room to spare.
constexpr int ClientColumns = 80 + 4 + 2;
constexpr int ClientRows = 25 + 4;
constexpr int SpareHeight = 8;

char ClassName[100];
bool SizeSent = false;

constexpr intptr_t SizeParameter(int width, int height) {
  return static_cast<intptr_t>((height & 0xFFFF) << 16 | (width & 0xFFFF));
}

// CS_HREDRAW | CS_VREDRAW: a new size invalidates the whole client area with erase.
void OnClientSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer) {
  if (MainWindow == nullptr) return;
  bool changed = ResizeCanvas(allocation->width, allocation->height);
  if (!changed && SizeSent) return;
  SizeSent = true;
  InvalidateMainWindow(true);
  MainWindowProc(msg::Size, 0, SizeParameter(allocation->width, allocation->height));
}

void OnActiveChanged(GObject*, GParamSpec*, gpointer) {
  if (MainWindow == nullptr) return;
  bool active = gtk_window_is_active(GTK_WINDOW(MainWindow));
  MainWindowProc(msg::Activate, active ? 1 : 0, 0);
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer) {
  if (MainWindow != nullptr) MainWindowProc(msg::SetFocus, 0, 0);
  return FALSE;
}

gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer) {
  if (MainWindow != nullptr) MainWindowProc(msg::KillFocus, 0, 0);
  return FALSE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  if (MainWindow != nullptr) MainWindowProc(msg::Close, 0, 0);
  return TRUE;  // the window procedure decides; its default destroys the window
}

gboolean OnClientButtonPress(GtkWidget* widget, GdkEventButton*, gpointer) {
  gtk_widget_grab_focus(widget);
  return FALSE;
}

void OnClientRealize(GtkWidget* widget, gpointer) {
  GdkDisplay* display = gtk_widget_get_display(widget);
  GdkCursor* ibeam = gdk_cursor_new_from_name(display, "text");
  if (ibeam != nullptr) {
    gdk_window_set_cursor(gtk_widget_get_window(widget), ibeam);
    g_object_unref(ibeam);
  }
}

void OnMenuCommand(GtkMenuItem*, gpointer command) {
  PostToMainWindow(msg::Command, static_cast<uintptr_t>(GPOINTER_TO_INT(command)));
}

GtkWidget* MenuItem(GtkWidget* menu, const char* label, int command) {
  GtkWidget* item = gtk_menu_item_new_with_mnemonic(label);
  g_signal_connect(item, "activate", G_CALLBACK(OnMenuCommand), GINT_TO_POINTER(command));
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  return item;
}

GtkWidget* MenuBar() {
  GtkWidget* bar = gtk_menu_bar_new();
  GtkWidget* fileMenu = gtk_menu_new();
  MenuItem(fileMenu, "E_xit", cmd::Exit);
  GtkWidget* file = gtk_menu_item_new_with_mnemonic("_File");
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(file), fileMenu);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), file);
  GtkWidget* helpMenu = gtk_menu_new();
  MenuItem(helpMenu, "_About Mirelox...", cmd::About);
  GtkWidget* help = gtk_menu_item_new_with_mnemonic("_Help");
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(help), helpMenu);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), help);
  return bar;
}

}  // namespace

// Without a window manager nobody gives a window the focus that Windows gives a window when it is
// shown, or gives back to the owner when a dialog closes.
void Activate(GtkWidget* window) {
  if (window == nullptr || !gtk_widget_get_mapped(window)) return;
  gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
}

gboolean ActivateWhenMapped(GtkWidget* window, GdkEvent*, gpointer) {
  Activate(window);
  return FALSE;
}

}  // namespace platform::gtk

namespace platform {

using namespace platform::gtk;

void RegisterMainWindowClass(const char* className) {
  std::strncpy(ClassName, className, sizeof ClassName - 1);
}

bool OpenMainWindow(const char*, const char* title) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (window == nullptr) return false;
  gtk_widget_set_name(window, ClassName);
  gtk_window_set_title(GTK_WINDOW(window), Utf8Of(title).c_str());
  GdkPixbuf* icon = CreateWindowIcon();
  gtk_window_set_icon(GTK_WINDOW(window), icon);
  g_object_unref(icon);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* bar = MenuBar();
  GtkWidget* client = gtk_drawing_area_new();
  gtk_widget_set_can_focus(client, TRUE);
  gtk_widget_add_events(client, GDK_FOCUS_CHANGE_MASK | GDK_BUTTON_PRESS_MASK);
  gtk_box_pack_start(GTK_BOX(column), bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(column), client, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window), column);

  int width = 0;
  int height = 0;
  SizeForCells(ClientColumns, ClientRows, &width, &height);
  height += SpareHeight;
  int barHeight = 0;
  gtk_widget_show_all(bar);
  gtk_widget_get_preferred_height(bar, nullptr, &barHeight);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height + barHeight);
  CreateCanvas(width, height);

  g_signal_connect(client, "draw", G_CALLBACK(DrawClientArea), nullptr);
  g_signal_connect(client, "size-allocate", G_CALLBACK(OnClientSizeAllocate), nullptr);
  g_signal_connect(client, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
  g_signal_connect(client, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
  g_signal_connect(client, "button-press-event", G_CALLBACK(OnClientButtonPress), nullptr);
  g_signal_connect(client, "realize", G_CALLBACK(OnClientRealize), nullptr);
  g_signal_connect(window, "notify::is-active", G_CALLBACK(OnActiveChanged), nullptr);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
  g_signal_connect(window, "map-event", G_CALLBACK(ActivateWhenMapped), nullptr);

  MainWindow = window;
  ClientArea = client;
  SizeSent = false;
  gtk_widget_grab_focus(client);
  return true;
}

void ShowMainWindow(int showCommand) {
  if (MainWindow == nullptr) return;
  constexpr int ShowMinimized = 2, ShowMaximized = 3, ShowMinNoActive = 7, ShowMinimizedNoActivate = 6;
  if (showCommand == ShowMaximized) gtk_window_maximize(GTK_WINDOW(MainWindow));
  if (showCommand == ShowMinimized || showCommand == ShowMinNoActive ||
      showCommand == ShowMinimizedNoActivate) {
    gtk_window_iconify(GTK_WINDOW(MainWindow));
  }
  gtk_widget_show_all(MainWindow);
}

void DestroyMainWindow() {
  if (MainWindow == nullptr) return;
  MainWindowProc(msg::Destroy, 0, 0);
  GtkWidget* window = MainWindow;
  // From here on the window's own signals reach nobody: the core has seen it go.
  MainWindow = nullptr;
  ClientArea = nullptr;
  DropPostedMessages();
  gtk_widget_destroy(window);
  DropCanvas();
}

void SetMainWindowTitle(const char* text) {
  if (MainWindow == nullptr) return;
  gtk_window_set_title(GTK_WINDOW(MainWindow), Utf8Of(text).c_str());
  // A transfer sets its progress title while no event is handled: send it to the X server now.
  gdk_display_flush(gtk_widget_get_display(MainWindow));
}

intptr_t DefaultWindowProc(unsigned message, uintptr_t, intptr_t) {
  if (message == msg::Close) DestroyMainWindow();
  return 0;
}

}  // namespace platform
