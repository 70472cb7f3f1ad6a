#include "Progress.h"

#include <algorithm>
#include <cmath>

std::string ProgressText(int64_t Done, int64_t Total, double SecondsLeft) {
  const long long left = std::llround(std::max(0.0, SecondsLeft));
  std::string text = "frame " + std::to_string(Done) + " of " + std::to_string(Total) + ", ";
  if (left >= 60) {
    const std::string s = std::to_string(left % 60);
    text += std::to_string(left / 60) + " min " + (s.size() < 2 ? "0" : "") + s + " s left";
  } else {
    text += std::to_string(left) + " s left";
  }
  return text;
}

TProgressLine::TProgressLine(bool Enabled, int64_t Total) : Enabled(Enabled), Total(Total) {}

void TProgressLine::Frame() {
  ++Done;
  if (!Enabled)
    return;
  const TClock::time_point now = TClock::now();
  const double elapsed = std::chrono::duration<double>(now - Start).count();
  if (elapsed < 1.0 || now - LastWrite < std::chrono::milliseconds(100))
    return;
  LastWrite = now;
  const double left = Done > 0 ? elapsed / double(Done) * double(Total - Done) : 0.0;
  const std::string text = ProgressText(Done, Total, left);
  // Spaces cover the end of a longer line before it.
  const std::size_t pad = Shown > text.size() ? Shown - text.size() : 0;
  std::fprintf(stderr, "\r%s%*s", text.c_str(), int(pad), "");
  std::fflush(stderr);
  Shown = text.size() + pad;
}

void TProgressLine::Clear() {
  if (Shown == 0)
    return;
  std::fprintf(stderr, "\r%*s\r", int(Shown), "");
  std::fflush(stderr);
  Shown = 0;
}
