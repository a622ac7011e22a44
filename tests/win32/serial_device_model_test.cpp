// The Windows serial device over a model of a Windows serial driver: compiled as a prefix (-include) of
// platform/win32/serial_device.cpp, this renames the driver calls onto the model below, one COM port as
// the documentation of serial.sys and the common USB-serial drivers describes it:
// - WaitCommEvent completes when an event of the mask happens. Events that happen while no wait is
//   pending are kept in the event history, and the next WaitCommEvent completes at once with them,
//   even when the bytes have been read meanwhile. SetCommMask clears the history and ends a pending
//   wait with no event.
// - CancelIoEx(handle, record) ends that one operation; CancelIo(handle) ends every operation the
//   calling thread started on the handle (here all of them: one thread). Both end it as aborted.
//   Windows XP's kernel32 has no CancelIoEx.
// - With ReadIntervalTimeout MAXDWORD a read completes at once with what has arrived.
// - A device that has gone (a USB adapter pulled out) fails ClearCommError, and fails reads and
//   writes, at once or at their completion, with an error such as ERROR_GEN_FAILURE; a pending
//   WaitCommEvent may never end.
// Time does not pass: a wait that nothing ends returns as if its time ran out. The events are real.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace model {

struct Port {         // its address is the port's handle
  std::string line;   // the driver's kind, then what has happened on the line (see Row)
  DWORD goneError;    // what reads and writes fail with once the device has gone
  std::string trace;  // what the seam's calls and the idle waits did (see Row)
  DWORD queued = 0, mask = 0, history = 0, *waitEvents = nullptr;         // waitEvents: the pending wait's
  OVERLAPPED *waiting = nullptr, *watched = nullptr, *writing = nullptr;  // the last wait and write
} port;

bool Happened(const char* events) {
  return port.line.find_first_of(events) != std::string::npos;
}
BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}
// An operation's status is kept in its record as a Win32 error; any but ERROR_IO_PENDING signals it.
void Set(OVERLAPPED* record, DWORD status, DWORD count = 0) {
  record->Internal = status;
  record->InternalHigh = count;
  status == ERROR_IO_PENDING ? ResetEvent(record->hEvent) : SetEvent(record->hEvent);
}
void EndWait(DWORD events, DWORD status) {
  *port.waitEvents = events;
  Set(port.waiting, status);
  port.waiting = nullptr;
}
void Arrive() {
  ++port.queued;
  if (port.waiting != nullptr && (port.mask & EV_RXCHAR) != 0) return EndWait(EV_RXCHAR, NO_ERROR);
  port.history |= port.mask & EV_RXCHAR;
}
BOOL Gone(OVERLAPPED* record) {  // a read or write once the device has gone
  if (Happened("x")) return Fail(port.goneError);
  Set(record, port.goneError);
  return Fail(ERROR_IO_PENDING);
}

HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  return std::strcmp(name, "\\\\.\\COM1") == 0 ? &port : INVALID_HANDLE_VALUE;
}
BOOL SetCommMask(HANDLE, DWORD mask) {
  if (Happened("m")) return Fail(ERROR_INVALID_PARAMETER);
  port.mask = mask;
  port.history = 0;
  if (port.waiting != nullptr) EndWait(0, NO_ERROR);
  return TRUE;
}
BOOL WaitCommEvent(HANDLE, DWORD* events, OVERLAPPED* record) {
  if (port.mask == 0 || port.waiting != nullptr) return Fail(ERROR_INVALID_PARAMETER);
  Set(port.waiting = port.watched = record, ERROR_IO_PENDING);
  port.waitEvents = events;
  if (Happened("e")) EndWait(0, ERROR_OPERATION_ABORTED);  // Wine 8 on a pty: pending, then cancelled
  if (port.waiting == nullptr || port.history == 0) return Fail(ERROR_IO_PENDING);
  EndWait(port.history, NO_ERROR);
  port.history = 0;
  return TRUE;
}
BOOL ClearCommError(HANDLE, DWORD*, COMSTAT* status) {
  if (Happened("c")) return Fail(ERROR_ACCESS_DENIED);
  *status = COMSTAT{};
  status->cbInQue = port.queued;
  return TRUE;
}
BOOL ReadFile(HANDLE, void*, DWORD count, DWORD* done, OVERLAPPED* record) {
  if (Happened("xX")) return Gone(record);
  *done = count < port.queued ? count : port.queued;
  port.queued -= *done;
  Set(record, NO_ERROR, *done);
  return TRUE;
}
BOOL WriteFile(HANDLE, const void*, DWORD count, DWORD*, OVERLAPPED* record) {
  if (Happened("xX")) return Gone(record);
  port.writing = record;
  Set(record, Happened("h") ? ERROR_IO_PENDING : NO_ERROR, count);  // else taken while the caller waits
  return Fail(ERROR_IO_PENDING);
}
BOOL GetOverlappedResult(HANDLE, OVERLAPPED* record, DWORD* done, BOOL wait) {
  if (record->Internal == ERROR_IO_PENDING && wait) port.trace += "(hangs)";  // nothing would end it
  if (record->Internal == ERROR_IO_PENDING) return Fail(ERROR_IO_INCOMPLETE);
  *done = static_cast<DWORD>(record->InternalHigh);
  return record->Internal == NO_ERROR ? TRUE : Fail(static_cast<DWORD>(record->Internal));
}
BOOL WINAPI CancelIoEx(HANDLE, OVERLAPPED* record) {
  if (record == port.waiting) EndWait(0, ERROR_OPERATION_ABORTED);
  if (record->Internal == ERROR_IO_PENDING) Set(record, ERROR_OPERATION_ABORTED);
  return TRUE;
}
BOOL CancelIo(HANDLE handle) {  // all of them: the arrival wait and the last write
  if (port.waiting != nullptr) model::CancelIoEx(handle, port.waiting);
  return port.writing == nullptr || model::CancelIoEx(handle, port.writing);
}
FARPROC GetProcAddress(HMODULE, LPCSTR name) {
  if (Happened("p") || std::strcmp(name, "CancelIoEx") != 0) return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(CancelIoEx));
}
DWORD WaitForSingleObject(HANDLE event, DWORD) {
  return ::WaitForSingleObject(event, 0);
}
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD, DWORD) {
  const bool onArrival = count == 1 && port.watched != nullptr && handles[0] == port.watched->hEvent;
  port.trace.back() = onArrival && ms <= 1000 ? 'W' : count == 0 && ms == 1 ? '1' : '?';
  return count == 1 ? ::WaitForSingleObject(handles[0], 0) : WAIT_TIMEOUT;
}

}  // namespace model

namespace {

// The driver: m refuses the mask, e ends every WaitCommEvent at once, cancelled (Wine 8 on a pty), p
// has no CancelIoEx (Windows XP). A step: i an idle turn; r, w, q ReadSerial (all that waits),
// WriteSerialByte, SerialBytesWaiting; b a byte arrives; h writes are held up from now on; the device
// goes: c ClearCommError fails (nothing else tells), x reads and writes fail with goneError, X at
// their completion. Expected: each idle turn - returned at once, W waited for an arrival (at most
// 1 s), 1 looked after 1 ms; each call its result, L for LineLost.
struct Row {
  const char *name, *driver;
  DWORD goneError;
  const char *script, *expected;
};

const Row Rows[] = {
    // The last two bytes of the burst leave EV_RXCHAR in the history: that wait ends at once.
    {"BurstLeavesTheLineWatched", "", 0, "ibbbiriii", "W-3W-W"},
    {"TakenWriteIsSent", "", 0, "iwi", "W1W"},
    // Timed-out writes move nothing and leave the line watched; without CancelIoEx each one ends the
    // arrival wait, which is started again, not counted as an empty arrival.
    {"TimedOutWritesLeaveTheLineWatched", "", 0, "hiwiiwiiwii", "W0WW0WW0WW"},
    {"WindowsXpStartsTheArrivalWaitAgain", "p", 0, "hiwiiwiiwii", "W0WW0WW0WW"},
    {"RefusedMaskOpensLookedAtEveryMs", "m", 0, "ii", "11"},
    // Waits that end cancelled (Wine on a pty) demote the line to the 1 ms look; it is not lost.
    {"ThirdEmptyCompletionDemotes", "e", 0, "iiiiiq", "WWW110"},
    {"ReadBetweenEmptyCompletionsResets", "e", 0, "iibriiii", "WW1WWW1"},
    // The wait never ends; the one-second wake looks at the line.
    {"SilentRemovalSeenAtTheNextLook", "", 0, "iciqr", "W-LL"},
    {"AccessDeniedAtOnce", "", ERROR_ACCESS_DENIED, "bxrw", "LL"},
    {"BadCommandAtCompletion", "", ERROR_BAD_COMMAND, "bXrw", "LL"},
    {"GenFailureAtOnce", "", ERROR_GEN_FAILURE, "bxrw", "LL"},
    {"DeviceNotConnectedAtCompletion", "", ERROR_DEVICE_NOT_CONNECTED, "bXrw", "LL"},
    {"DeviceRemovedAtOnce", "", ERROR_DEVICE_REMOVED, "bxrw", "LL"},
    {"AbortedByTheDriverAtCompletion", "", ERROR_OPERATION_ABORTED, "bXrw", "LL"},
    {"NotReadyAtOnceAsWineOnAHungUpPty", "", ERROR_NOT_READY, "bxrw", "LL"},
    {"BrokenPipeAtCompletionAsWineOnAHungUpPty", "", ERROR_BROKEN_PIPE, "bXrw", "LL"},
    {"OtherFailureMovesNothingAndKeepsTheLine", "", ERROR_INVALID_PARAMETER, "bxrwq", "001"},
};

void Note(int result) {
  model::port.trace += result == platform::LineLost ? 'L' : static_cast<char>('0' + result);
}

}  // namespace

int main() {
  int failed = 0;
  for (const Row& row : Rows) {
    model::port = model::Port{row.driver, row.goneError, ""};
    platform::SerialDevice* device = platform::OpenSerialDevice(1);
    for (const char* step = row.script; device != nullptr && *step != '\0'; ++step) {
      unsigned char buffer[8];
      if (*step == 'i') model::port.trace += '-';  // the idle wait, where it waits, says how instead
      if (*step == 'i') platform::WaitForMessageOrByte(device, -1);
      if (*step == 'r') Note(platform::ReadSerial(device, buffer, sizeof buffer));
      if (*step == 'w') Note(platform::WriteSerialByte(device, 'w'));
      if (*step == 'q') Note(platform::SerialBytesWaiting(device));
      if (std::strchr("bhcxX", *step) != nullptr) model::port.line += *step;
      if (*step == 'b') model::Arrive();
    }
    if (device != nullptr) platform::CloseSerialDevice(device);
    if (device == nullptr) model::port.trace = "no port";
    const bool passed = model::port.trace == row.expected;
    if (!passed) std::printf("%s: %s, not %s\n", row.name, model::port.trace.c_str(), row.expected);
    failed += !passed;
  }
  std::printf("%d of %d rows failed\n", failed, static_cast<int>(sizeof Rows / sizeof Rows[0]));
  return failed == 0 ? 0 : 1;
}

#define CreateFileA model::CreateFileA
// The line settings are taken; GetCommState, SetCommTimeouts and CloseHandle, whose failures go
// unseen, fail on the port.
#define SetCommState(handle, settings) TRUE
#define SetupComm(handle, in, out) TRUE
#define SetCommMask model::SetCommMask
#define WaitCommEvent model::WaitCommEvent
#define ClearCommError model::ClearCommError
#define ReadFile model::ReadFile
#define WriteFile model::WriteFile
#define GetOverlappedResult model::GetOverlappedResult
#define CancelIo model::CancelIo
#define GetProcAddress model::GetProcAddress
#define WaitForSingleObject model::WaitForSingleObject
#define MsgWaitForMultipleObjectsEx model::MsgWaitForMultipleObjectsEx
