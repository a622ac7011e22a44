// The serial device under SerialPort: one COM port opened for overlapped I/O, with one OVERLAPPED
// record and manual-reset event for reads and another for writes. Every read or write is started
// and waited for by the same call; one whose wait runs out is cancelled and waited for, so the byte
// or buffer it uses is never touched after the call returns. Only that one operation is cancelled
// (CancelIoEx) where Windows can; Windows XP can only cancel them all (CancelIo), which also ends the
// idle loop's pending arrival wait. A device that has gone fails ClearCommError, or a read or write
// with one of the errors of a removed device: the seam then answers LineLost.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

using CancelOneFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);

struct SerialDevice {
  HANDLE handle;
  OVERLAPPED readRecord;
  OVERLAPPED writeRecord;
  OVERLAPPED arrivalRecord;  // WaitCommEvent(EV_RXCHAR): wakes the idle main loop
  DWORD arrivalEvents;
  bool arrivalPending;
  int emptyArrivals;            // completions with neither an event nor a byte since the last read
  bool arrivalUnwatchable;      // the driver refuses the mask or keeps ending the wait (Wine on a pty)
  CancelOneFunction cancelOne;  // CancelIoEx; null on Windows XP
};

namespace {

constexpr DWORD WriteWaitMs = 1000;
constexpr DWORD ReadWaitMs = 2000;
constexpr DWORD UnwatchedLineWaitMs = 1;  // a line whose arrivals cannot be waited for is looked at
// A removed device may end no wait and fail nothing until ClearCommError looks at it again.
constexpr DWORD WatchedLineWaitMs = 1000;
constexpr int EmptyArrivalsToGiveUp = 3;

SerialDevice Port;  // there is one port

void CloseIfOpen(HANDLE handle) {
  if (handle != nullptr) CloseHandle(handle);
}

bool ConfigureLine(HANDLE handle) {
  DCB settings = {};
  settings.DCBlength = sizeof settings;
  GetCommState(handle, &settings);
  settings.BaudRate = 4800;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.fBinary = 1;
  settings.fParity = 0;
  settings.fOutxCtsFlow = 0;
  settings.fOutxDsrFlow = 0;
  settings.fDsrSensitivity = 0;
  settings.fOutX = 0;
  settings.fInX = 0;
  settings.fDtrControl = DTR_CONTROL_DISABLE;
  settings.fRtsControl = RTS_CONTROL_DISABLE;
  return SetCommState(handle, &settings) && SetupComm(handle, 10000, 10000);
}

// CancelIoEx came with Windows Vista: looked up, so that the program still starts on Windows XP.
CancelOneFunction FindCancelIoEx() {
  const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "CancelIoEx");
  return reinterpret_cast<CancelOneFunction>(reinterpret_cast<void (*)()>(found));
}

// What a failed read or write (GetLastError) means for the seam: a removed device (a USB adapter
// pulled out; Wine on a pty whose other end has closed gives the last two) is LineLost, anything
// else moved nothing. Aborted is a removal only where we did not cancel ourselves.
int Failed() {
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_NOT_READY:
    case ERROR_BROKEN_PIPE:
      return LineLost;
    default:
      return 0;
  }
}

// Cancels a started read or write and waits until it has really ended: what it moved, or LineLost.
// CancelIo ends the pending arrival wait too: that is collected here, not counted as an arrival, and
// started again at the next idle turn.
int CancelAndCollect(SerialDevice* device, OVERLAPPED* record) {
  DWORD moved = 0;
  if (device->cancelOne != nullptr) {
    device->cancelOne(device->handle, record);
  } else {
    CancelIo(device->handle);
    if (device->arrivalPending) GetOverlappedResult(device->handle, &device->arrivalRecord, &moved, TRUE);
    device->arrivalPending = false;
  }
  if (GetOverlappedResult(device->handle, record, &moved, TRUE) ||
      GetLastError() == ERROR_OPERATION_ABORTED) {
    return static_cast<int>(moved);
  }
  return Failed();
}

// Ends a read or write that ReadFile or WriteFile started (started: what that returned), cancelling
// it when it has not ended within waitMs.
int Finish(SerialDevice* device, OVERLAPPED* record, BOOL started, DWORD moved, DWORD waitMs) {
  if (started) return static_cast<int>(moved);
  if (GetLastError() != ERROR_IO_PENDING) return Failed();
  WaitForSingleObject(record->hEvent, waitMs);
  if (GetOverlappedResult(device->handle, record, &moved, FALSE)) return static_cast<int>(moved);
  if (GetLastError() != ERROR_IO_INCOMPLETE) return Failed();
  return CancelAndCollect(device, record);
}

// Any failure of ClearCommError means the device has gone.
int ReceivedCount(HANDLE handle) {
  DWORD errors = 0;
  COMSTAT status = {};
  if (!ClearCommError(handle, &errors, &status)) return LineLost;
  return static_cast<int>(status.cbInQue);
}

// The driver remembers EV_RXCHAR for bytes that came while no wait ran, the ones the busy waits
// have read too, so an arrival with an empty queue is an ordinary wake-up. Only a driver that keeps
// ending the wait with neither an event nor a byte is given up on, until the port is closed. A wait
// that ended with an error only wakes the loop: the next look at the line tells whether it has gone.
void NoteArrivalCompletion(SerialDevice* device, bool succeeded) {
  device->arrivalPending = false;
  if ((succeeded && (device->arrivalEvents & EV_RXCHAR) != 0) || ReceivedCount(device->handle) > 0) return;
  if (++device->emptyArrivals >= EmptyArrivalsToGiveUp) device->arrivalUnwatchable = true;
}

}  // namespace

SerialDevice* OpenSerialDevice(int portNumber) {
  char name[32];
  // The \\.\ form also reaches COM10 and above.
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", portNumber);
  HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;

  Port = SerialDevice{};
  Port.handle = handle;
  Port.cancelOne = FindCancelIoEx();
  // Reads return at once with whatever has arrived; a write may take up to 5 s.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = 5000;
  SetCommTimeouts(handle, &timeouts);
  Port.readRecord.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Port.writeRecord.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Port.arrivalRecord.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

  if (!ConfigureLine(handle) || Port.readRecord.hEvent == nullptr || Port.writeRecord.hEvent == nullptr ||
      Port.arrivalRecord.hEvent == nullptr) {
    CloseIfOpen(Port.readRecord.hEvent);
    CloseIfOpen(Port.writeRecord.hEvent);
    CloseIfOpen(Port.arrivalRecord.hEvent);
    CloseHandle(handle);
    Port = SerialDevice{};
    return nullptr;
  }
  // A driver that refuses the mask still moves bytes: its line is looked at every 1 ms.
  Port.arrivalUnwatchable = !SetCommMask(handle, EV_RXCHAR);
  return &Port;
}

void CloseSerialDevice(SerialDevice* device) {
  if (device->arrivalPending) {
    SetCommMask(device->handle, 0);  // ends the pending WaitCommEvent (Wine's cannot be cancelled)
    CancelAndCollect(device, &device->arrivalRecord);
  }
  CloseIfOpen(device->readRecord.hEvent);
  CloseIfOpen(device->writeRecord.hEvent);
  CloseIfOpen(device->arrivalRecord.hEvent);
  CloseHandle(device->handle);
  *device = SerialDevice{};
}

int WriteSerialByte(SerialDevice* device, unsigned char byte) {
  DWORD written = 0;
  const BOOL done = WriteFile(device->handle, &byte, 1, &written, &device->writeRecord);
  return Finish(device, &device->writeRecord, done, written, WriteWaitMs);
}

int SerialBytesWaiting(SerialDevice* device) {
  return ReceivedCount(device->handle);
}

int ReadSerial(SerialDevice* device, unsigned char* buffer, int count) {
  const int waiting = ReceivedCount(device->handle);
  // An overlapped read of an empty queue would stay pending under Wine: read only what has arrived.
  if (waiting <= 0 || count <= 0) return waiting == LineLost ? LineLost : 0;
  DWORD received = 0;
  const BOOL done = ReadFile(device->handle, buffer, static_cast<DWORD>(count < waiting ? count : waiting),
                             &received, &device->readRecord);
  const int got = Finish(device, &device->readRecord, done, received, ReadWaitMs);
  if (got > 0) device->emptyArrivals = 0;
  return got;
}

// EV_RXCHAR fires for bytes that arrive while the wait runs, so the queue is looked at once more
// after the wait has started. Waits for a message alone while no port is open.
void WaitForMessageOrByte(SerialDevice* device, int limitMs) {
  DWORD timeout = INFINITE;
  HANDLE arrival = nullptr;
  if (device != nullptr) {
    if (!device->arrivalPending && !device->arrivalUnwatchable) {
      if (WaitCommEvent(device->handle, &device->arrivalEvents, &device->arrivalRecord)) {
        NoteArrivalCompletion(device, true);
        return;
      }
      if (GetLastError() == ERROR_IO_PENDING) {
        device->arrivalPending = true;
      } else {
        NoteArrivalCompletion(device, false);
      }
    }
    if (ReceivedCount(device->handle) != 0) return;  // bytes, or a device that has gone
    if (device->arrivalPending) {
      arrival = device->arrivalRecord.hEvent;
      timeout = WatchedLineWaitMs;
    } else {
      timeout = UnwatchedLineWaitMs;
    }
  }
  if (limitMs >= 0 && static_cast<DWORD>(limitMs) < timeout) timeout = static_cast<DWORD>(limitMs);
  const DWORD woken = MsgWaitForMultipleObjectsEx(arrival != nullptr ? 1 : 0, &arrival, timeout, QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
  if (arrival != nullptr && woken == WAIT_OBJECT_0) {
    DWORD unused = 0;
    NoteArrivalCompletion(device,
                          GetOverlappedResult(device->handle, &device->arrivalRecord, &unused, FALSE));
  }
}

}  // namespace platform
