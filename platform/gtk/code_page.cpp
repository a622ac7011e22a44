#include "platform/gtk/code_page.h"

namespace platform::gtk {

namespace {

// 0x80..0x9F; the rest of the page is Latin-1 and maps to itself.
constexpr uint32_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

uint32_t UnicodeOf(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : byte;
}

int WindowsByteOf(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<int>(codePoint);
  for (int i = 0; i < 32; ++i) {
    if (HighControls[i] != 0 && HighControls[i] == codePoint) return 0x80 + i;
  }
  return -1;
}

std::string Utf8Of(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    uint32_t codePoint = UnicodeOf(static_cast<unsigned char>(*p));
    AppendUtf8(out, codePoint != 0 ? codePoint : 0xFFFD);
  }
  return out;
}

}  // namespace platform::gtk
