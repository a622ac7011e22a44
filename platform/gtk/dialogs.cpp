// Modal windows: the error message box, the About dialog and the two file choosers. Each runs a
// nested loop in which the main window keeps painting, and a repaint the core asks for meanwhile
// is delivered from an idle handler, as a Windows modal loop dispatches WM_PAINT.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/gtk/code_page.h"
#include "platform/gtk/file_filters.h"
#include "platform/gtk/gtk_state.h"
#include "platform/platform.h"
#include "terminal/title.h"

namespace platform::gtk {

namespace {

int ModalDepth = 0;
guint PaintIdle = 0;

GtkWidget* AboutDialog = nullptr;
bool AboutEnded = false;

gboolean DeliverPaint(gpointer) {
  PaintIdle = 0;
  if (ModalDepth > 0 && RepaintRequested() && MainWindow != nullptr) MainWindowProc(msg::Paint, 0, 0);
  return G_SOURCE_REMOVE;
}

GtkWindow* Owner() {
  return MainWindow != nullptr ? GTK_WINDOW(MainWindow) : nullptr;
}

void EnterModalLoop(GtkWidget* dialog) {
  ++ModalDepth;
  g_signal_connect(dialog, "map-event", G_CALLBACK(ActivateWhenMapped), nullptr);
  if (RepaintRequested()) OfferPaintToModalLoop();
}

void LeaveModalLoop(GtkWindow* owner) {
  --ModalDepth;
  if (owner != nullptr) Activate(GTK_WIDGET(owner));
  // A transfer may run next without handling any event: do not leave the dialog's image behind.
  RedrawWindowNow();
}

int RunModal(GtkDialog* dialog) {
  GtkWindow* owner = gtk_window_get_transient_for(GTK_WINDOW(dialog));
  EnterModalLoop(GTK_WIDGET(dialog));
  int response = gtk_dialog_run(dialog);
  gtk_widget_hide(GTK_WIDGET(dialog));
  LeaveModalLoop(owner);
  return response;
}

void AddFilters(GtkFileChooser* chooser, const char* filterList) {
  for (const FileFilter& wanted : FiltersOf(filterList)) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, Utf8Of(wanted.name.c_str()).c_str());
    for (const std::string& pattern : wanted.patterns) gtk_file_filter_add_pattern(filter, pattern.c_str());
    gtk_file_chooser_add_filter(chooser, filter);
  }
}

// A modal message box, whose text also goes to GLib's debug output (G_MESSAGES_DEBUG=mirelox), as
// Wine's +win trace shows a Windows box's: a session can be followed without looking at the screen.
GtkWidget* NewMessageBox(GtkWindow* owner, GtkMessageType type, GtkButtonsType buttons,
                         const std::string& text) {
  gchar* escaped = g_strescape(text.c_str(), nullptr);
  g_log("mirelox", G_LOG_LEVEL_DEBUG, "message box: %s", escaped);
  g_free(escaped);
  return gtk_message_dialog_new(owner, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                type, buttons, "%s", text.c_str());
}

bool AskToCreate(GtkWindow* chooser, const char* path) {
  gchar* name = g_filename_display_basename(path);
  GtkWidget* question = NewMessageBox(chooser, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                      std::string(name) + " does not exist.\nDo you want to create it?");
  g_free(name);
  gtk_window_set_title(GTK_WINDOW(question), gtk_window_get_title(chooser));
  gtk_dialog_set_default_response(GTK_DIALOG(question), GTK_RESPONSE_YES);
  bool yes = RunModal(GTK_DIALOG(question)) == GTK_RESPONSE_YES;
  gtk_widget_destroy(question);
  return yes;
}

// Keeps a chooser open on a choice that GetOpenFileNameA or GetSaveFileNameA would not accept.
void CheckChoice(GtkDialog* dialog, int response, gpointer saving) {
  if (response != GTK_RESPONSE_ACCEPT) return;
  gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
  bool accept = false;
  if (path != nullptr) {
    struct stat info {};
    bool exists = stat(path, &info) == 0;
    if (saving == nullptr) {
      accept = exists && S_ISREG(info.st_mode);
    } else if (exists) {
      accept = !S_ISDIR(info.st_mode);
    } else {
      gchar* folder = g_path_get_dirname(path);
      accept = g_file_test(folder, G_FILE_TEST_IS_DIR) && AskToCreate(GTK_WINDOW(dialog), path);
      g_free(folder);
    }
  }
  g_free(path);
  if (!accept) g_signal_stop_emission_by_name(dialog, "response");
}

bool ChooseFile(bool saving, const char* title, const char* filterList, char* path, int pathSize) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      Utf8Of(title).c_str(), Owner(), saving ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
      "_Cancel", GTK_RESPONSE_CANCEL, saving ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);  // replacing needs no question
  gchar* folder = g_get_current_dir();  // where the Windows dialogs start without a folder of their own
  gtk_file_chooser_set_current_folder(chooser, folder);
  g_free(folder);
  AddFilters(chooser, filterList);
  g_signal_connect(dialog, "response", G_CALLBACK(CheckChoice), saving ? dialog : nullptr);

  bool chosen = false;
  if (RunModal(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* file = gtk_file_chooser_get_filename(chooser);
    if (file != nullptr && pathSize > 0 && std::strlen(file) < static_cast<size_t>(pathSize)) {
      std::strcpy(path, file);
      chosen = true;
    }
    g_free(file);
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

void AnswerAbout(GtkDialog*, int response, gpointer) {
  int command = response == cmd::Ok ? cmd::Ok : cmd::Cancel;
  AboutDialogProc(msg::Command, static_cast<uintptr_t>(command));
}

// The close button and Escape are IDCANCEL, as in a Windows dialog.
gboolean CancelAbout(GtkWidget*, GdkEvent*, gpointer) {
  AboutDialogProc(msg::Command, cmd::Cancel);
  return TRUE;
}

void ForgetAbout(GtkWidget*, gpointer) {
  AboutDialog = nullptr;
  AboutEnded = true;
}

GtkWidget* Label(const char* markup) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), markup);
  return label;
}

}  // namespace

bool InModalLoop() {
  return ModalDepth > 0;
}

void OfferPaintToModalLoop() {
  if (PaintIdle == 0) PaintIdle = g_idle_add(DeliverPaint, nullptr);
}

}  // namespace platform::gtk

namespace platform {

using namespace platform::gtk;

void ShowMessage(const char* text) {
  GtkWidget* box = NewMessageBox(Owner(), GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, Utf8Of(text));
  gtk_window_set_title(GTK_WINDOW(box), "Error");  // the caption Windows shows when none is given
  if (Owner() == nullptr) gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  RunModal(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

void Beep() {
  gdk_display_beep(gdk_display_get_default());
}

void RunAboutDialog() {
  if (AboutDialog != nullptr) return;
  AboutDialog = gtk_dialog_new_with_buttons("About Mirelox", Owner(),
                                            GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                            "OK", cmd::Ok, "Cancel", cmd::Cancel, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(AboutDialog), cmd::Ok);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(AboutDialog));
  gtk_container_set_border_width(GTK_CONTAINER(content), 16);
  gtk_box_set_spacing(GTK_BOX(content), 6);
  gchar* notice = g_markup_escape_text(Utf8Of(MakersNotice).c_str(), -1);
  gtk_box_pack_start(GTK_BOX(content), Label("<b><big>Mirelox</big></b>"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), Label("Version 2.2"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), Label(notice), FALSE, FALSE, 0);
  g_free(notice);
  g_signal_connect(AboutDialog, "response", G_CALLBACK(AnswerAbout), nullptr);
  g_signal_connect(AboutDialog, "delete-event", G_CALLBACK(CancelAbout), nullptr);
  g_signal_connect(AboutDialog, "destroy", G_CALLBACK(ForgetAbout), nullptr);

  AboutEnded = false;
  EnterModalLoop(AboutDialog);
  gtk_widget_show_all(AboutDialog);
  AboutDialogProc(msg::InitDialog, 0);
  while (!AboutEnded) gtk_main_iteration();
  if (AboutDialog != nullptr) gtk_widget_destroy(AboutDialog);
  LeaveModalLoop(Owner());
}

void EndAboutDialog(int) {
  if (AboutDialog != nullptr) AboutEnded = true;
}

bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile(false, title, filterList, path, pathSize);
}

bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile(true, title, filterList, path, pathSize);
}

}  // namespace platform
