#pragma once
// The progress line of a long render on standard error: frames done of all
// and the time left, rewritten in place. Shown only on a terminal, and only
// once the render has taken a second, so that short runs and logs stay clean.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "frame 120 of 300, 4 s left" (minutes and seconds from a minute on).
std::string ProgressText(int64_t Done, int64_t Total, double SecondsLeft);

class TProgressLine {
public:
  // Enabled: standard error is a terminal and the line is wanted.
  TProgressLine(bool Enabled, int64_t Total);
  // More work came up, such as a second pass.
  void AddToTotal(int64_t More) { Total += More; }
  // After each frame; writes at most ten times a second.
  void Frame();
  // Blanks the line, before a message or at the end.
  void Clear();

private:
  using TClock = std::chrono::steady_clock;
  bool Enabled;
  int64_t Total;
  int64_t Done = 0;
  TClock::time_point Start = TClock::now();
  TClock::time_point LastWrite{};
  std::size_t Shown = 0; // characters on the line now
};
