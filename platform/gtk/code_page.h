// Windows-1252, the one character set of the core, against the Unicode that GTK and Pango speak.
// Text crosses here in both directions: bytes to UTF-8 for titles, dialogs and drawing, typed
// Unicode characters back to bytes for the keyboard. Five bytes are undefined in Windows-1252.
#pragma once

#include <cstdint>
#include <string>

namespace platform::gtk {

uint32_t UnicodeOf(unsigned char byte);  // 0 for the five undefined bytes
int WindowsByteOf(uint32_t codePoint);   // -1 when Windows-1252 has no such character
std::string Utf8Of(const char* text);    // a NUL-terminated Windows-1252 string as UTF-8

}  // namespace platform::gtk
