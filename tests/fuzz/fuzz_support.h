// Shared set-up for the fuzz targets: a fresh terminal over the fake platform for every input.
// The device's part of the conversation comes from the input, cut into turns at TurnMarker: the
// first turn is on the line at once, the others answer the bytes the terminal writes in turn
// (a NAK, an ACK, a block's checksum), as a device answers.
#pragma once

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"
#include "tests/unit/support.h"

constexpr char TurnMarker[] = "\xAA\x55\xAA";

// The core back to start-up state with the window open and COM1 open, the configuration loaded
// from a standard file, and the device ready to play the given conversation.
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
