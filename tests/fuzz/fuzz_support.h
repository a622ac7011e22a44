// Shared set-up for the fuzz targets: a fresh terminal over the fake platform for every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The core back to start-up state with the window open and COM1 open; the configuration loaded
// from a standard file; the given bytes waiting on the line.
void StartFuzzedTerminal(const std::string& lineBytes);
// Lets the terminal take every byte that is waiting, as the main loop does.
void RunTerminal();
