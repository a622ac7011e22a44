// A recording implementation of the platform seam for unit tests, in virtual time.
// The device is scripted one way: bytes due at virtual times (DeviceSends), and what it sends back
// after each byte the terminal writes (world.answer). Tests read back what the core did: the line's
// bytes with their times, the window's visible cells, the caret, titles, message boxes, beeps,
// files, and the order of the calls that matter.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace fake {

constexpr int LineHeight = 16;
constexpr int CharWidth = 8;
constexpr int ClientColumns = 88;  // the client area in cells, margins included
constexpr int ClientRows = 31;
constexpr int AnswerDelayMs = 2;  // the device answers about a byte's time after the byte

struct ProcessExit {
  int code;
};
struct Hang {};  // the main loop waits, and nothing is ever due again

struct Message {
  std::string text;
  bool owned;  // by the main window
};

struct World {
  int64_t nowUs = 0;
  int64_t pollCostUs = 50;  // what one look at the clock costs a busy loop
  // The line and the device on it
  std::vector<int> presentPorts{1, 2, 3, 4, 5, 6};
  int64_t goneFromUs = INT64_MAX, goneUntilUs = INT64_MAX;  // COM1's device unplugged meanwhile
  bool lineTakes = true;                                    // false: no byte written goes out
  int openPort = 0;                                         // 0: none
  std::deque<std::pair<int64_t, unsigned char>> incoming;   // (due time in us, byte), in order
  std::string sent;
  std::vector<int64_t> sentAtUs;
  std::function<std::string(unsigned char)> answer;  // the device's reply to each byte it gets
  // The window
  std::string registeredClass;
  bool windowCanBeCreated = true;
  bool windowExists = false;
  std::vector<std::string> titles;
  std::deque<std::tuple<int64_t, unsigned, uintptr_t>> queued;  // (due time in us, message, wParam)
  std::optional<int> quitCode;
  int idleTurns = 0;  // turns that found nothing to do since the last wait
  std::vector<std::string> visible = std::vector<std::string>(ClientRows, std::string(ClientColumns, ' '));
  bool invalid = false;
  bool eraseRequested = false;
  std::vector<bool> paintClips;  // one per open paint cycle: whether it may draw
  bool caretExists = false;
  int caretHidden = 0;
  std::pair<int, int> caret;  // x and y
  // Modal windows and sounds
  std::vector<Message> messages;
  std::vector<int64_t> beepsUs;
  std::deque<std::optional<std::string>> dialogAnswers;  // a path, or nullopt for Cancel
  // Files by full path; searches look in /prog/, then /cwd/
  std::map<std::string, std::string> files;
  size_t diskRoom = SIZE_MAX;                                    // bytes the disk still takes
  std::map<intptr_t, std::pair<std::string, size_t>> openFiles;  // handle: path, position
  intptr_t nextHandle = 100;
  // Calls that matter for ordering, the line's bytes and drawn runs among them
  std::vector<std::string> calls;
};

extern World& world;

void Reset();
void DeviceSends(const std::string& bytes, int64_t afterMs = 0);
void Post(unsigned message, uintptr_t wParam = 0, int64_t afterMs = 0);
bool DeviceGone(int port);
std::string VisibleRow(int row);  // the 80 columns of a text row as the window shows them
bool CaretVisible();
int IndexOfCall(const std::string& prefix);  // the first call starting with prefix, or -1

}  // namespace fake
