#include "timed_transfers.h"

#include <thread>

#include "devsim/block_transfer.h"

namespace bench {

namespace {

using devsim::Millis;

constexpr Millis StartTimeout(30000);
constexpr Millis NakInterval(1000);
constexpr Millis ByteTimeout(5000);
// The terminal gives up a silent handshake attempt after about half a second; a NAK older than this
// may belong to one it has already abandoned.
constexpr Millis FreshNak(200);

bool WaitForFreshNak(devsim::Device& device) {
  auto deadline = Clock::now() + StartTimeout;
  while (Clock::now() < deadline) {
    uint8_t byte;
    Clock::time_point at;
    if (!device.ReceiveByte(&byte, std::chrono::duration_cast<Millis>(deadline - Clock::now()), &at)) break;
    if (byte == devsim::Nak && Clock::now() - at < FreshNak) return true;
  }
  return false;
}

bool AwaitFirstSoh(devsim::Device& device, Clock::time_point* at) {
  auto deadline = Clock::now() + StartTimeout;
  while (Clock::now() < deadline) {
    device.Send(Bytes{devsim::Nak});
    auto nextNak = Clock::now() + NakInterval;
    uint8_t byte;
    while (Clock::now() < nextNak) {
      if (device.ReceiveByte(&byte, std::chrono::duration_cast<Millis>(nextNak - Clock::now()), at) &&
          byte == devsim::Soh)
        return true;
    }
  }
  return false;
}

}  // namespace

double MillisBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

TakeTiming TakeTimed(devsim::Device& device, const Bytes& expected) {
  TakeTiming timing;
  Clock::time_point sohAt;
  if (!AwaitFirstSoh(device, &sohAt)) {
    timing.failure = "no SOH from the terminal";
    return timing;
  }
  timing.firstSoh = sohAt;
  Bytes received;
  for (;;) {
    std::vector<devsim::TimedByte> rest = device.ReceiveTimed(LineBlockSize - 1, ByteTimeout);
    if (rest.size() < LineBlockSize - 1) {
      timing.failure = "block " + std::to_string(timing.blocks.size() + 1) + " cut short";
      return timing;
    }
    std::vector<Clock::time_point> times = {sohAt};
    Bytes block = {devsim::Soh};
    for (const devsim::TimedByte& b : rest) {
      times.push_back(b.at);
      block.push_back(b.value);
    }
    if (devsim::Checksum(block.data() + 3) != block.back()) {
      timing.failure = "block " + std::to_string(timing.blocks.size() + 1) + " has a wrong checksum";
      return timing;
    }
    device.Send(Bytes{devsim::Ack});
    timing.blocks.push_back(times);
    received.insert(received.end(), block.begin() + 3, block.end() - 1);
    uint8_t next;
    if (!device.ReceiveByte(&next, ByteTimeout, &sohAt)) {
      timing.failure = "nothing after block " + std::to_string(timing.blocks.size());
      return timing;
    }
    if (next == devsim::Eot) {
      timing.eot = sohAt;
      device.Send(Bytes{devsim::Ack});
      break;
    }
    if (next != devsim::Soh) {
      timing.failure = "neither SOH nor EOT after block " + std::to_string(timing.blocks.size());
      return timing;
    }
  }
  if (received != expected) timing.failure = "the data taken differs from the file sent";
  return timing;
}

std::vector<double> PacedGapsMs(const TakeTiming& timing) {
  std::vector<double> gaps;
  for (const auto& times : timing.blocks) {
    for (size_t i = 0; i + 1 < times.size(); ++i) {
      if (i != 2) gaps.push_back(MillisBetween(times[i], times[i + 1]));
    }
  }
  return gaps;
}

std::vector<double> TitleGapsMs(const TakeTiming& timing) {
  std::vector<double> gaps;
  for (const auto& times : timing.blocks) gaps.push_back(MillisBetween(times[2], times[3]));
  return gaps;
}

GiveTiming GiveTimed(devsim::Device& device, const Bytes& data, devsim::Millis holdChecksum) {
  GiveTiming timing;
  if (!WaitForFreshNak(device)) {
    timing.failure = "no NAK from the terminal";
    return timing;
  }
  const size_t blocks = devsim::PadToBlocks(data, 0x1A).size() / devsim::BlockSize;
  for (size_t index = 0; index < blocks; ++index) {
    Bytes block = devsim::MakeBlock(static_cast<uint8_t>(index + 1), data, index * devsim::BlockSize, 0x1A);
    device.TakeQueued();
    Clock::time_point written;
    if (holdChecksum.count() > 0) {
      device.Send(Bytes(block.begin(), block.end() - 1));
      std::this_thread::sleep_for(holdChecksum);
      written = Clock::now();
      device.Send(Bytes{block.back()});
    } else {
      written = Clock::now();
      device.Send(block);
    }
    if (index == 0) timing.firstWrite = written;
    uint8_t reply;
    Clock::time_point at;
    if (!device.ReceiveByte(&reply, ByteTimeout, &at) || reply != devsim::Ack) {
      timing.failure = "block " + std::to_string(index + 1) + " was not acknowledged";
      return timing;
    }
    timing.answersMs.push_back(MillisBetween(written, at));
  }
  device.Send(Bytes{devsim::Eot});
  std::vector<devsim::TimedByte> end = device.ReceiveTimed(2, ByteTimeout);
  if (end.size() < 2 || end[0].value != devsim::Ack || end[1].value != devsim::Ack) {
    timing.failure = "EOT was not answered with two ACKs";
    return timing;
  }
  timing.lastAck = end[1].at;
  return timing;
}

}  // namespace bench
