#include "FlameController.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "DesktopWindowing.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "StartupPlatform.h"
#include "TickStats.h"

TFlameController::TFlameController(QObject* Parent) : QObject(Parent) {
  AnimTimer.SetInterval(40);
  AnimTimer.SetResolution(5);
  AnimTimer.SetNoOverflow(true);
  AnimTimer.SetOnTimer(MakeTimerEvent<&TFlameController::AnimTimerTimer>(this));
}

TFlameController::~TFlameController() {
  AnimTimer.SetEnabled(false);
  FUnseen.reset();
  FDrawing.reset();
  if (FPartWindow)
    FPartWindow->OnAnimTimerEnable = nullptr;
  FEngine.reset();
  FPartWindow.reset();
}

void TFlameController::Create(const TRect& Desktop) {
  FPartWindow = std::make_unique<TPartWindow>();
  // Frames run exactly while the flame window is visible.
  FPartWindow->OnAnimTimerEnable = [this](bool Visible) { AnimTimer.SetEnabled(Visible); };
  FEngine = std::make_unique<TPartForm>(*FPartWindow);
  FDrawing = std::make_unique<TDrawingWindow>(*this, *FEngine);
  FEngine->DesktopRect = Desktop;
  FPartWindow->FDesktopRect = Desktop;
  FPartWindow->SetLayeredBounds(TRect{300, 300, 128, 128}, true);
  // The settings window stays above the flame, so the art never hides it.
  FPartWindow->SetStackCompanions(FSettings, nullptr);
  FPartWindow->ReparentToDesktop();
  FPartWindow->show();
  Apply();
}

void TFlameController::SetSettingsWindow(QWidget* Window) {
  FSettings = Window;
  if (FPartWindow)
    FPartWindow->SetStackCompanions(Window, DrawingForm());
  StackSettingsWindow();
}

// ---- Requests --------------------------------------------------------------------

void TFlameController::SetRequests(const TUserRequests& Asked) {
  if (Asked == FAsked)
    return;
  FAsked = Asked;
  emit RequestsChanged(FAsked);
  Apply();
}

void TFlameController::SetDrawing(bool On) {
  TUserRequests A = FAsked;
  A.Drawing = On;
  if (On)
    A.Visible = true; // drawing what cannot be seen makes no sense
  SetRequests(A);
}

void TFlameController::Ask(bool TUserRequests::*Request, bool On) {
  TUserRequests A = FAsked;
  A.*Request = On;
  SetRequests(A);
}

void TFlameController::SetVisible(bool On) {
  Ask(&TUserRequests::Visible, On);
}

void TFlameController::SetKeepInFront(bool On) {
  if (On == FAsked.KeepInFront)
    return;
  if (FPartWindow) {
    FPartWindow->SetStayOnTop(On);
    FPartWindow->ReparentToDesktop(); // hides it
    if (FShown.Flame)
      FPartWindow->show();
  }
  TUserRequests A = FAsked;
  A.KeepInFront = On;
  // The drawing window is made with the flame's stacking: it ends here.
  A.Drawing = false;
  SetRequests(A);
  StackSettingsWindow();
}

void TFlameController::SetSolid(bool On) {
  if (FPartWindow)
    FPartWindow->SetSolid(On);
  Ask(&TUserRequests::Solid, On);
}

void TFlameController::SetVisibleOnlyWithEditor(bool On) {
  Ask(&TUserRequests::VisibleOnlyWithEditor, On);
}

void TFlameController::SetPauseFullScreen(bool On) {
  Ask(&TUserRequests::PauseFullScreen, On);
}

void TFlameController::StartOver() {
  if (!FEngine)
    return;
  if (FEngine->FEmitters.Count > 0)
    RecordArt(TArtChange::StartOver);
  FEngine->StartOver();
}

void TFlameController::ClearFading() {
  if (FEngine)
    FEngine->ClearFading();
}

void TFlameController::CenterArt() {
  if (!FEngine)
    return;
  if (FEngine->FEmitters.Count > 0)
    RecordArt(TArtChange::CenterArt);
  FEngine->CenterArt();
}

// ---- Undo -----------------------------------------------------------------------------

TArtState TFlameController::ArtNow() const {
  return TArtState{FEngine ? TakeArtSnapshot(*FEngine) : TArtSnapshot{},
                   CurrentStyle ? CurrentStyle() : TStyleSettings{}};
}

void TFlameController::RecordArt(TArtChange Change) {
  // Inside a change in progress, or while a step is put back, nothing of
  // its own happens.
  // A slider drag is one step: its later changes copy nothing.
  if (!FEngine || FArtChangeDepth > 0 || FRestoringArt || !FHistory.Takes(Change))
    return;
  FHistory.Record(ArtNow(), Change);
  emit HistoryChanged(FHistory.CanUndo(), FHistory.CanRedo());
}

void TFlameController::BeginArtChange(TArtChange Change) {
  if (FArtChangeDepth++ > 0 || !FEngine || FRestoringArt)
    return;
  FPendingArt = ArtNow();
  FPendingChange = Change;
}

void TFlameController::EndArtChange(bool Changed) {
  if (FArtChangeDepth == 0 || --FArtChangeDepth > 0)
    return;
  TArtState Before = std::move(FPendingArt);
  FPendingArt = {};
  if (!Changed || !FEngine || FRestoringArt)
    return;
  FHistory.Record(std::move(Before), FPendingChange);
  emit HistoryChanged(FHistory.CanUndo(), FHistory.CanRedo());
}

bool TFlameController::Undo() {
  return Travel(&TArtHistory::Undo);
}

bool TFlameController::Redo() {
  return Travel(&TArtHistory::Redo);
}

bool TFlameController::Travel(std::optional<TArtState> (TArtHistory::*Step)(TArtState)) {
  if (!FEngine || FArtChangeDepth > 0)
    return false;
  const std::optional<TArtState> To = (FHistory.*Step)(ArtNow());
  if (To)
    PutBack(*To);
  emit HistoryChanged(FHistory.CanUndo(), FHistory.CanRedo());
  return To.has_value();
}

void TFlameController::ClearHistory() {
  FHistory.Clear();
  emit HistoryChanged(false, false);
}

void TFlameController::PutBack(const TArtState& State) {
  FRestoringArt = true;
  // The style first: a lower Max count of the style now must not cut the
  // emitters that come back.
  if (RestoreStyle)
    RestoreStyle(State.Style);
  RestoreArtSnapshot(*FEngine, State.Art);
  FRestoringArt = false;
}

// ---- Conditions --------------------------------------------------------------------

void TFlameController::SetEditorShown(bool Shown) {
  if (FDesktop.EditorShown == Shown)
    return;
  FDesktop.EditorShown = Shown;
  Apply();
}

void TFlameController::SuspendDisplay() {
  ++FDesktop.Suspended;
  Apply();
}

void TFlameController::ResumeDisplay() {
  if (FDesktop.Suspended == 0)
    return;
  --FDesktop.Suspended;
  Apply();
}

void TFlameController::SetTrayAvailable(bool Available) {
  if (FDesktop.TrayAvailable == Available)
    return;
  FDesktop.TrayAvailable = Available;
  emit TrayAvailableChanged(Available);
}

// ---- Shown -------------------------------------------------------------------------

void TFlameController::Apply() {
  const TShownState S = DeriveShown(FAsked, FDesktop);
  const bool PauseChanged = S.Paused != FShown.Paused;
  FShown = S;
  if (FPartWindow) {
    // The windows report their own changes as if the user made them; while
    // they follow what is derived here, those reports are echoes.
    FApplying = true;
    if (!S.Drawing)
      FDrawing->Hide();
    if (FPartWindow->AnimatedVisible() != S.Flame)
      FPartWindow->SetAnimatedVisible(S.Flame);
    if (S.Drawing && !FDrawing->Form()) {
      FDrawing->Show();
      KeepFlameOverDrawing();
    }
    FApplying = false;
  }
  if (PauseChanged && FDesktopWatch) {
    // Nobody reads the notes meanwhile; nothing else wakes the program.
    if (S.Paused) {
      FDesktopWatch->stop();
    } else {
      CheckDesktop();
      FDesktopWatch->start(DesktopCheckInterval);
    }
  }
  emit ShownChanged(FShown);
}

void TFlameController::KeepFlameOverDrawing() {
  // A Wayland compositor stacks the X11 windows that bypass the window
  // manager in the order they were mapped, whatever X11 asks: there the
  // flame is mapped again once the drawing window is on the screen.
  if (!WaylandSessionOnX11([](const char* Name) { return qgetenv(Name); },
                           QGuiApplication::platformName()))
    return;
  QTimer::singleShot(RemapDelayMs, this, [this] {
    if (DrawingForm() && FPartWindow && FPartWindow->isVisible()) {
      FPartWindow->hide();
      FPartWindow->show();
    }
  });
}

// ---- Frame cycle --------------------------------------------------------------------

void TFlameController::AnimTimerTimer() {
  const TTickTiming Timing; // only when QUELMA_TICK_STATS asks for it
  const int32_t Missed = AnimTimer.Missed();
  ++FTickCount;
  FStepCount += uint64_t(Missed) + 1;
  if (FEngine)
    FEngine->Tick(Missed);
}

void TFlameController::SetDrawingHotKeyText(const QString& Text) {
  FDrawingHotKeyText = Text;
  if (TInputForm* Drawing = DrawingForm())
    Drawing->UpdateKeyLabel();
}

// ---- Drawing host --------------------------------------------------------------------

QWidget* TFlameController::SettingsWindow() {
  return FSettings;
}

void TFlameController::SetDrawingBox(bool Checked) {
  if (!FApplying)
    SetDrawing(Checked);
}

void TFlameController::SetDisplayBox(bool Checked) {
  if (!FApplying)
    SetVisible(Checked);
}

void TFlameController::SetSettingsStayOnTop(bool OnTop) {
  FDrawingKeepsSettingsOnTop = OnTop;
  StackSettingsWindow();
}

void TFlameController::StackSettingsWindow() {
  QWidget* W = FSettings;
  if (!W)
    return;
  // Above the flame whenever it is shown: a flame kept in front is above
  // every other window, so the settings window must be too, or the art would
  // cover it (and, solid, take its clicks).
  const bool OnTop = FDrawingKeepsSettingsOnTop || FAsked.KeepInFront;
  Qt::WindowFlags Flags = W->windowFlags();
  if (Flags.testFlag(Qt::WindowStaysOnTopHint) == OnTop)
    return;
  Flags.setFlag(Qt::WindowStaysOnTopHint, OnTop);
  // Changed on the live window: QWidget::setWindowFlags would hide it.
  W->overrideWindowFlags(Flags);
  if (QWindow* H = W->windowHandle())
    H->setFlags(Flags);
  if (OnTop && W->isVisible())
    W->raise();
}

bool TFlameController::FlameStayOnTop() {
  return FPartWindow ? FPartWindow->StayOnTop() : true;
}

void TFlameController::RaiseFlameWindow() {
  if (!FPartWindow)
    return;
  FPartWindow->SetStackCompanions(FSettings, DrawingForm());
  FPartWindow->SetLayeredBounds(FPartWindow->FLayeredBounds, true); // also places it
  if (FPartWindow->isVisible())
    FPartWindow->BringToFront();
}

void TFlameController::ArrangeZOrder() {
  if (FDrawing && DrawingForm())
    FDrawing->ArrangeZOrder();
}
