// Start-up, the main loop and its result: what WinMain does on every system. The platform's own
// entry point (WinMain on Windows, main on Linux) prepares its toolkit and calls MireloxMain.
#pragma once

int MireloxMain(int showCommand);
