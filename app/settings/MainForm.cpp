#include "MainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>
#include <optional>

#include "DataFolders.h"
#include "DesktopIconFire.h"
#include "DesktopIconsHost.h"
#include "FilesTab.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "HelpAbout.h"
#include "HotKeyEdit.h"
#include "HotKeys.h"
#include "MessageBoxes.h"
#include "Screens.h"
#include "SettingsComponents.h"
#include "StartupPlatform.h"
#include "StateFile.h"
#include "StyleTabs.h"
#include "TickStats.h"
#include "Version.h"

TCommandLine ParseCommandLine(const QStringList& Arguments) {
  TCommandLine C;
  for (const QString& A : Arguments) {
    // Switches start with "/", and so do absolute paths here: a switch is a
    // single "/word" that names no existing file.
    const bool Switch =
        A.startsWith(QLatin1Char('/')) && A.count(QLatin1Char('/')) == 1 && !QFileInfo(A).isFile();
    if (!Switch)
      C.Files.append(A);
    else if (A.compare(QLatin1String("/TRAY"), Qt::CaseInsensitive) == 0)
      C.StartInTray = true;
    // other switches are ignored
  }
  return C;
}

TQUELMAMainForm::TQUELMAMainForm(TFlameController* Given)
    : QWidget(nullptr,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FOwnController(Given ? nullptr : std::make_unique<TFlameController>()),
      Controller(Given ? *Given : *FOwnController), AnimTimer(Controller.AnimTimer) {
  setWindowTitle(QStringLiteral("QUELMA"));
  // Designed in pixels of a 96 DPI screen; a desktop scaled up gets it as
  // much larger (the flame and the art stay in screen pixels).
  const QScreen* Screen = QGuiApplication::primaryScreen();
  const double S = InterfaceScale(Screen ? Screen->logicalDotsPerInchY() : 96.0);
  const auto Px = [S](int Pixels) { return int(std::lround(Pixels * S)); };
  QFont F(QStringLiteral("Tahoma"));
  F.setPixelSize(Px(11));
  setFont(F);
  setFixedSize(Px(681), Px(322));

  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(Px(6), Px(6), Px(6), Px(6));
  Layout->setSpacing(Px(4));
  BuildTopRow();
  SheetSelect = new QTabWidget(this);
  SheetSelect->setObjectName(QStringLiteral("SheetSelect"));
  Layout->addWidget(SheetSelect, 1);

  FilesSheet = new QWidget;
  EmittersSheet = new QWidget;
  FadingSheet = new QWidget;
  AnimationSheet = new QWidget;
  SystemSheet = new QWidget;
  HelpSheet = new QWidget;
  AboutSheet = new QWidget;
  ArtSheet = new QWidget;
  SheetSelect->addTab(FilesSheet, QStringLiteral("&Files"));
  SheetSelect->addTab(EmittersSheet, QStringLiteral("&Emitters"));
  SheetSelect->addTab(FadingSheet, QStringLiteral("F&ading"));
  SheetSelect->addTab(AnimationSheet, QStringLiteral("Ani&mation"));
  SheetSelect->addTab(SystemSheet, QStringLiteral("S&ystem"));
  SheetSelect->addTab(HelpSheet, QStringLiteral("&Help"));
  SheetSelect->addTab(AboutSheet, QStringLiteral("A&bout"));
  const int ArtIndex = SheetSelect->addTab(ArtSheet, QStringLiteral("Art"));
  SheetSelect->setTabVisible(ArtIndex, false);
  BuildSystemSheet();
  BuildHelpSheet();
  BuildAboutSheet();
  SheetSelect->setCurrentWidget(SystemSheet);
  // The first focus on the tabs: a Space right after the start must not
  // press "Start over".
  SheetSelect->tabBar()->setFocus();
  Components = new TSettingsComponents(*this);

  // Key preview: Escape acts whichever control has the focus.
  auto* Escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  Escape->setContext(Qt::WindowShortcut);
  QObject::connect(Escape, &QShortcut::activated, this, [this] { FormKeyDown(); });

  Controller.SetSettingsWindow(this);
  Controller.CurrentStyle = [this] { return FStyle; };
  Controller.RestoreStyle = [this](const TStyleSettings& Style) {
    FStyle = Style;
    StyleToControls();
    ApplyStyle();
  };
  // Undo and redo of the art, whichever control has the focus (a hot-key
  // edit takes the keys it is given instead).
  auto* Undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
  QObject::connect(Undo, &QShortcut::activated, this, [this] { Controller.Undo(); });
  auto* Redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
  QObject::connect(Redo, &QShortcut::activated, this, [this] { Controller.Redo(); });
  FollowController();
}

void TQUELMAMainForm::FollowController() {
  QObject::connect(&Controller, &TFlameController::RequestsChanged, this,
                   [this](const TUserRequests& Asked) { ShowRequests(Asked); });
  QObject::connect(&Controller, &TFlameController::CompositingNoteChanged, this,
                   [this](const QString& Note) { ShowCompositingNote(Note); });
  // The screens a layout change leaves are known once all its notices are
  // in, which may be after the first one (seen with RandR monitors removed
  // under openbox): looked at again a little later.
  QObject::connect(&Controller, &TFlameController::MonitorsApplied, this, [this] {
    KeepOnScreen();
    QTimer::singleShot(MonitorsSettleMs, this, [this] { KeepOnScreen(); });
  });
  // Activated by a click or by the window manager: the drawing window goes
  // back under it.
  ShowRequests(Controller.Requests());
}

void TQUELMAMainForm::ShowRequests(const TUserRequests& Asked) {
  const std::pair<QCheckBox*, bool> Boxes[] = {{DrawingBox, Asked.Drawing},
                                               {DisplayBox, Asked.Visible},
                                               {WFrontBox, Asked.KeepInFront},
                                               {WSolidBox, Asked.Solid},
                                               {WOEVisibleBox, Asked.VisibleOnlyWithEditor},
                                               {PauseFullScreenBox, Asked.PauseFullScreen}};
  for (const auto& [Box, Checked] : Boxes)
    if (Box->isChecked() != Checked) {
      const QSignalBlocker Quiet(Box);
      Box->setChecked(Checked);
    }
}

TQUELMAMainForm::~TQUELMAMainForm() {
  // FormDestroy: the preferences of a window that was created, then the hot keys.
  if (Components && Engine()) {
    Components->LoadSavePrefs(true);
    Components->UnregisterHotKeys();
  }
  // The controller may outlive the window: it reports to it no more.
  QObject::disconnect(&Controller, nullptr, this, nullptr);
  Controller.CurrentStyle = nullptr;
  Controller.RestoreStyle = nullptr;
  Controller.SetSettingsWindow(nullptr);
}

void TQUELMAMainForm::BuildTopRow() {
  auto* Row = new QHBoxLayout;
  StartOverBtn = new QPushButton(QStringLiteral("&Start over"), this);
  QFont Bold = StartOverBtn->font();
  Bold.setBold(true);
  StartOverBtn->setFont(Bold);
  ClearFadingBtn = new QPushButton(QStringLiteral("&Clear fading"), this);
  CenterArtBtn = new QPushButton(QStringLiteral("Ce&nter art"), this);
  ExitBtn = new QPushButton(QStringLiteral("E&xit"), this);
  StartOverBtn->setObjectName(QStringLiteral("StartOverBtn"));
  ClearFadingBtn->setObjectName(QStringLiteral("ClearFadingBtn"));
  CenterArtBtn->setObjectName(QStringLiteral("CenterArtBtn"));
  ExitBtn->setObjectName(QStringLiteral("ExitBtn"));
  for (QPushButton* B : {StartOverBtn, ClearFadingBtn, CenterArtBtn, ExitBtn})
    B->setFocusPolicy(Qt::TabFocus);
  Row->addWidget(StartOverBtn);
  Row->addWidget(ClearFadingBtn);
  Row->addWidget(CenterArtBtn);
  Row->addStretch(1);
  Row->addWidget(ExitBtn);
  static_cast<QVBoxLayout*>(layout())->addLayout(Row);
  QObject::connect(StartOverBtn, &QPushButton::clicked, this, [this] { StartOverBtnClick(); });
  QObject::connect(ClearFadingBtn, &QPushButton::clicked, this, [this] { ClearFadingBtnClick(); });
  QObject::connect(CenterArtBtn, &QPushButton::clicked, this, [this] { CenterArtBtnClick(); });
  QObject::connect(ExitBtn, &QPushButton::clicked, this, [this] { ExitBtnClick(); });
}

void TQUELMAMainForm::BuildHelpSheet() {
  const THelpSheet Help = ::BuildHelpSheet(HelpSheet);
  HelpMemo = Help.HelpMemo;
  ManualView = Help.ManualView;
  QObject::connect(Help.HelpLink, &QLabel::linkActivated, this, [this] { OpenManualInBrowser(); });
}

void TQUELMAMainForm::OpenHelp() {
  // The manual must not be read through the drawing window.
  HideDrawingWindow();
  SheetSelect->setCurrentWidget(HelpSheet);
  ManualView->scrollToAnchor(QString());
  ManualView->moveCursor(QTextCursor::Start);
  ShowSettingsWindow();
}

void TQUELMAMainForm::OpenManualInBrowser() {
  HideDrawingWindow();
  const QString File = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                       QStringLiteral("/manual.html");
  QString Why;
  QString Problem;
  if (!WriteManualPage(File, &Why))
    Problem = QStringLiteral("The manual could not be written to %1: %2")
                  .arg(QDir::toNativeSeparators(File), Why);
  else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(File)))
    Problem = QStringLiteral("No web browser was found to show the manual %1. It is on this "
                             "tab too.")
                  .arg(QDir::toNativeSeparators(File));
  if (!Problem.isEmpty())
    QMessageBox::warning(this, QStringLiteral("QUELMA"), Problem);
}

void TQUELMAMainForm::BuildAboutSheet() {
  const TAboutSheet About = ::BuildAboutSheet(AboutSheet, QStringLiteral(QUELMA_VERSION));
  VersionLabel = About.VersionLabel;
  QObject::connect(About.AboutLink, &QLabel::linkActivated, this, [this] { OpenHelp(); });
  About.Logo->OnClick = [this] { OpenHelp(); };
  DeskIconsBtn = About.DeskIconsBtn;
  // "My desktop icons on fire!": the alternate style with six emitters per icon.
  QObject::connect(DeskIconsBtn, &QPushButton::clicked, this, [this] {
    if (!Engine())
      return;
    TFilesTab* Files = Components ? Components->FilesTab : nullptr;
    TDesktopIconsHost Host(WFrontBox, Files ? Files->LStyleBox : nullptr,
                           Files ? Files->LArtBox : nullptr,
                           [this](const QString& F) { LoadSaveState(F, false); });
    // Missing everywhere: the error names the user's folder, where one may go.
    const QString Name = QString::fromUtf8(AlternateFireFileName);
    QString Style = FindDataFile(Name);
    if (Style.isEmpty())
      Style = QFile::decodeName(UserDataFolder().c_str()) + QLatin1Char('/') + Name;
    Controller.BeginArtChange(TArtChange::DesktopIcons);
    ::DeskIconsBtnClick(*Engine(), Host, QFile::encodeName(Style).toStdString());
    Controller.EndArtChange(true);
  });
}

// ---- Top row ------------------------------------------------------------------

void TQUELMAMainForm::StartOverBtnClick() {
  Controller.StartOver();
}

void TQUELMAMainForm::ClearFadingBtnClick() {
  Controller.ClearFading();
}

void TQUELMAMainForm::CenterArtBtnClick() {
  Controller.CenterArt();
}

void TQUELMAMainForm::ExitBtnClick() {
  FExiting = true;
  QCoreApplication::exit(0);
}

void TQUELMAMainForm::StartOverClick() {
  StartOverBtn->click();
}

// ---- Display options ----------------------------------------------------------------

void TQUELMAMainForm::DrawingBoxClick() {
  Controller.SetDrawing(DrawingBox->isChecked());
}

void TQUELMAMainForm::ShowDrawingWindow() {
  Controller.SetDrawing(true);
}

void TQUELMAMainForm::HideDrawingWindow() {
  Controller.SetDrawing(false);
}

void TQUELMAMainForm::DisplayBoxClick() {
  Controller.SetVisible(DisplayBox->isChecked());
}

void TQUELMAMainForm::WFrontBoxClick() {
  Controller.SetKeepInFront(WFrontBox->isChecked());
}

void TQUELMAMainForm::WSolidBoxClick() {
  Controller.SetSolid(WSolidBox->isChecked());
}

void TQUELMAMainForm::ApplyVisibilityRule() {
  Controller.SetEditorShown(isVisible());
}

// ---- Window events ---------------------------------------------------------------------------

void TQUELMAMainForm::FormKeyDown() {
  if (DrawingForm())
    HideDrawingWindow();
  else
    close();
}

void TQUELMAMainForm::ShowSettingsWindow() {
  if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  KeepOnScreen();
  show();
  raise();
  activateWindow();
}

void TQUELMAMainForm::moveEvent(QMoveEvent* Event) {
  QWidget::moveEvent(Event);
  // The window manager's frame is known once it has framed the window: the
  // place chosen without it may leave the frame's edge off the screen.
  if (FPlaceWhenFramed && frameGeometry() != geometry()) {
    FPlaceWhenFramed = false;
    KeepOnScreen();
  }
}

void TQUELMAMainForm::KeepOnScreen() {
  if (frameGeometry() == geometry())
    FPlaceWhenFramed = true;
  const QRect Frame = frameGeometry();
  const QPoint To = PlaceOnScreen(Frame, CurrentScreenAreas());
  if (To != Frame.topLeft())
    move(To);
}

bool TQUELMAMainForm::Shown() const {
  return isVisible() && !(windowState() & Qt::WindowMinimized);
}

void TQUELMAMainForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  ApplyVisibilityRule();
  // The monitor under the window went away: Qt puts it on another screen
  // (its place unchanged), which may be after the layout's own notices.
  if (QWindow* W = windowHandle(); W && !FFollowsScreen) {
    FFollowsScreen = true;
    QObject::connect(
        W, &QWindow::screenChanged, this, [this] { KeepOnScreen(); }, Qt::QueuedConnection);
  }
}

void TQUELMAMainForm::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  // Activated by a click or by the window manager: the drawing window goes
  // back under it.
  if (Event->type() == QEvent::ActivationChange && isActiveWindow())
    Controller.ArrangeZOrder();
}

void TQUELMAMainForm::closeEvent(QCloseEvent* Event) {
  if (FExiting) {
    Event->accept();
    return;
  }
  // Never closed by the user: hidden, and the flame follows the rule.
  Event->ignore();
  hide();
  ApplyVisibilityRule();
}

// ---- Style and state files -------------------------------------------------------------------

void TQUELMAMainForm::ApplyStyle() {
  if (!Engine())
    return;
  // The style tabs read their controls into FStyle and set the timer.
  if (Components)
    Components->StyleTabs->ApplyStyle();
  else
    AnimTimer.SetInterval(::ApplyStyle(*Engine(), FStyle));
}

void TQUELMAMainForm::StyleToControls() {
  // Sliders silently, then the boxes, whose handlers run as for a click.
  if (Components)
    Components->StyleTabs->StyleToControls();
}

bool TQUELMAMainForm::LoadSaveState(const QString& FileName, bool Save, TFileFailure* Failure) {
  if (!Engine())
    return false;
  TStateFileOptions Options;
  if (Components)
    Components->PrepareStateFile(Options); // "Load style", "Load art"
  // The hourglass only for a name the operation will use.
  std::optional<TWaitCursor> Wait;
  if (HasStateFileExtension(QFile::encodeName(FileName).toStdString()))
    Wait.emplace();
  Options.DecimalSeparator = QLocale::system().decimalPoint().toStdString();
  Options.ShowDebugMessage = [Failure](const std::string& Text) {
    if (Failure)
      Failure->DebugMessages << QString::fromStdString(Text);
    else
      ShowDebugMessage(QString::fromStdString(Text));
  };
  Options.ClearFading = [this] { ClearFadingBtnClick(); };
  Options.ApplyStyle = [this] {
    StyleToControls();
    ApplyStyle();
  };
  TFileFailure Failed;
  // A read that changed the art can be undone, a failed one too (it keeps
  // what it had read).
  struct TLoadStep {
    TFlameController& C;
    bool Active;
    bool Changed = true;
    ~TLoadStep() {
      if (Active)
        C.EndArtChange(Changed);
    }
  } Step{Controller, !Save};
  if (!Save)
    Controller.BeginArtChange(TArtChange::Load);
  try {
    Step.Changed = ::LoadSaveState(QFile::encodeName(FileName).toStdString(), Save, *Engine(),
                                   FStyle, Options);
    return Step.Changed;
  } catch (const EStateFileError& E) {
    Failed.Message = QString::fromUtf8(E.what());
    Failed.Reason = QString::fromStdString(E.Reason());
  } catch (const std::exception& E) {
    Failed.Message = QString::fromUtf8(Save ? StateSaveErrorText : StateLoadErrorText);
    Failed.Reason = QString::fromLocal8Bit(E.what());
  }
  if (Failure) {
    // The debug readouts it holds already stay.
    Failure->Message = Failed.Message;
    Failure->Reason = Failed.Reason;
  } else {
    ShowFileError(Failed.Message, FileName, Failed.Reason);
  }
  // A failed read keeps what it had read: the controls show it, and the
  // engine keeps its style until a control changes or a file is read.
  if (!Save)
    StyleToControls();
  return false;
}
