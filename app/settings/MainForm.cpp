#include "MainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

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
#include "SettingsComponents.h"
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

TQUELMAMainForm::TQUELMAMainForm()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("QUELMA"));
  QFont F(QStringLiteral("Tahoma"));
  F.setPixelSize(11);
  setFont(F);
  setFixedSize(681, 322);

  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(6, 6, 6, 6);
  Layout->setSpacing(4);
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
  SheetSelect->addTab(FilesSheet, QStringLiteral("Files"));
  SheetSelect->addTab(EmittersSheet, QStringLiteral("Emitters"));
  SheetSelect->addTab(FadingSheet, QStringLiteral("Fading"));
  SheetSelect->addTab(AnimationSheet, QStringLiteral("Animation"));
  SheetSelect->addTab(SystemSheet, QStringLiteral("System"));
  SheetSelect->addTab(HelpSheet, QStringLiteral("Help"));
  SheetSelect->addTab(AboutSheet, QStringLiteral("About"));
  const int ArtIndex = SheetSelect->addTab(ArtSheet, QStringLiteral("Art"));
  SheetSelect->setTabVisible(ArtIndex, false);
  BuildSystemSheet();
  BuildHelpSheet();
  BuildAboutSheet();
  SheetSelect->setCurrentWidget(SystemSheet);
  Components = new TSettingsComponents(*this);

  // Key preview: Escape acts whichever control has the focus.
  auto* Escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  Escape->setContext(Qt::WindowShortcut);
  QObject::connect(Escape, &QShortcut::activated, this, [this] { FormKeyDown(); });

  AnimTimer.SetInterval(40);
  AnimTimer.SetResolution(5);
  AnimTimer.SetNoOverflow(true);
  AnimTimer.SetOnTimer(MakeTimerEvent<&TQUELMAMainForm::AnimTimerTimer>(this));
}

TQUELMAMainForm::~TQUELMAMainForm() {
  // FormDestroy: the preferences of a window that was created, then the hot keys.
  if (Components && FEngine) {
    Components->LoadSavePrefs(true);
    Components->UnregisterHotKeys();
  }
  AnimTimer.SetEnabled(false);
  FUnseen.reset();
  FDrawing.reset();
  if (FPartWindow)
    FPartWindow->OnAnimTimerEnable = nullptr;
  FEngine.reset();
  FPartWindow.reset();
}

void TQUELMAMainForm::BuildTopRow() {
  auto* Row = new QHBoxLayout;
  StartOverBtn = new QPushButton(QStringLiteral("Start over"), this);
  QFont Bold = StartOverBtn->font();
  Bold.setBold(true);
  StartOverBtn->setFont(Bold);
  ClearFadingBtn = new QPushButton(QStringLiteral("Clear fading"), this);
  CenterArtBtn = new QPushButton(QStringLiteral("Center art"), this);
  ExitBtn = new QPushButton(QStringLiteral("Exit"), this);
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
  QObject::connect(Help.HelpLink, &QLabel::linkActivated, this, [this] { OpenHelp(); });
}

void TQUELMAMainForm::OpenHelp() {
  // The viewer must not open under the drawing window.
  HideDrawingWindow();
  const QString File = HelpFile(AppFolder);
  QString Problem;
  if (File.isEmpty())
    Problem = QStringLiteral("The help file (README.md) was not found beside the program or in its "
                             "documentation folder.");
  else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(File)))
    Problem = QStringLiteral("No program was found to show the help file %1.")
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
    ::DeskIconsBtnClick(*Engine(), Host, QFile::encodeName(Style).toStdString());
  });
}

// ---- Top row ------------------------------------------------------------------

void TQUELMAMainForm::StartOverBtnClick() {
  if (FEngine)
    FEngine->StartOver();
}

void TQUELMAMainForm::ClearFadingBtnClick() {
  if (FEngine)
    FEngine->ClearFading();
}

void TQUELMAMainForm::CenterArtBtnClick() {
  if (FEngine)
    FEngine->CenterArt();
}

void TQUELMAMainForm::ExitBtnClick() {
  FExiting = true;
  QCoreApplication::exit(0);
}

// ---- Display options ----------------------------------------------------------------

void TQUELMAMainForm::DrawingBoxClick() {
  if (DrawingBox->isChecked())
    ShowDrawingWindow();
  else
    HideDrawingWindow();
}

void TQUELMAMainForm::ShowDrawingWindow() {
  if (FDrawing)
    FDrawing->Show();
}

void TQUELMAMainForm::HideDrawingWindow() {
  if (FDrawing)
    FDrawing->Hide();
}

void TQUELMAMainForm::DisplayBoxClick() {
  ApplyVisibilityRule();
}

void TQUELMAMainForm::WFrontBoxClick() {
  if (!FPartWindow)
    return;
  FPartWindow->SetStayOnTop(WFrontBox->isChecked());
  FPartWindow->ReparentToDesktop();
  FPartWindow->show();
  HideDrawingWindow();
}

void TQUELMAMainForm::WSolidBoxClick() {
  if (FPartWindow)
    FPartWindow->SetSolid(WSolidBox->isChecked());
}

void TQUELMAMainForm::ApplyVisibilityRule() {
  if (!FPartWindow)
    return;
  const bool V = DisplayBox->isChecked() && !(WOEVisibleBox->isChecked() && !isVisible());
  if (V != FPartWindow->AnimatedVisible())
    FPartWindow->SetAnimatedVisible(V);
}

void TQUELMAMainForm::SuspendDisplay() {
  if (FSuspendCount++ > 0)
    return;
  FSavedDrawing = DrawingBox->isChecked();
  FSavedDisplay = DisplayBox->isChecked();
  DrawingBox->setChecked(false);
  DisplayBox->setChecked(false);
}

void TQUELMAMainForm::ResumeDisplay() {
  if (FSuspendCount == 0 || --FSuspendCount > 0)
    return;
  DrawingBox->setChecked(FSavedDrawing);
  DisplayBox->setChecked(FSavedDisplay);
}

// ---- Drawing host ------------------------------------------------------------------------

void TQUELMAMainForm::StartOverClick() {
  StartOverBtn->click();
}

void TQUELMAMainForm::SetDrawingBox(bool Checked) {
  DrawingBox->setChecked(Checked);
}

void TQUELMAMainForm::SetDisplayBox(bool Checked) {
  DisplayBox->setChecked(Checked);
}

void TQUELMAMainForm::SetSettingsStayOnTop(bool OnTop) {
  Qt::WindowFlags Flags = windowFlags();
  if (Flags.testFlag(Qt::WindowStaysOnTopHint) == OnTop)
    return;
  Flags.setFlag(Qt::WindowStaysOnTopHint, OnTop);
  // Changed on the live window: QWidget::setWindowFlags would hide it.
  overrideWindowFlags(Flags);
  if (QWindow* W = windowHandle())
    W->setFlags(Flags);
  if (OnTop && isVisible())
    raise();
}

QString TQUELMAMainForm::DrawingHotKeyText() {
  // The drawing hot key as the edit shows it; empty when none is assigned.
  const int Key = Components && Components->DrawingHotKey ? Components->DrawingHotKey->HotKey()
                                                          : DefaultDrawingHotKey;
  return Key == 0 ? QString() : ShortCutToText(Key);
}

bool TQUELMAMainForm::FlameStayOnTop() {
  return FPartWindow ? FPartWindow->StayOnTop() : true;
}

void TQUELMAMainForm::RaiseFlameWindow() {
  if (!FPartWindow)
    return;
  FPartWindow->SetStackCompanions(this, DrawingForm());
  FPartWindow->SetLayeredBounds(FPartWindow->FLayeredBounds, true); // also places it
  if (FPartWindow->isVisible())
    FPartWindow->BringToFront();
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
  show();
  raise();
  activateWindow();
}

bool TQUELMAMainForm::Shown() const {
  return isVisible() && !(windowState() & Qt::WindowMinimized);
}

void TQUELMAMainForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  ApplyVisibilityRule();
}

void TQUELMAMainForm::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  // Activated by a click or by the window manager: the drawing window goes
  // back under it.
  if (Event->type() == QEvent::ActivationChange && isActiveWindow() && DrawingForm())
    FDrawing->ArrangeZOrder();
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
  if (!FEngine)
    return;
  // The style tabs read their controls into FStyle and set the timer.
  if (Components)
    Components->StyleTabs->ApplyStyle();
  else
    AnimTimer.SetInterval(::ApplyStyle(*FEngine, FStyle));
}

void TQUELMAMainForm::StyleToControls() {
  // Sliders silently, then the boxes, whose handlers run as for a click.
  if (Components)
    Components->StyleTabs->StyleToControls();
}

bool TQUELMAMainForm::LoadSaveState(const QString& FileName, bool Save) {
  if (!FEngine)
    return false;
  TStateFileOptions Options;
  if (Components)
    Components->PrepareStateFile(Options); // "Load style", "Load art"
  // The hourglass only for a name the operation will use.
  std::optional<TWaitCursor> Wait;
  if (HasStateFileExtension(QFile::encodeName(FileName).toStdString()))
    Wait.emplace();
  Options.DecimalSeparator = QLocale::system().decimalPoint().toStdString();
  Options.ShowDebugMessage = [](const std::string& Text) {
    ShowDebugMessage(QString::fromStdString(Text));
  };
  Options.ClearFading = [this] { ClearFadingBtnClick(); };
  Options.ApplyStyle = [this] {
    StyleToControls();
    ApplyStyle();
  };
  try {
    return ::LoadSaveState(QFile::encodeName(FileName).toStdString(), Save, *FEngine, FStyle,
                           Options);
  } catch (const EStateFileError& E) {
    ShowFileError(QString::fromUtf8(E.what()), FileName, QString::fromStdString(E.Reason()));
  } catch (const std::exception& E) {
    ShowFileError(QString::fromUtf8(Save ? StateSaveErrorText : StateLoadErrorText), FileName,
                  QString::fromLocal8Bit(E.what()));
  }
  // A failed read keeps what it had read: the controls show it, and the
  // engine keeps its style until a control changes or a file is read.
  if (!Save)
    StyleToControls();
  return false;
}

// ---- Frame cycle -------------------------------------------------------------------------------

void TQUELMAMainForm::AnimTimerTimer() {
  const TTickTiming Timing; // only when QUELMA_TICK_STATS asks for it
  ++FTickCount;
  if (FEngine)
    FEngine->Tick(AnimTimer.Missed());
}
