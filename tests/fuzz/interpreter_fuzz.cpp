// Any byte stream from the device, the transfer and text page commands included. The first byte
// scripts the user: which dialogs are answered, and with which file.
#include <string>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t script = data[0];
  StartFuzzedTerminal(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  fake::world.files["/data/send.bin"] = std::string(script % 7 * 100, 'd');
  fake::world.files["/prog/TXT00001.KVB"] = "heading\nfirst\r\nsecond\n";
  for (int i = 0; i < 4; ++i) {
    const std::string file = i % 2 ? "/data/received.bin" : "/data/send.bin";
    fake::world.dialogAnswers.push_back(script & (1 << i) ? std::optional(file) : std::nullopt);
  }
  RunLoopUntilIdle();
  return 0;
}
