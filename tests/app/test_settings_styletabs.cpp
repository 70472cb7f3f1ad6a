// The style tabs: every control reaches the engine fields of its group
// through the engine's own mapping, code-set sliders stay silent, and a
// record from a state file shows on the controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QWidget>

#include <functional>

#include "FlameEngine.h"
#include "NumBar.h"
#include "Random.h"
#include "SettingsTestSupport.h"
#include "StyleMapping.h"
#include "StyleTabs.h"

namespace {

class StyleTabsTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    Form.OriginX = 960;
    Form.OriginY = 540;
    Form.DesktopRect = TRect{0, 0, 1920, 1080};
    Tabs = std::make_unique<TStyleTabs>(Style, &Emitters, &Fading, &Animation);
    Tabs->Engine = [this] { return &Form; };
    Tabs->OnTimerInterval = [this](int I) { Intervals.push_back(I); };
    AddBox = TStyleTabs::CreateAddBox(&System);
    DebugBox = TStyleTabs::CreateDebugBox(&System);
    Tabs->AttachSystemBoxes(AddBox, DebugBox);
    Tabs->OnDebugBoxClick = [this] { ++DebugClicks; };
    Tabs->ApplyStyle();
    Intervals.clear();
  }

  TStyleSettings Style;
  QWidget Emitters, Fading, Animation, System;
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TSurfaceDisplay RefDisplay;
  TPartForm Ref{RefDisplay};
  std::unique_ptr<TStyleTabs> Tabs;
  QCheckBox* AddBox = nullptr;
  QCheckBox* DebugBox = nullptr;
  std::vector<int> Intervals;
  int DebugClicks = 0;
};

TEST_F(StyleTabsTest, ControlsStartAtTheirDefaultsWithLineAndPageSteps) {
  Tabs->ReadControls();
  EXPECT_EQ(Style, TStyleSettings{});
  int Sliders = 0, Boxes = 0;
  for (const TStyleValue& V : StyleValues) {
    const QString Name = QString::fromLatin1(V.Control);
    if (V.Slider) {
      TNumBar* B = Tabs->Slider(Name);
      ASSERT_NE(B, nullptr) << V.Control;
      ++Sliders;
      EXPECT_EQ(B->Min(), V.Min) << V.Control;
      EXPECT_EQ(B->Max(), V.Max) << V.Control;
      EXPECT_EQ(B->Position(), V.Default) << V.Control;
      EXPECT_EQ(B->LineSize(), 1);
      EXPECT_EQ(B->PageSize(), 10);
      EXPECT_TRUE(B->Options().Contains(nbShowNumber));
      EXPECT_EQ(B->Options().Contains(nbEndless), V.Endless) << V.Control;
      EXPECT_EQ(QString::fromStdString(B->Text()), QString::number(V.Default)) << V.Control;
    } else {
      QCheckBox* B = Tabs->Box(Name);
      ASSERT_NE(B, nullptr) << V.Control;
      ++Boxes;
      EXPECT_EQ(B->text(), QString::fromLatin1(V.Label));
      EXPECT_FALSE(B->isChecked());
    }
  }
  EXPECT_EQ(Sliders, 21);
  EXPECT_EQ(Boxes, 4); // Fat, Independent emitters, Additive, Debug mode
  EXPECT_TRUE(Tabs->PHSel->Options().Contains(nbEndless));
  EXPECT_TRUE(Tabs->FHSel->Options().Contains(nbEndless));
}

TEST_F(StyleTabsTest, ApplyStyleAtDefaultsGivesTheMarginAndInterval) {
  Tabs->ApplyStyle();
  EXPECT_EQ(Form.FArtMargin, (TRect{39, 112, 39, 27}));
  ASSERT_EQ(Intervals.size(), 1u);
  EXPECT_EQ(Intervals[0], 33);
  EXPECT_FLOAT_EQ(Form.FFrameTime, 33.0f);
}

// Moving a control as the user does changes exactly what the engine's
// mapping gives for the changed record.
TEST_F(StyleTabsTest, EverySliderReachesItsEngineFields) {
  struct TCase {
    const char* Name;
    int Position;
    std::function<long double(const TPartForm&)> Field;
  };
  const std::vector<TCase> Cases = {
      {"PASel", 200, [](const TPartForm& F) { return F.FStyle.MaxAlpha; }},
      {"PHSel", 100, [](const TPartForm& F) { return F.FStyle.Color; }},
      {"PSSel", 30, [](const TPartForm& F) { return F.FStyle.Color; }},
      {"PLSel", 60, [](const TPartForm& F) { return F.FStyle.Color; }},
      {"MaxCountSel", 500, [](const TPartForm& F) { return F.FMaxCount; }},
      {"PMaxSizeSel", 40, [](const TPartForm& F) { return F.FStyle.Thickness; }},
      {"PXSpreadSel", 50, [](const TPartForm& F) { return F.FStyle.XWildness; }},
      {"PYSpreadSel", 60, [](const TPartForm& F) { return F.FStyle.YWildness; }},
      {"FASel", 128, [](const TPartForm& F) { return (long double)(F.FFadeFactors); }},
      {"FHSel", 120, [](const TPartForm& F) { return (long double)(F.FFadeFactors); }},
      {"FSSel", 10, [](const TPartForm& F) { return (long double)(F.FFadeFactors); }},
      {"FLSel", 100, [](const TPartForm& F) { return (long double)(F.FFadeFactors); }},
      {"FHCycleSel", 500, [](const TPartForm& F) { return F.FHueSpeed; }},
      {"XBlurSel", 4, [](const TPartForm& F) { return F.FXBlur; }},
      {"YBlurSel", 5, [](const TPartForm& F) { return F.FYBlur; }},
      {"YMotionSel", 2, [](const TPartForm& F) { return F.FYMotion; }},
      {"FPSSel", 80, [](const TPartForm& F) { return F.FFrameTime; }},
      {"GravitySel", 700, [](const TPartForm& F) { return F.FGravity; }},
      {"AttractionSel", -1, [](const TPartForm& F) { return F.FAttraction; }},
      {"ELTSel", 300, [](const TPartForm& F) { return F.FLifetime; }},
      {"EFOSel", 900, [](const TPartForm& F) { return F.FFadeOut; }},
  };
  ASSERT_EQ(Cases.size(), 21u);
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TStyleSettings Expected = Style;
    for (const TStyleValue& V : StyleValues)
      if (V.Slider && QLatin1String(V.Control) == QLatin1String(C.Name))
        Expected.*V.Slider = C.Position;
    ::ApplyStyle(Ref, Expected);
    const long double Before = C.Field(Form);
    ASSERT_TRUE(Tabs->MoveSlider(QString::fromLatin1(C.Name), C.Position));
    EXPECT_EQ(Tabs->Slider(QString::fromLatin1(C.Name))->Position(), C.Position);
    EXPECT_NE(C.Field(Form), Before);
    EXPECT_EQ(C.Field(Form), C.Field(Ref));
    EXPECT_EQ(Style, Expected); // the record follows the controls
  }
  // FPS reached the timer too: 1000 / 80 = 12.5 rounds to 12.
  ASSERT_FALSE(Intervals.empty());
  EXPECT_EQ(Intervals.back(), 12);
}

TEST_F(StyleTabsTest, CheckBoxesReachTheirEngineFields) {
  Tabs->GlowBox->setChecked(true);
  EXPECT_TRUE(Form.FStyle.Fat);
  Tabs->IndPartBox->setChecked(true);
  EXPECT_TRUE(Form.FIndependent);
  const uint32_t Rgb = Form.FStyle.Color & 0xffffff;
  EXPECT_EQ(Form.FStyle.Color >> 24, 0xffu);
  AddBox->setChecked(true);
  EXPECT_EQ(Form.FStyle.Color >> 24, 0u);
  EXPECT_EQ(Form.FStyle.Color & 0xffffff, Rgb);
  EXPECT_TRUE(Style.Additive);
  DebugBox->setChecked(true);
  EXPECT_EQ(DebugClicks, 1);
  EXPECT_TRUE(Style.Debug);
}

TEST_F(StyleTabsTest, SlidersSetFromCodeRunNoHandler) {
  const float Gravity = Form.FGravity;
  Tabs->GravitySel->SetPosition(900);
  EXPECT_EQ(Form.FGravity, Gravity);
  // The next handler of the group reads it with the rest.
  Tabs->MoveSlider(QStringLiteral("AttractionSel"), 10);
  EXPECT_GT(Form.FGravity, 0.0f);
}

TEST_F(StyleTabsTest, MoveToTheSamePositionRunsNothing) {
  Form.FMaxCount = 7; // would be rewritten by any run of YMotionSelChange
  EXPECT_TRUE(Tabs->MoveSlider(QStringLiteral("PASel"), 55));
  EXPECT_EQ(Form.FMaxCount, 7);
  EXPECT_FALSE(Tabs->MoveSlider(QStringLiteral("NoSuchSel"), 1));
}

TEST_F(StyleTabsTest, LoweringMaxCountDropsTheOldestEmitters) {
  for (int i = 0; i < 30; ++i)
    Form.AddEmitter(nullptr, 256, float(i), 0);
  Tabs->MoveSlider(QStringLiteral("MaxCountSel"), 10);
  ASSERT_EQ(Form.FEmitters.Count, 10);
  EXPECT_EQ(Form.Emitter(0)->X, 20.0f);
}

TEST_F(StyleTabsTest, RecordShowsOnTheControlsInRange) {
  Style.Hue = 300;      // endless: 300 - 257
  Style.MaxAlpha = 300; // clamped
  Style.YMotion = 2;
  Style.Independent = true;
  Style.Fat = true;
  const float Gravity = Form.FGravity;
  Tabs->StyleToControls();
  EXPECT_EQ(Tabs->PHSel->Position(), 43);
  EXPECT_EQ(Tabs->PASel->Position(), 256);
  EXPECT_EQ(Tabs->YMotionSel->Position(), 2);
  EXPECT_EQ(Style.Hue, 43);
  EXPECT_EQ(Style.MaxAlpha, 256);
  // The boxes run their handler at once; the sliders wait for ApplyStyle.
  EXPECT_TRUE(Tabs->IndPartBox->isChecked());
  EXPECT_TRUE(Form.FIndependent);
  EXPECT_TRUE(Form.FStyle.Fat);
  EXPECT_EQ(Form.FYMotion, -1);
  EXPECT_EQ(Form.FGravity, Gravity);
  // A box handler read the sliders after they were set, not the old values.
  EXPECT_EQ(Style.YMotion, 2);
  Tabs->ApplyStyle();
  EXPECT_EQ(Form.FYMotion, 2);
}

TEST_F(StyleTabsTest, WithoutAnEngineOnlyTheRecordChanges) {
  Tabs->Engine = nullptr;
  Tabs->MoveSlider(QStringLiteral("GravitySel"), 500);
  EXPECT_EQ(Style.Gravity, 500);
  EXPECT_EQ(Form.FGravity, 0.0f);
  Tabs->ApplyStyle();
  EXPECT_TRUE(Intervals.empty());
}

} // namespace
