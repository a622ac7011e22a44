// One COM port under a Windows serial driver, as the documentation of serial.sys and the common
// USB-serial drivers describes it:
// - WaitCommEvent completes when an event of the mask happens. Events that happen while no wait is
//   pending are kept in the event history, and the next WaitCommEvent completes at once with them,
//   even when the bytes have been read meanwhile. SetCommMask clears the history and ends a pending
//   wait with no event.
// - CancelIo(handle) ends every operation the calling thread started on the handle (here all of
//   them: one thread); CancelIoEx(handle, record) ends that one. Both end it as aborted.
// - With ReadIntervalTimeout MAXDWORD a read completes at once with what has arrived.
// Time does not pass: a wait that nothing ends returns as if its time ran out, or a message came.
#include "kernel32_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uintptr_t Done = 0, Pending = 0x103, Cancelled = 0xC0000120;  // NTSTATUS values

struct Event {
  bool signalled;
};

struct Port {
  model::Driver driver;
  bool open, writesStall;
  DWORD mask, history;
  int queued;
  OVERLAPPED* waiting;  // the pending WaitCommEvent and where it puts its events
  DWORD* waitEvents;
  OVERLAPPED* writing;  // the pending write
} port;
char portHandle;
DWORD lastError;
model::IdleWait lastIdleWait;

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}
bool Signalled(HANDLE event) {
  return static_cast<Event*>(event)->signalled;
}
void Start(OVERLAPPED* record) {
  record->Internal = Pending;
  static_cast<Event*>(record->hEvent)->signalled = false;
}
void Complete(OVERLAPPED* record, std::uintptr_t status, DWORD count) {
  record->Internal = status;
  record->InternalHigh = count;
  static_cast<Event*>(record->hEvent)->signalled = true;
}
void EndWait(DWORD events, std::uintptr_t status) {
  *port.waitEvents = events;
  Complete(port.waiting, status, 0);
  port.waiting = nullptr;
}
bool CancelWait(const OVERLAPPED* record) {  // record null: whichever is pending
  if (port.waiting == nullptr || (record != nullptr && record != port.waiting)) return false;
  EndWait(0, Cancelled);
  return true;
}
bool CancelWrite(const OVERLAPPED* record) {
  if (port.writing == nullptr || (record != nullptr && record != port.writing)) return false;
  Complete(port.writing, Cancelled, 0);
  port.writing = nullptr;
  return true;
}

}  // namespace

namespace model {

void Reset(Driver driver) {
  port = Port{};
  port.driver = driver;
}
void Arrive(int count) {
  for (; count > 0; --count) {
    ++port.queued;
    if ((port.mask & EV_RXCHAR) == 0) continue;
    if (port.waiting != nullptr) {
      EndWait(EV_RXCHAR, Done);
    } else {
      port.history |= EV_RXCHAR;
    }
  }
}
void StallWrites(bool stall) {
  port.writesStall = stall;
}
IdleWait LastIdleWait() {
  return lastIdleWait;
}

}  // namespace model

HANDLE CreateFileA(const char* name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (std::strcmp(name, "\\\\.\\COM1") != 0 || port.open) return Fail(2), INVALID_HANDLE_VALUE;
  port.open = true;
  return &portHandle;
}
HANDLE CreateEventA(void*, BOOL, BOOL signalled, const char*) {
  return new Event{signalled != 0};
}
BOOL CloseHandle(HANDLE handle) {
  if (handle == &portHandle) {
    port.open = false;
  } else {
    delete static_cast<Event*>(handle);
  }
  return TRUE;
}
DWORD GetLastError() {
  return lastError;
}
BOOL GetCommState(HANDLE, DCB*) {
  return TRUE;
}
BOOL SetCommState(HANDLE, DCB*) {
  return TRUE;
}
BOOL SetupComm(HANDLE, DWORD, DWORD) {
  return TRUE;
}
BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS*) {
  return TRUE;
}

BOOL SetCommMask(HANDLE, DWORD mask) {
  if (port.driver.refusesMask) return Fail(ERROR_INVALID_PARAMETER);
  port.mask = mask;
  port.history = 0;
  if (port.waiting != nullptr) EndWait(0, Done);
  return TRUE;
}
BOOL WaitCommEvent(HANDLE, DWORD* events, OVERLAPPED* record) {
  if (port.mask == 0 || port.waiting != nullptr) return Fail(ERROR_INVALID_PARAMETER);
  Start(record);
  port.waiting = record;
  port.waitEvents = events;
  if (port.driver.endsWaits) {
    EndWait(0, Cancelled);
  } else if (port.history != 0) {
    EndWait(port.history, Done);
    port.history = 0;
    return TRUE;
  }
  return Fail(ERROR_IO_PENDING);
}
BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) {
  *errors = 0;
  *status = COMSTAT{static_cast<DWORD>(port.queued), 0};
  return TRUE;
}
BOOL ReadFile(HANDLE, void* buffer, DWORD count, DWORD* done, OVERLAPPED* record) {
  Start(record);
  *done = std::min(count, static_cast<DWORD>(port.queued));
  std::memset(buffer, 'x', *done);
  port.queued -= static_cast<int>(*done);
  Complete(record, Done, *done);
  return TRUE;
}
BOOL WriteFile(HANDLE, const void*, DWORD count, DWORD* done, OVERLAPPED* record) {
  Start(record);
  if (port.writesStall) {
    port.writing = record;
    return Fail(ERROR_IO_PENDING);
  }
  *done = count;
  Complete(record, Done, count);
  return TRUE;
}
BOOL GetOverlappedResult(HANDLE, OVERLAPPED* record, DWORD* done, BOOL wait) {
  if (record->Internal == Pending && !wait) return Fail(ERROR_IO_INCOMPLETE);
  if (record->Internal == Pending) {
    std::fprintf(stderr, "model: waits for ever for an operation that nothing ends\n");
    std::abort();
  }
  *done = static_cast<DWORD>(record->InternalHigh);
  return record->Internal == Done ? TRUE : Fail(ERROR_OPERATION_ABORTED);
}
BOOL CancelIo(HANDLE) {
  CancelWait(nullptr);
  CancelWrite(nullptr);
  return TRUE;
}
BOOL CancelIoEx(HANDLE, OVERLAPPED* record) {
  return CancelWait(record) || CancelWrite(record) ? TRUE : Fail(ERROR_NOT_FOUND);
}
DWORD WaitForSingleObject(HANDLE event, DWORD) {
  return Signalled(event) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD, DWORD) {
  lastIdleWait = model::IdleWait{lastIdleWait.calls + 1, count, ms};
  if (count == 1 && Signalled(handles[0])) return WAIT_OBJECT_0;
  return ms == INFINITE ? WAIT_OBJECT_0 + count : WAIT_TIMEOUT;
}
