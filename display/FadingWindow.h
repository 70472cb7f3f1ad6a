#pragma once
// TLayeredFormEx: a layered form that fades in and out when shown or hidden,
// driven by the process-wide animation clock.
#include <cstdint>

#include "WindowBases.h"

class TLayeredFormEx : public TLayeredForm {
public:
  explicit TLayeredFormEx(QWidget* Parent = nullptr, Qt::WindowFlags Flags = LayeredWindowFlags());
  ~TLayeredFormEx() override;

  float FHideLevel = 0.0f; // 0 fully shown .. 1 fully hidden
  float FHideRate = 0.0f;  // level change per clock tick: > 0 hiding, < 0 showing
  float FAnimSpeed = 1.0f; // speed factor of the fades
  // Kind of transition; every value fades the constant alpha (-1 is the
  // flame window's).
  int32_t FTransition = 0;

  // Solid, and not hiding or hidden: a fading-out window lets clicks through.
  bool IsSolid() const override;

  // True when shown or showing (a window never animated reads true).
  bool AnimatedVisible() const;
  // Fades the window in (true) or out (false) from its current level; the
  // first step happens at once. Without an animation clock the change is
  // immediate.
  void SetAnimatedVisible(bool Value);
  // One tick of the animation clock.
  void AnimateStep();

protected:
  // Constant alpha := 255 - round(FHideLevel x 255).
  void PaintHook() override;

private:
  bool FStepNow = false; // AnimateStep runs at the call, outside a clock tick
};
