// Devices that play the other side of a block transfer over the fake line, reacting to each byte the
// terminal writes the way the real device does, with hooks to inject the faults a line has.
#pragma once

#include <functional>
#include <string>
#include <vector>

std::string MakeBlock(unsigned char number, const std::string& data);  // data: 128 bytes
std::string Pattern(int length, int seed = 0);                         // bytes that differ by position

// The device takes a file: it sends NAK, then answers each 132-byte block and each EOT.
class ReceivingDevice {
 public:
  ReceivingDevice();  // attaches itself to the fake line and queues the first NAK
  std::function<unsigned char(int block)> answer;  // reply to the n-th block (from 0); 0: silence
  std::function<unsigned char(int eot)> eotAnswer;
  std::vector<std::string> blocks;  // every block as it came, header and checksum included
  std::string accepted;             // the data of the blocks answered with ACK
  int eots = 0;

 private:
  void OnByte(unsigned char byte);
  std::string current_;
};

// The device gives a file: waits for the terminal's NAK, sends the blocks, repeats a block that is
// answered with NAK, and ends with EOT.
class SendingDevice {
 public:
  explicit SendingDevice(const std::vector<std::string>& blocks);  // attaches itself to the line
  // What goes on the line for block index (from 0) on its n-th sending (from 0); default: as made.
  std::function<std::string(int index, int sending, const std::string& block)> shape;
  std::function<bool(int index)> missesAck;  // sends the block again although it was acknowledged
  std::string fromTerminal;
  int acksAfterEot = 0;
  bool eotSent = false;

 private:
  void OnByte(unsigned char byte);
  void SendBlock();
  std::vector<std::string> blocks_;
  std::vector<int> sendings_;
  std::vector<bool> missed_;
  int index_ = -1;
};
