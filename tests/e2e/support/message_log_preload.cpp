// Loaded into the Linux program by the end-to-end tests (LD_PRELOAD): writes the text of every
// message dialog to the file named by MIRELOX_E2E_MESSAGE_LOG, one "message:" record per dialog,
// so that a test can read what a box says. The program's own behaviour is unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using MessageDialogNew = void* (*)(void*, int, int, int, const char*, ...);

void Record(const std::string& text) {
  const char* path = std::getenv("MIRELOX_E2E_MESSAGE_LOG");
  if (path == nullptr) return;
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string record = "message:" + std::to_string(text.size()) + ":" + text + "\n";
  if (write(fd, record.data(), record.size()) < 0) std::perror("message log");
  close(fd);
}

}  // namespace

extern "C" void* gtk_message_dialog_new(void* parent, int flags, int type, int buttons, const char* format,
                                        ...) {
  static auto real = reinterpret_cast<MessageDialogNew>(dlsym(RTLD_NEXT, "gtk_message_dialog_new"));
  if (format == nullptr) return real(parent, flags, type, buttons, nullptr);
  std::string text;
  {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    if (length >= 0) {
      text.resize(static_cast<size_t>(length) + 1);
      std::vsnprintf(&text[0], text.size(), format, again);
      text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    va_end(args);
  }
  Record(text);
  return real(parent, flags, type, buttons, "%s", text.c_str());
}
