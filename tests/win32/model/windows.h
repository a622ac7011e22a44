// The few Win32 types, constants and calls that platform/win32/serial_device.cpp uses, so that it
// builds on Linux against the model of one COM port in kernel32_model.cpp.
#pragma once
#include <cstdint>

using BOOL = int;
using DWORD = std::uint32_t;
using HANDLE = void*;
constexpr BOOL TRUE = 1, FALSE = 0;
constexpr DWORD MAXDWORD = 0xFFFFFFFF, INFINITE = 0xFFFFFFFF;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

struct OVERLAPPED {
  std::uintptr_t Internal, InternalHigh;  // the operation's status and count
  DWORD Offset, OffsetHigh;
  HANDLE hEvent;
};
struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout, ReadTotalTimeoutMultiplier, ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier, WriteTotalTimeoutConstant;
};
struct COMSTAT {
  DWORD cbInQue, cbOutQue;
};
struct DCB {
  DWORD DCBlength, BaudRate;
  DWORD fBinary : 1, fParity : 1, fOutxCtsFlow : 1, fOutxDsrFlow : 1, fDtrControl : 2, fDsrSensitivity : 1;
  DWORD fOutX : 1, fInX : 1, fRtsControl : 2;
  unsigned char ByteSize, Parity, StopBits;
};

constexpr DWORD GENERIC_READ = 0x80000000, GENERIC_WRITE = 0x40000000, OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000, FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr unsigned char NOPARITY = 0, ONESTOPBIT = 0;
constexpr DWORD DTR_CONTROL_DISABLE = 0, RTS_CONTROL_DISABLE = 0;
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD ERROR_INVALID_PARAMETER = 87, ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996, ERROR_IO_PENDING = 997, ERROR_NOT_FOUND = 1168;
constexpr DWORD WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 0x102;
constexpr DWORD QS_ALLINPUT = 0x4FF, MWMO_INPUTAVAILABLE = 0x4;

HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL signalled, const char* name);
BOOL CloseHandle(HANDLE handle);
DWORD GetLastError();
BOOL GetCommState(HANDLE handle, DCB* settings);
BOOL SetCommState(HANDLE handle, DCB* settings);
BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue);
BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts);
BOOL SetCommMask(HANDLE handle, DWORD mask);
BOOL WaitCommEvent(HANDLE handle, DWORD* events, OVERLAPPED* record);
BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status);
BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* done, OVERLAPPED* record);
BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* record);
BOOL GetOverlappedResult(HANDLE handle, OVERLAPPED* record, DWORD* done, BOOL wait);
BOOL CancelIo(HANDLE handle);
BOOL CancelIoEx(HANDLE handle, OVERLAPPED* record);
DWORD WaitForSingleObject(HANDLE handle, DWORD ms);
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD wakeMask, DWORD flags);
