// Any line noise and block sequence while receiving: the count stays a multiple of 128 within the
// buffer, and the bytes counted are the ones stored.
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "transfer/block_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartFuzzedTerminal(std::string(reinterpret_cast<const char*>(data), size));
  const int32_t count = ReceiveBlocks();
  if (count != NoConnection && (count < 0 || count % BlockSize != 0 || count > MaxReceivedBytes)) {
    __builtin_trap();
  }
  return 0;
}
