// libFuzzer entry for the WebP reader.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return quelma_fuzz::FuzzWebp(Data, Size);
}
