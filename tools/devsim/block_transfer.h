// The device's side of the checksummed block protocol. Taking a file: the device invites the
// terminal with NAK, then checks and acknowledges each 132-byte block until EOT. Giving a file: the
// device answers the terminal's NAK with blocks, repeats a block the terminal rejects, ends with EOT
// and reads the two ACKs. Faults can be injected on demand to exercise the terminal's recovery.
#pragma once

#include <string>

#include "devsim/device.h"

namespace devsim {

constexpr uint8_t Soh = 0x01;
constexpr uint8_t Eot = 0x04;
constexpr uint8_t Ack = 0x06;
constexpr uint8_t Nak = 0x15;
constexpr size_t BlockSize = 128;

uint8_t Checksum(const uint8_t* data);  // the 8-bit sum of BlockSize bytes
// SOH, number, 255 - number, the data (padded with padByte to a whole block), the checksum.
Bytes MakeBlock(uint8_t number, const Bytes& data, size_t offset, uint8_t padByte);
Bytes PadToBlocks(Bytes data, uint8_t padByte);  // at least one block

struct TakeFaults {
  int rejectBlock = 0;          // answer the first arrival of block k (from 1) with NAK
  bool rejectFirstEot = false;  // answer the first EOT with NAK
  int silentAfterBlock = 0;     // block k (from 1, repeats counted) gets no answer; nothing more is sent
};

struct TakeResult {
  bool completed = false;
  std::string failure;  // why it did not complete
  Bytes data;           // the accepted blocks' data, in order
  int blocksAccepted = 0;
  int blocksReceived = 0;        // repeats included
  std::vector<uint8_t> numbers;  // block number byte of every block received
  int eotCount = 0;
};

// Call after ESC [ R once the terminal is about to send (its Open dialog is done or soon will be):
// sends NAK at once and again every nakInterval until the first SOH arrives.
TakeResult TakeFileFromTerminal(Device& device, const TakeFaults& faults = {},
                                Millis startTimeout = Millis(20000), Millis nakInterval = Millis(1000),
                                Millis byteTimeout = Millis(5000));

struct GiveFaults {
  int badChecksumBlock = 0;  // block k goes out first with a wrong checksum
  int missedAckBlock = 0;    // block k goes out again after its ACK, as if the ACK was lost
  int silentInBlock = 0;     // block k stops after half its data; nothing more is sent
  uint8_t padByte = 0x1A;
};

struct GiveResult {
  bool completed = false;
  std::string failure;
  int blocksSent = 0;  // repeats included
  int naksReceived = 0;
  Bytes endReplies;  // what followed EOT: two ACKs
};

// Call after ESC [ T: waits for a fresh NAK of the terminal (one answered at once, not one left
// over from an attempt the terminal already gave up), then sends the blocks.
GiveResult GiveFileToTerminal(Device& device, const Bytes& data, const GiveFaults& faults = {},
                              Millis startTimeout = Millis(20000), Millis replyTimeout = Millis(5000));

}  // namespace devsim
