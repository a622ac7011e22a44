// A simulated serial device on a pseudo-terminal. The program under test opens the slave side
// through a symlink (MIRELOX_COM<n> on Linux, the Wine COM mapping on Windows); this object owns
// the master side. A reader thread timestamps and queues every byte the program sends; the Receive
// calls take bytes from that queue, Send writes to the master.
// The slave side stays open here too, so the master never reads EIO when the program closes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace devsim {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

struct TimedByte {
  uint8_t value;
  Clock::time_point at;  // when the reader thread took it from the master
};

Bytes ToBytes(std::string_view text);
std::string Printable(const Bytes& bytes);  // hex escapes for everything outside 0x20..0x7E

constexpr uint8_t Esc = 0x1B;

class Device {
 public:
  // Creates the pty pair and the symlink (replacing whatever was at linkPath).
  // Throws std::runtime_error when the pty cannot be made.
  explicit Device(std::string linkPath);
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  const std::string& LinkPath() const { return linkPath_; }
  const std::string& SlavePath() const { return slavePath_; }

  // ---- Device to terminal
  void Send(const Bytes& bytes, Millis pace = Millis(0));  // pace: pause after each byte
  void Send(std::string_view text, Millis pace = Millis(0));

  // ---- Terminal to device
  std::vector<TimedByte> ReceiveTimed(size_t count, Millis timeout);  // fewer on timeout
  Bytes Receive(size_t count, Millis timeout);
  bool ReceiveByte(uint8_t* byte, Millis timeout, Clock::time_point* at = nullptr);
  Bytes ReceiveFor(Millis period);      // everything that arrives within the period
  std::vector<TimedByte> TakeQueued();  // whatever is queued now, without waiting
  size_t Unread() const;                // bytes sent that the program has not read yet
  // Every byte sent to the terminal so far and every byte received from it, each in order.
  Bytes SentSoFar();
  Bytes ReceivedSoFar();

  // ---- Requests and control sequences
  Bytes QueryIdentification(Millis timeout = Millis(3000));  // the terminal's 12-byte reply
  void ClearScreen();                                        // ESC [ J
  void MoveTo(int row, int column);                          // ESC [ rr;ccH, both from 1
  void PutText(int row, int column, std::string_view text);  // MoveTo, then the text
  void Freeze();                                             // ESC [ F
  void Unfreeze();                                           // ESC [ U
  void CursorLeft();                                         // ESC [ D
  void RequestFileFromTerminal();                            // ESC [ R: the terminal sends one
  void OfferFileToTerminal();                                // ESC [ T: the terminal receives one
  void RequestTextPage(std::string_view fiveBytes);          // ESC [ X and the five name bytes

 private:
  void ReadLoop();

  std::string linkPath_;
  std::string slavePath_;
  int master_ = -1;
  int slave_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<TimedByte> queue_;
  Bytes received_;
  std::mutex writeMutex_;
  Bytes sent_;
  std::thread reader_;
};

}  // namespace devsim
