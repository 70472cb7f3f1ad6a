// The program: one settings window, the flame window over the desktop and,
// while drawing, the drawing window.
#include <QApplication>
#include <QCheckBox>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "FlameEngine.h"
#include "MainForm.h"
#include "QuitSignals.h"
#include "SettingsComponents.h"
#include "SingleInstance.h"
#include "StartupPlatform.h"
#include "TestProbe.h"
#include "TimerWindow.h"
#include "Timers.h"
#include "Version.h"

namespace {

const char* const Usage =
    "Usage: quelma [/TRAY] [FILE.quelma ...]\n"
    "\n"
    "A desktop fire painter: draw flames with the mouse on the blue drawing window;\n"
    "they burn over the desktop. The style is set on the settings window.\n"
    "\n"
    "  FILE.quelma   state file (style and art) to load after Startup.quelma;\n"
    "                several are loaded in order, other names are skipped\n"
    "  /TRAY         start with the settings window hidden and drawing off\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Right-click the drawing window to discard it, middle-click it to start over.\n"
    "On a Wayland session the program runs through XWayland.\n";

} // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("quelma %s\n", QUELMA_VERSION);
      return 0;
    }
  }
  if (!PreparePlatform())
    return 1;

  QApplication App(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QUELMA"));
  QApplication::setOrganizationName(QStringLiteral("QUELMA"));
  // Closing the settings window only hides it; "Exit" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QStringList Arguments = QApplication::arguments();
  Arguments.removeFirst();
  // One instance per user: a second start hands its state file over and ends.
  const TInstanceStart Instance = StartSingleInstance(Arguments, &App);
  if (Instance.Result == THandOverResult::Delivered)
    return 0;
  if (Instance.Result == THandOverResult::NoAnswer) {
    std::fputs("quelma: another QUELMA is running but does not answer.\n", stderr);
    return 1;
  }
  // A session that ends or a terminal's Ctrl+C ends the program as "Exit" does.
  QuitOnTerminationSignals(&App);
  InstallTimerWindow();

  int Result = 0;
  {
    TQUELMAMainForm Form;
    Form.FormCreate(QApplication::applicationDirPath() + QLatin1Char('/'), Arguments);
    InstallTestProbe(&Form,
                     [&Form] { return Form.Engine() ? int(Form.Engine()->FEmitters.Count) : 0; });
    if (Instance.Server)
      Instance.Server->OnHandOver = [&Form](const QString& Path) {
        Form.Components->HandOver(Path);
      };
    if (!Form.StartInTray) {
      Form.DrawingBox->setChecked(true);
      Form.ShowSettingsWindow();
    }
    Result = QApplication::exec();
    if (Instance.Server)
      Instance.Server->OnHandOver = nullptr;
  }
  FreeAnimationClock();
  FreeTimerWindow();
  return Result;
}
