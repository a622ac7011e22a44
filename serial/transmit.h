// Byte-level line operations every other module uses. Senders put bytes at the start of
// TransmitBuffer and call sendTransmitBuffer, which paces them 5 ms apart; readers wait for one
// byte with readByteBlocking, which gives up after NoByteTimeoutMs of silence so that a device
// that falls quiet never freezes the window for good, and at once when the device has gone.
#pragma once

constexpr int TransmitBufferSize = 260;
constexpr int BytePauseMs = 5;
constexpr int NoByteTimeoutMs = 10000;

extern unsigned char TransmitBuffer[TransmitBufferSize];

void sendTransmitBuffer(int count);
// Waits (busy, as the main loop does) until a byte is waiting and reads it into destination.
// False when no byte came within timeoutMs or the device has gone; destination is then unchanged.
bool readByteBlocking(unsigned char& destination, int timeoutMs = NoByteTimeoutMs);
void drainInput();
