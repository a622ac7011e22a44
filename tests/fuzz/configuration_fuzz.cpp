// Any bytes as MIRELOX.CFG: loading and rewriting keep every line within its slot and its
// characters within space to 'z', and a rewrite changes byte 0 only.
#include <algorithm>
#include <string>

#include "config/configuration.h"
#include "tests/fake/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake::Reset();
  std::string content(reinterpret_cast<const char*>(data), size);
  fake::world.files["/prog/MIRELOX.CFG"] = content;
  LoadConfiguration();
  for (const auto& line : MessageLines) {
    const char* end = std::find(line, line + MessageLineSize, '\0');
    const bool outside = std::any_of(line, end, [](char c) { return c < 0x20 || c > 0x7A; });
    if (end == line + MessageLineSize || outside) __builtin_trap();
  }
  CurrentPort = 3;
  SavePortDigit();
  if (size > 0) content[0] = '3';
  if (fake::world.files["/prog/MIRELOX.CFG"] != content) __builtin_trap();
  return 0;
}
