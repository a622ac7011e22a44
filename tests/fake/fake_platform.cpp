#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/platform.h"

namespace fake {

// Never destroyed: the core's static SerialPort closes its device at exit, after this file's
// statics would be gone.
World& world = *new World();

void Reset() {
  world = World();
}

void DeviceSends(const std::string& bytes, int64_t afterMs) {
  const int64_t due = world.nowUs + afterMs * 1000;
  auto at = std::upper_bound(world.incoming.begin(), world.incoming.end(), due,
                             [](int64_t time, const auto& item) { return time < item.first; });
  for (char c : bytes) at = world.incoming.insert(at, {due, static_cast<unsigned char>(c)}) + 1;
}

void Post(unsigned message, uintptr_t wParam, int64_t afterMs) {
  world.queued.emplace_back(world.nowUs + afterMs * 1000, message, wParam);
}

std::string VisibleRow(int row) {
  return world.visible.at(row + 2).substr(2, 80);
}

bool DeviceGone(int port) {
  return port == 1 && world.nowUs >= world.goneFromUs && world.nowUs < world.goneUntilUs;
}

bool CaretVisible() {
  return world.caretExists && world.caretHidden == 0;
}

int IndexOfCall(const std::string& prefix) {
  for (size_t i = 0; i < world.calls.size(); ++i) {
    if (world.calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

namespace {

void Log(const std::string& call) {
  world.calls.push_back(call);
}

int DueBytes() {
  int n = 0;
  while (n < static_cast<int>(world.incoming.size()) && world.incoming[n].first <= world.nowUs) ++n;
  return n;
}

bool MessageDue() {
  return !world.queued.empty() && std::get<0>(world.queued.front()) <= world.nowUs;
}

bool PaintNow() {
  if (!world.invalid || !world.windowExists) return false;
  MainWindowProc(msg::Paint, 0, 0);
  return true;
}

}  // namespace
}  // namespace fake

using fake::Log;
using fake::world;

namespace platform {

void LoadResourceString(int id, char* buffer, int size) {
  std::snprintf(buffer, size, "%s", id == 103 ? "mirelox" : id == 109 ? "MIRELOX" : "");
}

void LoadAcceleratorTable() {
  Log("LoadAccelerators");
}

void RegisterMainWindowClass(const char* className) {
  world.registeredClass = className;
}

bool OpenMainWindow(const char* className, const char* title) {
  Log(std::string("OpenMainWindow ") + className + " " + title);
  if (!world.windowCanBeCreated || !*className || className != world.registeredClass) return false;
  world.windowExists = true;
  world.titles.push_back(title);
  MainWindowProc(msg::Create, 0, 0);
  return true;
}

void ShowMainWindow(int) {
  Log("ShowMainWindow");
}

void DestroyMainWindow() {
  Log("DestroyMainWindow");
  MainWindowProc(msg::Destroy, 0, 0);
  world.windowExists = false;
}

void SetMainWindowTitle(const char* text) {
  world.titles.push_back(text);
}

Pumped PumpOneMessage(int* quitCode) {
  if (fake::MessageDue()) {
    auto [due, message, wParam] = world.queued.front();
    world.queued.pop_front();
    MainWindowProc(message, wParam, 0);
    return Pumped::Dispatched;
  }
  if (world.quitCode) {
    *quitCode = *world.quitCode;
    world.quitCode.reset();
    return Pumped::Quit;
  }
  if (fake::PaintNow()) return Pumped::Dispatched;
  if (++world.idleTurns > 1000) throw fake::Hang{};  // a loop that spins instead of waiting
  return Pumped::Nothing;
}

// Sleeps until the next message or byte is due, or the device goes away (a hang-up wakes a wait):
// the next of them in virtual time.
void WaitForMessageOrByte(SerialDevice* device, int limitMs) {
  Log("Wait");
  world.idleTurns = 0;
  int64_t next = INT64_MAX;
  if (!world.queued.empty()) next = std::get<0>(world.queued.front());
  if (device != nullptr && !world.incoming.empty()) next = std::min(next, world.incoming.front().first);
  if (world.openPort == 1 && world.goneFromUs > world.nowUs) next = std::min(next, world.goneFromUs);
  if (limitMs >= 0) next = std::min(next, world.nowUs + int64_t{limitMs} * 1000);
  if (next == INT64_MAX) throw fake::Hang{};
  world.nowUs = std::max(world.nowUs, next);
}

void PostQuit(int exitCode) {
  world.quitCode = exitCode;
}

intptr_t DefaultWindowProc(unsigned message, uintptr_t, intptr_t) {
  Log("DefaultWindowProc " + std::to_string(message));
  if (message == msg::Close) DestroyMainWindow();
  return 0;
}

void RunAboutDialog() {
  Log(AboutDialogProc(msg::InitDialog, 0) ? "RunAboutDialog open" : "RunAboutDialog refused");
}

void EndAboutDialog(int result) {
  Log("EndAboutDialog " + std::to_string(result));
}

void CreateScreenFont(int* lineHeight, int* charWidth) {
  *lineHeight = fake::LineHeight;
  *charWidth = fake::CharWidth;
}

// Like BeginPaint: the cycle may draw only where a repaint was requested, erases first when the
// request asked for that, and consumes the request.
bool BeginPaintCycle() {
  const bool erase = world.invalid && world.eraseRequested;
  world.paintClips.push_back(world.invalid);
  world.invalid = world.eraseRequested = false;
  if (erase) FillClientWhite();
  return erase;
}

void EndPaintCycle() {
  world.paintClips.pop_back();
}

// Text lands on whole cells inside a paint cycle: a run anywhere else is a fault in the core. A
// cycle with nothing to repaint clips the run away, as a window does.
void DrawTextRun(int x, int y, const unsigned char* bytes, int count) {
  if (world.paintClips.empty() || x < 0 || y < 0 || x % fake::CharWidth || y % fake::LineHeight)
    throw std::logic_error("a run drawn off the cell grid or outside a paint cycle");
  if (!world.paintClips.back()) return;
  Log("Draw " + std::string(reinterpret_cast<const char*>(bytes), count));
  const int row = y / fake::LineHeight;
  for (int i = 0; i < count && row < fake::ClientRows; ++i) {
    const int column = x / fake::CharWidth + i;
    if (column < fake::ClientColumns) world.visible[row][column] = static_cast<char>(bytes[i]);
  }
}

void FillClientWhite() {
  if (world.paintClips.empty()) throw std::logic_error("a fill outside a paint cycle");
  for (std::string& row : world.visible) row.assign(fake::ClientColumns, ' ');
}

void InvalidateMainWindow(bool erase) {
  world.invalid = true;
  world.eraseRequested = world.eraseRequested || erase;
}

void UpdateMainWindow() {
  fake::PaintNow();
}

void CreateCaretBar(int, int) {
  world.caretExists = true;
  world.caretHidden = 1;  // a new caret is hidden until shown
}

void DestroyCaretBar() {
  world.caretExists = false;
}

void SetCaretPosition(int x, int y) {
  if (!world.caretExists) return;
  world.caret = {x, y};
}

void HideCaretBar() {
  if (world.caretExists) ++world.caretHidden;
}

void ShowCaretBar() {
  if (world.caretExists && world.caretHidden > 0) --world.caretHidden;
}

// A modal loop: the main window repaints while the box is open.
void ShowMessage(const char* text) {
  world.messages.push_back({text, world.windowExists});
  fake::PaintNow();
}

void Beep() {
  world.beepsUs.push_back(world.nowUs);
}

namespace {
bool ChooseFile(const char* kind, const char* title, const char* filterList, char* path, int pathSize) {
  std::string shown = std::string(kind) + " " + title + " ";
  for (const char* p = filterList; *p != 0; p += std::strlen(p) + 1) shown += std::string(p) + "|";
  Log(shown);
  if (world.dialogAnswers.empty()) return false;
  const std::optional<std::string> answer = world.dialogAnswers.front();
  world.dialogAnswers.pop_front();
  if (answer) std::snprintf(path, pathSize, "%s", answer->c_str());
  return answer.has_value();
}
}  // namespace

bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile("Open", title, filterList, path, pathSize);
}

bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile("Save", title, filterList, path, pathSize);
}

void SleepMs(int milliseconds) {
  world.nowUs += int64_t{milliseconds} * 1000;
}

int64_t NowMs() {
  world.nowUs += world.pollCostUs;
  return world.nowUs / 1000;
}

// Virtual time 0 is 2026-12-07 14:03:22.000.
void ReadLocalTime(LocalTime* time) {
  const int64_t ms = world.nowUs / 1000 + ((14 * 60 + 3) * 60 + 22) * 1000;
  *time = {2026, 12, 7, int(ms / 3600000 % 24), int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000)};
}

const char LineEnd[] = "\n";

bool SearchFile(const char* name, const char* extension, char* foundPath, int size) {
  std::string wanted = name;
  if (wanted.find('.') == std::string::npos) wanted += extension;
  Log("Search " + wanted);
  for (const std::string folder : {"/prog/", "/cwd/"}) {  // the program's folder, the current one
    const std::string path = folder + wanted;
    if (world.files.count(path) && static_cast<int>(path.size()) < size) {
      std::snprintf(foundPath, size, "%s", path.c_str());
      return true;
    }
  }
  return false;
}

namespace {
enum Mode { Existing, New, Shared, Appending };
// Only shared and appending opens let others in; a folder named /readonly/ takes no writes.
FileHandle Open(const char* call, const std::string& path, Mode mode) {
  Log(std::string(call) + " " + path);
  const bool exists = world.files.count(path) == 1, readOnly = path.rfind("/readonly/", 0) == 0;
  const bool held = std::any_of(world.openFiles.begin(), world.openFiles.end(),
                                [&](const auto& file) { return file.second.first == path; });
  if (mode == Shared ? !exists : mode == Appending ? readOnly : held || readOnly || exists == (mode == New))
    return NoFile;
  world.openFiles[world.nextHandle] = {path, mode == Appending ? world.files[path].size() : 0};
  world.files[path];
  return world.nextHandle++;
}
}  // namespace

FileHandle OpenFileForReading(const char* path) {
  return Open("OpenForReading", path, Existing);
}

FileHandle OpenFileForWriting(const char* path) {
  return Open("OpenForWriting", path, Existing);
}

FileHandle CreateNewFile(const char* path) {
  return Open("CreateNewFile", path, New);
}

FileHandle OpenFileForSharedReading(const char* path) {
  return Open("OpenShared", path, Shared);
}

FileHandle OpenFileForAppending(const char* path) {
  return Open("OpenForAppending", path, Appending);
}

int ReadFromFile(FileHandle file, void* buffer, int count) {
  auto& [path, position] = world.openFiles.at(file);
  const std::string& content = world.files[path];
  const size_t n = std::min(content.size() - std::min(content.size(), position), size_t(count));
  std::memcpy(buffer, content.data() + position, n);
  position += n;
  return static_cast<int>(n);
}

int WriteToFile(FileHandle file, const void* buffer, int count) {
  auto& [path, position] = world.openFiles.at(file);
  const size_t n = std::min(size_t(count), world.diskRoom);
  world.diskRoom -= n;
  std::string& content = world.files[path];
  content.resize(std::max(content.size(), position + n));
  content.replace(position, n, static_cast<const char*>(buffer), n);
  position += n;
  Log("WriteFile " + path + " " + std::to_string(n));
  return static_cast<int>(n);
}

// A disk that cannot take all of it keeps none of it, as a write cut off again leaves it.
bool AppendWhole(FileHandle file, const void* buffer, int count) {
  if (size_t(count) > world.diskRoom) return false;
  return WriteToFile(file, buffer, count) == count;
}

bool IsSameFile(FileHandle file, const char* path) {
  return world.openFiles.at(file).first == path;
}

bool IsDevice(FileHandle file) {
  return world.openFiles.at(file).first.rfind("/dev/", 0) == 0;
}

bool FlushFile(FileHandle file) {
  Log("FlushFile " + world.openFiles.at(file).first);
  return true;
}

bool CloseFile(FileHandle file) {
  return world.openFiles.erase(file) == 1;
}

// A link under /links/ points to a name too long for a path.
bool ResolveSaveTarget(const char* path, char* target, int size) {
  return std::string(path).rfind("/links/", 0) != 0 && std::snprintf(target, size, "%s", path) < size;
}

bool ReplaceFile(const char* fromPath, const char* toPath) {
  Log(std::string("ReplaceFile ") + fromPath + " " + toPath);
  auto it = world.files.find(fromPath);
  if (it == world.files.end()) return false;
  world.files[toPath] = it->second;
  world.files.erase(it);
  return true;
}

bool RemoveFile(const char* path) {
  return world.files.erase(path) == 1;
}

void ExitProcessWithCode(int code) {
  Log("Exit " + std::to_string(code));
  throw fake::ProcessExit{code};
}

struct SerialDevice {};

SerialDevice* OpenSerialDevice(int portNumber) {
  static SerialDevice device;
  Log("OpenSerialDevice " + std::to_string(portNumber));
  const auto& ports = world.presentPorts;
  if (world.openPort != 0 || std::find(ports.begin(), ports.end(), portNumber) == ports.end() ||
      fake::DeviceGone(portNumber))
    return nullptr;
  world.openPort = portNumber;
  return &device;
}

void CloseSerialDevice(SerialDevice*) {
  Log("CloseSerialDevice " + std::to_string(world.openPort));
  world.openPort = 0;
}

int WriteSerialByte(SerialDevice*, unsigned char byte) {
  if (fake::DeviceGone(world.openPort)) return LineLost;
  if (!world.lineTakes) return 0;
  world.sent += static_cast<char>(byte);
  world.sentAtUs.push_back(world.nowUs);
  Log("Sent " + std::string(1, static_cast<char>(byte)));
  if (world.answer) fake::DeviceSends(world.answer(byte), fake::AnswerDelayMs);
  return 1;
}

int SerialBytesWaiting(SerialDevice*) {
  return fake::DeviceGone(world.openPort) ? LineLost : fake::DueBytes();
}

int ReadSerial(SerialDevice*, unsigned char* buffer, int count) {
  if (fake::DeviceGone(world.openPort)) return LineLost;
  const int n = std::min(count, fake::DueBytes());
  for (int i = 0; i < n; ++i) {
    buffer[i] = world.incoming.front().second;
    world.incoming.pop_front();
  }
  return n;
}

}  // namespace platform
