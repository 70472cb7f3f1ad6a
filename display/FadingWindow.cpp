#include "FadingWindow.h"

#include <cmath>

#include "AnimationClock.h"
#include "Timers.h"

namespace {

// Level change per millisecond of the fades.
constexpr double HideRatePerMs = 0.0025;
constexpr double ShowRatePerMs = -0.005;

} // namespace

TLayeredFormEx::TLayeredFormEx(QWidget* Parent, Qt::WindowFlags Flags)
    : TLayeredForm(Parent, Flags) {
  FAnimSpeed = 1.0f;
}

TLayeredFormEx::~TLayeredFormEx() {
  RemoveAnimationControl(this);
}

bool TLayeredFormEx::IsSolid() const {
  return FSolid && AnimatedVisible();
}

bool TLayeredFormEx::AnimatedVisible() const {
  return FHideLevel == 0.0f || FHideRate < 0.0f;
}

void TLayeredFormEx::SetAnimatedVisible(bool Value) {
  FHideRate = float(double(AnimationInterval()) * (Value ? ShowRatePerMs : HideRatePerMs) *
                    double(FAnimSpeed));
  if (Value && !isVisible())
    FHideLevel = 1.0f;
  FStepNow = true;
  const bool Animated = AddAnimationClient(true, ClientMethod<&TLayeredFormEx::AnimateStep>, this);
  FStepNow = false;
  if (!Animated) {
    // No clock: the change takes effect at once, and the level says so, so
    // that a window hidden this way also reads as hidden.
    FHideLevel = Value ? 0.0f : 1.0f;
    FHideRate = 0.0f;
    setVisible(Value);
  }
  if (Value) {
    PlaceWindow();
    show();
    raise();
  }
  ApplyExStyle();
}

void TLayeredFormEx::AnimateStep() {
  // Ticks the clock swallowed count too, so the fade keeps to elapsed time.
  int32_t Missed = 0;
  if (!FStepNow)
    if (TQuickSharedTimer* Clock = AnimationClock())
      Missed = Clock->Missed();
  FHideLevel = float(double(FHideLevel) + double(Missed + 1) * double(FHideRate));
  if (FHideLevel <= 0.0f) {
    FHideLevel = 0.0f;
    RemoveAnimationClient(ClientMethod<&TLayeredFormEx::AnimateStep>, this);
    ApplyExStyle();
    Invalidate();
  } else if (FHideLevel >= 1.0f) {
    FHideLevel = 1.0f;
    RemoveAnimationClient(ClientMethod<&TLayeredFormEx::AnimateStep>, this);
    hide();
  } else {
    Invalidate();
  }
}

void TLayeredFormEx::PaintHook() {
  TLayeredForm::PaintHook();
  FConstantAlpha = 255 - int32_t(std::nearbyint(double(FHideLevel) * 255.0));
}
