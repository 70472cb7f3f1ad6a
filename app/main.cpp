// The program: one settings window, the flame window over the desktop and,
// while drawing, the drawing window.
#include <QApplication>
#include <QCheckBox>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "MainForm.h"
#include "Platform.h"
#include "QuickTimers.h"
#include "TimerWindow.h"
#include "Version.h"

namespace {

const char* const Usage =
    "Usage: quelma [/TRAY] [FILE.quelma ...]\n"
    "\n"
    "A desktop fire painter: draw flames with the mouse on the blue drawing window;\n"
    "they burn over the desktop. The style is set on the settings window.\n"
    "\n"
    "  FILE.quelma   state file (style and art) to load after Data/Startup.quelma;\n"
    "                several are loaded in order, other names are skipped\n"
    "  /TRAY         start with the settings window hidden and drawing off\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Right-click the drawing window to discard it, middle-click it to start over.\n"
    "On a Wayland session the program runs through XWayland.\n";

}  // namespace

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
  if (!PreparePlatform()) return 1;

  QApplication App(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QUELMA"));
  QApplication::setOrganizationName(QStringLiteral("QUELMA"));
  // Closing the settings window only hides it; "Exit" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallTimerWindow();

  QStringList Arguments = QApplication::arguments();
  Arguments.removeFirst();
  int Result = 0;
  {
    TQUELMAMainForm Form;
    Form.FormCreate(QApplication::applicationDirPath() + QLatin1Char('/'), Arguments);
    if (!Form.StartInTray) {
      Form.DrawingBox->setChecked(true);
      Form.show();
    }
    Result = QApplication::exec();
  }
  FreeAnimationClocks();
  FreeTimerWindow();
  return Result;
}
