#include "tests/fuzz/fuzz_support.h"

#include <deque>

#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

std::deque<std::string> LaterTurns;

void SplitIntoTurns(const std::string& conversation) {
  LaterTurns.clear();
  const std::string marker(TurnMarker);
  size_t start = 0;
  for (size_t end; (end = conversation.find(marker, start)) != std::string::npos;
       start = end + marker.size()) {
    LaterTurns.push_back(conversation.substr(start, end - start));
  }
  LaterTurns.push_back(conversation.substr(start));
}

}  // namespace

void StartFuzzedTerminal(const std::string& conversation) {
  StartTerminal();
  fake::world.pollCostUs = 10000;  // coarser virtual time: a silent device costs fewer turns
  fake::world.logLineAndDrawing = false;
  SplitIntoTurns(conversation);
  fake::DeviceSends(LaterTurns.front());
  LaterTurns.pop_front();
  fake::world.onSent = [](unsigned char) {
    if (LaterTurns.empty()) return;
    fake::DeviceSends(LaterTurns.front(), 1);
    LaterTurns.pop_front();
  };
}

void RunTerminal() {
  RunLoopUntilIdle();
}
