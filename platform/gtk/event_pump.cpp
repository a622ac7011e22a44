// The message pump. GTK dispatches its own events; the handlers turn them into messages. Keys and
// commands wait in a queue of posted messages and are delivered one per turn, like WM_KEYDOWN and
// the WM_CHAR that TranslateMessage posts after it; a pending repaint becomes WM_PAINT only when
// nothing else is waiting, as on Windows.
#include <deque>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/gtk/gtk_state.h"
#include "platform/gtk/key_translation.h"
#include "platform/platform.h"
#include "platform/posix/serial_descriptor.h"

namespace platform::gtk {

bool AcceleratorsLoaded = false;

namespace {

std::deque<std::pair<unsigned, uintptr_t>> Posted;
bool QuitPosted = false;
int QuitCode = 0;

// One iteration of GLib's main loop whose poll also watches the device's line (when not null) and
// waits at most limitMs (-1: as long as GLib's sources allow). The line joins only this poll: a
// modal loop never sees it, so bytes waiting during a dialog do not keep that loop awake. A line
// that hangs up wakes it too; the core then finds the line lost and closes it.
void IterateWatching(SerialDevice* device, gint limitMs) {
  static std::vector<GPollFD> polled(16);
  GMainContext* context = g_main_context_default();
  if (!g_main_context_acquire(context)) return;
  gint priority = 0;
  gint timeout = -1;
  g_main_context_prepare(context, &priority);
  gint count;
  while ((count = g_main_context_query(context, priority, &timeout, polled.data(),
                                       static_cast<gint>(polled.size()) - 1)) >=
         static_cast<gint>(polled.size())) {
    polled.resize(static_cast<size_t>(count) + 1);
  }
  polled[count] = {device != nullptr ? SerialDescriptor(device) : -1, G_IO_IN, 0};
  if (limitMs >= 0 && (timeout < 0 || timeout > limitMs)) timeout = limitMs;
  g_poll(polled.data(), static_cast<guint>(count + (device != nullptr ? 1 : 0)), timeout);
  g_main_context_check(context, priority, polled.data(), count);
  g_main_context_dispatch(context);
  g_main_context_release(context);
}

}  // namespace

void PostToMainWindow(unsigned message, uintptr_t wParam) {
  Posted.emplace_back(message, wParam);
}

void DropPostedMessages() {
  Posted.clear();
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
  KeyMessages key = TranslateKey(event->keyval, static_cast<GdkModifierType>(event->state),
                                 event->is_modifier != 0, AcceleratorsLoaded);
  if (!key.forCore) return FALSE;
  if (key.command != 0) {
    PostToMainWindow(msg::Command, static_cast<uintptr_t>(key.command));
    return TRUE;
  }
  PostToMainWindow(msg::KeyDown, key.virtualKey);
  if (key.character >= 0) PostToMainWindow(msg::Char, static_cast<uintptr_t>(key.character));
  return TRUE;
}

}  // namespace platform::gtk

namespace platform {

using namespace platform::gtk;

void LoadResourceString(int id, char* buffer, int size) {
  if (size <= 0) return;
  const char* text = id == res::TitleString ? "mirelox" : id == res::ClassNameString ? "MIRELOX" : "";
  int i = 0;
  for (; i < size - 1 && text[i] != '\0'; ++i) buffer[i] = text[i];
  buffer[i] = '\0';
}

void LoadAcceleratorTable() {
  AcceleratorsLoaded = true;
}

Pumped PumpOneMessage(int* quitCode) {
  if (QuitPosted) {
    QuitPosted = false;
    *quitCode = QuitCode;
    return Pumped::Quit;
  }
  if (!Posted.empty()) {
    std::pair<unsigned, uintptr_t> message = Posted.front();
    Posted.pop_front();
    if (MainWindow != nullptr) MainWindowProc(message.first, message.second, 0);
    return Pumped::Dispatched;
  }
  if (g_main_context_pending(nullptr)) {
    g_main_context_iteration(nullptr, FALSE);
    return Pumped::Dispatched;
  }
  if (RepaintRequested() && MainWindow != nullptr) {
    MainWindowProc(msg::Paint, 0, 0);
    return Pumped::Dispatched;
  }
  return Pumped::Nothing;
}

void WaitForMessageOrByte(SerialDevice* device, int limitMs) {
  IterateWatching(device, limitMs);
}

void PostQuit(int exitCode) {
  QuitPosted = true;
  QuitCode = exitCode;
}

}  // namespace platform
