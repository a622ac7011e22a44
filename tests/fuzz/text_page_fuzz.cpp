// Any page content under any five name bytes: the page is drawn or reported, never read from
// outside the search folders.
#include <string>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const std::string name(reinterpret_cast<const char*>(data), 5);
  StartFuzzedTerminal("\x1b[X" + name);
  const std::string content(reinterpret_cast<const char*>(data) + 5, size - 5);
  fake::world.files["/prog/TXT" + name + ".KVB"] = content;
  fake::world.files["/prog/TXT" + name] = content;
  RunLoopUntilIdle();
  for (const std::string& call : fake::world.calls) {
    if (call.rfind("Search ", 0) == 0 && call.find_first_of("/\\:", 7) != std::string::npos) __builtin_trap();
  }
  return 0;
}
