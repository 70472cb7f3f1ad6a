#pragma once
// The animated WebP writer of quelma-render (AnimatedOutput.h).
#include <memory>
#include <string>

#include "AnimatedOutput.h"

// Each frame is encoded as the rectangle that changed since the frame before,
// placed at its offset on the canvas, replacing what was there (no blending,
// nothing disposed), so a flame small on a large canvas costs its own size.
// Quality: lossy colour, 0 to 100.
std::unique_ptr<IAnimatedOutput> OpenWebPOutput(const std::string& FileName, int32_t Width,
                                                int32_t Height, int Quality);
