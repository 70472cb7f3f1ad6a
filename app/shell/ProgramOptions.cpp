#include "ProgramOptions.h"

const char* const ProgramUsage =
    "Usage: quelma [/TRAY] [--] [FILE.quelma ...]\n"
    "       quelma COMMAND\n"
    "\n"
    "A desktop fire painter: draw flames with the mouse on the blue drawing window;\n"
    "they burn over the desktop. The style is set on the settings window.\n"
    "\n"
    "  FILE.quelma        state file (style and art) to load after Startup.quelma;\n"
    "                     several are loaded in order, other names are skipped. When\n"
    "                     QUELMA runs already, the first one is loaded there (status 1\n"
    "                     when it cannot be); without a file its settings window shows\n"
    "  /TRAY              start with the settings window hidden and drawing off\n"
    "  --                 what follows is files, also when it starts with \"-\"\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Commands to the running QUELMA (they never start one: with none running they\n"
    "say so and end with status 1):\n"
    "  --toggle-drawing   turn drawing on or off, as the drawing hot key does\n"
    "  --toggle-visible   show or hide the flame, as the visibility hot key does\n"
    "  --toggle-settings  show or hide the settings window, as its hot key does\n"
    "  --show-settings    show the settings window in front\n"
    "  --start-over       remove all art and flame (\"Start over\")\n"
    "  --exit             end QUELMA (\"Exit\")\n"
    "\n"
    "Right-click the drawing window to discard it, middle-click it to start over.\n"
    "On a Wayland session the program runs through XWayland.\n";

TProgramOptions ParseProgramOptions(const QStringList& Arguments) {
  TProgramOptions O;
  QStringList Commands;
  QString Unknown;
  bool FilesOnly = false;
  for (const QString& A : Arguments) {
    if (FilesOnly || !A.startsWith(QLatin1Char('-')) || A == QLatin1String("-")) {
      O.Arguments.append(A);
      continue;
    }
    if (A == QLatin1String("--")) {
      FilesOnly = true;
    } else if (A == QLatin1String("-h") || A == QLatin1String("--help")) {
      O.Action = TProgramOptions::Help;
      O.Arguments.clear();
      return O;
    } else if (A == QLatin1String("--version")) {
      O.Action = TProgramOptions::Version;
      O.Arguments.clear();
      return O;
    } else if (const auto C = A.startsWith(QLatin1String("--"))
                                  ? RemoteCommandNamed(A.mid(2).toStdString())
                                  : std::nullopt) {
      O.Command = *C;
      Commands.append(A);
    } else if (Unknown.isEmpty()) {
      Unknown = A;
    }
  }
  O.Action = TProgramOptions::BadUsage;
  if (!Unknown.isEmpty())
    O.Error = QStringLiteral("unknown option \"%1\"").arg(Unknown);
  else if (Commands.size() > 1)
    O.Error = QStringLiteral("one command at a time, not %1").arg(Commands.join(QLatin1Char(' ')));
  else if (Commands.size() == 1 && !O.Arguments.isEmpty())
    O.Error = QStringLiteral("%1 takes no other arguments").arg(Commands.front());
  else
    O.Action = Commands.isEmpty() ? TProgramOptions::Run : TProgramOptions::SendCommand;
  if (O.Action != TProgramOptions::Run)
    O.Arguments.clear();
  return O;
}
