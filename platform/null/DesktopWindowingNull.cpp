// Platforms without X11: Qt's own hints do all there is to do.
#include "DesktopWindowing.h"

#include <QWidget>

bool DisplayAnswers(const QByteArray&) {
  return true;
}

TAlphaCompositing AlphaCompositing() {
  return TAlphaCompositing::Unknown;
}

void RaiseTopLevel(QWidget* Window) {
  if (Window && Window->isVisible())
    Window->raise();
}

bool SetWindowInputRegion(QWidget*, const std::vector<TRegionRect>*) {
  return false;
}

TNativeWindowState NativeWindowState(const QWidget*) {
  return TNativeWindowState{};
}

struct TStayOnTopKeeper::TImpl {
  bool Active = false;
  bool OnTop = true;
};

TStayOnTopKeeper::TStayOnTopKeeper(QWidget*) : FImpl(std::make_unique<TImpl>()) {}
TStayOnTopKeeper::~TStayOnTopKeeper() = default;
void TStayOnTopKeeper::SetActive(bool Active) {
  FImpl->Active = Active;
}
bool TStayOnTopKeeper::Active() const {
  return FImpl->Active;
}
void TStayOnTopKeeper::SetOnTop(bool OnTop) {
  FImpl->OnTop = OnTop;
}
bool TStayOnTopKeeper::OnTop() const {
  return FImpl->OnTop;
}
void TStayOnTopKeeper::SetKeptAbove(QWidget*) {}
void TStayOnTopKeeper::SetKeptBelow(QWidget*) {}
void TStayOnTopKeeper::Shown() {}
void TStayOnTopKeeper::Arrange() {}
int TStayOnTopKeeper::RaiseCount() const {
  return 0;
}
