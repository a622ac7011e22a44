// Start-up, the main loop and its result: what WinMain does on every system. The platform's own
// entry point (WinMain on Windows, main on Linux) prepares its toolkit and calls MireloxMain with
// the command line: `mirelox [--log FILE]`, argv[0] being the program.
#pragma once

int MireloxMain(int showCommand, int argc = 0, char** argv = nullptr);
