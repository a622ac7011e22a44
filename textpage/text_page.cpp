#include "textpage/text_page.h"

#include <cstdio>
#include <cstring>

#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "serial/transmit.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"

char TextPageName[TextPageNameSize];
unsigned char TextPageBuffer[TextPageBufferSize];

namespace {

constexpr int NameDigits = 5;
constexpr int NotFoundLine = 1;
constexpr unsigned char LineFeed = 0x0A;
constexpr unsigned char CarriageReturn = 0x0D;

// The name comes from the device: it must not lead the search out of the program's search path.
bool IsSafeName(const char* name) {
  for (const char* c = name; *c != 0; ++c) {
    if (*c == '/' || *c == '\\' || *c == ':' || static_cast<unsigned char>(*c) < 0x20) return false;
  }
  return true;
}

bool ReadPageName() {
  std::strcpy(TextPageName, "TXT");
  for (int i = 0; i < NameDigits; ++i) {
    if (!readByteBlocking(LastReceivedByte)) return false;
    TextPageName[3 + i] = static_cast<char>(LastReceivedByte);
  }
  TextPageName[3 + NameDigits] = 0;
  return true;
}

// The count of bytes read into TextPageBuffer, or -1 when the page cannot be found or opened.
int ReadPage() {
  if (!IsSafeName(TextPageName) || !platform::SearchFile(TextPageName, ".KVB", FoundPath, FoundPathSize)) {
    return -1;
  }
  platform::FileHandle file = platform::OpenFileForSharedReading(FoundPath);
  if (file == platform::NoFile) return -1;
  const int count = platform::ReadFromFile(file, TextPageBuffer, TextPageMaxBytes);
  platform::CloseFile(file);
  return count;
}

void ShowPageNotFound() {
  char* message = reinterpret_cast<char*>(TransmitBuffer);
  std::snprintf(message, TransmitBufferSize, "%s-%s-", MessageLines[NotFoundLine], TextPageName);
  platform::ShowMessage(message);
}

// Each line goes on a row of its own, blanked first: two paints, the blanks and then the text.
void DrawPageLine(const char* line) {
  CursorY += LineHeight;
  CursorX = 0;
  platform::HideCaretBar();
  std::memset(PendingText, ' ', ScreenColumns);
  PendingText[ScreenColumns] = 0;
  ShowPendingText();
  std::strcpy(PendingText, line);
  CursorX = 0;
  ShowPendingText();
  platform::ShowCaretBar();
}

}  // namespace

void DrawTextPage(int count) {
  char line[TextPageLineSize];
  int length = 0;
  bool firstLine = true;
  for (int i = 0; i < count; ++i) {
    const unsigned char b = TextPageBuffer[i];
    if (b == CarriageReturn) continue;
    if (b == LineFeed) {
      line[length] = 0;
      if (!firstLine) DrawPageLine(line);
      firstLine = false;
      length = 0;
    } else if (length < TextPageLineSize - 1) {
      line[length++] = static_cast<char>(b);  // characters past the 99th are dropped
    }
  }
}

bool IsTextPageFile(platform::FileHandle file, const char* path) {
  const char* name = path;
  for (const char* c = path; *c != 0; ++c) {
    if (*c == '/' || *c == '\\') name = c + 1;
  }
  if (std::strlen(name) != TextPageNameSize + 3) return false;
  // The page the device gets with the name's five bytes, looked for as it would be.
  char page[TextPageNameSize];
  std::snprintf(page, sizeof page, "TXT%.5s", name + 3);
  char found[FoundPathSize];
  return platform::SearchFile(page, ".KVB", found, FoundPathSize) && platform::IsSameFile(file, found);
}

void ShowTextPage() {
  if (!ReadPageName()) return;  // the device fell silent before naming a page
  const int count = ReadPage();
  RecordLineEvent("page %s %s", TextPageName, count < 0 ? "missing" : "shown");
  if (count < 0) ShowPageNotFound();
  CursorX = 0;
  CursorY = 0;
  DrawTextPage(count);
}
