#include "serial/serial_port.h"

#include "serial/line_log.h"

SerialPort ComPort;

bool SerialPort::open(int portNumber) {
  if (opened == 1) return true;  // the port in use stays open; callers close first to switch
  device = platform::OpenSerialDevice(portNumber);
  if (device == nullptr) {
    RecordLineEvent("COM%d cannot be opened", portNumber);
    return false;
  }
  opened = 1;
  this->portNumber = portNumber;
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

bool SerialPort::writeByte(unsigned char byte) {
  platform::WriteSerialByte(device, byte);  // a lost byte is not reported
  RecordLineBytes(LineDirection::Sent, &byte, 1);
  return true;
}

int SerialPort::send(const unsigned char* bytes, int count) {
  if (!isOpen() || count <= 0) return 0;
  for (int i = 0; i < count; ++i) writeByte(bytes[i]);
  return count;
}

int SerialPort::bytesWaiting() {
  if (!isOpen()) return 0;
  return platform::SerialBytesWaiting(device);
}

int SerialPort::read(unsigned char* destination, int count) {
  if (!isOpen()) return 0;
  int waiting = platform::SerialBytesWaiting(device);
  if (waiting <= 0) return 0;
  int n = count < waiting ? count : waiting;
  const int got = platform::ReadSerial(device, destination, n);
  RecordLineBytes(LineDirection::Received, destination, got);
  return got;
}

void SerialPort::waitForMessageOrByte(int limitMs) {
  platform::WaitForMessageOrByte(isOpen() ? device : nullptr, limitMs);
}
