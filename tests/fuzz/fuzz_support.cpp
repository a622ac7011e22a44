#include "tests/fuzz/fuzz_support.h"

#include <vector>

#include "tests/unit/support.h"

void StartFuzzedTerminal(const std::string& conversation) {
  StartTerminal();
  fake::world.pollCostUs = 10000;  // coarser virtual time: a silent device costs fewer turns
  std::vector<std::string> turns;
  const std::string marker(TurnMarker);
  size_t start = 0;
  for (size_t end; (end = conversation.find(marker, start)) != std::string::npos;
       start = end + marker.size()) {
    turns.push_back(conversation.substr(start, end - start));
  }
  turns.push_back(conversation.substr(start));
  fake::DeviceSends(turns.front());
  turns.erase(turns.begin());
  AnswerInTurns(std::move(turns));
}
