// The settings window's creation steps and the folders the program reads.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "DataFolders.h"
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

  // Placement, hot keys and the five System boxes.
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
  if (const QString Startup = FindDataFile(QString::fromLatin1(StartupFileName));
      !Startup.isEmpty())
    LoadSaveState(Startup, false);
  Components->FilesTab->UserFolder = QFile::decodeName(UserDataFolder().c_str());
  Components->FilesTab->ShippedFolder = DataFolder();

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
  FCompositingWatch = new QTimer(this);
  QObject::connect(FCompositingWatch, &QTimer::timeout, this,
                   [this] { ShowCompositingNote(PerPixelAlphaWarning()); });
  FCompositingWatch->start(CompositingCheckInterval);
  Components->ShowTray();

  WatchMonitors();
}

void TQUELMAMainForm::ShowCompositingNote(const QString& Warning) {
  if (CompositingLabel->text() != Warning)
    CompositingLabel->setText(Warning);
  CompositingLabel->setVisible(!Warning.isEmpty());
}

QString TQUELMAMainForm::DataFolder() const {
  const std::string Folder = ShippedDataFolder(QFile::encodeName(AppFolder).toStdString());
  return Folder.empty() ? QString() : QFile::decodeName(Folder.c_str()) + QLatin1Char('/');
}

QString TQUELMAMainForm::FindDataFile(const QString& Name) const {
  return QFile::decodeName(::FindDataFile(QFile::encodeName(Name).toStdString(),
                                          QFile::encodeName(AppFolder).toStdString())
                               .c_str());
}
