#include "ShownState.h"

bool PauseWanted(const TUnseenState& State, bool PauseFullScreen) {
  return State.ScreenSaver || (PauseFullScreen && State.FullScreen);
}

TShownState DeriveShown(const TUserRequests& Asked, const TDesktopConditions& Desktop) {
  TShownState S;
  S.Paused = PauseWanted(Desktop.Unseen, Asked.PauseFullScreen);
  // Nothing shows while paused or while a file dialog is open; the requests
  // stay as they are and come back with it.
  const bool Held = S.Paused || Desktop.Suspended > 0;
  S.Flame = !Held && Asked.Visible && !(Asked.VisibleOnlyWithEditor && !Desktop.EditorShown);
  S.Drawing = !Held && Asked.Drawing;
  return S;
}
