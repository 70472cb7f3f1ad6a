#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include "TellOnce.h"

namespace {

QString ConfigHome() {
  const QString Set = qEnvironmentVariable("XDG_CONFIG_HOME");
  // The base directory rules ignore relative paths.
  if (!Set.isEmpty() && QDir::isAbsolutePath(Set))
    return Set;
  const QString Home = qEnvironmentVariable("HOME");
  return !Home.isEmpty() && QDir::isAbsolutePath(Home) ? Home + QStringLiteral("/.config")
                                                       : QString();
}

// One argument of an Exec key: quoted when it holds a reserved character,
// then escaped as every string value of a desktop entry is.
QString ExecArgument(const QString& Argument) {
  static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  QString A = Argument;
  A.replace(QLatin1Char('%'), QStringLiteral("%%"));
  bool Quote = false;
  for (const QChar C : A)
    Quote = Quote || Reserved.contains(C);
  if (Quote) {
    QString Q;
    for (const QChar C : A) {
      if (C == QLatin1Char('"') || C == QLatin1Char('`') || C == QLatin1Char('$') ||
          C == QLatin1Char('\\'))
        Q += QLatin1Char('\\');
      Q += C;
    }
    A = QLatin1Char('"') + Q + QLatin1Char('"');
  }
  A.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  return A;
}

// The box goes back to what the desktop will do; the reason is said once.
bool TellAutostartFailure(const QString& Path, const QString& Reason) {
  TellOnce("autostart", QStringLiteral("\"Start with the desktop\" cannot be changed: %1 "
                                       "cannot be written (%2).")
                            .arg(Path, Reason));
  return false;
}

} // namespace

QString AutostartFile() {
  const QString Config = ConfigHome();
  return Config.isEmpty()
             ? QString()
             : Config + QStringLiteral("/autostart/") + QString::fromLatin1(AutostartEntryName);
}

bool AutostartEnabled() {
  const QString Path = AutostartFile();
  QFile F(Path);
  if (Path.isEmpty() || !F.open(QIODevice::ReadOnly | QIODevice::Text))
    return false;
  QTextStream In(&F);
  bool InEntry = false;
  while (!In.atEnd()) {
    const QString Line = In.readLine().trimmed();
    if (Line.startsWith(QLatin1Char('['))) {
      InEntry = Line == QStringLiteral("[Desktop Entry]");
      continue;
    }
    if (!InEntry)
      continue;
    const qsizetype Eq = Line.indexOf(QLatin1Char('='));
    if (Eq < 0)
      continue;
    const QString Key = Line.left(Eq).trimmed();
    const QString Value = Line.mid(Eq + 1).trimmed();
    if ((Key == QStringLiteral("Hidden") && Value == QStringLiteral("true")) ||
        (Key == QStringLiteral("X-GNOME-Autostart-enabled") && Value == QStringLiteral("false")))
      return false;
  }
  return true;
}

QString AutostartCommand(const QString& Program) {
  const QFileInfo Running(Program);
  const QString OnPath = QStandardPaths::findExecutable(Running.fileName());
  if (!OnPath.isEmpty() && QFileInfo(OnPath).canonicalFilePath() == Running.canonicalFilePath())
    return ExecArgument(Running.fileName());
  return ExecArgument(Running.absoluteFilePath());
}

QString AutostartEntry(const QString& Program) {
  return QStringLiteral("[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=QUELMA\n"
                        "Comment=Draw flames that burn over your desktop\n"
                        "Exec=%1 /TRAY\n"
                        "Icon=org.quelma.Quelma\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n")
      .arg(AutostartCommand(Program));
}

bool SetAutostart(bool Enabled, const QString& Program) {
  const QString Path = AutostartFile();
  if (Path.isEmpty())
    return !Enabled;
  if (!Enabled) {
    QFile F(Path);
    if (F.remove() || !F.exists())
      return true;
    return TellAutostartFailure(Path, F.errorString());
  }
  if (!QDir().mkpath(QFileInfo(Path).path()))
    return TellAutostartFailure(Path, QStringLiteral("its folder cannot be made"));
  QSaveFile F(Path);
  if (F.open(QIODevice::WriteOnly | QIODevice::Text)) {
    F.write(AutostartEntry(Program).toUtf8());
    if (F.commit())
      return true;
  }
  return TellAutostartFailure(Path, F.errorString());
}
