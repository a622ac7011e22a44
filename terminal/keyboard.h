// Where a key becomes bytes for the device. The platform delivers each key twice, as Win32 does:
// OnKeyDown with the virtual-key code (cursor and editing keys become escape sequences, F1..F6
// switch the port) and OnChar with the Windows-1252 character (sent as it is, six letters turned
// into their code page 850 codes). Nothing is echoed: the screen shows what the device sends back.
#pragma once

void OnKeyDown(unsigned virtualKey);
void OnChar(unsigned characterCode);
void SelectPort(int portNumber);
