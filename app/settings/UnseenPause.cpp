// Pausing while the flame cannot be seen.
#include <QCheckBox>
#include <QTimer>

#include "DesktopWindowing.h"
#include "FlameEngine.h"
#include "MainForm.h"

bool TQUELMAMainForm::PauseWanted(const TUnseenState& State, bool PauseFullScreen) {
  return State.ScreenSaver || (PauseFullScreen && State.FullScreen);
}

void TQUELMAMainForm::SetUnseenWatch(std::unique_ptr<IUnseenWatch> Watch) {
  FUnseen = std::move(Watch);
  if (FUnseen) {
    if (FEngine)
      FUnseen->SetArea(QRect(FEngine->DesktopRect.Left, FEngine->DesktopRect.Top,
                             FEngine->DesktopRect.Width(), FEngine->DesktopRect.Height()));
    FUnseen->SetOnChange([this] { UpdateUnseenPause(); });
  }
  UpdateUnseenPause();
}

void TQUELMAMainForm::UpdateUnseenPause() {
  const bool Pause = FUnseen && PauseWanted(FUnseen->State(),
                                            PauseFullScreenBox && PauseFullScreenBox->isChecked());
  if (Pause == FPausedUnseen)
    return;
  FPausedUnseen = Pause;
  if (Pause) {
    SuspendDisplay();
    // Nobody reads the note meanwhile; nothing else wakes the program.
    if (FCompositingWatch)
      FCompositingWatch->stop();
  } else {
    ResumeDisplay();
    if (FCompositingWatch) {
      ShowCompositingNote(PerPixelAlphaWarning());
      FCompositingWatch->start(CompositingCheckInterval);
    }
  }
}
