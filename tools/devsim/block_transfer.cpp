#include "devsim/block_transfer.h"

#include <thread>

namespace devsim {

namespace {

// A NAK older than this may belong to a handshake attempt the terminal has already abandoned
// (it waits about half a second per attempt), so answering it could land in the next drain.
constexpr Millis FreshNak(200);

bool WaitForFreshNak(Device& device, Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    uint8_t byte;
    Clock::time_point at;
    auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    if (!device.ReceiveByte(&byte, left, &at)) return false;
    if (byte == Nak && Clock::now() - at < FreshNak) return true;
  }
  return false;
}

}  // namespace

uint8_t Checksum(const uint8_t* data) {
  uint8_t sum = 0;
  for (size_t i = 0; i < BlockSize; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

Bytes MakeBlock(uint8_t number, const Bytes& data, size_t offset, uint8_t padByte) {
  Bytes block = {Soh, number, static_cast<uint8_t>(255 - number)};
  for (size_t i = 0; i < BlockSize; ++i)
    block.push_back(offset + i < data.size() ? data[offset + i] : padByte);
  block.push_back(Checksum(block.data() + 3));
  return block;
}

Bytes PadToBlocks(Bytes data, uint8_t padByte) {
  size_t blocks = data.empty() ? 1 : (data.size() + BlockSize - 1) / BlockSize;
  data.resize(blocks * BlockSize, padByte);
  return data;
}

TakeResult TakeFileFromTerminal(Device& device, const TakeFaults& faults, Millis startTimeout,
                                Millis nakInterval, Millis byteTimeout) {
  TakeResult result;
  auto deadline = Clock::now() + startTimeout;
  uint8_t byte = 0;
  bool started = false;
  bool rejectedOnce = false;
  while (!started && Clock::now() < deadline) {
    device.Send(Bytes{Nak});
    auto nextNak = Clock::now() + nakInterval;
    while (Clock::now() < nextNak) {
      auto left = std::chrono::duration_cast<Millis>(nextNak - Clock::now());
      if (device.ReceiveByte(&byte, left) && byte == Soh) {
        started = true;
        break;
      }
    }
  }
  if (!started) {
    result.failure = "no SOH from the terminal";
    return result;
  }
  for (;;) {
    Bytes rest = device.Receive(BlockSize + 3, byteTimeout);
    if (rest.size() < BlockSize + 3) {
      result.failure = "block " + std::to_string(result.blocksReceived + 1) + " cut short after " +
                       std::to_string(rest.size()) + " bytes";
      return result;
    }
    ++result.blocksReceived;
    result.numbers.push_back(rest[0]);
    if (faults.silentAfterBlock == result.blocksReceived) {
      result.failure = "fell silent after block " + std::to_string(result.blocksReceived) + " on purpose";
      return result;
    }
    const uint8_t* data = rest.data() + 2;
    bool good = Checksum(data) == rest[BlockSize + 2] && rest[1] == 255 - rest[0];
    bool reject = !good || (faults.rejectBlock == result.blocksAccepted + 1 && !rejectedOnce);
    if (reject) {
      rejectedOnce = rejectedOnce || good;
      device.Send(Bytes{Nak});
    } else {
      result.data.insert(result.data.end(), data, data + BlockSize);
      ++result.blocksAccepted;
      device.Send(Bytes{Ack});
    }
    if (!device.ReceiveByte(&byte, byteTimeout)) {
      result.failure = "nothing after block " + std::to_string(result.blocksReceived);
      return result;
    }
    while (byte == Eot) {
      ++result.eotCount;
      bool rejectThisEot = faults.rejectFirstEot && result.eotCount == 1;
      device.Send(Bytes{rejectThisEot ? Nak : Ack});
      if (!rejectThisEot) {
        result.completed = true;
        return result;
      }
      if (!device.ReceiveByte(&byte, byteTimeout)) {
        result.failure = "no EOT again after rejecting the first";
        return result;
      }
    }
    if (byte != Soh) {
      result.failure = "expected SOH or EOT, got " + Printable(Bytes{byte});
      return result;
    }
  }
}

GiveResult GiveFileToTerminal(Device& device, const Bytes& data, const GiveFaults& faults,
                              Millis startTimeout, Millis replyTimeout) {
  GiveResult result;
  auto deadline = Clock::now() + startTimeout;
  if (!WaitForFreshNak(device, deadline)) {
    result.failure = "no NAK from the terminal";
    return result;
  }
  size_t blocks = data.empty() ? 1 : (data.size() + BlockSize - 1) / BlockSize;
  bool corrupted = false;
  bool repeatedAfterAck = false;
  for (size_t index = 0; index < blocks;) {
    int number = static_cast<int>(index) + 1;
    Bytes block = MakeBlock(static_cast<uint8_t>(number), data, index * BlockSize, faults.padByte);
    if (faults.silentInBlock == number) {
      device.Send(Bytes(block.begin(), block.begin() + 3 + BlockSize / 2));
      result.failure = "fell silent in block " + std::to_string(number) + " on purpose";
      return result;
    }
    if (faults.badChecksumBlock == number && !corrupted) {
      block.back() = static_cast<uint8_t>(block.back() + 1);
      corrupted = true;
    }
    device.TakeQueued();
    device.Send(block);
    ++result.blocksSent;
    uint8_t reply;
    if (!device.ReceiveByte(&reply, replyTimeout)) {
      result.failure = "no reply to block " + std::to_string(number);
      return result;
    }
    if (reply != Ack) {
      ++result.naksReceived;
      continue;
    }
    if (faults.missedAckBlock == number && !repeatedAfterAck) {
      repeatedAfterAck = true;
      continue;
    }
    ++index;
  }
  device.Send(Bytes{Eot});
  result.endReplies = device.Receive(2, replyTimeout);
  result.completed = result.endReplies == Bytes{Ack, Ack};
  if (!result.completed) result.failure = "EOT answered with " + Printable(result.endReplies);
  return result;
}

}  // namespace devsim
