// The device's block protocol against a small reference terminal on the pty's other end: each
// injected fault must show on the terminal's side exactly as the terminal would meet it.
#include "devsim/block_transfer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <future>

#include "gtest/gtest.h"

namespace devsim {
namespace {

class ReferenceTerminal {
 public:
  explicit ReferenceTerminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~ReferenceTerminal() { close(fd_); }

  bool Read(uint8_t* byte, int timeoutMs = 2000) {
    pollfd pfd = {fd_, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1 && read(fd_, byte, 1) == 1;
  }
  void Write(uint8_t byte) { ASSERT_EQ(write(fd_, &byte, 1), 1); }

  // Sends data in blocks after the device's NAK; returns how many blocks went out.
  int SendFile(const Bytes& data) {
    uint8_t byte = 0;
    while (Read(&byte) && byte != Nak) {
    }
    if (byte != Nak) return 0;
    int sent = 0;
    for (size_t index = 0; index * BlockSize < data.size();) {
      Bytes block = MakeBlock(static_cast<uint8_t>(index + 1), data, index * BlockSize, 0);
      for (uint8_t b : block) Write(b);
      ++sent;
      if (!Read(&byte)) return -1;
      if (byte == Ack) ++index;
    }
    do {
      Write(Eot);
      if (!Read(&byte)) return -1;
      ++eotsSent;
    } while (byte != Ack);
    return sent;
  }

  // Receives blocks after its own NAK; returns the accepted data, or what it had on a silence.
  Bytes ReceiveFile() {
    Bytes stored;
    uint8_t byte = 0;
    Write(Nak);
    while (Read(&byte) && byte != Soh) ++skipped;
    while (byte == Soh) {
      Bytes block;
      for (size_t i = 0; i < BlockSize + 3; ++i) {
        if (!Read(&byte)) return stored;
        block.push_back(byte);
      }
      bool good = Checksum(block.data() + 2) == block.back();
      Write(good ? Ack : Nak);
      if (good) stored.insert(stored.end(), block.begin() + 2, block.end() - 1);
      if (!good) ++naksSent;
      while (Read(&byte) && byte != Soh && byte != Eot) ++skipped;
    }
    if (byte == Eot) {
      Write(Ack);
      Write(Ack);
      completed = true;
    }
    return stored;
  }

  int eotsSent = 0;
  int naksSent = 0;
  int skipped = 0;
  bool completed = false;

 private:
  int fd_;
};

Bytes Pattern(size_t size) {
  Bytes data;
  for (size_t i = 0; i < size; ++i) data.push_back(static_cast<uint8_t>(i * 7 + 3));
  return data;
}

std::string LinkPath() {
  return "/tmp/devsim-test-" + std::to_string(getpid());
}

TEST(BlockTransferTest, TakesAFileThroughRejectedBlockAndEot) {
  Device device(LinkPath());
  ReferenceTerminal terminal(device.LinkPath());
  Bytes file = Pattern(300);
  auto sent = std::async(std::launch::async, [&] { return terminal.SendFile(file); });
  TakeResult result = TakeFileFromTerminal(device, {2, true}, Millis(3000), Millis(500), Millis(2000));

  ASSERT_TRUE(result.completed) << result.failure;
  EXPECT_EQ(sent.get(), 4);  // block 2 twice
  EXPECT_EQ(terminal.eotsSent, 2);
  EXPECT_EQ(result.numbers, (std::vector<uint8_t>{1, 2, 2, 3}));
  EXPECT_EQ(result.blocksAccepted, 3);
  Bytes padded = file;
  padded.resize(3 * BlockSize, 0);
  EXPECT_EQ(result.data, padded);
}

TEST(BlockTransferTest, GivesAFileThroughNoiseBadChecksumAndMissedAck) {
  Device device(LinkPath());
  ReferenceTerminal terminal(device.LinkPath());
  Bytes file = Pattern(3 * BlockSize - 10);
  auto stored = std::async(std::launch::async, [&] {
    Bytes data;
    uint8_t first;
    // The first NAK meets noise; the terminal tries again after it, as the real one does.
    terminal.Write(Nak);
    if (terminal.Read(&first) && first != Soh) {
      while (terminal.Read(&first, 50)) {
      }
      data = terminal.ReceiveFile();
    }
    return data;
  });
  GiveFaults faults;
  faults.badChecksumBlock = 2;
  faults.missedAckBlock = 1;
  faults.noiseBetweenBlocks = true;
  faults.noiseBeforeFirstSoh = true;
  GiveResult result = GiveFileToTerminal(device, file, faults, Millis(3000), Millis(2000));

  ASSERT_TRUE(result.completed) << result.failure;
  Bytes data = stored.get();
  EXPECT_TRUE(terminal.completed);
  EXPECT_EQ(terminal.naksSent, 1);
  EXPECT_GT(terminal.skipped, 0);
  EXPECT_EQ(result.blocksSent, 5);  // 1, 1 again, 2 bad, 2, 3
  Bytes padded = PadToBlocks(file, 0x1A);
  Bytes expected(padded.begin(), padded.begin() + BlockSize);
  expected.insert(expected.end(), padded.begin(), padded.end());
  EXPECT_EQ(data, expected);
}

TEST(BlockTransferTest, FallsSilentInsideABlock) {
  Device device(LinkPath());
  ReferenceTerminal terminal(device.LinkPath());
  auto stored = std::async(std::launch::async, [&] { return terminal.ReceiveFile(); });
  GiveFaults faults;
  faults.silentInBlock = 2;
  GiveResult result = GiveFileToTerminal(device, Pattern(4 * BlockSize), faults, Millis(3000));

  EXPECT_FALSE(result.completed);
  EXPECT_EQ(stored.get().size(), BlockSize);
  EXPECT_FALSE(terminal.completed);
}

TEST(BlockTransferTest, FallsSilentAfterABlockItTakes) {
  Device device(LinkPath());
  ReferenceTerminal terminal(device.LinkPath());
  auto sent = std::async(std::launch::async, [&] { return terminal.SendFile(Pattern(4 * BlockSize)); });
  TakeFaults faults;
  faults.silentAfterBlock = 2;
  TakeResult result = TakeFileFromTerminal(device, faults, Millis(3000), Millis(500), Millis(2000));

  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.blocksReceived, 2);
  EXPECT_EQ(result.blocksAccepted, 1);
  EXPECT_EQ(sent.get(), -1) << "the terminal had an answer to block 2";
  EXPECT_EQ(device.ReceiveFor(Millis(300)), Bytes{}) << "the terminal sent more after the silence began";
}

}  // namespace
}  // namespace devsim
