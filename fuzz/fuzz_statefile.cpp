// libFuzzer entry for the state-file reader, with the engine running on what
// it read (StateFuzzEntries.h). Seeds: corpus/statefile; earlier findings:
// regressions/statefile; both are replayed by test_engine (FuzzReplay.*).
//
//   mkdir -p work/statefile
//   build-fuzz/fuzz/fuzz_statefile -max_total_time=900 -timeout=20 -max_len=20000 \
//       -dict=fuzz/statefile.dict -artifact_prefix=work/ work/statefile fuzz/corpus/statefile
#include "StateFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return quelma_fuzz::FuzzStateFile(Data, Size);
}
