#include "serial/serial_port.h"

SerialPort ComPort;

bool SerialPort::open(int portNumber) {
  if (opened == 1) return true;  // the port in use stays open; callers close first to switch
  device = platform::OpenSerialDevice(portNumber);
  if (device == nullptr) return false;
  opened = 1;
  return true;
}

bool SerialPort::close() {
  if (!isOpen()) return true;
  platform::CloseSerialDevice(device);
  opened = 0;
  device = nullptr;
  return true;
}

bool SerialPort::writeByte(unsigned char byte) {
  platform::WriteSerialByte(device, byte);  // a lost byte is not reported
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
  return platform::ReadSerial(device, destination, n);
}

void SerialPort::waitForMessageOrByte(int limitMs) {
  platform::WaitForMessageOrByte(isOpen() ? device : nullptr, limitMs);
}
