#pragma once
// The program's display state as three separate facts: what the user asked
// for, what the desktop imposes, and what is shown, which is derived from
// the first two and never stored on its own. A toggle always changes what
// the user asked; a pause or an open file dialog only decides whether that
// is shown.
#include "UnseenWatch.h"

// What the user asked for: the System tab's boxes, the hot keys, the tray
// menu and the remote commands all change these.
struct TUserRequests {
  bool Visible = true;                // "Visible"
  bool Drawing = false;               // "Enable drawing"
  bool KeepInFront = true;            // "Keep in front"
  bool Solid = false;                 // "Solid (no click-through)"
  bool VisibleOnlyWithEditor = false; // "Visible only when editor visible"
  bool PauseFullScreen = true;        // "Pause while a full-screen window is active"
  friend bool operator==(const TUserRequests&, const TUserRequests&) = default;
};

// What the desktop and the program's own windows impose.
struct TDesktopConditions {
  TUnseenState Unseen;        // a full-screen window is active, the screen saver is on
  int Suspended = 0;          // file dialogs open (they nest)
  bool EditorShown = false;   // the settings window, as last shown or closed
  bool TrayAvailable = false; // a notification area holds the icon
  bool Compositing = true;    // per-pixel alpha can be seen
  friend bool operator==(const TDesktopConditions&, const TDesktopConditions&) = default;
};

// What is shown.
struct TShownState {
  bool Paused = false;  // nobody can see the flame: no frame runs
  bool Flame = false;   // the flame window is shown (fades in) or hidden (fades out)
  bool Drawing = false; // the drawing window is open
  friend bool operator==(const TShownState&, const TShownState&) = default;
};

// Whether the animation pauses for State: always under the screen saver,
// for a full-screen window only when the user wants it.
bool PauseWanted(const TUnseenState& State, bool PauseFullScreen);

TShownState DeriveShown(const TUserRequests& Asked, const TDesktopConditions& Desktop);
