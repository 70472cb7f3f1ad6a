#pragma once
// Whether anyone can see the flame at all: the active window fills the screen
// (a film, a game, a presentation) or the screen saver or a lock covers the
// desktop. The program stops its animation meanwhile. The platform tells of
// every change as it happens; nothing is polled.
#include <QRect>

#include <functional>
#include <memory>

struct TUnseenState {
  bool FullScreen = false;  // the active window is full screen over the watched area
  bool ScreenSaver = false; // the screen saver or a screen lock is on
  bool operator==(const TUnseenState&) const = default;
};

class IUnseenWatch {
public:
  virtual ~IUnseenWatch() = default;
  virtual TUnseenState State() const = 0;
  // Runs on the GUI thread after each change of State.
  virtual void SetOnChange(std::function<void()> OnChange) = 0;
  // The desktop rectangle the flame spans: a full-screen window elsewhere
  // hides none of it. Empty: every full-screen window counts.
  virtual void SetArea(const QRect& Area) = 0;
};

// Seen always: where the platform cannot tell.
class TNeverUnseenWatch final : public IUnseenWatch {
public:
  TUnseenState State() const override { return {}; }
  void SetOnChange(std::function<void()>) override {}
  void SetArea(const QRect&) override {}
};

// The platform's watch (X11: the active window's _NET_WM_STATE and the
// screen-saver extension), else a TNeverUnseenWatch. The program's own windows never count.
std::unique_ptr<IUnseenWatch> CreateUnseenWatch();
