#include "serial/line_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr int RunBytes = 16;
constexpr int RunGapMs = 20;
constexpr int WriteOutPeriodMs = 500;  // with a transfer's pauses, no line waits a second for the disk
constexpr int PathSize = 260;
constexpr int TextSize = 8192;
constexpr int TextRoom = 484;                // an event with a long path and a message, after the time
constexpr int LineSize = 24 + TextRoom + 3;  // the time, the text, CR LF and the end

bool Recording = false;
bool FailureToTell = false;
platform::FileHandle File = platform::NoFile;
char Path[PathSize];
char Text[TextSize];
int TextLength;
int64_t BytesWrittenOutMs;  // when bytes coming in a row last made the text go out

struct Run {
  LineDirection direction;
  int count;
  unsigned char bytes[RunBytes];
  platform::LocalTime start;
  int64_t lastMs;
} Current;

// A file that takes no more (a full disk) ends the record; the session goes on without it. What
// could not be written whole is not written at all: a reader never finds half a line.
void WriteOut() {
  if (TextLength == 0) return;
  const bool written = platform::AppendWhole(File, Text, TextLength);
  TextLength = 0;
  if (written) return;
  platform::CloseFile(File);
  Recording = false;
  FailureToTell = true;
}

void Append(const char* line, int length) {
  if (TextLength + length > TextSize) WriteOut();
  if (!Recording) return;
  std::memcpy(Text + TextLength, line, length);
  TextLength += length;
}

// One line of the record: the time, then text, cut where the line holds no more, then the line end.
void AppendLine(const platform::LocalTime& t, const char* text) {
  char line[LineSize];
  const int length =
      std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d.%03d %.*s%s", t.year, t.month, t.day,
                    t.hour, t.minute, t.second, t.millisecond, TextRoom, text, platform::LineEnd);
  Append(line, length);
}

void EndRun() {
  if (Current.count == 0) return;
  char hex[3 * RunBytes + 1] = {}, shown[RunBytes + 1] = {};
  for (int i = 0; i < Current.count; ++i) {
    const unsigned char b = Current.bytes[i];
    std::snprintf(hex + 3 * i, 4, " %02x", b);
    shown[i] = b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
  }
  char text[TextRoom + 1];
  std::snprintf(text, sizeof text, "%s%-*s  |%s|", Current.direction == LineDirection::Received ? "RX" : "TX",
                3 * RunBytes, hex, shown);
  Current.count = 0;
  AppendLine(Current.start, text);
}

}  // namespace

void StartLineLog(platform::FileHandle file, const char* path) {
  File = file;
  std::snprintf(Path, sizeof Path, "%s", path);
  Recording = true;
  FailureToTell = false;
  TextLength = 0;
  Current.count = 0;
  RecordLineEvent("log started (Mirelox 2.2)");
}

void EndLineLog() {
  if (!Recording) return;
  RecordLineEvent("log ended");
  if (Recording) platform::CloseFile(File);
  Recording = false;
}

void RecordLineBytes(LineDirection direction, const unsigned char* bytes, int count) {
  if (!Recording || count <= 0) return;
  const int64_t now = platform::NowMs();
  for (int i = 0; i < count; ++i) {
    if (Current.count > 0 &&
        (Current.direction != direction || Current.count == RunBytes || now - Current.lastMs > RunGapMs)) {
      EndRun();
    }
    if (Current.count == 0) {
      Current.direction = direction;
      platform::ReadLocalTime(&Current.start);
    }
    Current.bytes[Current.count++] = bytes[i];
    Current.lastMs = now;
  }
  // A transfer keeps the program from its idle turns for a minute: a program killed meanwhile
  // loses less than the last second.
  if (now - BytesWrittenOutMs < WriteOutPeriodMs) return;
  BytesWrittenOutMs = now;
  WriteOut();
}

// Events are rare and mark moments worth having on the disk: each one is written out at once.
void RecordLineEvent(const char* format, ...) {
  if (!Recording) return;
  EndRun();
  char text[TextRoom + 1] = "-- ";
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text + 3, sizeof text - 3, format, arguments);
  va_end(arguments);
  for (char* c = text; *c != 0; ++c) {  // a name from the device or a path stays on its line
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '.';
  }
  platform::LocalTime now;
  platform::ReadLocalTime(&now);
  AppendLine(now, text);
  WriteOut();
}

void FlushLineLog() {
  if (FailureToTell) {
    FailureToTell = false;
    char message[PathSize + 100];
    std::snprintf(message, sizeof message,
                  "The record of the line in %s has stopped: the file cannot be written.", Path);
    platform::ShowMessage(message);
  }
  if (!Recording) return;
  if (Current.count > 0 && platform::NowMs() - Current.lastMs > RunGapMs) EndRun();
  WriteOut();
}

int LineLogWaitLimitMs() {
  if (!Recording || Current.count == 0) return -1;
  const int64_t left = RunGapMs + 1 - (platform::NowMs() - Current.lastMs);
  return left > 0 ? static_cast<int>(left) : 0;
}
