// libFuzzer entry for the GIF reader.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return quelma_fuzz::FuzzGif(Data, Size);
}
