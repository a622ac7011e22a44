// What a test does to the modelled port, and what it reads back.
#pragma once
#include <windows.h>

namespace model {

struct Driver {
  bool refusesMask;  // SetCommMask fails
  bool endsWaits;    // every WaitCommEvent ends at once, cancelled with no event (Wine 8 on a pty)
};
void Reset(Driver driver);     // COM1 exists and is closed; nothing has arrived
void Arrive(int count);        // bytes come in on the line
void StallWrites(bool stall);  // writes stay pending until cancelled
struct IdleWait {
  int calls;  // MsgWaitForMultipleObjectsEx calls so far; the last one waited on:
  DWORD handles, ms;
};
IdleWait LastIdleWait();

}  // namespace model
