// Start-up, the main loop and its result: what WinMain does on every system. The platform's own
// entry point (WinMain on Windows, main on Linux) prepares its toolkit and calls MireloxMain with
// the command line: `mirelox [--log FILE]`, argv[0] being the program.
#pragma once

int MireloxMain(int showCommand, int argc = 0, char** argv = nullptr);

// One turn of the main loop: at most one window message, then at most one byte from the line. A
// turn that found neither is Idle, and the loop then sleeps until one of them comes.
enum class Turn { Idle, Busy, Quit };
Turn TakeTurn(int* quitCode);
