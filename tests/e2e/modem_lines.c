// Preloaded into Wine and its server by the end-to-end runs: on a terminal, the modem-line ioctls
// are answered as a UART with no line raised answers them, where a pty refuses them. Wine asks for
// the modem status in every WaitCommEvent and ends the wait when that fails; answered, the wait
// pends until a byte comes, as on a real port. Everything else goes to the real ioctl.
// 32-bit code built with a 64-bit time_t, as Debian's Wine is, calls __ioctl_time64 instead.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int Forward(const char* name, int fd, unsigned long request, void* argument) {
  int (*real)(int, unsigned long, ...) = dlsym(RTLD_NEXT, name);
  if (real == NULL) real = dlsym(RTLD_NEXT, "ioctl");  // a 64-bit libc has no __ioctl_time64
  if ((request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET) &&
      isatty(fd)) {
    if (request == TIOCMGET) *(int*)argument = 0;
    return 0;
  }
  return real(fd, request, argument);
}

// Each entry point forwards to the real function of its own name.
#define FORWARDING(name)                          \
  int name(int fd, unsigned long request, ...) {  \
    va_list arguments;                            \
    va_start(arguments, request);                 \
    void* argument = va_arg(arguments, void*);    \
    va_end(arguments);                            \
    return Forward(#name, fd, request, argument); \
  }
FORWARDING(ioctl)
FORWARDING(__ioctl_time64)
