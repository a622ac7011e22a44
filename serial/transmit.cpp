#include "serial/transmit.h"

#include "platform/platform.h"
#include "serial/serial_port.h"

unsigned char TransmitBuffer[TransmitBufferSize];

void sendTransmitBuffer(int count) {
  for (int i = 0; i < count; ++i) {
    unsigned char byte = TransmitBuffer[i];
    ComPort.send(&byte, 1);
    platform::SleepMs(BytePauseMs);  // the device needs the pause, also when no port is open
  }
}

bool readByteBlocking(unsigned char& destination, int timeoutMs) {
  if (ComPort.bytesWaiting() == 0) {
    const int64_t start = platform::NowMs();
    while (ComPort.bytesWaiting() == 0) {
      if (ComPort.isLost() || platform::NowMs() - start >= timeoutMs) return false;
    }
  }
  ComPort.read(&destination, 1);  // a failed read leaves the slot as it was
  return true;
}

void drainInput() {
  unsigned char discarded;
  while (ComPort.bytesWaiting() != 0) ComPort.read(&discarded, 1);
}
