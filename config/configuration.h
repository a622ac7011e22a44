// MIRELOX.CFG: byte 0 is the digit of the port last chosen, byte 1 is ignored, then ten CR-ended
// message lines that dialogs, titles and messages show. Read once at start-up; only byte 0 is ever
// written back, when the user picks a port. Without the file the program cannot run.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int MessageLineCount = 10;
constexpr int MessageLineSize = 80;  // 79 characters and a NUL
constexpr int ConfigBufferSize = 1024;
constexpr int FoundPathSize = 260;  // a full path of MAX_PATH bytes

extern char PortDigit;
extern char MessageLines[MessageLineCount][MessageLineSize];
extern int32_t CurrentPort;
extern unsigned char ConfigBuffer[ConfigBufferSize];
extern char FoundPath[FoundPathSize];

extern const char MissingConfigurationMessage[];

void LoadConfiguration();                             // does not return when the file cannot be opened
bool IsConfigurationFile(platform::FileHandle file);  // the MIRELOX.CFG that the search finds
void SavePortDigit();                                 // does not return when the file cannot be opened
// Takes the port digit and message lines from the first count bytes of a configuration file.
void ParseConfiguration(const unsigned char* bytes, int count);
