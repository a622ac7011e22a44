// Shared set-up for the fuzz targets: for every input, the core back to start-up state over the fake
// platform, with the window and COM1 open and the standard configuration loaded, and the device's
// part of the conversation from the input, cut into turns at TurnMarker: the first turn is on the
// line at once, the others answer the bytes the terminal writes in turn (a NAK, an ACK, a block's
// checksum), as a device answers.
#pragma once

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"
#include "tests/unit/support.h"

constexpr char TurnMarker[] = "\xAA\x55\xAA";

inline void StartFuzzedTerminal(const std::string& conversation) {
  StartTerminal();
  fake::world.pollCostUs = 10000;  // coarser virtual time: a silent device costs fewer turns
  const std::string marker(TurnMarker);
  size_t end = conversation.find(marker);
  fake::DeviceSends(conversation.substr(0, end));
  std::vector<std::string> answers;
  while (end != std::string::npos) {
    const size_t start = end + marker.size();
    end = conversation.find(marker, start);
    answers.push_back(conversation.substr(start, end - start));
  }
  AnswerInTurns(std::move(answers));
}
