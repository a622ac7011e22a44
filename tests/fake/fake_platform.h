// A recording implementation of the platform seam for unit tests, in virtual time.
// Tests play the device (bytes due at given virtual times, or a reaction to each byte the terminal
// writes), the user (window messages, dialog answers) and the disk (files in memory), then read back
// what the core did: the bytes on the line with their timestamps, the visible cells of the window,
// the caret, titles, message boxes with their owner, beeps and the order of every call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fake {

constexpr int LineHeight = 16;
constexpr int CharWidth = 8;
constexpr int ClientColumns = 88;  // the client area in cells, margins included
constexpr int ClientRows = 31;
constexpr int64_t PollCostUs = 50;  // virtual time that one look at the clock costs a busy loop

struct ProcessExit {
  int code;
};

struct SentByte {
  unsigned char byte;
  int64_t atUs;
};

struct Message {
  std::string text;
  bool ownedByMainWindow;
};

struct OpenFile {
  std::string path;
  size_t position = 0;
  bool writable = false;
};

struct World {
  // Time
  int64_t nowUs = 0;
  int64_t pollCostUs = PollCostUs;
  // The device
  std::vector<int> presentPorts{1, 2, 3, 4, 5, 6};
  int openPort = 0;                                        // 0: none
  std::deque<std::pair<int64_t, unsigned char>> incoming;  // (due time in us, byte)
  std::vector<SentByte> sent;
  std::function<void(unsigned char)> onSent;  // the device's reaction to each byte written
  // The window
  bool windowCanBeCreated = true;
  bool windowExists = false;
  bool windowShown = false;
  std::string title;
  std::vector<std::string> titles;
  std::deque<std::tuple<unsigned, uintptr_t, intptr_t>> queuedMessages;
  std::optional<int> quitCode;
  bool acceleratorsLoaded = false;
  bool fontBroken = false;  // a font that reports zero metrics
  // Painting: visible cells of the client area, in cells from its top left corner.
  std::vector<std::string> visible = std::vector<std::string>(ClientRows, std::string(ClientColumns, ' '));
  bool invalid = false;
  bool eraseRequested = false;
  std::vector<bool> paintClips;  // one per open paint cycle: whether it may draw
  int paintCycles = 0;
  int erasingPaints = 0;
  // Caret
  bool caretExists = false;
  int caretHideLevel = 0;
  int caretX = 0, caretY = 0;
  // Messages, sounds, dialogs
  std::vector<Message> messages;
  std::vector<int64_t> beepsUs;
  std::deque<std::optional<std::string>> dialogAnswers;  // path, or nullopt for Cancel
  std::vector<std::string> dialogTitles;
  std::vector<std::string> dialogFilters;  // the filter list, NULs shown as '|'
  bool aboutOpen = false;
  // Files, by full path; searches look in searchFolders in order.
  std::map<std::string, std::string> files;
  std::vector<std::string> searchFolders{"/prog/", "/cwd/"};
  std::vector<std::string> searchedNames;
  std::map<std::string, int> writeLimit;  // a disk that takes only so many bytes into this path
  std::map<intptr_t, OpenFile> openFiles;
  intptr_t nextHandle = 100;
  // Every call that matters for ordering, in order; each byte sent and each run drawn among them
  // unless logLineAndDrawing is cleared.
  std::vector<std::string> calls;
  bool logLineAndDrawing = true;
};

extern World& world;

void Reset();
int64_t NowMs();
void AdvanceMs(int64_t ms);

// The device sends bytes: due now, or at a virtual time from now.
void DeviceSends(const std::string& bytes, int64_t afterMs = 0);
std::string SentBytes();
void ClearSent();

// The window as the user sees it: cells of the text area (row, column from the text origin).
char VisibleAt(int row, int column);
std::string VisibleRow(int row);  // the 80 columns of a text row
bool CaretVisible();

// Posts a window message, as the user's input would.
void Post(unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
// Delivers pending window messages and paints, as the main loop's pump would.
void PumpAll();

}  // namespace fake
