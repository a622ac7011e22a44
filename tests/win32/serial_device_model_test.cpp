// The Windows serial device over a model of a Windows serial driver (model/windows.h): each row
// plays idle turns of the main loop and events on the line, and reads how each idle turn waited.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {

struct Row {
  const char* name;
  model::Driver driver;
  const char* script;  // i: an idle turn, b: a byte arrives, r: all that waits is read, w: a write times out
  const char* turns;   // each idle turn: - returned at once, W waited for an arrival, 1 looked after 1 ms
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class Win32SerialModel : public ::testing::TestWithParam<Row> {};

TEST_P(Win32SerialModel, IdleTurnsWaitAsTheDriverAllows) {
  model::port = model::Port{GetParam().driver};
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  std::string turns;
  for (const char* step = GetParam().script; *step != '\0'; ++step) {
    unsigned char buffer[8];
    model::port.idleWait = '-';  // stays so when the turn does not wait
    if (*step == 'i') platform::WaitForMessageOrByte(device, -1);
    if (*step == 'i') turns += model::port.idleWait;
    if (*step == 'b') model::Arrive();
    if (*step == 'r') platform::ReadSerial(device, buffer, sizeof buffer);
    if (*step == 'w') platform::WriteSerialByte(device, 'w');
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
