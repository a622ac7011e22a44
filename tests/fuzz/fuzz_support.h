// Shared set-up for the fuzz targets: a fresh terminal over the fake platform for every input.
// The device's part of the conversation comes from the input, cut into turns at TurnMarker: the
// first turn is on the line at once, the others answer the bytes the terminal writes in turn
// (a NAK, an ACK, a block's checksum), as a device answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr char TurnMarker[] = "\xAA\x55\xAA";

// The core back to start-up state with the window open and COM1 open, the configuration loaded
// from a standard file, and the device ready to play the given conversation.
void StartFuzzedTerminal(const std::string& conversation);
