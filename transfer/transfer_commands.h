// The two transfers the device can ask for. ESC [ R: the user picks a *.bin file, whose first 7680
// bytes go to the device. ESC [ T: the user picks where to save, the device's blocks are received,
// and only then is the file written, through a temporary file renamed over the chosen name, so a
// failed transfer or save never leaves a half-written file nor destroys an existing one.
#pragma once

constexpr int FilterSlotCount = 10;
constexpr int FilterSlotSize = 30;
constexpr int FilterListSize = 300;
constexpr int FileNameBufferSize = 260;

extern char FilterSlots[FilterSlotCount][FilterSlotSize];
extern char FilterList[FilterListSize];

void BuildFilterList();
void SendFileToDevice();
void ReceiveFileFromDevice();
