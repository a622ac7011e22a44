// The one serial port and the byte operations over it, in virtual time.
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include "serial/transmit.h"
#include "tests/unit/support.h"

namespace {

TEST(SerialPort, APortStaysOpenUntilClosedAndWithoutOneNothingMoves) {
  ResetCore();
  ASSERT_TRUE(ComPort.open(1));
  EXPECT_TRUE(ComPort.open(2));  // the port in use stays
  EXPECT_TRUE(ComPort.close());
  EXPECT_TRUE(ComPort.close());
  EXPECT_EQ(fake::world.calls, (std::vector<std::string>{"OpenSerialDevice 1", "CloseSerialDevice 1"}));
  EXPECT_FALSE(ComPort.open(7));
  fake::DeviceSends("xyz");
  unsigned char byte = 0;
  EXPECT_EQ(ComPort.bytesWaiting() + ComPort.read(&byte, 1) + ComPort.send(&byte, 1), 0);
  sendTransmitBuffer(3);  // the pause after each byte all the same
  EXPECT_EQ(fake::world.nowUs, 15000);
  EXPECT_EQ(fake::world.sent, "");
}

TEST(SerialPort, ReadTakesWhatIsWaitingSendTakesPositiveCountsAndEachByteIsPaced) {
  ResetCore();
  ASSERT_TRUE(ComPort.open(1));
  fake::DeviceSends("ab");
  unsigned char buffer[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(ComPort.read(buffer, 1), 1);
  fake::DeviceSends("cd");
  EXPECT_EQ(ComPort.read(buffer + 1, 5), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "abcd\x09");
  EXPECT_EQ(ComPort.read(buffer, 5), 0);
  const unsigned char bytes[] = {1, 2};
  EXPECT_EQ(ComPort.send(bytes, 0) + ComPort.send(bytes, -4), 0);
  EXPECT_EQ(ComPort.send(bytes, 2), 2);
  TransmitBuffer[0] = 'x';
  sendTransmitBuffer(1);
  EXPECT_EQ(fake::world.sent, "\x01\x02x");
  EXPECT_EQ(fake::world.sentAtUs.back(), 0);
  EXPECT_EQ(fake::world.nowUs, 5000);
  ResetCore();
}

TEST(SerialPort, WaitingForAByteGivesUpAfterItsTimeOfSilence) {
  ResetCore();
  ASSERT_TRUE(ComPort.open(1));
  fake::DeviceSends("late", 9990);
  unsigned char byte = 0;
  ASSERT_TRUE(readByteBlocking(byte));
  EXPECT_EQ(byte, 'l');
  drainInput();
  EXPECT_EQ(ComPort.bytesWaiting(), 0);
  fake::DeviceSends("x", 5000);
  const int64_t start = fake::world.nowUs;
  EXPECT_FALSE(readByteBlocking(byte, 4999));
  EXPECT_EQ(byte, 'l');
  EXPECT_GE(fake::world.nowUs - start, 4999 * 1000);
  EXPECT_LT(fake::world.nowUs - start, 5000 * 1000);
  EXPECT_TRUE(readByteBlocking(byte));
  EXPECT_EQ(byte, 'x');
  ResetCore();
}

}  // namespace
