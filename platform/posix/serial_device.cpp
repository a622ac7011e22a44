// The serial device on Linux: a termios tty opened exclusively, raw 4800 8N1 with no flow control
// and DTR/RTS dropped. Port n is the device named by MIRELOX_COM<n>, else /dev/ttyS<n-1>, so tests
// and the device simulator can put a pseudo-terminal in its place. A line whose device has gone (a
// USB adapter pulled, the other end of a pseudo-terminal closed) is hung up: every call on it but
// read fails with EIO, and read finds nothing.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/serial_descriptor.h"

namespace platform {

struct SerialDevice {
  int fd;
};

namespace {

constexpr int WriteWaitMs = 1000;

bool Gone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

bool ConfigureLine(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (cfsetispeed(&settings, B4800) != 0 || cfsetospeed(&settings, B4800) != 0) return false;
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// A pseudo-terminal has no modem lines and answers ENOTTY; that is not a failure.
bool DropModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  return ioctl(fd, TIOCMBIC, &lines) == 0 || errno == ENOTTY || errno == EINVAL;
}

// TIOCEXCL outlives the descriptor on a pseudo-terminal whose other end stays open: without this,
// nobody but root could open the port again, not even this program.
void CloseExclusive(int fd) {
  ioctl(fd, TIOCNXCL);
  close(fd);
}

}  // namespace

void SerialDeviceName(int portNumber, char* name, size_t size) {
  char variable[32];
  std::snprintf(variable, sizeof variable, "MIRELOX_COM%d", portNumber);
  const char* configured = std::getenv(variable);
  if (configured != nullptr && configured[0] != '\0') {
    std::snprintf(name, size, "%s", configured);
  } else {
    std::snprintf(name, size, "/dev/ttyS%d", portNumber - 1);
  }
}

SerialDevice* OpenSerialDevice(int portNumber) {
  char name[4096];
  SerialDeviceName(portNumber, name, sizeof name);
  int fd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // flock also stops a second opener running as root, whom TIOCEXCL lets through.
  const bool exclusive = flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0;
  if (!exclusive || !ConfigureLine(fd) || !DropModemLines(fd)) {
    if (exclusive) {
      CloseExclusive(fd);  // the flag is the port's, not this descriptor's: only ours is cleared
    } else {
      close(fd);
    }
    return nullptr;
  }
  return new SerialDevice{fd};
}

void CloseSerialDevice(SerialDevice* device) {
  if (device == nullptr) return;
  CloseExclusive(device->fd);
  delete device;
}

int WriteSerialByte(SerialDevice* device, unsigned char byte) {
  pollfd writable{device->fd, POLLOUT, 0};
  if (write(device->fd, &byte, 1) == 1) return 1;
  if (Gone(errno)) return LineLost;
  if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return 0;
  // The output queue is full: wait a bounded time for room, then try once more.
  if (poll(&writable, 1, WriteWaitMs) != 1 || (writable.revents & POLLOUT) == 0) return 0;
  if (write(device->fd, &byte, 1) == 1) return 1;
  return Gone(errno) ? LineLost : 0;
}

int SerialDescriptor(SerialDevice* device) {
  return device->fd;
}

int SerialBytesWaiting(SerialDevice* device) {
  int waiting = 0;
  if (ioctl(device->fd, FIONREAD, &waiting) != 0) return Gone(errno) ? LineLost : 0;
  return waiting;
}

int ReadSerial(SerialDevice* device, unsigned char* buffer, int count) {
  if (count <= 0) return 0;
  ssize_t got = read(device->fd, buffer, static_cast<size_t>(count));
  if (got < 0 && Gone(errno)) return LineLost;
  return got > 0 ? static_cast<int>(got) : 0;
}

}  // namespace platform
