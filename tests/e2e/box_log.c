// Preloaded into the Linux program by the end-to-end runs: appends the text of every message box
// to the file named by E2E_BOX_LOG, one line each with "\n" for a line break, as Wine's trace
// shows a Windows box, so that a run can read what a box says.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

void* gtk_message_dialog_new(void* parent, int flags, int type, int buttons, const char* format, ...) {
  void* (*real)(void*, int, int, int, const char*, ...) = dlsym(RTLD_NEXT, "gtk_message_dialog_new");
  char text[4096] = "";
  va_list args;
  va_start(args, format);
  if (format) vsnprintf(text, sizeof text, format, args);
  va_end(args);
  FILE* log = getenv("E2E_BOX_LOG") ? fopen(getenv("E2E_BOX_LOG"), "a") : NULL;
  if (log) {
    for (const char* c = text; *c; ++c) *c == '\n' ? fputs("\\n", log) : fputc(*c, log);
    fputc('\n', log);
    fclose(log);
  }
  return real(parent, flags, type, buttons, "%s", text);
}
