// Preferences in a temporary settings folder: first-start defaults, round
// trips, the "only 1 sets a box" rule, hot key 0, and stores that cannot be
// used.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#include "HotKeyEdit.h"
#include "HotKeys.h"
#include "Preferences.h"
#include "SettingsTestSupport.h"

namespace {

// Every test of this program keeps its preferences in a folder of its own:
// a settings window created by any test reads and writes them at its start
// and end, and must never touch the user's real ones.
// Each test starts with no preferences at all.
class TPrefsSandbox : public ::testing::EmptyTestEventListener {
public:
  void OnTestStart(const ::testing::TestInfo&) override { Use(); }
  static void Use() {
    static std::unique_ptr<QTemporaryDir> Folder;
    Folder = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder->path());
  }
};
[[maybe_unused]] const bool PrefsSandboxInstalled = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TPrefsSandbox);
  return true;
}();

// The settings window's preference targets with their start-up defaults.
struct TTargets {
  TTargets() {
    Window.setObjectName(QStringLiteral("QUELMAMainForm"));
    Window.resize(300, 200);
    Window.move(24, 700);
    Drawing.SetHotKey(DefaultDrawingHotKey);
    Display.SetHotKey(DefaultDisplayHotKey);
    Editor.SetHotKey(DefaultEditorHotKey);
    int i = 0;
    for (QCheckBox* B : {&WOEVisibleBox, &WFrontBox, &WSolidBox, &AddBox})
      B->setObjectName(QString::fromLatin1(Names[i++]));
    WFrontBox.setChecked(true);
    QObject::connect(&WFrontBox, &QCheckBox::toggled, [this] { ++FrontClicks; });
  }
  TPrefsTargets Prefs() {
    TPrefsTargets T;
    T.Window = &Window;
    T.HotKeys = {&Drawing, &Display, &Editor};
    T.Boxes = {&WOEVisibleBox, &WFrontBox, &WSolidBox, &AddBox};
    return T;
  }
  static constexpr const char* Names[] = {"WOEVisibleBox", "WFrontBox", "WSolidBox", "AddBox"};
  QWidget Window;
  THotKeyEdit Drawing, Display, Editor;
  QCheckBox WOEVisibleBox, WFrontBox, WSolidBox, AddBox;
  int FrontClicks = 0;
};

class PrefsTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    ASSERT_TRUE(Folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder.path());
  }
  void TearDown() override { TPrefsSandbox::Use(); }
  QString StoreFile() const { return Folder.filePath(QStringLiteral("QUELMA.conf")); }
  void WriteStore(const QByteArray& Text) {
    QFile F(StoreFile());
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Text);
  }
  QByteArray ReadStore() {
    QFile F(StoreFile());
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
  }

  QTemporaryDir Folder;
};

TEST_F(PrefsTest, FirstStartKeepsTheDefaultsAndWritesNothing) {
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_EQ(T.Drawing.HotKey(), 16503);
  EXPECT_EQ(T.Display.HotKey(), 16502);
  EXPECT_EQ(T.Editor.HotKey(), 16501);
  EXPECT_TRUE(T.WFrontBox.isChecked());
  EXPECT_FALSE(T.WOEVisibleBox.isChecked());
  EXPECT_FALSE(T.WSolidBox.isChecked());
  EXPECT_FALSE(T.AddBox.isChecked());
  EXPECT_EQ(T.Window.pos(), QPoint(24, 700));
  EXPECT_FALSE(T.Window.isVisible());
  EXPECT_FALSE(QFile::exists(StoreFile()));
}

TEST_F(PrefsTest, ValuesSurviveARestartAsDecimalStrings) {
  {
    TTargets T;
    T.Window.move(100, 50);
    T.Drawing.SetHotKey(scCtrl | scShift | 'D');
    T.Display.SetHotKey(0);
    T.Editor.SetHotKey(0x74); // F5 without modifiers
    T.WSolidBox.setChecked(true);
    T.WFrontBox.setChecked(false);
    LoadSavePrefs(T.Prefs(), true);
  }
  QSettings Raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELMA"));
  const QStringList Keys = Raw.allKeys();
  for (const QString& K : Keys)
    EXPECT_EQ(Raw.value(K).typeId(), QMetaType::QString) << K.toStdString();
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/Left")).toString(), QStringLiteral("100"));
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/Top")).toString(), QStringLiteral("50"));
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/State")).toString(), QStringLiteral("0"));
  EXPECT_FALSE(Raw.contains(QStringLiteral("QUELMAMainForm/Width")));
  EXPECT_FALSE(Raw.contains(QStringLiteral("QUELMAMainForm/Height")));
  EXPECT_EQ(Raw.value(QStringLiteral("DrawingHotKey")).toString(), QString::number(0x6044));
  EXPECT_EQ(Raw.value(QStringLiteral("DisplayHotKey")).toString(), QStringLiteral("0"));
  EXPECT_EQ(Raw.value(QStringLiteral("WSolidBox")).toString(), QStringLiteral("1"));
  EXPECT_EQ(Raw.value(QStringLiteral("WFrontBox")).toString(), QStringLiteral("0"));

  TTargets Next;
  LoadSavePrefs(Next.Prefs(), false);
  EXPECT_EQ(Next.Window.pos(), QPoint(100, 50));
  EXPECT_TRUE(Next.Window.testAttribute(Qt::WA_Moved));
  EXPECT_EQ(Next.Drawing.HotKey(), 0x6044);
  EXPECT_EQ(Next.Display.HotKey(), 0); // unset after the start
  EXPECT_EQ(Next.Display.text(), QStringLiteral("None"));
  EXPECT_EQ(Next.Editor.HotKey(), 0x74);
  EXPECT_TRUE(Next.WSolidBox.isChecked());
  EXPECT_FALSE(Next.WFrontBox.isChecked());
  EXPECT_EQ(Next.FrontClicks, 1); // cleared as a click would
}

TEST_F(PrefsTest, OnlyOneSetsABox) {
  struct TCase {
    const char* Stored; // nullptr: missing
    bool Start, Expected;
  };
  const TCase Cases[] = {{"1", false, true},    {"2", true, false},     {"0", true, false},
                         {"-1", true, false},   {"abc", true, true},    {"abc", false, false},
                         {nullptr, true, true}, {nullptr, false, false}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Stored ? C.Stored : "(missing)");
    // A folder per case: the settings layer caches files that look unchanged.
    QTemporaryDir CaseFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, CaseFolder.path());
    if (C.Stored) {
      QFile F(CaseFolder.filePath(QStringLiteral("QUELMA.conf")));
      ASSERT_TRUE(F.open(QIODevice::WriteOnly));
      F.write(QByteArray("[General]\nWFrontBox=") + C.Stored + "\n");
    }
    TTargets T;
    T.WFrontBox.setChecked(C.Start);
    LoadSavePrefs(T.Prefs(), false);
    EXPECT_EQ(T.WFrontBox.isChecked(), C.Expected);
  }
}

TEST_F(PrefsTest, StoredSizeAndStateApplyButAreNotWrittenBack) {
  WriteStore("[QUELMAMainForm]\nLeft=10\nTop=20\nWidth=400\nHeight=250\nState=0\n");
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_EQ(T.Window.geometry(), QRect(10, 20, 400, 250));
  LoadSavePrefs(T.Prefs(), true);
  QSettings Raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELMA"));
  // What came from outside stays; the program writes only State, Left, Top.
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/Width")).toString(), QStringLiteral("400"));
}

TEST_F(PrefsTest, AMinimisedWindowIsNeitherStoredNorRestoredMinimised) {
  // The settings window has no taskbar entry to come back from.
  WriteStore("[QUELMAMainForm]\nLeft=10\nTop=20\nState=1\n");
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_FALSE(T.Window.windowState() & Qt::WindowMinimized);
  T.Window.setWindowState(Qt::WindowMinimized);
  LoadSavePrefs(T.Prefs(), true);
  QSettings Raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELMA"));
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/State")).toString(), QStringLiteral("0"));
}

TEST_F(PrefsTest, TextThatIsNoNumberGivesTheDefault) {
  WriteStore("[General]\nDrawingHotKey=F8\nDisplayHotKey=70000\nEditorHotKey=\" 117 \"\n"
             "[QUELMAMainForm]\nLeft=left\nTop=33\n");
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_EQ(T.Drawing.HotKey(), 16503);
  EXPECT_EQ(T.Display.HotKey(), 16502); // not a 16-bit shortcut
  EXPECT_EQ(T.Editor.HotKey(), 117);
  EXPECT_EQ(T.Window.pos(), QPoint(24, 33));
}

TEST_F(PrefsTest, AValueOfAnotherTypeEndsTheReadingSilently) {
  // A list is not a string value: the placement stops there, and nothing
  // after it (hot keys, boxes) is read.
  WriteStore("[General]\nDrawingHotKey=5\nWSolidBox=1\n[QUELMAMainForm]\nLeft=1, 2\n");
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_EQ(T.Drawing.HotKey(), 16503);
  EXPECT_FALSE(T.WSolidBox.isChecked());
}

TEST_F(PrefsTest, AnUnreadableStoreGivesDefaultsAndIsKeptUntilExit) {
  const QByteArray Garbage("[General\n\x01\x02=\"unterminated\n[[[");
  WriteStore(Garbage);
  {
    std::unique_ptr<QSettings> Probe = OpenPrefs();
    if (Probe->status() == QSettings::NoError)
      GTEST_SKIP() << "this Qt reads the text without complaint";
  }
  TTargets T;
  LoadSavePrefs(T.Prefs(), false);
  EXPECT_EQ(T.Drawing.HotKey(), 16503);
  EXPECT_TRUE(T.WFrontBox.isChecked());
  EXPECT_EQ(ReadStore(), Garbage);
}

} // namespace
