// The settings window on Qt's offscreen platform, with the real flame window
// and engine. No timer window is installed, so fades take effect at once and no
// frames run unless a test calls the frame handler.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>

#include "SettingsTestSupport.h"
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

#include "ControlGuide.h"
#include "DrawingWindow.h"
#include "FilesTab.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "FloatingPoint.h"
#include "HelpAbout.h"
#include "HotKeyEdit.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "NumBar.h"
#include "ScopedEnv.h"
#include "SettingsComponents.h"
#include "StateFile.h"
#include "StyleTabs.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace {

QApplication& App() {
  return SettingsTestApp();
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

class MainForm : public ::testing::Test {
protected:
  void SetUp() override {
    SetDebugMessageHandler([this](const QString& T) { Messages.push_back(T); });
    Form.FormCreate(Folder.path(), Arguments());
  }
  void TearDown() override {
    SetDebugMessageHandler(nullptr);
    Settle();
  }
  virtual QStringList Arguments() { return {}; }

  bool FlameShown() { return Form.PartWindow()->AnimatedVisible(); }

  QApplication& Application = App();
  QTemporaryDir Folder; // the program's folder: no Data beside it
  std::vector<QString> Messages;
  TQUELMAMainForm Form;
};

TEST_F(MainForm, IsACaptionedToolWindowWithTheTopRowAndTheTabs) {
  EXPECT_EQ(Form.windowTitle(), "QUELMA");
  EXPECT_EQ(Form.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_EQ(Form.size(), QSize(681, 322));
  EXPECT_EQ(Form.StartOverBtn->text(), "&Start over"); // Alt+S
  EXPECT_TRUE(Form.StartOverBtn->font().bold());
  EXPECT_EQ(Form.ClearFadingBtn->text(), "&Clear fading");
  EXPECT_EQ(Form.CenterArtBtn->text(), "Ce&nter art");
  EXPECT_EQ(Form.ExitBtn->text(), "E&xit");
  QStringList Shown;
  for (int i = 0; i < Form.SheetSelect->count(); ++i)
    if (Form.SheetSelect->isTabVisible(i))
      Shown << Form.SheetSelect->tabText(i).remove(QLatin1Char('&'));
  EXPECT_EQ(Shown,
            QStringList({"Files", "Emitters", "Fading", "Animation", "System", "Help", "About"}));
  EXPECT_EQ(Form.SheetSelect->currentWidget(), Form.SystemSheet);
  EXPECT_FALSE(Form.SheetSelect->isTabVisible(Form.SheetSelect->indexOf(Form.ArtSheet)));
  EXPECT_EQ(Form.VersionLabel->text(), "Version 1.0.0.0");
  EXPECT_TRUE(
      Form.HelpMemo->toPlainText().startsWith("Quick help:\n\nFirst, see the 'System' tab"));
  EXPECT_TRUE(
      Form.HelpMemo->toPlainText().endsWith("QUELMA minimizes as an icon in your taskbar."));
  // Beside it the user manual, built into the program.
  EXPECT_TRUE(Form.ManualView->toPlainText().startsWith("QUELMA user manual"));
  EXPECT_TRUE(Form.ManualView->toPlainText().contains("A first flame in five steps"));
}

TEST_F(MainForm, SystemTabBoxesStandInOrderWithTheirDefaults) {
  const struct {
    QCheckBox* Box;
    const char* Caption;
    bool Checked;
  } Expected[] = {
      {Form.DrawingBox, "Enable drawing", false},
      {Form.DisplayBox, "Visible", true},
      {Form.WOEVisibleBox, "Visible only when editor visible", false},
      {Form.WFrontBox, "Keep in front", true},
      {Form.WSolidBox, "Solid (no click-through)", false},
      {Form.AddBox, "Additive (only works with some graphic cards)", false},
      {Form.DebugBox, "Debug mode", false},
  };
  Form.show();
  Settle();
  int LastY = -1;
  for (const auto& E : Expected) {
    EXPECT_EQ(E.Box->text(), E.Caption);
    EXPECT_EQ(E.Box->isChecked(), E.Checked) << E.Caption;
    const int Y = E.Box->mapTo(&Form, QPoint(0, 0)).y();
    EXPECT_GT(Y, LastY) << E.Caption;
    LastY = Y;
  }
  EXPECT_TRUE(Form.DrawingBox->font().bold());
  // The flame window starts shown, in front and click-through.
  EXPECT_TRUE(Form.PartWindow()->isVisible());
  EXPECT_TRUE(Form.PartWindow()->StayOnTop());
  EXPECT_FALSE(Form.PartWindow()->Solid());
}

TEST_F(MainForm, VisibilityRule) {
  const struct {
    bool Display, OnlyWithEditor, EditorVisible, Flame;
  } Cases[] = {
      {true, false, true, true},  {true, false, false, true},  {true, true, true, true},
      {true, true, false, false}, {false, false, true, false}, {false, true, false, false},
  };
  for (const auto& C : Cases) {
    Form.WOEVisibleBox->setChecked(C.OnlyWithEditor);
    Form.setVisible(C.EditorVisible);
    Form.DisplayBox->setChecked(C.Display);
    Form.ApplyVisibilityRule();
    EXPECT_EQ(FlameShown(), C.Flame) << C.Display << C.OnlyWithEditor << C.EditorVisible;
    EXPECT_EQ(Form.PartWindow()->isVisible(), C.Flame);
  }
}

TEST_F(MainForm, VisibleBoxHidesAndShowsTheFlame) {
  Form.show();
  Form.DisplayBox->setChecked(false);
  EXPECT_FALSE(FlameShown());
  EXPECT_FALSE(Form.PartWindow()->isVisible());
  EXPECT_FALSE(Form.AnimTimer.Enabled()); // frames stop with the window
  Form.DisplayBox->setChecked(true);
  EXPECT_TRUE(FlameShown());
  EXPECT_TRUE(Form.PartWindow()->isVisible());
}

TEST_F(MainForm, ClosingHidesTheWindowAndAppliesTheRule) {
  Form.WOEVisibleBox->setChecked(true); // runs nothing by itself
  Form.show();
  EXPECT_TRUE(FlameShown());
  EXPECT_FALSE(Form.close()); // refused: the window only hides
  EXPECT_FALSE(Form.isVisible());
  EXPECT_FALSE(FlameShown());
  Form.show(); // the show event runs the rule
  EXPECT_TRUE(FlameShown());
  // Hiding without closing (tray, hot key) leaves the flame alone.
  Form.hide();
  EXPECT_TRUE(FlameShown());
}

TEST_F(MainForm, ClosingWithoutTheOptionKeepsTheFlame) {
  Form.show();
  Form.close();
  EXPECT_FALSE(Form.isVisible());
  EXPECT_TRUE(FlameShown());
}

TEST_F(MainForm, EnablingDrawingOpensTheWindowAndSetsVisible) {
  Form.show();
  Form.WFrontBox->setChecked(false); // only drawing keeps the window on top
  Form.DisplayBox->setChecked(false);
  Form.DrawingBox->setChecked(true);
  ASSERT_NE(Form.DrawingForm(), nullptr);
  EXPECT_TRUE(Form.DisplayBox->isChecked());
  EXPECT_TRUE(FlameShown());
  EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
  TInputForm* W = Form.DrawingForm();
  Form.DrawingBox->setChecked(true); // same state: nothing runs
  EXPECT_EQ(Form.DrawingForm(), W);
  // Clearing "Visible" keeps the drawing window.
  Form.DisplayBox->setChecked(false);
  EXPECT_EQ(Form.DrawingForm(), W);
  EXPECT_FALSE(FlameShown());
  Form.DrawingBox->setChecked(false);
  EXPECT_EQ(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MainForm, DrawingWindowClosingClearsEnableDrawing) {
  Form.DrawingBox->setChecked(true);
  ASSERT_NE(Form.DrawingForm(), nullptr);
  Form.DrawingForm()->close(); // right click or Escape
  EXPECT_EQ(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(Form.DrawingBox->isChecked());
  // Still on top: the flame is kept in front, and the art must not cover it.
  EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
  Form.WFrontBox->setChecked(false);
  EXPECT_FALSE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MainForm, KeepInFrontEndsDrawingAndReshowsTheFlame) {
  Form.DrawingBox->setChecked(true);
  ASSERT_NE(Form.DrawingForm(), nullptr);
  Form.WFrontBox->setChecked(false);
  EXPECT_FALSE(Form.PartWindow()->StayOnTop());
  EXPECT_TRUE(Form.PartWindow()->isVisible());
  EXPECT_EQ(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(Form.DrawingBox->isChecked());
  // The next drawing window takes the new state.
  Form.DrawingBox->setChecked(true);
  ASSERT_NE(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(Form.DrawingForm()->windowFlags() & Qt::WindowStaysOnTopHint);
  Form.WFrontBox->setChecked(true);
  EXPECT_TRUE(Form.PartWindow()->StayOnTop());
}

TEST_F(MainForm, SolidFollowsTheBox) {
  Form.WSolidBox->setChecked(true);
  EXPECT_TRUE(Form.PartWindow()->Solid());
  Form.WSolidBox->setChecked(false);
  EXPECT_FALSE(Form.PartWindow()->Solid());
}

TEST_F(MainForm, SuspendAndResumeHideAndRestoreDrawingAndDisplay) {
  Form.show();
  Form.DrawingBox->setChecked(true);
  Form.SuspendDisplay();
  // The boxes keep what the user asked; nothing of it shows meanwhile.
  EXPECT_TRUE(Form.DrawingBox->isChecked());
  EXPECT_TRUE(Form.DisplayBox->isChecked());
  EXPECT_EQ(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(FlameShown());
  Form.ResumeDisplay();
  EXPECT_TRUE(Form.DrawingBox->isChecked());
  EXPECT_TRUE(Form.DisplayBox->isChecked());
  EXPECT_NE(Form.DrawingForm(), nullptr);
  EXPECT_TRUE(FlameShown());
}

TEST_F(MainForm, ResumeReopensDrawingThenClearsVisibleAgain) {
  Form.show();
  Form.DrawingBox->setChecked(true);
  Form.DisplayBox->setChecked(false);
  Form.SuspendDisplay();
  Form.ResumeDisplay();
  EXPECT_NE(Form.DrawingForm(), nullptr);
  EXPECT_TRUE(Form.DrawingBox->isChecked());
  EXPECT_FALSE(Form.DisplayBox->isChecked());
  EXPECT_FALSE(FlameShown());
}

TEST_F(MainForm, TheManualBecomesAWebPage) {
  const QString Page = Folder.filePath(QStringLiteral("cache/manual.html"));
  QString Why;
  ASSERT_TRUE(WriteManualPage(Page, &Why)) << Why.toStdString();
  QFile F(Page);
  ASSERT_TRUE(F.open(QIODevice::ReadOnly));
  const QString Html = QString::fromUtf8(F.readAll());
  EXPECT_TRUE(Html.contains("<title>QUELMA user manual</title>"));
  EXPECT_TRUE(Html.contains("Importing pictures"));
  // Where nothing can be written, it says why.
  EXPECT_FALSE(WriteManualPage(QStringLiteral("/proc/quelma/manual.html"), &Why));
  EXPECT_FALSE(Why.isEmpty());
}

TEST_F(MainForm, ButtonsAndTabsHaveTheirOwnAltKeys) {
  // What shows at once: the top row, the tabs and one page.
  const auto Key = [](const QString& Caption) {
    const qsizetype At = Caption.indexOf(QLatin1Char('&'));
    return At >= 0 && At + 1 < Caption.size() ? Caption.at(At + 1).toLower() : QChar();
  };
  QStringList Always;
  for (QPushButton* B : {Form.StartOverBtn, Form.ClearFadingBtn, Form.CenterArtBtn, Form.ExitBtn})
    Always << B->text();
  for (int i = 0; i < Form.SheetSelect->count(); ++i)
    if (Form.SheetSelect->isTabVisible(i))
      Always << Form.SheetSelect->tabText(i);
  for (int i = 0; i < Form.SheetSelect->count(); ++i) {
    QStringList Shown = Always;
    for (QPushButton* B : Form.SheetSelect->widget(i)->findChildren<QPushButton*>())
      Shown << B->text();
    QString Keys;
    for (const QString& Caption : Shown) {
      const QChar K = Key(Caption);
      EXPECT_FALSE(K.isNull()) << Caption.toStdString() << " has no Alt key";
      EXPECT_FALSE(Keys.contains(K))
          << Caption.toStdString() << " takes Alt+" << K.toLatin1() << " of another";
      Keys += K;
    }
  }
}

TEST_F(MainForm, EveryControlSaysWhatItDoes) {
  EXPECT_EQ(ApplyControlGuides(Form), QStringList()); // no guide for a control that is not there
  QStringList Silent;
  for (QWidget* W : Form.findChildren<QWidget*>()) {
    const bool Control = qobject_cast<QAbstractButton*>(W) || dynamic_cast<TNumBar*>(W) ||
                         dynamic_cast<THotKeyEdit*>(W);
    const bool Qts = W->objectName().startsWith("qt_") || qobject_cast<QTabBar*>(W->parentWidget());
    if (Control && !W->objectName().isEmpty() && !Qts && W->toolTip().isEmpty())
      Silent << W->objectName();
  }
  EXPECT_EQ(Silent.join(' ').toStdString(), "");
  // The sliders name their range.
  EXPECT_TRUE(Form.Components->StyleTabs->MaxCountSel->toolTip().contains("10 to 20000"));
}

TEST_F(MainForm, ChangesOfTheArtAreUndoneAndRedone) {
  TPartForm& E = *Form.Engine();
  EXPECT_FALSE(Form.Components->FilesTab->UndoBtn->isEnabled()); // a new start has no step
  for (int i = 0; i < 30; ++i)
    E.AddEmitter(nullptr, 256, float(i), 0);
  Form.StartOverBtn->click();
  EXPECT_EQ(E.FEmitters.Count, 0);
  EXPECT_TRUE(Form.Components->FilesTab->UndoBtn->isEnabled());
  Form.Components->FilesTab->UndoBtn->click();
  EXPECT_EQ(E.FEmitters.Count, 30);
  EXPECT_EQ(E.Emitter(29)->X, 29.0f);
  EXPECT_TRUE(Form.Components->FilesTab->RedoBtn->isEnabled());
  Form.Components->FilesTab->RedoBtn->click();
  EXPECT_EQ(E.FEmitters.Count, 0);
  Form.Controller.Undo();

  // A lower Max count takes emitters; undone, they and the slider come back.
  Form.Components->StyleTabs->MoveSlider(QStringLiteral("MaxCountSel"), 10);
  EXPECT_EQ(E.FEmitters.Count, 10);
  EXPECT_TRUE(Form.Controller.Undo());
  EXPECT_EQ(E.FEmitters.Count, 30);
  EXPECT_EQ(Form.FStyle.MaxCount, TStyleSettings{}.MaxCount);
  EXPECT_EQ(Form.Components->StyleTabs->MaxCountSel->Position(), TStyleSettings{}.MaxCount);

  // A state file read is one step, its style and art together.
  const QString File = Folder.filePath(QStringLiteral("ten.quelma"));
  {
    TSurfaceDisplay D;
    TPartForm Other(D);
    TStyleSettings S;
    S.Thickness = 40;
    ApplyStyle(Other, S);
    for (int i = 0; i < 10; ++i)
      Other.AddEmitter(nullptr, 256, 5, float(i));
    QFile F(File);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(QByteArray::fromStdString(WriteStateText(Other, S)));
  }
  ASSERT_TRUE(Form.LoadSaveState(File, false));
  EXPECT_EQ(E.FEmitters.Count, 10);
  EXPECT_EQ(Form.FStyle.Thickness, 40);
  EXPECT_TRUE(Form.Controller.Undo());
  EXPECT_EQ(E.FEmitters.Count, 30);
  EXPECT_EQ(Form.FStyle.Thickness, TStyleSettings{}.Thickness);
  EXPECT_EQ(Form.Components->StyleTabs->PMaxSizeSel->Position(), TStyleSettings{}.Thickness);
  // A file that is not there changes nothing and is no step.
  const std::size_t Steps = Form.Controller.History().Steps();
  EXPECT_FALSE(Form.LoadSaveState(Folder.filePath(QStringLiteral("gone.quelma")), false));
  EXPECT_EQ(Form.Controller.History().Steps(), Steps);

  // An import, its style shown on the controls included, is one step.
  const QString Picture = Folder.filePath(QStringLiteral("red.png"));
  QImage Red(6, 4, QImage::Format_RGB32);
  Red.fill(Qt::red);
  ASSERT_TRUE(Red.save(Picture));
  TFilesTab& Files = *Form.Components->FilesTab;
  Files.ChooseFile = [&](TFileDialogKind) { return Picture; };
  Files.Button2->click();
  EXPECT_EQ(E.FEmitters.Count, 24);
  EXPECT_EQ(Form.Controller.History().Steps(), Steps + 1);
  EXPECT_TRUE(Form.Controller.Undo());
  EXPECT_EQ(E.FEmitters.Count, 30);
}

TEST_F(MainForm, EscapeEndsDrawingFirstThenHidesTheWindow) {
  Form.show();
  Form.DrawingBox->setChecked(true);
  Form.FormKeyDown();
  EXPECT_EQ(Form.DrawingForm(), nullptr);
  EXPECT_FALSE(Form.DrawingBox->isChecked());
  EXPECT_TRUE(Form.isVisible());
  Form.FormKeyDown();
  EXPECT_FALSE(Form.isVisible());
}

TEST_F(MainForm, TopRowButtonsActOnTheArt) {
  TPartForm& E = *Form.Engine();
  E.AddEmitter(nullptr, 256, 100, 50);
  E.AddEmitter(nullptr, 256, 120, 50);
  Form.CenterArtBtn->click(); // centre the art on the origin
  EXPECT_FLOAT_EQ(E.Emitter(0)->X, -10);
  EXPECT_FLOAT_EQ(E.Emitter(1)->X, 10);
  Form.ClearFadingBtn->click();
  EXPECT_EQ(E.FCoverRect.Left, EmptyCover.Left);
  EXPECT_EQ(E.FEmitters.Count, 2);
  Form.StartOverBtn->click();
  EXPECT_EQ(E.FEmitters.Count, 0);
}

TEST_F(MainForm, FrameHandlerGrowsTheFlameWindowAroundTheArt) {
  TPartForm& E = *Form.Engine();
  E.AddEmitter(nullptr, 256, 0, 0);
  Form.AnimTimerTimer();
  const TRect B = Form.PartWindow()->LayeredBounds();
  EXPECT_LT(B.Left, Form.Engine()->OriginX);
  EXPECT_GT(B.Right, Form.Engine()->OriginX);
  EXPECT_LT(B.Top, Form.Engine()->OriginY);
  EXPECT_GT(B.Bottom, Form.Engine()->OriginY);
  EXPECT_EQ(Form.PartWindow()->geometry().topLeft(), QPoint(B.Left, B.Top));
}

TEST_F(MainForm, OriginIsTheCentreOfTheSettingsWindowsMonitor) {
  const QRect M = Form.screen()->geometry();
  EXPECT_EQ(Form.Engine()->OriginX, static_cast<float>(M.x() + M.width() / 2.0));
  EXPECT_EQ(Form.Engine()->OriginY, static_cast<float>(M.y() + M.height() / 2.0));
  EXPECT_EQ(Form.pos(), QPoint(24, Form.Engine()->DesktopRect.Bottom - Form.height() - 32));
  // The style was applied: the engine has its emitter limit and timer interval.
  EXPECT_EQ(Form.Engine()->FMaxCount, 10000);
  EXPECT_EQ(Form.AnimTimer.Interval(), 33);
}

TEST_F(MainForm, StateFileErrorsGoToTheDebugBox) {
  const QString Bad = Folder.filePath("bad.quelma");
  QFile F(Bad);
  ASSERT_TRUE(F.open(QIODevice::WriteOnly));
  F.write("<QUELMA_state><Style><Emitters Max_alpha=");
  F.close();
  EXPECT_FALSE(Form.LoadSaveState(Bad, false));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], "Error loading the file.");
  // Missing files and other extensions are skipped silently.
  EXPECT_FALSE(Form.LoadSaveState(Folder.filePath("missing.quelma"), false));
  EXPECT_FALSE(Form.LoadSaveState(Folder.filePath("notes.txt"), false));
  EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(MainForm, SavedStateReadsBack) {
  Form.Engine()->AddEmitter(nullptr, 256, 5, 6);
  const QString File = Folder.filePath("art.quelma");
  EXPECT_TRUE(Form.LoadSaveState(File, true));
  Form.StartOverBtnClick();
  EXPECT_TRUE(Form.LoadSaveState(File, false));
  ASSERT_EQ(Form.Engine()->FEmitters.Count, 1);
  EXPECT_EQ(Form.Engine()->Emitter(0)->X, 5);
  EXPECT_TRUE(Messages.empty());
}

// The start-up file is found in the data folders ($XDG_DATA_DIRS), in the
// share/quelma of the program's prefix and beside the program in a build tree;
// the folder it is in is the shipped styles' folder.
TEST(StartupFile, FoundInTheDataFoldersTheInstalledLayoutAndTheBuildTree) {
  App();
  const QString Shipped = QStringLiteral(QUELMA_SOURCE_DIR "/Data/Startup.quelma");
  ASSERT_TRUE(QFile::exists(Shipped));
  const struct {
    const char* Layout;
    const char* Program; // the program's folder under the root
    const char* Data;    // where Startup.quelma is
  } Layouts[] = {
      {"build tree", "app", "app/Data"},
      {"installed", "prefix/bin", "prefix/share/quelma"},
      {"data dirs", "elsewhere/bin", "system/quelma"},
  };
  for (const auto& L : Layouts) {
    SCOPED_TRACE(L.Layout);
    QTemporaryDir Root;
    const QString Program = Root.filePath(L.Program), Data = Root.filePath(L.Data);
    const TScopedEnv DataDirs("XDG_DATA_DIRS",
                              QFile::encodeName(Root.filePath("system")).toStdString());
    ASSERT_TRUE(QDir().mkpath(Program));
    ASSERT_TRUE(QDir().mkpath(Data));
    ASSERT_TRUE(QFile::copy(Shipped, Data + "/Startup.quelma"));
    TQUELMAMainForm Form;
    Form.FormCreate(Program + "/", {});
    EXPECT_EQ(QDir(Form.DataFolder()).canonicalPath(), QDir(Data).canonicalPath());
    EXPECT_GT(Form.Engine()->FEmitters.Count, 0);
  }
}

TEST(StartupFile, CommandLineFilesLoadInOrderAndTrayIsNoticed) {
  App();
  QTemporaryDir Dir;
  std::vector<QString> Messages;
  SetDebugMessageHandler([&](const QString& T) { Messages.push_back(T); });
  QString Files[2];
  for (int i = 0; i < 2; ++i) {
    TQUELMAMainForm Writer;
    Writer.FormCreate(Dir.path(), {});
    Writer.Engine()->AddEmitter(nullptr, 256, 10.0f * (i + 1), 0);
    Files[i] = Dir.filePath(QStringLiteral("f%1.quelma").arg(i));
    ASSERT_TRUE(Writer.LoadSaveState(Files[i], true));
  }
  TQUELMAMainForm Form;
  Form.FormCreate(Dir.path(), {Files[0], "/tray", Files[1], "/other", "missing.txt"});
  EXPECT_TRUE(Form.StartInTray);
  ASSERT_EQ(Form.Engine()->FEmitters.Count, 1); // the second file's art replaced the first's
  EXPECT_EQ(Form.Engine()->Emitter(0)->X, 20);
  EXPECT_TRUE(Messages.empty());
  SetDebugMessageHandler(nullptr);
}

TEST(CommandLine, SplitsFilesAndTheTraySwitch) {
  const struct {
    QStringList Args;
    QStringList Files;
    bool Tray;
  } Cases[] = {
      {{}, {}, false},
      {{"/TRAY"}, {}, true},
      {{"/tray"}, {}, true},
      {{"/Tray", "a.quelma"}, {"a.quelma"}, true},
      {{"a.quelma", "b.quelma"}, {"a.quelma", "b.quelma"}, false},
      {{"/TRAYS", "/x", "c.txt"}, {"c.txt"}, false},
      // Absolute paths are files, not switches.
      {{"/home/me/a.quelma", "/TRAY", "/tmp/"}, {"/home/me/a.quelma", "/tmp/"}, true},
  };
  for (const auto& C : Cases) {
    const TCommandLine R = ParseCommandLine(C.Args);
    EXPECT_EQ(R.Files, C.Files) << C.Args.join(' ').toStdString();
    EXPECT_EQ(R.StartInTray, C.Tray) << C.Args.join(' ').toStdString();
  }
}

TEST(FloatingPoint, ExceptionsMaskedRoundToEvenFlushToZero) {
  SetFloatingPointMode();
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(_mm_getcsr() & ~0x3Fu, SseControlWord & ~0x3Fu); // low bits are sticky flags
#endif
  volatile float Zero = 0.0f;
  EXPECT_TRUE(std::isinf(1.0f / Zero));
  EXPECT_EQ(std::nearbyint(2.5), 2.0);
  EXPECT_EQ(std::nearbyint(3.5), 4.0);
}

} // namespace
