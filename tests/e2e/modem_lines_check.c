// Run with modem_lines.so preloaded: on a pty the modem status is answered (no line raised), and
// other requests still reach the real ioctl.
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(void) {
  int master, slave, lines = -1, waiting = 0;
  if (openpty(&master, &slave, NULL, NULL, NULL) != 0 || write(master, "x\n", 2) != 2) return 2;
  struct pollfd readable = {slave, POLLIN, 0};
  poll(&readable, 1, 10000);  // a pty slave is canonical: readable once the line is complete
  if (ioctl(slave, TIOCMGET, &lines) != 0 || lines != 0) return 1;
  return ioctl(slave, FIONREAD, &waiting) == 0 && waiting == 2 ? 0 : 1;
}
