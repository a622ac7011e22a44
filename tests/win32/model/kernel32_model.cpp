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
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uintptr_t Done = 0, Pending = 0x103, Cancelled = 0xC0000120;  // NTSTATUS values

struct Port {
  model::Driver driver;
  bool open, writesStall;
  DWORD mask, history, *waitEvents;  // where the pending WaitCommEvent puts its events
  int queued;
  OVERLAPPED *waiting, *writing;  // the pending WaitCommEvent and write
} port;
char portHandle;
DWORD lastError;
model::IdleWait lastIdleWait;

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}
bool& Signalled(HANDLE event) {
  return *static_cast<bool*>(event);
}  // an event is a bool
void Start(OVERLAPPED* record) {
  record->Internal = Pending;
  Signalled(record->hEvent) = false;
}
// Ends an operation; a pending one, given as port.waiting or port.writing, is pending no more.
void Complete(OVERLAPPED*& operation, std::uintptr_t status, DWORD count) {
  operation->Internal = status;
  operation->InternalHigh = count;
  Signalled(operation->hEvent) = true;
  operation = nullptr;
}
void EndWait(DWORD events, std::uintptr_t status) {
  *port.waitEvents = events;
  Complete(port.waiting, status, 0);
}
bool Cancel(const OVERLAPPED* record) {  // record null: every pending operation
  const bool wait = port.waiting != nullptr && (record == nullptr || record == port.waiting);
  const bool write = port.writing != nullptr && (record == nullptr || record == port.writing);
  if (wait) EndWait(0, Cancelled);
  if (write) Complete(port.writing, Cancelled, 0);
  return wait || write;
}

}  // namespace

void model::Reset(Driver driver) {
  port = Port{};
  port.driver = driver;
}
void model::StallWrites(bool stall) {
  port.writesStall = stall;
}
model::IdleWait model::LastIdleWait() {
  return lastIdleWait;
}
void model::Arrive(int count) {
  for (; count > 0; --count) {
    ++port.queued;
    const bool ends = port.waiting != nullptr && (port.mask & EV_RXCHAR) != 0;
    if (ends) EndWait(EV_RXCHAR, Done);
    if (!ends) port.history |= port.mask & EV_RXCHAR;
  }
}

HANDLE CreateFileA(const char* name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (std::strcmp(name, "\\\\.\\COM1") != 0 || port.open) return INVALID_HANDLE_VALUE;
  port.open = true;
  return &portHandle;
}
HANDLE CreateEventA(void*, BOOL, BOOL signalled, const char*) {
  return new bool(signalled != 0);
}
BOOL CloseHandle(HANDLE handle) {
  if (handle != &portHandle) delete static_cast<bool*>(handle);
  port.open = port.open && handle != &portHandle;
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
  if (port.driver.endsWaits) EndWait(0, Cancelled);  // Wine 8 on a pty: pending, then cancelled
  if (port.waiting == nullptr || port.history == 0) return Fail(ERROR_IO_PENDING);
  EndWait(port.history, Done);
  port.history = 0;
  return TRUE;
}
BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) {
  *errors = 0;
  *status = COMSTAT{static_cast<DWORD>(port.queued), 0};
  return TRUE;
}
BOOL ReadFile(HANDLE, void* buffer, DWORD count, DWORD* done, OVERLAPPED* record) {
  *done = std::min(count, static_cast<DWORD>(port.queued));
  std::memset(buffer, 'x', *done);
  port.queued -= static_cast<int>(*done);
  Complete(record, Done, *done);
  return TRUE;
}
BOOL WriteFile(HANDLE, const void*, DWORD count, DWORD* done, OVERLAPPED* record) {
  Start(record);
  if (port.writesStall) port.writing = record;
  if (port.writesStall) return Fail(ERROR_IO_PENDING);
  *done = count;
  Complete(record, Done, count);
  return TRUE;
}
BOOL GetOverlappedResult(HANDLE, OVERLAPPED* record, DWORD* done, BOOL wait) {
  if (record->Internal == Pending && wait) std::abort();  // nothing would ever end it
  if (record->Internal == Pending) return Fail(ERROR_IO_INCOMPLETE);
  *done = static_cast<DWORD>(record->InternalHigh);
  return record->Internal == Done ? TRUE : Fail(ERROR_OPERATION_ABORTED);
}
BOOL CancelIo(HANDLE) {
  Cancel(nullptr);
  return TRUE;
}
BOOL CancelIoEx(HANDLE, OVERLAPPED* record) {
  return Cancel(record) ? TRUE : Fail(ERROR_NOT_FOUND);
}
DWORD WaitForSingleObject(HANDLE event, DWORD) {
  return Signalled(event) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD, DWORD) {
  lastIdleWait = model::IdleWait{lastIdleWait.calls + 1, count, ms};
  if (count == 1 && Signalled(handles[0])) return WAIT_OBJECT_0;
  return ms == INFINITE ? WAIT_OBJECT_0 + count : WAIT_TIMEOUT;
}
