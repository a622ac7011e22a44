// The seam between the portable core and one operating system.
// Each function achieves what one Win32 call (or a short fixed run of them) achieves, so that
// platform/win32 is close to one call per function; platform/gtk + platform/posix do the same with
// GTK 3 and POSIX, and tests/fake records every call and runs in virtual time.
// The core calls only these functions; the layers call back into the core through
// MainWindowProc and AboutDialogProc (app/main_window.h) with Win32 message numbers.
#pragma once

#include <cstdint>

namespace platform {

// ---- Resources compiled into the program (LoadStringA, LoadAcceleratorsA)
void LoadResourceString(int id, char* buffer, int size);  // copies, truncating to size - 1 and a NUL
void LoadAcceleratorTable();  // table 109: Alt+'?' and Alt+'/' give WM_COMMAND 104

// ---- The main window (RegisterClassExA, CreateWindowExA, ShowWindow, DestroyWindow, SetWindowTextA)
void RegisterMainWindowClass(const char* className);            // I-beam cursor, icon 116, white background
bool OpenMainWindow(const char* className, const char* title);  // false when it cannot be created
void ShowMainWindow(int showCommand);
void DestroyMainWindow();  // sends WM_DESTROY to MainWindowProc before it returns
void SetMainWindowTitle(const char* text);

// ---- Event pump (PeekMessageA with PM_REMOVE, TranslateAcceleratorA, TranslateMessage,
// DispatchMessageA, PostQuitMessage, DefWindowProcA)
enum class Pumped { Nothing, Dispatched, Quit };
Pumped PumpOneMessage(int* quitCode);  // never waits; takes and handles at most one message
struct SerialDevice;
// Sleeps until a window message arrives, the device (when not null) has received a byte, or limitMs
// have passed (-1: no limit); an idle terminal costs no processor time. May handle toolkit events on
// the way, never a core message.
void WaitForMessageOrByte(SerialDevice* device, int limitMs);
void PostQuit(int exitCode);
intptr_t DefaultWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);

// ---- The About dialog (DialogBoxParamA with template 103, EndDialog): modal, calls AboutDialogProc
void RunAboutDialog();
void EndAboutDialog(int result);

// ---- Drawing, always inside a paint cycle of the main window
// CreateFontA (default fixed-pitch font) + GetTextMetricsA: tmHeight and tmMaxCharWidth.
void CreateScreenFont(int* lineHeight, int* charWidth);
// BeginPaint with the screen font selected. Takes every pending repaint request (a request made
// during the cycle waits for the next one); the cycle may draw only where a repaint was requested.
// Returns true when the background was erased since the last cycle began (a request with erase, a
// window uncovered), so the caller knows the window lost its pixels.
bool BeginPaintCycle();
void EndPaintCycle();
// ExtTextOutA: Windows-1252 bytes, each in a cell of its own
void DrawTextRun(int x, int y, const unsigned char* bytes, int count);
// GetClientRect + white brush + Rectangle: all of the client area, whether a repaint was asked there or not
void FillClientWhite();
void InvalidateMainWindow(bool erase);  // InvalidateRect(whole client area)
void UpdateMainWindow();  // UpdateWindow: a pending repaint runs now (WM_PAINT), then is visible

// ---- The caret (CreateCaret, DestroyCaret, SetCaretPos, HideCaret, ShowCaret)
void CreateCaretBar(int width, int height);
void DestroyCaretBar();
void SetCaretPosition(int x, int y);
void HideCaretBar();
void ShowCaretBar();

// ---- Messages, sounds, dialogs (MessageBoxA, MessageBeep, GetOpenFileNameA, GetSaveFileNameA)
void ShowMessage(const char* text);  // owner: the main window once it exists; caption "Error"; OK only
void Beep();
// filterList: description, NUL, pattern, NUL, ..., NUL (empty list: no filter). The path buffer
// receives the chosen full path. Both return false on cancel or failure. Neither changes the
// current directory. Open accepts only an existing file; Save asks before creating a new name
// and does not ask before replacing one; neither adds an extension.
bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize);
bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize);

// ---- Time (Sleep, a monotonic clock, GetLocalTime)
void SleepMs(int milliseconds);
int64_t NowMs();
struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
void ReadLocalTime(LocalTime* time);  // the wall clock in the user's time zone

// ---- Files (SearchPathA, CreateFileA, ReadFile, WriteFile, CloseHandle, MoveFileExA, DeleteFileA)
// Searches the program's own folder, the current directory, then the folders of PATH, for name with
// extension appended when name has none. Writes the full path; false when not found or too long.
bool SearchFile(const char* name, const char* extension, char* foundPath, int size);
extern const char LineEnd[];  // of a text file the user reads: "\r\n" on Windows, "\n" elsewhere
using FileHandle = intptr_t;
constexpr FileHandle NoFile = -1;
FileHandle OpenFileForReading(const char* path);        // exclusive, must exist
FileHandle OpenFileForWriting(const char* path);        // exclusive, must exist, not truncated
FileHandle CreateNewFile(const char* path);             // exclusive; fails if it exists
FileHandle OpenFileForSharedReading(const char* path);  // must exist; others may read and write it meanwhile
FileHandle OpenFileForAppending(const char* path);      // created if missing; others may read it meanwhile
int ReadFromFile(FileHandle file, void* buffer, int count);       // bytes read, -1 on failure
int WriteToFile(FileHandle file, const void* buffer, int count);  // bytes written, -1 on failure
// At the end of a file opened for appending: all count bytes, or none (what a full disk took of
// them is cut off again, so the file never ends in part of them). False when they are not there.
bool AppendWhole(FileHandle file, const void* buffer, int count);
// Whether path names the very file open under file (the same device and inode, or volume and file
// index), whatever the names; false when path names nothing.
bool IsSameFile(FileHandle file, const char* path);
bool IsDevice(FileHandle file);   // a terminal line or another device (a serial port), not a file
bool FlushFile(FileHandle file);  // what was written is on the disk (fsync, FlushFileBuffers)
bool CloseFile(FileHandle file);
// The file that saving to path replaces: where path is a symbolic link, the file it points to, so
// that the link stays a link. False when the result does not fit size bytes.
bool ResolveSaveTarget(const char* path, char* target, int size);
// Renames fromPath over toPath, durably. An existing toPath that its owner may not write, or that
// belongs to another user, is not replaced; the new file gets toPath's permissions, or the usual
// ones for a new file.
bool ReplaceFile(const char* fromPath, const char* toPath);
bool RemoveFile(const char* path);
[[noreturn]] void ExitProcessWithCode(int code);  // normal exit: static destructors run

// ---- The serial device under SerialPort: 4800 baud 8N1, no flow control, DTR and RTS inactive,
// exclusive, reads never wait, queues of 10000 bytes. Every failure of an open closes what was
// opened. A device that has gone (unplugged, powered off) makes the calls below answer LineLost;
// the caller then closes it. Where a system may lose a device without a word, the idle wait wakes
// at least once a second, so that the next look at the line finds out.
SerialDevice* OpenSerialDevice(int portNumber);  // COMn; null on failure
void CloseSerialDevice(SerialDevice* device);
constexpr int LineLost = -1;
int WriteSerialByte(SerialDevice* device,
                    unsigned char byte);       // 1 sent, 0 not taken within 1000 ms, LineLost
int SerialBytesWaiting(SerialDevice* device);  // ClearCommError's cbInQue; LineLost when it fails
int ReadSerial(SerialDevice* device, unsigned char* buffer,
               int count);  // at most count; 0 on failure, LineLost

}  // namespace platform
