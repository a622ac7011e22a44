// The one serial port of the program: COMn at 4800 baud 8N1, no flow control, DTR and RTS inactive.
// Everything bound for the device goes out through send(); everything from the device comes in
// through read(). The device itself (handle, records, events) belongs to the platform layer;
// this object keeps whether one is open, guards every operation on that, and notices a device
// that goes away: it closes the port, shows the loss in the title and, while nobody chooses another
// port, opens the same one again at the idle turns, once a second, until the device is back.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class SerialPort {
 public:
  ~SerialPort() { close(); }

  // True on success, and when a port is already open; it ends a search for a lost one.
  bool open(int portNumber);
  bool close();                                     // always true
  bool writeByte(unsigned char byte);               // false when the byte did not go out
  int send(const unsigned char* bytes, int count);  // count, or 0 when nothing was attempted
  int bytesWaiting();
  int read(unsigned char* destination, int count);
  void waitForMessageOrByte(int limitMs);  // for a window message only while no port is open; -1: no limit
  bool isOpen() const { return opened == 1 && device != nullptr; }
  bool isLost() const { return lost; }  // its device went away, and it is being looked for

 private:
  int lostWhen(int result);  // result; a lost line closes the port first
  void reopen();

  platform::SerialDevice* device = nullptr;
  int32_t opened = 0;
  int32_t portNumber = 0;  // for the record of the line and the search for a lost device
  bool lost = false;
  bool refusing = false;   // the last byte written did not go out: the record has said so
  int64_t nextLookMs = 0;  // when a lost port is tried again
};

// Static, so it is cleared before start-up and closed again (without effect) at process exit.
extern SerialPort ComPort;
