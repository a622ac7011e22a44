// What each byte from the device does. The main loop reads one byte into LastReceivedByte and calls
// InterpretByte: ordinary bytes are drawn at the cursor, CR and LF move it, and ESC starts either the
// identification query or a control sequence "ESC [ parameters letter" whose further bytes are read
// here, synchronously. The letters R, T and X hand over to a file transfer or a text page.
#pragma once

#include <cstdint>

extern unsigned char LastReceivedByte;
extern int32_t OutputFrozen;
extern int32_t ParamCount;

void InterpretByte();
