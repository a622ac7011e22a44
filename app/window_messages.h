// Window message, command and key numbers as Win32 defines them. The platform layers deliver every
// event to MainWindowProc with these numbers, so the core speaks one vocabulary on every system.
#pragma once

namespace msg {
constexpr unsigned Create = 1;        // WM_CREATE
constexpr unsigned Destroy = 2;       // WM_DESTROY
constexpr unsigned Size = 5;          // WM_SIZE
constexpr unsigned Activate = 6;      // WM_ACTIVATE
constexpr unsigned SetFocus = 7;      // WM_SETFOCUS
constexpr unsigned KillFocus = 8;     // WM_KILLFOCUS
constexpr unsigned Paint = 15;        // WM_PAINT
constexpr unsigned Close = 16;        // WM_CLOSE
constexpr unsigned Quit = 18;         // WM_QUIT
constexpr unsigned EndSession = 22;   // WM_ENDSESSION, wParam: whether the session really ends
constexpr unsigned KeyDown = 256;     // WM_KEYDOWN, wParam: virtual-key code
constexpr unsigned Char = 258;        // WM_CHAR, wParam: Windows-1252 character code
constexpr unsigned InitDialog = 272;  // WM_INITDIALOG
constexpr unsigned Command = 273;     // WM_COMMAND, low 16 bits of wParam: command identifier
}  // namespace msg

namespace cmd {
constexpr int Ok = 1;       // IDOK
constexpr int Cancel = 2;   // IDCANCEL
constexpr int About = 104;  // show the About dialog
constexpr int Exit = 105;   // destroy the main window
}  // namespace cmd

namespace vk {
constexpr unsigned Back = 0x08;
constexpr unsigned Prior = 0x21;  // Page Up
constexpr unsigned Next = 0x22;   // Page Down
constexpr unsigned End = 0x23;
constexpr unsigned Home = 0x24;
constexpr unsigned Left = 0x25;
constexpr unsigned Up = 0x26;
constexpr unsigned Right = 0x27;
constexpr unsigned Down = 0x28;
constexpr unsigned F1 = 0x70;
constexpr unsigned F6 = 0x75;
}  // namespace vk

namespace res {
constexpr int TitleString = 103;      // "mirelox"
constexpr int ClassNameString = 109;  // "MIRELOX"
constexpr int AboutDialog = 103;
constexpr int Menu = 109;
constexpr int Accelerators = 109;
constexpr int Icon = 116;
}  // namespace res
