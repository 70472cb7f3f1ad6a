#pragma once
// An unseen watch the test drives: Set changes the state and tells the
// program, as the platform's watch would.
#include <QRect>

#include <functional>
#include <utility>

#include "UnseenWatch.h"

class TFakeWatch final : public IUnseenWatch {
public:
  TUnseenState Now;
  QRect Area;
  TUnseenState State() const override { return Now; }
  void SetOnChange(std::function<void()> F) override { FOnChange = std::move(F); }
  void SetArea(const QRect& A) override { Area = A; }
  void Set(TUnseenState S) {
    Now = S;
    if (FOnChange)
      FOnChange();
  }

private:
  std::function<void()> FOnChange;
};
