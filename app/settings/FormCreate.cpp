// The settings window's creation steps and the folders the program reads.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "ControlGuide.h"
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

  Controller.Create(Desktop);
  Components->EngineCreated();

  // Placement, hot keys and the five System boxes; a place stored for a
  // monitor that is gone is not kept.
  Components->LoadSavePrefs(false);
  KeepOnScreen();

  if (QScreen* S = ScreenNearest(geometry())) {
    const QPointF C = MonitorCentre(S->geometry());
    Engine()->OriginX = static_cast<float>(C.x());
    Engine()->OriginY = static_cast<float>(C.y());
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
  // Undo starts from the art the program starts with.
  Controller.ClearHistory();

  ReportPerPixelAlphaOnce(); // on standard error; the note follows below
  const QString SessionNote = ReportWaylandHotKeysOnce();
  Components->HotKeysSessionNote->setText(SessionNote);
  Components->HotKeysSessionNote->setVisible(!SessionNote.isEmpty());
  // A compositing manager or a tray may start or stop while the program
  // runs; the note and the icon follow.
  Controller.WatchDesktop();
  ShowCompositingNote(Controller.CompositingNote());
  Components->ShowTray();

  Controller.WatchMonitors();
  ApplyControlGuides(*this);
}

void TQUELMAMainForm::ShowCompositingNote(const QString& Warning) {
  // The tab has room for the gist; the whole note is its tooltip (and went
  // to standard error once).
  const QString Short =
      Warning.isEmpty()
          ? QString()
          : QStringLiteral("No compositing manager is running: the flame shows without "
                           "transparency. Start one (for example xcompmgr or picom).");
  if (CompositingLabel->text() != Short) {
    CompositingLabel->setText(Short);
    CompositingLabel->setToolTip(Warning);
  }
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
