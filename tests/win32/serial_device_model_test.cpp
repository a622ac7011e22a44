// The Windows serial device over a model of a Windows serial driver (model/kernel32_model.cpp): each
// row plays idle turns of the main loop and events on the line, and reads how each idle turn waited.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/win32/model/kernel32_model.h"

namespace {

struct Row {
  const char* name;
  model::Driver driver;
  const char* script;  // i: an idle turn, b: a byte arrives, r: all that waits is read, w: a write times out
  const char* turns;   // each idle turn: - returned at once, W waited for an arrival, 1 looked after 1 ms
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.script;
}

char IdleTurn(platform::SerialDevice* device) {
  const int calls = model::LastIdleWait().calls;
  platform::WaitForMessageOrByte(device, -1);
  const model::IdleWait wait = model::LastIdleWait();
  if (wait.calls == calls) return '-';
  if (wait.handles == 1 && wait.ms == INFINITE) return 'W';
  return wait.handles == 0 && wait.ms == 1 ? '1' : '?';
}

class Win32SerialModel : public ::testing::TestWithParam<Row> {};

TEST_P(Win32SerialModel, IdleTurnsWaitAsTheDriverAllows) {
  model::Reset(GetParam().driver);
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  std::string turns;
  for (const char* step = GetParam().script; *step != '\0'; ++step) {
    unsigned char byte = 'w';
    if (*step == 'i') turns += IdleTurn(device);
    if (*step == 'b') model::Arrive(1);
    while (*step == 'r' && platform::ReadSerial(device, &byte, 1) > 0) {
    }
    if (*step == 'w') {
      model::StallWrites(true);
      platform::WriteSerialByte(device, byte);
      model::StallWrites(false);
    }
  }
  EXPECT_EQ(turns, GetParam().turns);
  platform::CloseSerialDevice(device);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Win32SerialModel,
    ::testing::Values(
        // The last two bytes of the burst leave EV_RXCHAR in the history: that wait ends at once.
        Row{"BurstLeavesTheLineWatched", {false, false}, "ibbbiriii", "W-W-W"},
        // Cancelling all of the thread's operations would end the arrival wait three times.
        Row{"TimedOutWritesLeaveTheArrivalWait", {false, false}, "iwiiwiiwii", "WWWWWWW"},
        Row{"RefusedMaskOpensLookedAtEveryMs", {true, false}, "ii", "11"},
        Row{"ThirdEmptyCompletionDemotes", {false, true}, "iiiii", "WWW11"},
        Row{"ReadBetweenEmptyCompletionsResets", {false, true}, "iibriiii", "WWWWW1"}),
    [](const ::testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

}  // namespace
