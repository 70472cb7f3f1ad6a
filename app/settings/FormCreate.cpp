// The settings window's creation steps and the folders the program reads.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "DesktopWindowing.h"
#include "FilesTab.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "FloatingPoint.h"
#include "MainForm.h"
#include "Primitives.h"
#include "Screens.h"
#include "SettingsComponents.h"
#include "StartupPlatform.h"
#include "Version.h"

void TQUELMAMainForm::FormCreate(const QString& Folder, const QStringList& Arguments) {
  BindPrimitives();
  SetFloatingPointMode();

  // The window is a tool window already: no taskbar entry.
  const TRect Desktop = CurrentDesktopRect();
  move(24, Desktop.Bottom - height() - 32);

  FPartWindow = std::make_unique<TPartWindow>();
  // Frames run exactly while the flame window is visible.
  FPartWindow->OnAnimTimerEnable = [this](bool Visible) { AnimTimer.SetEnabled(Visible); };
  FEngine = std::make_unique<TPartForm>(*FPartWindow);
  FDrawing = std::make_unique<TDrawingWindow>(*this, *FEngine);
  FEngine->DesktopRect = Desktop;
  FPartWindow->FDesktopRect = Desktop;
  FPartWindow->SetLayeredBounds(TRect{300, 300, 128, 128}, true);
  // The settings window stays above the flame, so the art never hides it.
  FPartWindow->SetStackCompanions(this, nullptr);
  FPartWindow->ReparentToDesktop();
  FPartWindow->show();
  Components->EngineCreated();

  // Placement, hot keys and the four System boxes.
  Components->LoadSavePrefs(false);

  if (QScreen* S = ScreenNearest(geometry())) {
    const QPointF C = MonitorCentre(S->geometry());
    FEngine->OriginX = static_cast<float>(C.x());
    FEngine->OriginY = static_cast<float>(C.y());
  }
  ApplyStyle();

  AppFolder = Folder;
  if (!AppFolder.isEmpty() && !AppFolder.endsWith(QLatin1Char('/')))
    AppFolder += QLatin1Char('/');
  FVersion = QStringLiteral(QUELMA_VERSION);
  VersionLabel->setText(QStringLiteral("Version ") + FVersion);
  Components->RegisterHotKeys();

  // A missing start-up file is skipped silently.
  LoadSaveState(DataFolder() + QStringLiteral("Startup.quelma"), false);
  Components->FilesTab->InitialFolder = DataFolder();

  const TCommandLine Command = ParseCommandLine(Arguments);
  for (const QString& File : Command.Files)
    LoadSaveState(File, false);
  StartInTray = Command.StartInTray;

  ShowCompositingNote(ReportPerPixelAlphaOnce());
  const QString SessionNote = ReportWaylandHotKeysOnce();
  Components->HotKeysSessionNote->setText(SessionNote);
  Components->HotKeysSessionNote->setVisible(!SessionNote.isEmpty());
  // A compositing manager may start or stop while the program runs; the note
  // follows. Asking the display is two round trips, once a second.
  auto* Watch = new QTimer(this);
  QObject::connect(Watch, &QTimer::timeout, this,
                   [this] { ShowCompositingNote(PerPixelAlphaWarning()); });
  Watch->start(CompositingCheckInterval);
  Components->ShowTray();
}

void TQUELMAMainForm::ShowCompositingNote(const QString& Warning) {
  if (CompositingLabel->text() != Warning)
    CompositingLabel->setText(Warning);
  CompositingLabel->setVisible(!Warning.isEmpty());
}

QString TQUELMAMainForm::DataFolder() const {
  // Beside the program (the build folder, a portable copy), else the shared
  // data of an installation (<prefix>/bin/quelma, <prefix>/share/quelma/Data).
  const QStringList Candidates = {AppFolder + QStringLiteral("Data/"),
                                  AppFolder + QStringLiteral("../share/quelma/Data/")};
  for (const QString& C : Candidates)
    if (QFileInfo(C).isDir())
      return QDir::cleanPath(C) + QLatin1Char('/');
  return Candidates.front();
}
