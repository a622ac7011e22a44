// Moves TransferBuffer over the line in 128-byte blocks: SOH, number, 255 - number, data, and the
// 8-bit sum of the data, each answered with ACK or NAK. ReceiveBlocks stores what the device sends;
// SendBlocks sends what the caller put into the buffer. Both show their progress in the title bar,
// give up with "ERROR: No connection!" when the device does not answer, and put the title back.
#pragma once

#include <cstdint>

constexpr int BlockSize = 128;
constexpr int TransferBufferSize = 9000;
constexpr int MaxReceivedBytes = 70 * BlockSize;  // the whole blocks that fit the buffer
constexpr int MaxSentBytes = 60 * BlockSize;
constexpr int NoConnection = -1;

constexpr unsigned char SOH = 0x01;
constexpr unsigned char EOT = 0x04;
constexpr unsigned char ACK = 0x06;
constexpr unsigned char NAK = 0x15;

extern unsigned char TransferBuffer[TransferBufferSize];
extern const char NoConnectionMessage[];
extern const char ReceivedFileCutMessage[];

// The count of bytes stored at the start of TransferBuffer (a multiple of 128), or NoConnection.
int32_t ReceiveBlocks();
// Sends the first byteCount bytes (at least one block); false when the device did not answer.
bool SendBlocks(int32_t byteCount);
