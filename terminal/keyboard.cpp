#include "terminal/keyboard.h"

#include <cstdio>
#include <cstring>

#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "serial/transmit.h"
#include "terminal/screen.h"
#include "terminal/title.h"

namespace {

void SendBytes(const char* bytes) {
  const int count = static_cast<int>(std::strlen(bytes));
  std::memcpy(TransmitBuffer, bytes, count);
  sendTransmitBuffer(count);
}

void SendByte(unsigned char byte) {
  TransmitBuffer[0] = byte;
  sendTransmitBuffer(1);
}

// Cursor left, a blank, cursor left: the device's screen loses the character before the cursor.
void SendBackspace() {
  SendBytes("\x1b[D");
  platform::SleepMs(BytePauseMs);
  SendByte(' ');
  platform::SleepMs(BytePauseMs);
  SendBytes("\x1b[D");
}

}  // namespace

void OnKeyDown(unsigned virtualKey) {
  switch (virtualKey) {
    case vk::Back:
      SendBackspace();
      break;
    case vk::Prior:
      SendByte('<');
      break;
    case vk::Next:
      SendByte('>');
      break;
    case vk::End:
      platform::Beep();
      SendBytes("\x1b[K");
      break;
    case vk::Home:
      platform::Beep();
      SendBytes("\x1b[H");
      break;
    case vk::Left:
      SendBytes("\x1b[D");
      break;
    case vk::Up:
      SendBytes("\x1b[A");
      break;
    case vk::Right:
      SendBytes("\x1b[C");
      break;
    case vk::Down:
      SendBytes("\x1b[B");
      break;
    default:
      if (virtualKey >= vk::F1 && virtualKey <= vk::F6) SelectPort(static_cast<int>(virtualKey - vk::F1) + 1);
      break;
  }
}

void OnChar(unsigned characterCode) {
  const unsigned char c = static_cast<unsigned char>(characterCode & 0xFF);
  if (c >= 0x20 || c == '\r' || c == '\n') SendByte(ToDeviceLetter(c));
}

void SelectPort(int portNumber) {
  ComPort.close();
  if (ComPort.open(portNumber)) {
    CurrentPort = portNumber;
  } else {
    char message[40];
    std::snprintf(message, sizeof message, "Error: COM%d port cannot be opened!", portNumber);
    platform::ShowMessage(message);
  }
  SavePortDigit();
  SetNormalTitle();
}
