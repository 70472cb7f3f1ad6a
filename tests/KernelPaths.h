#pragma once
// For tests that run once per vector path: the paths this processor runs, and
// a guard that selects one and restores Auto afterwards.
#include <vector>

#include "SimdKernels.h"

inline std::vector<TKernelPath> VectorPaths() {
  std::vector<TKernelPath> paths{TKernelPath::Sse2};
  if (CpuHasAvx2())
    paths.push_back(TKernelPath::Avx2);
  return paths;
}

struct PathGuard {
  explicit PathGuard(TKernelPath p) { SetKernelPath(p); }
  ~PathGuard() { SetKernelPath(TKernelPath::Auto); }
  PathGuard(const PathGuard&) = delete;
  PathGuard& operator=(const PathGuard&) = delete;
};
