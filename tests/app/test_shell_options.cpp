// The command line as main reads it before any application object: help,
// version, commands for the running instance, the program's own arguments
// and what is refused.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <cstring>

#include "ProgramOptions.h"

namespace {

TEST(ProgramOptions, TellRunHelpCommandsAndErrors) {
  using O = TProgramOptions;
  struct TCase {
    QStringList Args;
    O::TAction Action;
    QStringList Arguments = {};
  };
  const TCase Cases[] = {
      {{}, O::Run},
      {{"/TRAY", "a.quelma", "b.quelma"}, O::Run, {"/TRAY", "a.quelma", "b.quelma"}},
      {{"-"}, O::Run, {"-"}},
      // After "--" everything is a file, also what looks like an option.
      {{"--", "-x.quelma", "--exit"}, O::Run, {"-x.quelma", "--exit"}},
      {{"a.quelma", "--help"}, O::Help},
      {{"--bogus", "-h"}, O::Help},
      {{"--version", "--exit"}, O::Version},
      {{"--", "--help"}, O::Run, {"--help"}},
      {{"--bogus"}, O::BadUsage},
      {{"-platform", "xcb"}, O::BadUsage},
      {{"--toggle-drawing=1"}, O::BadUsage},
      {{"--Exit"}, O::BadUsage},
      {{"-exit"}, O::BadUsage},
      {{"--exit", "--start-over"}, O::BadUsage},
      {{"--exit", "a.quelma"}, O::BadUsage},
      {{"/TRAY", "--show-settings"}, O::BadUsage},
      {{"--start-over", "--"}, O::SendCommand},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Args.join(QLatin1Char(' ')).toStdString());
    const O R = ParseProgramOptions(C.Args);
    EXPECT_EQ(R.Action, C.Action);
    EXPECT_EQ(R.Arguments, C.Arguments);
    EXPECT_EQ(R.Error.isEmpty(), C.Action != O::BadUsage) << R.Error.toStdString();
  }
  // The error names the offending argument.
  EXPECT_TRUE(ParseProgramOptions({"a.quelma", "--bogus"}).Error.contains("--bogus"));
}

TEST(ProgramOptions, EveryCommandIsAnOptionAndInTheHelp) {
  for (TRemoteCommand C : AllRemoteCommands) {
    const QString Option = QStringLiteral("--") + QString::fromLatin1(RemoteCommandName(C));
    SCOPED_TRACE(Option.toStdString());
    const TProgramOptions R = ParseProgramOptions({Option});
    EXPECT_EQ(R.Action, TProgramOptions::SendCommand);
    EXPECT_EQ(R.Command, C);
    EXPECT_NE(std::strstr(ProgramUsage, (Option + QLatin1Char(' ')).toLatin1().constData()),
              nullptr);
  }
}

} // namespace
