#pragma once
// Runs the built quelma-render as a user would, capturing standard output and
// error together (or error alone).
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

struct TRun {
  int Status = -1;
  std::string Out;
};

// Args are already quoted for the shell. ErrorsOnly: standard error alone,
// for what must reach it rather than the output.
inline TRun Render(const std::string& Args, bool ErrorsOnly = false) {
  const std::string cmd =
      std::string("'") + QUELMA_RENDER + "' " + Args + (ErrorsOnly ? " 2>&1 >/dev/null" : " 2>&1");
  TRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p)
    return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    r.Out.append(buf, n);
  const int st = pclose(p);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

inline std::string ReadFileText(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// How often What occurs in Text.
inline int CountOf(const std::string& Text, const std::string& What) {
  int n = 0;
  for (std::size_t at = Text.find(What); at != std::string::npos; at = Text.find(What, at + 1))
    ++n;
  return n;
}
