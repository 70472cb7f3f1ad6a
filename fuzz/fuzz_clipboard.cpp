// libFuzzer entry for the BMP Data block in its clipboard form
// (StateFuzzEntries.h). Seeds: corpus/clipboard (the BMP seeds without their
// file header); earlier findings: regressions/clipboard; both are replayed by
// test_engine (FuzzReplay.*).
//
//   mkdir -p work/clipboard
//   build-fuzz/fuzz/fuzz_clipboard -max_total_time=900 -timeout=10 -max_len=16384 \
//       -artifact_prefix=work/ work/clipboard fuzz/corpus/clipboard
#include "StateFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return quelma_fuzz::FuzzClipboard(Data, Size);
}
