// The device's side of the block protocol, played as the device simulator plays it, but keeping the
// time of every byte: when each byte of the terminal reached the device, and when the device wrote
// its own. A take (the terminal sends) yields the pauses between paced bytes and the length of the
// send; a give (the terminal receives) yields the length of the receive and, with the checksum byte
// held back, the terminal's reaction from that byte to its ACK.
#pragma once

#include <string>
#include <vector>

#include "devsim/device.h"

namespace bench {

using devsim::Bytes;
using devsim::Clock;

constexpr size_t LineBlockSize = 132;  // SOH, number, complement, 128 data bytes, checksum

struct TakeTiming {
  std::string failure;  // empty when the transfer completed with the expected data
  std::vector<std::vector<Clock::time_point>> blocks;  // arrival of the 132 bytes of every block
  Clock::time_point firstSoh, eot;
};

// Call after ESC [ R: sends NAK at once and every second until the first SOH, takes every block,
// acknowledges it at once, answers EOT with ACK, and checks the data against expected.
TakeTiming TakeTimed(devsim::Device& device, const Bytes& expected);

// Gaps in milliseconds between the bytes of each sendTransmitBuffer call the blocks went out in:
// within the header (SOH, number, complement) and from each data byte to the next byte (the last
// one's gap runs to the checksum, across a drain of the input). The gap between header and data,
// where the title is set, is left to TitleGapsMs.
std::vector<double> PacedGapsMs(const TakeTiming& timing);
std::vector<double> TitleGapsMs(const TakeTiming& timing);

struct GiveTiming {
  std::string failure;  // empty when all blocks were acknowledged and EOT got its two ACKs
  Clock::time_point firstWrite, lastAck;
  // From the write of each block's checksum byte to the ACK's arrival. With the checksum held back
  // that is the terminal's reaction; without, it also holds the rest of the terminal's pause after
  // the previous ACK and its reading of the whole block.
  std::vector<double> answersMs;
};

// Call after ESC [ T: waits for a fresh NAK, then sends the blocks of data one after the other,
// each as soon as the previous one is acknowledged. With holdChecksum above zero each block's
// checksum byte is written alone, that long after the rest of the block.
GiveTiming GiveTimed(devsim::Device& device, const Bytes& data, devsim::Millis holdChecksum);

double MillisBetween(Clock::time_point from, Clock::time_point to);

}  // namespace bench
