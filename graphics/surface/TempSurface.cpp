// The process-wide scratch surface the controls paint through off screen.
#include <memory>

#include "DIBmp.h"

namespace {

struct TTempSurface {
  std::unique_ptr<TDIB> Surface;
  bool InUse = false;
};

TTempSurface& Temp() {
  static TTempSurface temp;
  return temp;
}

} // namespace

TDIB* GetTempSurface(int32_t Width, int32_t Height) {
  TTempSurface& t = Temp();
  if (t.InUse)
    return new TDIB(Width, Height, 24, false);
  if (!t.Surface)
    t.Surface = std::make_unique<TDIB>(Width, Height, 24, false);
  else if (t.Surface->Width < Width || t.Surface->Height < Height)
    t.Surface->SetFormat(Width, Height, 24);
  t.InUse = true;
  return t.Surface.get();
}

void ReleaseTempSurface(TDIB* Surface) {
  TTempSurface& t = Temp();
  if (Surface && Surface == t.Surface.get())
    t.InUse = false;
  else
    delete Surface;
}
