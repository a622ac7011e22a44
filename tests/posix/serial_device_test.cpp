// The serial device layer over a pseudo-terminal: line settings, exclusive access and the byte
// traffic that the serial port object relies on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace {

class PseudoTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256];
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    setenv("MIRELOX_COM1", name, 1);
  }
  void TearDown() override {
    unsetenv("MIRELOX_COM1");
    close(master_);
    close(slave_);
  }

  // The pty moves bytes between its ends asynchronously: wait until the count has arrived.
  static int WaitForCount(platform::SerialDevice* device, int expected) {
    int waiting = 0;
    for (int tries = 0; tries < 200 && waiting < expected; ++tries) {
      waiting = platform::SerialBytesWaiting(device);
      if (waiting < expected) usleep(5000);
    }
    return waiting;
  }

  int master_ = -1;
  int slave_ = -1;
};

TEST_F(PseudoTerminal, OpensRaw4800EightNoneOneWithoutFlowControl) {
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);

  termios line{};
  ASSERT_EQ(tcgetattr(slave_, &line), 0);
  EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B4800));
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B4800));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);

  platform::CloseSerialDevice(device);
}

TEST_F(PseudoTerminal, AllowsOneOpenerAtATime) {
  platform::SerialDevice* first = platform::OpenSerialDevice(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::OpenSerialDevice(1), nullptr);
  platform::CloseSerialDevice(first);

  platform::SerialDevice* again = platform::OpenSerialDevice(1);
  EXPECT_NE(again, nullptr);
  platform::CloseSerialDevice(again);
}

TEST_F(PseudoTerminal, RefusesAMissingDevice) {
  setenv("MIRELOX_COM2", "/nonexistent/serial-device", 1);
  EXPECT_EQ(platform::OpenSerialDevice(2), nullptr);
  unsetenv("MIRELOX_COM2");
}

TEST_F(PseudoTerminal, MovesBytesBothWaysUnchanged) {
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);

  unsigned char buffer[8] = {};
  EXPECT_EQ(platform::SerialBytesWaiting(device), 0);
  EXPECT_EQ(platform::ReadSerial(device, buffer, 8), 0);  // nothing there: returns at once

  // Bytes a cooked line would change or swallow: CR, LF, XON, XOFF, DEL and a high byte.
  const unsigned char incoming[] = {0x0D, 0x0A, 0x11, 0x13, 0x7F, 0x86};
  ASSERT_EQ(write(master_, incoming, sizeof incoming), static_cast<ssize_t>(sizeof incoming));
  ASSERT_EQ(WaitForCount(device, 6), 6);
  EXPECT_EQ(platform::ReadSerial(device, buffer, 4), 4);  // at most the count asked for
  EXPECT_EQ(platform::SerialBytesWaiting(device), 2);
  EXPECT_EQ(platform::ReadSerial(device, buffer + 4, 8), 2);
  EXPECT_EQ(0, memcmp(buffer, incoming, sizeof incoming));
  EXPECT_EQ(platform::SerialBytesWaiting(device), 0);

  const unsigned char outgoing[] = {0x1B, 0x5B, 0x44, 0x0D, 0x0A, 0xFF};
  for (unsigned char byte : outgoing) platform::WriteSerialByte(device, byte);
  unsigned char received[sizeof outgoing] = {};
  size_t got = 0;
  pollfd readable{master_, POLLIN, 0};
  while (got < sizeof outgoing && poll(&readable, 1, 1000) == 1) {
    ssize_t n = read(master_, received + got, sizeof outgoing - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ASSERT_EQ(got, sizeof outgoing);
  EXPECT_EQ(0, memcmp(received, outgoing, sizeof outgoing));

  platform::CloseSerialDevice(device);
}

TEST_F(PseudoTerminal, GivesUpOnAWriteThatFindsNoRoom) {
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  // Nobody reads the other end: fill the output queue until it takes no more.
  ASSERT_EQ(fcntl(slave_, F_SETFL, fcntl(slave_, F_GETFL) | O_NONBLOCK), 0);
  char block[256] = {};
  while (write(slave_, block, sizeof block) > 0) {
  }
  EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);

  int64_t start = platform::NowMs();
  platform::WriteSerialByte(device, 'x');
  EXPECT_GE(platform::NowMs() - start, 900);  // it waited for room before giving up

  platform::CloseSerialDevice(device);
}

}  // namespace
