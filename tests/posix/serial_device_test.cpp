// The serial device of the Linux layer over a real pseudo-terminal. Run as an unprivileged user
// (see as-user.sh): root passes the exclusive-access checks that a user meets.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <string>

#include "platform/platform.h"
#include "platform/posix/serial_descriptor.h"

// What the layer asks of the kernel, recorded on the way through: the modem lines it clears (a pty
// has none, so only the request shows whether DTR and RTS are dropped).
namespace {
int ClearedModemLines = 0;
}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list rest;
  va_start(rest, request);
  void* argument = va_arg(rest, void*);
  va_end(rest);
  if (request == TIOCMBIC) ClearedModemLines |= *static_cast<int*>(argument);
  static auto real = reinterpret_cast<int (*)(int, unsigned long, ...)>(dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, argument);
}

namespace {

TEST(PseudoTerminal, ARaw4800EightNoneOneLineForOneOpenerAtATimeMovesBytesUnchanged) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  setenv("MIRELOX_COM1", name, 1);
  setenv("MIRELOX_COM2", "/nonexistent/serial-device", 1);
  EXPECT_EQ(platform::OpenSerialDevice(2), nullptr);
  char third[64];
  platform::SerialDeviceName(3, third, sizeof third);
  EXPECT_STREQ(third, "/dev/ttyS2");
  // The same user opens the port again after a close, for one opener at a time.
  platform::CloseSerialDevice(platform::OpenSerialDevice(1));
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(ClearedModemLines, TIOCM_DTR | TIOCM_RTS);
  EXPECT_EQ(platform::OpenSerialDevice(1), nullptr);
  termios line{};
  ASSERT_EQ(tcgetattr(slave, &line), 0);
  EXPECT_EQ(cfgetospeed(&line), speed_t(B4800));
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
            tcflag_t(CS8 | CLOCAL | CREAD));
  // Nothing cooks the bytes, and a read never waits.
  EXPECT_EQ((line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP)) | (line.c_oflag & OPOST) |
                (line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) | line.c_cc[VMIN] | line.c_cc[VTIME],
            0u);

  unsigned char buffer[8] = {};
  EXPECT_EQ(platform::ReadSerial(device, buffer, 8), 0);  // nothing there: returns at once
  // Bytes a cooked line would change or swallow: CR, LF, XON, XOFF, DEL and a high byte.
  const std::string bytes = "\r\n\x11\x13\x7f\x86";
  ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  for (int tries = 0; tries < 200 && platform::SerialBytesWaiting(device) < 6; ++tries) usleep(5000);
  ASSERT_EQ(platform::SerialBytesWaiting(device), 6);
  EXPECT_EQ(platform::ReadSerial(device, buffer, 4), 4);
  EXPECT_EQ(platform::ReadSerial(device, buffer + 4, 8), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), bytes);
  for (unsigned char byte : bytes) EXPECT_EQ(platform::WriteSerialByte(device, byte), 1);
  std::string received(6, '\0');
  pollfd readable{master, POLLIN, 0};
  for (size_t got = 0; got < 6 && poll(&readable, 1, 1000) == 1;) {
    got += std::max<ssize_t>(0, read(master, &received[got], 6 - got));
  }
  EXPECT_EQ(received, bytes);

  // Nobody reads the other end: fill the output queue until it takes no more, even once the kernel
  // has moved what it could into the other end's input.
  ASSERT_EQ(fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK), 0);
  char block[256] = {};
  pollfd room{slave, POLLOUT, 0};
  do {
    while (write(slave, block, sizeof block) > 0) {
    }
  } while (poll(&room, 1, 100) == 1);
  const int64_t start = platform::NowMs();
  EXPECT_EQ(platform::WriteSerialByte(device, 'x'), 0);
  EXPECT_GE(platform::NowMs() - start, 900);  // it waited for room before giving up
  // The other end goes (a device unplugged): the line hangs up, and every look at it says so.
  close(master);
  EXPECT_EQ(std::pair(platform::SerialBytesWaiting(device), platform::WriteSerialByte(device, 'y')),
            std::pair(platform::LineLost, platform::LineLost));
  platform::CloseSerialDevice(device);
  close(slave);
}

}  // namespace
