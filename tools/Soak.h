#pragma once
// quelma-render --soak SECONDS: a long run of the engine under random use
// (style changes through the style mapping, strokes, deletions, art
// operations, state files saved and read back, pictures imported), checking
// after every frame and every action that nothing has gone wrong.
#include <cstdint>

#include "RenderOptions.h"

// Exit status of a soak that found a fault (a broken invariant or resident
// memory past its bound).
inline constexpr int ExitSoakFault = 3;

// Longest soak the tool accepts: a week.
inline constexpr int64_t MaxSoakSeconds = 7 * 24 * 3600;

// Growth of the resident memory over its size at the start of the soak that
// counts as a fault. The largest engine state (20000 emitters with their own
// styles, a desktop-sized surface and its copy, the document of a state file
// and an imported picture) stays far below it.
inline constexpr int64_t SoakMemoryGrowthBound = int64_t(256) << 20;

// Runs the soak for O.Soak seconds on O's desktop after loading the start-up
// file (unless O.NoStartup) and O.Files. Prints a figure line every minute
// and a summary; returns 0, ExitSoakFault, or the exit status of a usage or
// file error. StartupFile is the start-up state file ("" when none).
int RunSoak(const TRenderOptions& O, const std::string& StartupFile);
