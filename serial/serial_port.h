// The one serial port of the program: COMn at 4800 baud 8N1, no flow control, DTR and RTS inactive.
// Everything bound for the device goes out through send(); everything from the device comes in
// through read(). The device itself (handle, records, events) belongs to the platform layer;
// this object only keeps whether one is open, and guards every operation on that.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class SerialPort {
 public:
  ~SerialPort() { close(); }

  bool open(int portNumber);  // true on success, and when a port is already open
  bool close();               // always true
  bool writeByte(unsigned char byte);
  int send(const unsigned char* bytes, int count);  // count, or 0 when nothing was attempted
  int bytesWaiting();
  int read(unsigned char* destination, int count);
  void waitForMessageOrByte(int limitMs);  // for a window message only while no port is open; -1: no limit

 private:
  bool isOpen() const { return opened == 1 && device != nullptr; }

  platform::SerialDevice* device = nullptr;
  int32_t opened = 0;
  int32_t portNumber = 0;  // for the record of the line
};

// Static, so it is cleared before start-up and closed again (without effect) at process exit.
extern SerialPort ComPort;
