#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

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
int64_t NowMs() {
  return world.nowUs / 1000;
}
void AdvanceMs(int64_t ms) {
  world.nowUs += ms * 1000;
}

// The queue stays ordered by due time, so the bytes due now are always a run at its front.
void DeviceSends(const std::string& bytes, int64_t afterMs) {
  const int64_t due = world.nowUs + afterMs * 1000;
  auto position = std::upper_bound(world.incoming.begin(), world.incoming.end(), due,
                                   [](int64_t time, const auto& item) { return time < item.first; });
  std::deque<std::pair<int64_t, unsigned char>> run;
  for (char c : bytes) run.emplace_back(due, static_cast<unsigned char>(c));
  world.incoming.insert(position, run.begin(), run.end());
}

std::string SentBytes() {
  std::string s;
  for (const SentByte& b : world.sent) s += static_cast<char>(b.byte);
  return s;
}

void ClearSent() {
  world.sent.clear();
}

char VisibleAt(int row, int column) {
  return world.visible.at(row + 2).at(column + 2);
}

std::string VisibleRow(int row) {
  return world.visible.at(row + 2).substr(2, 80);
}

bool CaretVisible() {
  return world.caretExists && world.caretHideLevel == 0;
}

void Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
  world.queuedMessages.emplace_back(message, wParam, lParam);
}

void PumpAll() {
  int code;
  while (platform::PumpOneMessage(&code) == platform::Pumped::Dispatched) {
  }
}

namespace {

bool MayDraw() {
  return !world.paintClips.empty() && world.paintClips.back();
}

void BlankClientArea() {
  for (std::string& row : world.visible) row.assign(ClientColumns, ' ');
}

int DueBytes() {
  if (world.incoming.empty() || world.incoming.front().first > world.nowUs) return 0;
  if (world.incoming.back().first <= world.nowUs) return static_cast<int>(world.incoming.size());
  auto end = std::upper_bound(world.incoming.begin(), world.incoming.end(), world.nowUs,
                              [](int64_t time, const auto& item) { return time < item.first; });
  return static_cast<int>(end - world.incoming.begin());
}

}  // namespace
}  // namespace fake

using fake::world;

namespace platform {

void LoadResourceString(int id, char* buffer, int size) {
  const char* text = id == 103 ? "mirelox" : id == 109 ? "MIRELOX" : "";
  std::snprintf(buffer, size, "%s", text);
}

void LoadAcceleratorTable() {
  world.acceleratorsLoaded = true;
  world.calls.push_back("LoadAccelerators");
}

void RegisterMainWindowClass(const char* className) {
  world.calls.push_back(std::string("RegisterClass ") + className);
}

bool OpenMainWindow(const char* className, const char* title) {
  world.calls.push_back(std::string("OpenMainWindow ") + className + " " + title);
  if (!world.windowCanBeCreated) return false;
  world.windowExists = true;
  world.title = title;
  MainWindowProc(msg::Create, 0, 0);
  return true;
}

void ShowMainWindow(int) {
  world.windowShown = true;
  world.calls.push_back("ShowMainWindow");
}

void DestroyMainWindow() {
  world.calls.push_back("DestroyMainWindow");
  MainWindowProc(msg::Destroy, 0, 0);
  world.windowExists = false;
}

void SetMainWindowTitle(const char* text) {
  world.title = text;
  world.titles.push_back(text);
  world.calls.push_back(std::string("SetTitle ") + text);
}

Pumped PumpOneMessage(int* quitCode) {
  if (!world.queuedMessages.empty()) {
    auto [message, wParam, lParam] = world.queuedMessages.front();
    world.queuedMessages.pop_front();
    MainWindowProc(message, wParam, lParam);
    return Pumped::Dispatched;
  }
  if (world.quitCode) {
    *quitCode = *world.quitCode;
    world.quitCode.reset();
    return Pumped::Quit;
  }
  if (world.invalid && world.windowExists) {
    MainWindowProc(msg::Paint, 0, 0);
    return Pumped::Dispatched;
  }
  return Pumped::Nothing;
}

void PostQuit(int exitCode) {
  world.quitCode = exitCode;
  world.calls.push_back("PostQuit");
}

intptr_t DefaultWindowProc(unsigned message, uintptr_t, intptr_t) {
  world.calls.push_back("DefaultWindowProc " + std::to_string(message));
  if (message == msg::Close) DestroyMainWindow();
  return 0;
}

void RunAboutDialog() {
  world.calls.push_back("RunAboutDialog");
  world.aboutOpen = AboutDialogProc(msg::InitDialog, 0);
}

void EndAboutDialog(int result) {
  world.aboutOpen = false;
  world.calls.push_back("EndAboutDialog " + std::to_string(result));
}

void CreateScreenFont(int* lineHeight, int* charWidth) {
  *lineHeight = world.fontBroken ? 0 : fake::LineHeight;
  *charWidth = world.fontBroken ? 0 : fake::CharWidth;
}

// Like BeginPaint: the cycle may draw only where a repaint was requested, and it erases first when
// the request asked for that. The request is consumed here.
bool BeginPaintCycle() {
  const bool erase = world.invalid && world.eraseRequested;
  world.paintClips.push_back(world.invalid);
  world.invalid = false;
  world.eraseRequested = false;
  ++world.paintCycles;
  if (erase) {
    fake::BlankClientArea();
    ++world.erasingPaints;
  }
  return erase;
}

void EndPaintCycle() {
  world.paintClips.pop_back();
}

void DrawTextRun(int x, int y, const unsigned char* bytes, int count) {
  if (!fake::MayDraw() || x % fake::CharWidth != 0 || y % fake::LineHeight != 0) return;
  const int row = y / fake::LineHeight;
  if (row < 0 || row >= fake::ClientRows) return;
  if (world.logLineAndDrawing) {
    world.calls.push_back("Draw " + std::string(reinterpret_cast<const char*>(bytes), count));
  }
  for (int i = 0; i < count; ++i) {
    const int column = x / fake::CharWidth + i;
    if (column >= 0 && column < fake::ClientColumns) world.visible[row][column] = static_cast<char>(bytes[i]);
  }
}

void FillClientWhite() {
  if (fake::MayDraw()) fake::BlankClientArea();
}

void InvalidateMainWindow(bool erase) {
  world.invalid = true;
  world.eraseRequested = world.eraseRequested || erase;
}

void UpdateMainWindow() {
  if (world.invalid && world.windowExists) MainWindowProc(msg::Paint, 0, 0);
}

void CreateCaretBar(int, int) {
  world.caretExists = true;
  world.caretHideLevel = 1;  // a new caret is hidden until shown
}

void DestroyCaretBar() {
  world.caretExists = false;
}

void SetCaretPosition(int x, int y) {
  if (!world.caretExists) return;
  world.caretX = x;
  world.caretY = y;
}

void HideCaretBar() {
  if (world.caretExists) ++world.caretHideLevel;
}

void ShowCaretBar() {
  if (world.caretExists && world.caretHideLevel > 0) --world.caretHideLevel;
}

void ShowMessage(const char* text) {
  world.messages.push_back({text, world.windowExists});
  world.calls.push_back(std::string("ShowMessage ") + text);
}

void Beep() {
  world.beepsUs.push_back(world.nowUs);
}

namespace {
bool ChooseFile(const char* kind, const char* title, const char* filterList, char* path, int pathSize) {
  world.calls.push_back(std::string(kind) + " " + title);
  world.dialogTitles.push_back(title);
  std::string filter;
  for (const char* p = filterList; *p != 0; p += std::strlen(p) + 1) filter += std::string(p) + "|";
  world.dialogFilters.push_back(filter);
  if (world.dialogAnswers.empty() || !world.dialogAnswers.front()) {
    if (!world.dialogAnswers.empty()) world.dialogAnswers.pop_front();
    return false;
  }
  std::snprintf(path, pathSize, "%s", world.dialogAnswers.front()->c_str());
  world.dialogAnswers.pop_front();
  return true;
}
}  // namespace

bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile("OpenDialog", title, filterList, path, pathSize);
}

bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize) {
  return ChooseFile("SaveDialog", title, filterList, path, pathSize);
}

void SleepMs(int milliseconds) {
  world.nowUs += int64_t{milliseconds} * 1000;
}

int64_t NowMs() {
  world.nowUs += world.pollCostUs;
  return world.nowUs / 1000;
}

bool SearchFile(const char* name, const char* extension, char* foundPath, int size) {
  std::string wanted = name;
  if (wanted.find('.') == std::string::npos) wanted += extension;
  world.searchedNames.push_back(wanted);
  for (const std::string& folder : world.searchFolders) {
    const std::string path = folder + wanted;
    if (world.files.count(path) && static_cast<int>(path.size()) < size) {
      std::snprintf(foundPath, size, "%s", path.c_str());
      return true;
    }
  }
  return false;
}

namespace {
auto& openFiles = world.openFiles;

FileHandle Track(const std::string& path, bool writable) {
  for (const auto& entry : openFiles) {
    if (entry.second.path == path) return NoFile;  // exclusive access
  }
  openFiles[world.nextHandle] = {path, 0, writable};
  return world.nextHandle++;
}
}  // namespace

FileHandle OpenFileForReading(const char* path) {
  world.calls.push_back(std::string("OpenForReading ") + path);
  return world.files.count(path) ? Track(path, false) : NoFile;
}

FileHandle OpenFileForWriting(const char* path) {
  world.calls.push_back(std::string("OpenForWriting ") + path);
  return world.files.count(path) ? Track(path, true) : NoFile;
}

FileHandle CreateFileAlways(const char* path) {
  world.calls.push_back(std::string("CreateFile ") + path);
  if (std::string(path).rfind("/readonly/", 0) == 0) return NoFile;
  FileHandle file = Track(path, true);
  if (file != NoFile) world.files[path].clear();
  return file;
}

int ReadFromFile(FileHandle file, void* buffer, int count) {
  auto it = openFiles.find(file);
  if (it == openFiles.end()) return -1;
  const std::string& content = world.files[it->second.path];
  const size_t n = std::min(content.size() - std::min(content.size(), it->second.position), size_t(count));
  std::memcpy(buffer, content.data() + it->second.position, n);
  it->second.position += n;
  return static_cast<int>(n);
}

int WriteToFile(FileHandle file, const void* buffer, int count) {
  auto it = openFiles.find(file);
  if (it == openFiles.end() || !it->second.writable) return -1;
  std::string& content = world.files[it->second.path];
  size_t n = size_t(count);
  auto limit = world.writeLimit.find(it->second.path);
  if (limit != world.writeLimit.end()) n = std::min(n, size_t(limit->second));
  const size_t position = it->second.position;
  if (content.size() < position + n) content.resize(position + n);
  content.replace(position, n, static_cast<const char*>(buffer), n);
  it->second.position += n;
  world.calls.push_back("WriteFile " + it->second.path + " " + std::to_string(n));
  return static_cast<int>(n);
}

bool CloseFile(FileHandle file) {
  return openFiles.erase(file) == 1;
}

bool ReplaceFile(const char* fromPath, const char* toPath) {
  world.calls.push_back(std::string("ReplaceFile ") + fromPath + " " + toPath);
  auto it = world.files.find(fromPath);
  if (it == world.files.end()) return false;
  world.files[toPath] = it->second;
  world.files.erase(fromPath);
  return true;
}

bool RemoveFile(const char* path) {
  return world.files.erase(path) == 1;
}

void ExitProcessWithCode(int code) {
  world.calls.push_back("Exit " + std::to_string(code));
  throw fake::ProcessExit{code};
}

struct SerialDevice {
  int port;
};

namespace {
SerialDevice theDevice;
}

SerialDevice* OpenSerialDevice(int portNumber) {
  world.calls.push_back("OpenSerialDevice " + std::to_string(portNumber));
  const auto& ports = world.presentPorts;
  if (world.openPort != 0 || std::find(ports.begin(), ports.end(), portNumber) == ports.end()) return nullptr;
  world.openPort = portNumber;
  theDevice.port = portNumber;
  return &theDevice;
}

void CloseSerialDevice(SerialDevice*) {
  world.calls.push_back("CloseSerialDevice " + std::to_string(world.openPort));
  world.openPort = 0;
}

void WriteSerialByte(SerialDevice*, unsigned char byte) {
  world.sent.push_back({byte, world.nowUs});
  if (world.logLineAndDrawing) world.calls.push_back("Sent " + std::string(1, static_cast<char>(byte)));
  if (world.onSent) world.onSent(byte);
}

int SerialBytesWaiting(SerialDevice*) {
  return fake::DueBytes();
}

int ReadSerial(SerialDevice*, unsigned char* buffer, int count) {
  const int n = std::min(count, fake::DueBytes());
  for (int i = 0; i < n; ++i) {
    buffer[i] = world.incoming.front().second;
    world.incoming.pop_front();
  }
  return n;
}

}  // namespace platform
