#include "tests/unit/scripted_device.h"

#include "tests/fake/fake_platform.h"
#include "transfer/block_protocol.h"

namespace {
constexpr int ReplyDelayMs = 2;  // the device answers about a byte's time after the last byte
}

std::string MakeBlock(unsigned char number, const std::string& data) {
  std::string block;
  block += static_cast<char>(SOH);
  block += static_cast<char>(number);
  block += static_cast<char>(255 - number);
  block += data;
  unsigned char sum = 0;
  for (unsigned char c : data) sum = static_cast<unsigned char>(sum + c);
  block += static_cast<char>(sum);
  return block;
}

std::string Pattern(int length, int seed) {
  std::string bytes;
  for (int i = 0; i < length; ++i) bytes += static_cast<char>((i * 7 + seed * 13 + i / 256) & 0xFF);
  return bytes;
}

ReceivingDevice::ReceivingDevice() {
  answer = [](int) { return ACK; };
  eotAnswer = [](int) { return ACK; };
  fake::world.onSent = [this](unsigned char byte) { OnByte(byte); };
  fake::DeviceSends(std::string(1, static_cast<char>(NAK)));
}

void ReceivingDevice::OnByte(unsigned char byte) {
  if (current_.empty() && byte == EOT) {
    fake::DeviceSends(std::string(1, static_cast<char>(eotAnswer(eots++))), ReplyDelayMs);
    return;
  }
  current_ += static_cast<char>(byte);
  if (current_.size() < 132) return;
  const unsigned char reply = answer(static_cast<int>(blocks.size()));
  blocks.push_back(current_);
  if (reply == ACK) accepted += current_.substr(3, 128);
  current_.clear();
  if (reply != 0) fake::DeviceSends(std::string(1, static_cast<char>(reply)), ReplyDelayMs);
}

SendingDevice::SendingDevice(const std::vector<std::string>& blocks)
    : blocks_(blocks), sendings_(blocks.size(), 0), missed_(blocks.size(), false) {
  shape = [](int, int, const std::string& block) { return block; };
  missesAck = [](int) { return false; };
  fake::world.onSent = [this](unsigned char byte) { OnByte(byte); };
}

void SendingDevice::SendBlock() {
  if (index_ >= static_cast<int>(blocks_.size())) {
    eotSent = true;
    fake::DeviceSends(std::string(1, static_cast<char>(EOT)), ReplyDelayMs);
    return;
  }
  fake::DeviceSends(shape(index_, sendings_[index_]++, blocks_[index_]), ReplyDelayMs);
}

void SendingDevice::OnByte(unsigned char byte) {
  fromTerminal += static_cast<char>(byte);
  if (eotSent) {
    acksAfterEot += byte == ACK;
    return;
  }
  if (index_ < 0) {
    if (byte != NAK) return;
    index_ = 0;  // the first NAK starts the transfer; later ones are the terminal repeating itself
  } else if (byte == ACK) {
    if (missesAck(index_) && !missed_[index_]) {
      missed_[index_] = true;  // as if the ACK was lost on the line: the same block once more
    } else {
      ++index_;
    }
  }
  SendBlock();
}
