#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include "serial/transmit.h"
#include "tests/fake/fake_platform.h"

namespace {

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComPort.close();
    fake::Reset();
  }
  void TearDown() override { ComPort.close(); }
};

TEST_F(SerialPortTest, OpenKeepsThePortInUseUntilClosed) {
  ASSERT_TRUE(ComPort.open(1));
  EXPECT_TRUE(ComPort.open(2));
  EXPECT_EQ(fake::world.openPort, 1);
  EXPECT_TRUE(ComPort.close());
  EXPECT_TRUE(ComPort.close());
  EXPECT_TRUE(ComPort.open(2));
  EXPECT_EQ(fake::world.openPort, 2);
  int closes = 0;
  ComPort.close();
  ComPort.close();
  for (const std::string& call : fake::world.calls) closes += call.rfind("CloseSerialDevice", 0) == 0;
  EXPECT_EQ(closes, 2);  // one for COM1, one for COM2: a closed port is not closed again
}

TEST_F(SerialPortTest, WithoutAPortNothingIsReadOrWritten) {
  fake::world.presentPorts = {1};
  EXPECT_FALSE(ComPort.open(7));
  fake::DeviceSends("xyz");
  unsigned char byte = 0;
  EXPECT_EQ(ComPort.bytesWaiting(), 0);
  EXPECT_EQ(ComPort.read(&byte, 1), 0);
  EXPECT_EQ(ComPort.send(&byte, 1), 0);
  EXPECT_TRUE(fake::world.sent.empty());
}

TEST_F(SerialPortTest, ReadTakesAtMostWhatIsWaitingAndSendTakesPositiveCounts) {
  ASSERT_TRUE(ComPort.open(1));
  fake::DeviceSends("ab");
  unsigned char buffer[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(ComPort.read(buffer, 5), 2);
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_EQ(buffer[1], 'b');
  EXPECT_EQ(buffer[2], 9);
  EXPECT_EQ(ComPort.read(buffer, 5), 0);

  const unsigned char bytes[] = {1, 2, 3};
  EXPECT_EQ(ComPort.send(bytes, 0), 0);
  EXPECT_EQ(ComPort.send(bytes, -4), 0);
  EXPECT_TRUE(fake::world.sent.empty());
  EXPECT_EQ(ComPort.send(bytes, 3), 3);
  EXPECT_EQ(fake::SentBytes(), std::string("\x01\x02\x03"));
}

TEST_F(SerialPortTest, TransmitBufferIsPaced5MsAfterEveryByteEvenWithoutAPort) {
  ASSERT_TRUE(ComPort.open(1));
  TransmitBuffer[0] = 'x';
  TransmitBuffer[1] = 'y';
  TransmitBuffer[2] = 'z';
  sendTransmitBuffer(3);
  ASSERT_EQ(fake::world.sent.size(), 3u);
  EXPECT_EQ(fake::world.sent[1].atUs - fake::world.sent[0].atUs, 5000);
  EXPECT_EQ(fake::world.sent[2].atUs - fake::world.sent[1].atUs, 5000);
  EXPECT_EQ(fake::world.nowUs - fake::world.sent[2].atUs, 5000);

  const int64_t before = fake::world.nowUs;
  sendTransmitBuffer(0);
  EXPECT_EQ(fake::world.nowUs, before);

  ComPort.close();
  sendTransmitBuffer(3);
  EXPECT_EQ(fake::world.nowUs - before, 15000);
  EXPECT_EQ(fake::world.sent.size(), 3u);
}

TEST_F(SerialPortTest, WaitingForAByteGivesUpAfterTenSecondsOfSilence) {
  ASSERT_TRUE(ComPort.open(1));
  fake::DeviceSends("late", 9000);
  unsigned char byte = 0;
  ASSERT_TRUE(readByteBlocking(byte));
  EXPECT_EQ(byte, 'l');
  EXPECT_GE(fake::NowMs(), 9000);

  const int64_t start = fake::NowMs();
  drainInput();
  EXPECT_EQ(ComPort.bytesWaiting(), 0);
  byte = 'q';
  EXPECT_FALSE(readByteBlocking(byte));
  EXPECT_EQ(byte, 'q');
  EXPECT_GE(fake::NowMs() - start, 10000);
  EXPECT_LT(fake::NowMs() - start, 10100);
}

TEST_F(SerialPortTest, DrainDiscardsOnlyWhatHasArrived) {
  ASSERT_TRUE(ComPort.open(1));
  drainInput();  // nothing waiting: returns at once
  fake::DeviceSends("noise");
  fake::DeviceSends("later", 50);
  drainInput();
  EXPECT_EQ(ComPort.bytesWaiting(), 0);
  fake::AdvanceMs(50);
  EXPECT_EQ(ComPort.bytesWaiting(), 5);
}

}  // namespace
