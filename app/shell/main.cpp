// The program: one settings window, the flame window over the desktop and,
// while drawing, the drawing window.
#include <QApplication>
#include <QCheckBox>
#include <QLocalServer>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "AnimationClock.h"
#include "FlameController.h"
#include "FlameEngine.h"
#include "MainForm.h"
#include "ProgramOptions.h"
#include "QuitSignals.h"
#include "SettingsComponents.h"
#include "SingleInstance.h"
#include "StartupPlatform.h"
#include "TestProbe.h"
#include "TimerWindow.h"
#include "Timers.h"
#include "UnseenWatch.h"
#include "Version.h"

namespace {

// A command for the running instance: no display, no window, only the socket.
int SendCommand(int& Argc, char** Argv, TRemoteCommand Command) {
  const QCoreApplication App(Argc, Argv);
  switch (SendRemoteCommand(InstanceServerName(), Command)) {
  case THandOverResult::Delivered:
    return 0;
  case THandOverResult::NoInstance:
    std::fputs("quelma: QUELMA is not running\n", stderr);
    return 1;
  case THandOverResult::Refused:
  case THandOverResult::Failed:
    std::fprintf(stderr, "quelma: the running QUELMA does not know --%s\n",
                 RemoteCommandName(Command));
    return 1;
  case THandOverResult::NoAnswer:
    break;
  }
  std::fputs("quelma: QUELMA is running but does not answer.\n", stderr);
  return 1;
}

// The X server went away (it crashed, or the session ended without telling
// us): nothing can be shown any more. Qt would end the process from inside
// its event handling with every window and the timer thread still alive;
// the program ends here instead, at once and without writing anything (a
// program that ends abnormally keeps the preferences saved before). Only the
// single-instance socket goes, so no later start has to clear it.
[[noreturn]] void EndWithoutDisplay() {
  std::fputs("quelma: lost the connection to the X server (it ended or crashed); QUELMA ends.\n",
             stderr);
  std::fflush(stderr);
  QLocalServer::removeServer(InstanceServerName());
  std::_Exit(1);
}

// Qt's own warnings pass, but for one that openbox causes on every start and
// that tells the user nothing (a request to iconify in a KDE dialect), and
// the one that tells of a lost display, which ends the program.
QtMessageHandler QtDefaultHandler = nullptr;
void FilterQtMessages(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
  if (Type == QtWarningMsg && Text.startsWith(QLatin1String("Unhandled client message")) &&
      Text.contains(QLatin1String("_KDE_WM_CHANGE_STATE")))
    return;
  if (Text.startsWith(QLatin1String("The X11 connection broke")))
    EndWithoutDisplay();
  if (QtDefaultHandler)
    QtDefaultHandler(Type, Context, Text);
}

} // namespace

int main(int argc, char** argv) {
  QStringList Given;
  for (int i = 1; i < argc; ++i)
    Given.append(QString::fromLocal8Bit(argv[i]));
  const TProgramOptions Options = ParseProgramOptions(Given);
  switch (Options.Action) {
  case TProgramOptions::Help:
    std::fputs(ProgramUsage, stdout);
    return 0;
  case TProgramOptions::Version:
    std::printf("quelma %s\n", QUELMA_VERSION);
    return 0;
  case TProgramOptions::BadUsage:
    std::fprintf(stderr, "quelma: %s\nTry \"quelma --help\" for the options and commands.\n",
                 Options.Error.toLocal8Bit().constData());
    return 2;
  case TProgramOptions::SendCommand:
    return SendCommand(argc, argv, Options.Command);
  case TProgramOptions::Run:
    break;
  }
  if (!PreparePlatform())
    return 1;

  // Qt sees no arguments: they were all read above, and a file name must
  // not be taken for one of Qt's own options.
  QtDefaultHandler = qInstallMessageHandler(FilterQtMessages);
  int QtArgc = 1;
  QApplication App(QtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("QUELMA"));
  // Dialogs and message boxes follow the scale the user asked of Qt.
  if (UserScaleFactor() != 1.0) {
    QFont F = QApplication::font();
    F.setPointSizeF(F.pointSizeF() * UserScaleFactor());
    QApplication::setFont(F);
  }
  QApplication::setOrganizationName(QStringLiteral("QUELMA"));
  // Closing the settings window only hides it; "Exit" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  const QStringList& Arguments = Options.Arguments;
  // One instance per user: a second start hands its state file over and ends.
  const TInstanceStart Instance = StartSingleInstance(Arguments, &App);
  if (Instance.Result == THandOverResult::Delivered)
    return 0;
  if (Instance.Result == THandOverResult::Failed) {
    std::fprintf(stderr, "quelma: %s\n", Instance.Failure.toLocal8Bit().constData());
    return 1;
  }
  if (Instance.Result != THandOverResult::NoInstance) {
    std::fputs("quelma: another QUELMA is running but does not answer.\n", stderr);
    return 1;
  }
  // A session that ends or a terminal's Ctrl+C ends the program as "Exit" does.
  QuitOnTerminationSignals(&App);
#ifdef SIGXFSZ
  // Under a file-size limit (ulimit -f) a save that outgrows it must fail and
  // say so, keeping the old file, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  InstallTimerWindow();

  int Result = 0;
  {
    // The controller owns the program's state; the settings window shows it.
    TFlameController Controller;
    TQUELMAMainForm Form(&Controller);
    Form.FormCreate(QApplication::applicationDirPath() + QLatin1Char('/'), Arguments);
    InstallTestProbe(&Form, [&Controller] {
      TProbeFacts Facts;
      if (const TPartForm* E = Controller.Engine()) {
        const TRect& D = E->DesktopRect;
        Facts.append({QStringLiteral("emitters"), QString::number(E->FEmitters.Count)});
        Facts.append(
            {QStringLiteral("desktop"),
             QStringLiteral("%1 %2 %3 %4").arg(D.Left).arg(D.Top).arg(D.Width()).arg(D.Height())});
        Facts.append({QStringLiteral("origin"),
                      QStringLiteral("%1 %2").arg(double(E->OriginX)).arg(double(E->OriginY))});
      }
      const TShownState& Shown = Controller.Shown();
      const auto Bit = [](bool B) { return B ? QStringLiteral("1") : QStringLiteral("0"); };
      Facts.append({QStringLiteral("ticks"), QString::number(Controller.TickCount())});
      Facts.append({QStringLiteral("steps"), QString::number(Controller.StepCount())});
      Facts.append({QStringLiteral("paused"), Bit(Shown.Paused)});
      Facts.append({QStringLiteral("shown.flame"), Bit(Shown.Flame)});
      Facts.append({QStringLiteral("shown.drawing"), Bit(Shown.Drawing)});
      Facts.append({QStringLiteral("tray"), Bit(Controller.Conditions().TrayAvailable)});
      return Facts;
    });
    if (Instance.Server) {
      Instance.Server->OnHandOver = [&Form](const QString& Path) {
        return Form.Components->HandOver(Path);
      };
      Instance.Server->OnCommand = [&Form](TRemoteCommand Command) {
        Form.Components->RemoteCommand(Command);
      };
    }
    if (!Form.StartInTray) {
      Controller.SetDrawing(true);
      Form.ShowSettingsWindow();
    }
    Controller.SetUnseenWatch(CreateUnseenWatch());
    Result = QApplication::exec();
    if (Instance.Server) {
      Instance.Server->OnHandOver = nullptr;
      Instance.Server->OnCommand = nullptr;
    }
  }
  FreeAnimationClock();
  FreeTimerWindow();
  return Result;
}
