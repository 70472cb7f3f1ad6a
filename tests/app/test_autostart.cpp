// "Start with the desktop": the autostart entry written, read and removed
// under $XDG_CONFIG_HOME, how its Exec key names the program, and the System
// tab's box that drives it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Autostart.h"
#include "MainForm.h"
#include "ScopedEnv.h"
#include "SettingsTestSupport.h"

namespace {

std::string Local(const QString& Path) {
  return QFile::encodeName(Path).toStdString();
}

QString ReadText(const QString& Path) {
  QFile F(Path);
  return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
}

bool WriteText(const QString& Path, const QString& Text) {
  QDir().mkpath(QFileInfo(Path).path());
  QFile F(Path);
  return F.open(QIODevice::WriteOnly) && F.write(Text.toUtf8()) == Text.toUtf8().size();
}

class Autostart : public SettingsAppTest {
protected:
  QTemporaryDir Root;
  const TScopedEnv Config{"XDG_CONFIG_HOME", Local(Root.filePath("config"))};
  const QString Entry = Root.filePath("config/autostart/org.quelma.Quelma.desktop");
  const QString Program = QStringLiteral("/opt/quelma/bin/quelma");
};

TEST_F(Autostart, TheEntryIsWrittenReadAndRemoved) {
  ASSERT_EQ(AutostartFile(), Entry);
  EXPECT_FALSE(AutostartEnabled());
  ASSERT_TRUE(SetAutostart(true, Program));
  EXPECT_TRUE(AutostartEnabled());
  const QStringList Lines = ReadText(Entry).split(QLatin1Char('\n'));
  EXPECT_EQ(Lines.front(), "[Desktop Entry]");
  for (const char* Line : {"Type=Application", "Exec=/opt/quelma/bin/quelma /TRAY",
                           "X-GNOME-Autostart-enabled=true", "Icon=org.quelma.Quelma"})
    EXPECT_TRUE(Lines.contains(QString::fromLatin1(Line))) << Line;
  // Writing again replaces the entry rather than adding to it.
  ASSERT_TRUE(SetAutostart(true, Program));
  EXPECT_EQ(ReadText(Entry).count(QStringLiteral("Exec=")), 1);
  ASSERT_TRUE(SetAutostart(false, Program));
  EXPECT_FALSE(QFileInfo::exists(Entry));
  EXPECT_FALSE(AutostartEnabled());
  EXPECT_TRUE(SetAutostart(false, Program)) << "removing a missing entry is no failure";
}

TEST_F(Autostart, AnEntryThatTurnsItselfOffIsNotEnabled) {
  const struct {
    const char* Text;
    bool Enabled;
  } Cases[] = {
      {"[Desktop Entry]\nExec=quelma /TRAY\n", true},
      {"[Desktop Entry]\nExec=quelma /TRAY\nHidden=true\n", false},
      {"[Desktop Entry]\nHidden = true\n", false},
      {"[Desktop Entry]\nHidden=false\n", true},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
      {"[Desktop Entry]\nExec=quelma\n[Desktop Action x]\nHidden=true\n", true},
  };
  for (const auto& C : Cases) {
    ASSERT_TRUE(WriteText(Entry, QString::fromLatin1(C.Text)));
    EXPECT_EQ(AutostartEnabled(), C.Enabled) << C.Text;
  }
}

TEST_F(Autostart, TheConfigFolderFollowsTheBaseDirectoryRules) {
  const TScopedEnv Home("HOME", Local(Root.filePath("home")));
  const QString Default = Root.filePath("home/.config/autostart/org.quelma.Quelma.desktop");
  for (const char* Value : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    const TScopedEnv Unusable("XDG_CONFIG_HOME", Value);
    EXPECT_EQ(AutostartFile(), Default) << (Value ? Value : "unset");
  }
  const TScopedEnv NoHome("HOME", "relative"), Unset("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(AutostartFile(), "");
  EXPECT_FALSE(SetAutostart(true, Program));
  EXPECT_TRUE(SetAutostart(false, Program));
}

TEST_F(Autostart, ExecNamesAnInstalledProgramByNameAndOthersByQuotedPath) {
  // An installation: the program is the one PATH finds.
  const QString Bin = Root.filePath("bin");
  ASSERT_TRUE(WriteText(Bin + "/quelma", "#!/bin/sh\n"));
  QFile::setPermissions(Bin + "/quelma", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const TScopedEnv Path("PATH", Local(Bin));
  EXPECT_EQ(AutostartCommand(Bin + "/quelma"), "quelma");
  const struct {
    const char* Program;
    const char* Exec;
  } Cases[] = {
      {"/home/u/build/app/quelma", "/home/u/build/app/quelma"},
      {"/home/u/my build/app/quelma", "\"/home/u/my build/app/quelma\""},
      {"/home/u/$x/quelma", "\"/home/u/\\\\$x/quelma\""},
      {"/home/u/a\\b/quelma", "\"/home/u/a\\\\\\\\b/quelma\""},
      {"/home/u/100%/quelma", "/home/u/100%%/quelma"},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(AutostartCommand(QString::fromLatin1(C.Program)), QString::fromLatin1(C.Exec))
        << C.Program;
}

// The box shows the entry as the tab is made, and clearing and checking it
// again removes and rewrites the entry; one that cannot be written leaves the
// box clear.
TEST_F(Autostart, TheSystemTabBoxShowsAndSetsTheEntry) {
  {
    TQUELMAMainForm Form;
    EXPECT_EQ(Form.AutostartBox->text(), "Start with the desktop");
    EXPECT_EQ(Form.AutostartBox->objectName(), "AutostartBox");
    EXPECT_FALSE(Form.AutostartBox->isChecked());
    Form.AutostartBox->setChecked(true);
    EXPECT_TRUE(AutostartEnabled());
    EXPECT_TRUE(ReadText(Entry).contains(QStringLiteral(" /TRAY\n")));
  }
  {
    TQUELMAMainForm Form;
    EXPECT_TRUE(Form.AutostartBox->isChecked());
    Form.AutostartBox->setChecked(false);
    EXPECT_FALSE(QFileInfo::exists(Entry));
    Form.AutostartBox->setChecked(true);
    EXPECT_TRUE(AutostartEnabled());
  }
  ASSERT_TRUE(WriteText(Entry, "[Desktop Entry]\nExec=quelma /TRAY\nHidden=true\n"));
  {
    TQUELMAMainForm Form;
    EXPECT_FALSE(Form.AutostartBox->isChecked());
  }
  // A file where the autostart folder should be: the entry cannot be written.
  ASSERT_TRUE(QFile::remove(Entry));
  ASSERT_TRUE(QDir(Root.filePath("config/autostart")).removeRecursively());
  ASSERT_TRUE(WriteText(Root.filePath("config/autostart"), "in the way"));
  {
    TQUELMAMainForm Form;
    Form.AutostartBox->setChecked(true);
    EXPECT_FALSE(Form.AutostartBox->isChecked());
  }
}

} // namespace
