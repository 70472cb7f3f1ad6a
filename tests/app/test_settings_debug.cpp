// "Debug mode": the snapshot lines and the click handling.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QWidget>

#include "DebugReadout.h"
#include "FlameEngine.h"
#include "HelpAbout.h"
#include "SettingsTestSupport.h"

namespace {

class DebugReadoutTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    Form.DesktopRect = TRect{0, 0, 1920, 1080};
    Form.OriginX = 960;
    Form.OriginY = 540.5f;
    Form.SurfaceOffsetX = 12.25f;
    Form.SurfaceOffsetY = 0;
    Form.FMaxCount = 100;
    Form.FLifetime = ImmortalLife;
    Readout.Engine = [this] { return &Form; };
    Readout.LayeredBounds = [] { return TRect{300, 300, 301, 301}; };
    Readout.ClearFading = [this] { ++Clears; };
    Readout.HelpMemo = &Memo;
    Readout.Window = &Window;
    Readout.Thousand = QStringLiteral(",");
    Readout.Decimal = QStringLiteral(".");
    Memo.setPlainText(QStringLiteral("Quick help:"));
    Window.setWindowTitle(QStringLiteral("QUELMA"));
  }

  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TDebugReadout Readout;
  QPlainTextEdit Memo;
  QWidget Window;
  int Clears = 0;
};

TEST_F(DebugReadoutTest, WithoutEmittersTheSnapshotHasSevenLines) {
  const QStringList L =
      DebugSnapshotLines(Form, TRect{300, 300, 301, 301}, QStringLiteral(","), QStringLiteral("."));
  ASSERT_EQ(L.size(), 7);
  EXPECT_EQ(L[0], QStringLiteral("Thousand sep: ,"));
  EXPECT_EQ(L[1], QStringLiteral("Decimal sep: ."));
  EXPECT_EQ(L[2], QStringLiteral("Screen size: 0 - 0 - 1920 - 1080"));
  EXPECT_EQ(L[3], QStringLiteral("PartCenterXY: 12.25 - 0"));
  EXPECT_EQ(L[4], QStringLiteral("CenterXY: 960 - 540.5"));
  EXPECT_EQ(L[5], QStringLiteral("Window size: 300 - 300 - 301 - 301"));
  EXPECT_EQ(L[6], QString());
}

TEST_F(DebugReadoutTest, OneLinePerEmitterInTheLocalesFloatForm) {
  Form.AddEmitter(nullptr, 256, 0, 0);
  Form.AddEmitter(nullptr, 256, 12.5f, -3);
  Form.AddEmitter(nullptr, 256, 0.1f, 1e-6f);
  const QStringList L = DebugSnapshotLines(Form, TRect{}, QStringLiteral(","), QStringLiteral("."));
  ASSERT_EQ(L.size(), 10);
  EXPECT_EQ(L[7], QStringLiteral("EM0 X:0 Y:0"));
  EXPECT_EQ(L[8], QStringLiteral("EM1 X:12.5 Y:-3"));
  EXPECT_EQ(L[9], QStringLiteral("EM2 X:0.100000001490116 Y:9.99999997475243E-7"));
  const QStringList Comma =
      DebugSnapshotLines(Form, TRect{}, QStringLiteral("."), QStringLiteral(","));
  EXPECT_EQ(Comma[1], QStringLiteral("Decimal sep: ,"));
  EXPECT_EQ(Comma[8], QStringLiteral("EM1 X:12,5 Y:-3"));
}

TEST_F(DebugReadoutTest, SettingTheBoxReplacesTheHelpAndClearingRestoresCaptionAndHelp) {
  Form.AddEmitter(nullptr, 256, 4, 5);
  Readout.Install();
  Readout.DebugBoxClick(true);
  EXPECT_TRUE(Form.FDebug);
  const QStringList Lines = Memo.toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(Lines.size(), 8);
  EXPECT_EQ(Lines[7], QStringLiteral("EM0 X:4 Y:5"));
  EXPECT_EQ(Memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // Counters go to the caption on every step while on.
  Form.Step(1);
  EXPECT_TRUE(Window.windowTitle().startsWith(QStringLiteral("Emitters: 1")))
      << Window.windowTitle().toStdString();
  Readout.DebugBoxClick(false);
  EXPECT_FALSE(Form.FDebug);
  EXPECT_EQ(Clears, 1);
  EXPECT_EQ(Window.windowTitle(), QStringLiteral("QUELMA"));
  // The emitter list goes; the quick help comes back.
  EXPECT_EQ(Memo.toPlainText(), QuickHelpText());
  EXPECT_EQ(Memo.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
  Form.Step(1);
  EXPECT_EQ(Window.windowTitle(), QStringLiteral("QUELMA"));
}

} // namespace
