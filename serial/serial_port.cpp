#include "serial/serial_port.h"

#include <algorithm>

#include "serial/line_log.h"
#include "terminal/title.h"

SerialPort ComPort;

namespace {

constexpr int LostPortLookMs = 1000;

}  // namespace

bool SerialPort::open(int portNumber) {
  if (opened == 1) return true;  // the port in use stays open; callers close first to switch
  lost = false;
  device = platform::OpenSerialDevice(portNumber);
  if (device == nullptr) {
    RecordLineEvent("COM%d cannot be opened", portNumber);
    return false;
  }
  opened = 1;
  this->portNumber = portNumber;
  refusing = false;  // a port just opened has refused nothing yet
  RecordLineEvent("COM%d opened (4800 8N1)", portNumber);
  return true;
}

bool SerialPort::close() {
  if (!isOpen()) return true;
  platform::CloseSerialDevice(device);
  opened = 0;
  device = nullptr;
  RecordLineEvent("COM%d closed", portNumber);
  return true;
}

// No box: nobody need be at the keyboard for the device to come back.
int SerialPort::lostWhen(int result) {
  if (result != platform::LineLost) return result;
  platform::CloseSerialDevice(device);
  opened = 0;
  device = nullptr;
  lost = true;
  nextLookMs = platform::NowMs() + LostPortLookMs;
  RecordLineEvent("COM%d lost", portNumber);
  SetNormalTitle();
  return result;
}

void SerialPort::reopen() {
  nextLookMs = platform::NowMs() + LostPortLookMs;
  device = platform::OpenSerialDevice(portNumber);
  if (device == nullptr) return;
  opened = 1;
  lost = false;
  refusing = false;
  RecordLineEvent("COM%d back", portNumber);
  SetNormalTitle();
}

// The record keeps what went out; a byte that did not is told once for a run of them.
bool SerialPort::writeByte(unsigned char byte) {
  const int written = lostWhen(platform::WriteSerialByte(device, byte));
  if (written == 1) {
    refusing = false;
    RecordLineBytes(LineDirection::Sent, &byte, 1);
    return true;
  }
  if (!refusing) {
    RecordLineEvent(
        "TX %02x not sent: %s", byte,
        written == platform::LineLost ? "the device is gone" : "the line took nothing for a second");
  }
  refusing = true;
  return false;
}

int SerialPort::send(const unsigned char* bytes, int count) {
  if (!isOpen() || count <= 0) return 0;
  for (int i = 0; i < count && isOpen(); ++i) writeByte(bytes[i]);
  return count;
}

int SerialPort::bytesWaiting() {
  if (!isOpen()) return 0;
  return std::max(lostWhen(platform::SerialBytesWaiting(device)), 0);
}

int SerialPort::read(unsigned char* destination, int count) {
  const int waiting = bytesWaiting();
  if (waiting == 0) return 0;
  const int got = std::max(lostWhen(platform::ReadSerial(device, destination, std::min(count, waiting))), 0);
  RecordLineBytes(LineDirection::Received, destination, got);
  return got;
}

// While the device is lost, the idle wait ends when the port is due to be tried again.
void SerialPort::waitForMessageOrByte(int limitMs) {
  if (lost && platform::NowMs() >= nextLookMs) reopen();
  if (lost) {
    const int untilLook = static_cast<int>(nextLookMs - platform::NowMs());
    limitMs = limitMs < 0 ? untilLook : std::min(limitMs, untilLook);
  }
  platform::WaitForMessageOrByte(isOpen() ? device : nullptr, limitMs);
}
