// The record of the line (mirelox --log FILE): every byte both ways, in order, exactly once, as
// runs of at most 16 bytes in one direction that end when more than 20 ms pass between two bytes,
// each stamped with the local time of its first byte; and "--" lines for what the program did.
// SerialPort hands over the bytes it reads and writes. The text is made here in one fixed buffer
// and goes to the file in whole lines at idle turns, at each "--" line, when the buffer fills and
// at least once a second while bytes flow, never per byte.
// Without a record every call returns at once: the session does not change by a byte or a pixel.
#pragma once

#include "platform/platform.h"

enum class LineDirection { Received, Sent };

// Keeps the record in file, opened for appending; path names it in messages.
void StartLineLog(platform::FileHandle file, const char* path);
void EndLineLog();
void RecordLineBytes(LineDirection direction, const unsigned char* bytes, int count);
void RecordLineEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));
// At an idle turn: writes out what is complete, and tells the user once if the file failed.
void FlushLineLog();
// How long an idle wait may last before the run in progress is complete; -1 for no limit.
int LineLogWaitLimitMs();
