// The serial device under SerialPort: one COM port opened for overlapped I/O, with one OVERLAPPED
// record and manual-reset event for reads and another for writes. Every read or write is started
// and waited for by the same call; one whose wait runs out is cancelled and waited for, so the byte
// or buffer it uses is never touched after the call returns. Only that one operation is cancelled:
// CancelIo would also end the idle loop's pending arrival wait.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

struct SerialDevice {
  HANDLE handle;
  OVERLAPPED readRecord;
  OVERLAPPED writeRecord;
  OVERLAPPED arrivalRecord;  // WaitCommEvent(EV_RXCHAR): wakes the idle main loop
  DWORD arrivalEvents;
  bool arrivalPending;
  int emptyArrivals;        // completions with neither an event nor a byte since the last read
  bool arrivalUnwatchable;  // the driver refuses the mask or keeps ending the wait (Wine on a pty)
};

namespace {

constexpr DWORD WriteWaitMs = 1000;
constexpr DWORD ReadWaitMs = 2000;
constexpr DWORD UnwatchedLineWaitMs = 1;  // a line whose arrivals cannot be waited for is looked at
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

// Cancels a started operation and waits until it has really ended; returns what it transferred.
DWORD CancelAndCollect(HANDLE handle, OVERLAPPED* record) {
  DWORD transferred = 0;
  CancelIoEx(handle, record);
  GetOverlappedResult(handle, record, &transferred, TRUE);
  return transferred;
}

int ReceivedCount(HANDLE handle) {
  DWORD errors = 0;
  COMSTAT status = {};
  if (!ClearCommError(handle, &errors, &status)) return 0;
  return static_cast<int>(status.cbInQue);
}

// The driver remembers EV_RXCHAR for bytes that came while no wait ran, the ones the busy waits
// have read too, so an arrival with an empty queue is an ordinary wake-up. Only a driver that keeps
// ending the wait with neither an event nor a byte is given up on, until the port is closed.
void NoteArrivalCompletion(SerialDevice* device, bool succeeded) {
  device->arrivalPending = false;
  if ((succeeded && (device->arrivalEvents & EV_RXCHAR) != 0) || ReceivedCount(device->handle) > 0) return;
  if (++device->emptyArrivals >= EmptyArrivalsToGiveUp) device->arrivalUnwatchable = true;
}

// Reads what has arrived, waiting at most ReadWaitMs for a read that the driver does not end at once.
DWORD ReadArrived(SerialDevice* device, unsigned char* buffer, DWORD wanted) {
  DWORD received = 0;
  OVERLAPPED* record = &device->readRecord;
  if (ReadFile(device->handle, buffer, wanted, &received, record)) return received;
  if (GetLastError() != ERROR_IO_PENDING) return 0;
  WaitForSingleObject(record->hEvent, ReadWaitMs);
  if (GetOverlappedResult(device->handle, record, &received, FALSE)) return received;
  if (GetLastError() != ERROR_IO_INCOMPLETE) return 0;
  return CancelAndCollect(device->handle, record);
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
    SetCommMask(device->handle, 0);  // ends the pending WaitCommEvent
    CancelAndCollect(device->handle, &device->arrivalRecord);
  }
  CloseIfOpen(device->readRecord.hEvent);
  CloseIfOpen(device->writeRecord.hEvent);
  CloseIfOpen(device->arrivalRecord.hEvent);
  CloseHandle(device->handle);
  *device = SerialDevice{};
}

int WriteSerialByte(SerialDevice* device, unsigned char byte) {
  DWORD written = 0;
  OVERLAPPED* record = &device->writeRecord;
  if (WriteFile(device->handle, &byte, 1, &written, record)) return static_cast<int>(written);
  if (GetLastError() != ERROR_IO_PENDING) return 0;
  if (WaitForSingleObject(record->hEvent, WriteWaitMs) == WAIT_OBJECT_0) {
    return GetOverlappedResult(device->handle, record, &written, FALSE) ? static_cast<int>(written) : 0;
  }
  return static_cast<int>(CancelAndCollect(device->handle, record));
}

int SerialBytesWaiting(SerialDevice* device) {
  return ReceivedCount(device->handle);
}

int ReadSerial(SerialDevice* device, unsigned char* buffer, int count) {
  int waiting = ReceivedCount(device->handle);
  // An overlapped read of an empty queue would stay pending under Wine: read only what has arrived.
  if (waiting == 0 || count <= 0) return 0;
  const DWORD received = ReadArrived(device, buffer, static_cast<DWORD>(count < waiting ? count : waiting));
  if (received > 0) device->emptyArrivals = 0;
  return static_cast<int>(received);
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
    if (ReceivedCount(device->handle) > 0) return;
    if (device->arrivalPending) {
      arrival = device->arrivalRecord.hEvent;
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
