// Any bytes as MIRELOX.CFG: loading and rewriting keep every line within its slot and its
// characters within space to 'z', and a rewrite changes byte 0 only.
#include <cstring>
#include <string>

#include "config/configuration.h"
#include "tests/fake/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake::Reset();
  const std::string content(reinterpret_cast<const char*>(data), size);
  fake::world.files["/prog/MIRELOX.CFG"] = content;
  LoadConfiguration();
  for (const auto& line : MessageLines) {
    const size_t length = strnlen(line, MessageLineSize);
    if (length >= MessageLineSize) __builtin_trap();
    for (size_t i = 0; i < length; ++i) {
      if (line[i] < 0x20 || line[i] > 0x7A) __builtin_trap();
    }
  }
  CurrentPort = 3;
  SavePortDigit();
  const std::string& rewritten = fake::world.files["/prog/MIRELOX.CFG"];
  if (rewritten.size() != content.size()) __builtin_trap();
  if (size > 0 && (rewritten[0] != '3' || rewritten.compare(1, std::string::npos, content, 1) != 0)) {
    __builtin_trap();
  }
  return 0;
}
