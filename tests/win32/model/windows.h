// The few Win32 types and calls that platform/win32/serial_device.cpp uses, so that it builds and
// runs on Linux over a model of one COM port under a Windows serial driver, as the documentation of
// serial.sys and the common USB-serial drivers describes it:
// - WaitCommEvent completes when an event of the mask happens. Events that happen while no wait is
//   pending are kept in the event history, and the next WaitCommEvent completes at once with them,
//   even when the bytes have been read meanwhile. SetCommMask clears the history and ends a pending
//   wait with no event.
// - CancelIo(handle) ends every operation the calling thread started on the handle (here all of
//   them: one thread); CancelIoEx(handle, record) ends that one. Both end it as aborted.
// - With ReadIntervalTimeout MAXDWORD a read completes at once with what has arrived.
// Time does not pass: a wait that nothing ends returns as if its time ran out, or a message came,
// and a write stays pending until it is cancelled (the line is held up).
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

using BOOL = int;
using DWORD = std::uint32_t;
using HANDLE = void*;
constexpr BOOL TRUE = 1, FALSE = 0;
constexpr DWORD MAXDWORD = 0xFFFFFFFF, INFINITE = 0xFFFFFFFF;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

struct OVERLAPPED {
  std::uintptr_t Internal, InternalHigh;  // the operation's status and count
  HANDLE hEvent;                          // an event is a bool
};
struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout, WriteTotalTimeoutConstant;  // the others are not set
};
struct COMSTAT {
  DWORD cbInQue, cbOutQue;
};
struct DCB {  // the flags are bit fields on Windows
  DWORD DCBlength, BaudRate, fBinary, fParity, fOutxCtsFlow, fOutxDsrFlow, fDtrControl, fDsrSensitivity;
  DWORD fOutX, fInX, fRtsControl;
  unsigned char ByteSize, Parity, StopBits;
};

constexpr DWORD GENERIC_READ = 0x80000000, GENERIC_WRITE = 0x40000000, OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000, FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr unsigned char NOPARITY = 0, ONESTOPBIT = 0;
constexpr DWORD DTR_CONTROL_DISABLE = 0, RTS_CONTROL_DISABLE = 0, EV_RXCHAR = 0x0001;
constexpr DWORD ERROR_INVALID_PARAMETER = 87, ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996, ERROR_IO_PENDING = 997, ERROR_NOT_FOUND = 1168;
constexpr DWORD WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 0x102, QS_ALLINPUT = 0x4FF, MWMO_INPUTAVAILABLE = 0x4;

namespace model {

constexpr std::uintptr_t Done = 0, Pending = 0x103, Cancelled = 0xC0000120;  // NTSTATUS values

struct Driver {
  bool refusesMask;  // SetCommMask fails
  bool endsWaits;    // every WaitCommEvent ends at once, cancelled with no event (Wine 8 on a pty)
};
struct Port {  // its address is the port's handle
  Driver driver;
  char idleWait = 0;  // how the last MsgWaitForMultipleObjectsEx waited: W on the arrival alone, 1 for 1 ms
  int queued = 0;     // bytes arrived and not read
  DWORD mask = 0, history = 0, lastError = 0;
  DWORD* waitEvents = nullptr;                        // where the pending WaitCommEvent puts its events
  OVERLAPPED *waiting = nullptr, *writing = nullptr;  // the pending WaitCommEvent and write
};
inline Port port;

inline BOOL Fail(DWORD error) {
  port.lastError = error;
  return FALSE;
}
// Any status but Pending signals the operation's event.
inline void Set(OVERLAPPED* record, std::uintptr_t status, DWORD count = 0) {
  record->Internal = status;
  record->InternalHigh = count;
  *static_cast<bool*>(record->hEvent) = status != Pending;
}
inline void EndWait(DWORD events, std::uintptr_t status) {
  *port.waitEvents = events;
  Set(std::exchange(port.waiting, nullptr), status);
}
inline BOOL Cancel(const OVERLAPPED* record) {  // record null: every pending operation
  const bool wait = port.waiting != nullptr && (record == nullptr || record == port.waiting);
  const bool write = port.writing != nullptr && (record == nullptr || record == port.writing);
  if (wait) EndWait(0, Cancelled);
  if (write) Set(std::exchange(port.writing, nullptr), Cancelled);
  return wait || write ? TRUE : Fail(ERROR_NOT_FOUND);
}
inline void Arrive() {  // a byte comes in on the line
  ++port.queued;
  if (port.waiting != nullptr && (port.mask & EV_RXCHAR) != 0) return EndWait(EV_RXCHAR, Done);
  port.history |= port.mask & EV_RXCHAR;
}

}  // namespace model

inline HANDLE CreateFileA(const char* name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  return std::strcmp(name, "\\\\.\\COM1") == 0 ? &model::port : INVALID_HANDLE_VALUE;
}
inline HANDLE CreateEventA(void*, BOOL, BOOL, const char*) {
  return new bool(false);
}
inline BOOL CloseHandle(HANDLE handle) {
  if (handle != &model::port) delete static_cast<bool*>(handle);
  return TRUE;
}
inline DWORD GetLastError() {
  return model::port.lastError;
}
// Line settings: taken, and not looked at.
template <class... Arguments>
BOOL Accepted(Arguments...) {
  return TRUE;
}
inline constexpr BOOL (*GetCommState)(HANDLE, DCB*) = Accepted;
inline constexpr BOOL (*SetCommState)(HANDLE, DCB*) = Accepted;
inline constexpr BOOL (*SetupComm)(HANDLE, DWORD, DWORD) = Accepted;
inline constexpr BOOL (*SetCommTimeouts)(HANDLE, COMMTIMEOUTS*) = Accepted;
inline BOOL SetCommMask(HANDLE, DWORD mask) {
  if (model::port.driver.refusesMask) return model::Fail(ERROR_INVALID_PARAMETER);
  model::port.mask = mask;
  model::port.history = 0;
  if (model::port.waiting != nullptr) model::EndWait(0, model::Done);
  return TRUE;
}
inline BOOL WaitCommEvent(HANDLE, DWORD* events, OVERLAPPED* record) {
  model::Port& port = model::port;
  if (port.mask == 0 || port.waiting != nullptr) return model::Fail(ERROR_INVALID_PARAMETER);
  model::Set(port.waiting = record, model::Pending);
  port.waitEvents = events;
  if (port.driver.endsWaits) model::EndWait(0, model::Cancelled);  // Wine 8 on a pty: pending, then cancelled
  if (port.waiting == nullptr || port.history == 0) return model::Fail(ERROR_IO_PENDING);
  model::EndWait(std::exchange(port.history, 0), model::Done);
  return TRUE;
}
inline BOOL ClearCommError(HANDLE, DWORD*, COMSTAT* status) {
  *status = COMSTAT{static_cast<DWORD>(model::port.queued), 0};
  return TRUE;
}
inline BOOL ReadFile(HANDLE, void*, DWORD count, DWORD* done, OVERLAPPED* record) {
  *done = std::min(count, static_cast<DWORD>(model::port.queued));
  model::port.queued -= static_cast<int>(*done);
  model::Set(record, model::Done, *done);
  return TRUE;
}
inline BOOL WriteFile(HANDLE, const void*, DWORD, DWORD*, OVERLAPPED* record) {
  model::Set(model::port.writing = record, model::Pending);
  return model::Fail(ERROR_IO_PENDING);
}
inline BOOL GetOverlappedResult(HANDLE, OVERLAPPED* record, DWORD* done, BOOL wait) {
  if (record->Internal == model::Pending && wait) std::abort();  // nothing would ever end it
  if (record->Internal == model::Pending) return model::Fail(ERROR_IO_INCOMPLETE);
  *done = static_cast<DWORD>(record->InternalHigh);
  return record->Internal == model::Done ? TRUE : model::Fail(ERROR_OPERATION_ABORTED);
}
inline BOOL CancelIo(HANDLE) {
  model::Cancel(nullptr);
  return TRUE;
}
inline BOOL CancelIoEx(HANDLE, OVERLAPPED* record) {
  return model::Cancel(record);
}
inline DWORD WaitForSingleObject(HANDLE event, DWORD) {
  return *static_cast<bool*>(event) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
inline DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD, DWORD) {
  model::port.idleWait = count == 1 && ms == INFINITE ? 'W' : count == 0 && ms == 1 ? '1' : '?';
  if (count == 1 && *static_cast<bool*>(handles[0])) return WAIT_OBJECT_0;
  return ms == INFINITE ? WAIT_OBJECT_0 + count : WAIT_TIMEOUT;
}
