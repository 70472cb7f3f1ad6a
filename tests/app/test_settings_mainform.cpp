// The settings window with its parts: the style tabs, the "Files" tab, the
// hot keys, the tray menu, the preferences at creation and destruction, the
// debug readout and the hand-over, all reaching the engine and the window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "FilesTab.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "HotKeyEdit.h"
#include "HotKeys.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "NumBar.h"
#include "SettingsComponents.h"
#include "SettingsTestSupport.h"
#include "StyleTabs.h"
#include "Tray.h"

namespace {

class SettingsWindow : public SettingsAppTest {
protected:
  void SetUp() override {
    SetUserMessageHandler([this](const TUserMessage& M) {
      Messages << M.Text;
      Shown.push_back(M);
    });
    ASSERT_TRUE(Prefs.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Prefs.path());
    WritePrefs();
    Form = std::make_unique<TQUELMAMainForm>();
    Form->FormCreate(Folder.path(), {});
    ASSERT_NE(Form->Components, nullptr);
  }
  void TearDown() override {
    Form.reset();
    SetDebugMessageHandler(nullptr);
    SettleEvents();
  }
  virtual void WritePrefs() {}
  QString PrefsFile() const { return Prefs.filePath(QStringLiteral("QUELMA.conf")); }
  QString File(const char* Name) const { return Folder.filePath(QString::fromLatin1(Name)); }

  QTemporaryDir Folder, Prefs;
  QStringList Messages;
  std::vector<TUserMessage> Shown;
  std::unique_ptr<TQUELMAMainForm> Form;
};

TEST_F(SettingsWindow, StyleControlsDriveTheEngineAndTheTimer) {
  TPartForm& E = *Form->Engine();
  TStyleTabs& S = *Form->Components->StyleTabs;
  EXPECT_EQ(Form->AnimTimer.Interval(), 33);
  S.MoveSlider(QStringLiteral("FPSSel"), 16);
  EXPECT_EQ(Form->AnimTimer.Interval(), 62);
  S.MoveSlider(QStringLiteral("GravitySel"), 1000);
  EXPECT_GT(E.FGravity, 0.0f);
  EXPECT_EQ(Form->FStyle.Gravity, 1000);
  Form->AddBox->setChecked(true);
  EXPECT_EQ(E.FStyle.Color >> 24, 0u);
  // The sliders stand on their tabs.
  EXPECT_EQ(S.PASel->parentWidget(), Form->EmittersSheet);
  EXPECT_EQ(S.FHCycleSel->parentWidget(), Form->FadingSheet);
  EXPECT_EQ(S.EFOSel->parentWidget(), Form->AnimationSheet);
}

TEST_F(SettingsWindow, StateFilesFollowLoadStyleAndLoadArt) {
  TPartForm& E = *Form->Engine();
  TStyleTabs& S = *Form->Components->StyleTabs;
  E.AddEmitter(nullptr, 256, 5, 6);
  S.MoveSlider(QStringLiteral("GravitySel"), 400);
  ASSERT_TRUE(Form->LoadSaveState(File("a.quelma"), true));
  E.AddEmitter(nullptr, 256, 7, 8);
  S.MoveSlider(QStringLiteral("GravitySel"), 0);

  Form->Components->FilesTab->LArtBox->setChecked(false);
  ASSERT_TRUE(Form->LoadSaveState(File("a.quelma"), false));
  EXPECT_EQ(S.GravitySel->Position(), 400); // the style came back
  EXPECT_GT(E.FGravity, 0.0f);
  EXPECT_EQ(E.FEmitters.Count, 2); // the art stayed

  S.MoveSlider(QStringLiteral("GravitySel"), 0);
  Form->Components->FilesTab->LArtBox->setChecked(true);
  Form->Components->FilesTab->LStyleBox->setChecked(false);
  ASSERT_TRUE(Form->LoadSaveState(File("a.quelma"), false));
  EXPECT_EQ(S.GravitySel->Position(), 0);
  EXPECT_EQ(E.FEmitters.Count, 1);
  EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(SettingsWindow, AFailedReadShowsWhatItReadOnTheSliders) {
  TPartForm& E = *Form->Engine();
  QFile F(File("b.quelma"));
  ASSERT_TRUE(F.open(QIODevice::WriteOnly));
  F.write(
      "<QUELMA_state Version=\"1.0.0.0\"><Style><Animation FPS=\"30\" Gravity=\"700\" "
      "Attraction=\"0\" "
      "Emitter_lifetime=\"1000\" Emitter_fade_out=\"200\"/></Style><Art><Emitters><New Y=\"1\"/>"
      "</Emitters></Art></QUELMA_state>");
  F.close();
  const float Gravity = E.FGravity;
  EXPECT_FALSE(Form->LoadSaveState(File("b.quelma"), false));
  EXPECT_EQ(Messages, QStringList{QStringLiteral("Error loading the file.")});
  EXPECT_EQ(Form->Components->StyleTabs->GravitySel->Position(), 700);
  EXPECT_EQ(E.FGravity, Gravity);                     // applied only when a control changes
  EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the hourglass is gone
}

// Every file that fails says which file and why, with a warning icon, in the
// "Debug" box; the "Files" tab's buttons reach it as a user's click would.
TEST_F(SettingsWindow, FileErrorsNameTheFileAndTheReason) {
  TFilesTab& Tab = *Form->Components->FilesTab;
  QString Chosen;
  Tab.ChooseFile = [&Chosen](TFileDialogKind) { return Chosen; };
  auto Write = [this](const char* Name, const QByteArray& Bytes) {
    QFile F(File(Name));
    EXPECT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Bytes);
    return File(Name);
  };
  ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("folder.quelma")));
  const struct {
    const char* Name;
    QString File;
    QPushButton* Button;
    const char* Text;
    const char* Reason;
  } Cases[] = {
      {"load a file without art positions",
       Write("broken.quelma",
             "<QUELMA_state Version=\"1.0.0.0\"><Art><Emitters>\n<New Y=\"1\" FS=\"0\" AM=\"1\"/>"
             "</Emitters></Art></QUELMA_state>"),
       Tab.LoadBtn, "Error loading the file.",
       "element \"New\" at line 2, column 1 has no \"X\" attribute"},
      {"save into a missing folder", File("missing/style.quelma"), Tab.SaveBtn,
       "Error saving the file.", "No such file or directory"},
      {"save over a folder", File("folder.quelma"), Tab.SaveBtn, "Error saving the file.",
       "folder"},
      {"import a picture that is none", Write("picture.png", "not a picture"), Tab.Button2,
       "Error importing the picture.", "PNG is invalid"},
      {"import a kind of picture nobody reads", Write("picture.xyz", "XYZ"), Tab.Button2,
       "Error importing the picture.", "Unknown picture file extension (.xyz)"},
  };
  for (const auto& C : Cases) {
    Shown.clear();
    Chosen = C.File;
    C.Button->click();
    ASSERT_EQ(Shown.size(), 1u) << C.Name;
    const TUserMessage& M = Shown.front();
    EXPECT_EQ(M.Caption, QStringLiteral("Debug")) << C.Name;
    EXPECT_EQ(M.Text, QString::fromUtf8(C.Text)) << C.Name;
    EXPECT_EQ(M.Kind, TUserMessage::Warning) << C.Name;
    const QStringList Detail = M.Detail.split(QLatin1Char('\n'));
    ASSERT_EQ(Detail.size(), 2) << C.Name << ": " << M.Detail.toStdString();
    EXPECT_EQ(Detail[0], C.File) << C.Name;
    EXPECT_TRUE(Detail[1].contains(QString::fromUtf8(C.Reason)))
        << C.Name << ": " << M.Detail.toStdString();
  }
  // The debug readout of a file's version is no error.
  Shown.clear();
  Form->DebugBox->setChecked(true);
  Chosen = QStringLiteral(QUELMA_SOURCE_DIR "/Data/Neon.quelma");
  Tab.LoadBtn->click();
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown.front().Text, QStringLiteral("1.0.0.0"));
  EXPECT_EQ(Shown.front().Kind, TUserMessage::Information);
  EXPECT_TRUE(Shown.front().Detail.isEmpty());
}

// "Save" writes a file whatever name the dialog gave: the extension is added
// when missing, and the file then loads back.
TEST_F(SettingsWindow, SavingWithoutTheExtensionWritesAFileThatLoadsBack) {
  TFilesTab& Tab = *Form->Components->FilesTab;
  QString Chosen;
  Tab.ChooseFile = [&Chosen](TFileDialogKind) { return Chosen; };
  TPartForm& E = *Form->Engine();
  const struct {
    const char* Typed;
    const char* Written;
  } Cases[] = {
      {"plain", "plain.quelma"},        {"style.txt", "style.txt.quelma"}, {"dot.", "dot.quelma"},
      {"upper.QUELMA", "upper.QUELMA"}, {"kept.quelma", "kept.quelma"},
  };
  for (const auto& C : Cases) {
    E.FEmitters.Clear();
    E.AddEmitter(nullptr, 256, 7, 8);
    Chosen = File(C.Typed);
    Tab.SaveBtn->click();
    EXPECT_TRUE(QFileInfo::exists(File(C.Written))) << C.Typed;
    E.FEmitters.Clear();
    EXPECT_TRUE(Form->LoadSaveState(File(C.Written), false)) << C.Typed;
    EXPECT_EQ(E.FEmitters.Count, 1) << C.Typed;
  }
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files).size(),
            int(std::size(Cases))); // nothing else
  EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(SettingsWindow, HotKeysTrayAndHandOverReachTheirActions) {
  TSettingsComponents& P = *Form->Components;
  Form->show();
  P.HotKeyPressed(0);
  EXPECT_TRUE(Form->DrawingBox->isChecked());
  P.HotKeyPressed(0);
  EXPECT_FALSE(Form->DrawingBox->isChecked());
  P.HotKeyPressed(1);
  EXPECT_FALSE(Form->DisplayBox->isChecked());
  P.HotKeyPressed(2);
  EXPECT_FALSE(Form->isVisible());
  P.Tray->SettingsMenu->trigger();
  EXPECT_TRUE(Form->isVisible());
  P.Tray->DrawMenu->trigger();
  EXPECT_TRUE(Form->DrawingBox->isChecked());
  EXPECT_EQ(P.Tray->TrayIcon->toolTip(), QStringLiteral("QUELMA"));
  EXPECT_EQ(P.Tray->ExitMenu->text(), QStringLiteral("Exit"));

  Form->Engine()->AddEmitter(nullptr, 256, 1, 1);
  ASSERT_TRUE(Form->LoadSaveState(File("h.quelma"), true));
  Form->Engine()->AddEmitter(nullptr, 256, 2, 2);
  EXPECT_EQ(P.HandOver(File("h.quelma")), QString());
  EXPECT_EQ(Form->Engine()->FEmitters.Count, 1);
  P.HandOver(QString()); // shows the window
  EXPECT_EQ(Form->Engine()->FEmitters.Count, 1);

  // In debug mode a read shows the file's version: for a hand-over only
  // after the answer, since the second start waits for it.
  std::vector<QString> Readouts;
  SetDebugMessageHandler([&](const QString& T) { Readouts.push_back(T); });
  Form->DebugBox->setChecked(true);
  EXPECT_EQ(P.HandOver(File("h.quelma")), QString());
  EXPECT_TRUE(Readouts.empty());
  SettleEvents();
  EXPECT_EQ(Readouts.size(), 1u);
  // A file that cannot be read: the reason for the sender, the box after.
  {
    QFile Broken(File("broken.quelma"));
    ASSERT_TRUE(Broken.open(QIODevice::WriteOnly));
    Broken.write("not xml");
  }
  Form->DebugBox->setChecked(false);
  Readouts.clear();
  const QString Why = P.HandOver(File("broken.quelma"));
  EXPECT_TRUE(Why.contains(QStringLiteral("Error loading the file."))) << Why.toStdString();
  EXPECT_TRUE(Readouts.empty());
  SettleEvents();
  ASSERT_EQ(Readouts.size(), 1u); // the box, once the answer is out
  EXPECT_EQ(Readouts.front(), QStringLiteral("Error loading the file."));
  EXPECT_EQ(P.HandOver(File("gone.quelma")),
            File("gone.quelma") + QStringLiteral(": no such file"));
}

TEST_F(SettingsWindow, RemoteCommandsDoWhatTheirHotKeysAndButtonsDo) {
  TSettingsComponents& P = *Form->Components;
  Form->show();
  struct TCase {
    TRemoteCommand Command;
    const char* What;
    std::function<bool()> Holds;
  };
  const TCase Cases[] = {
      {TRemoteCommand::ToggleDrawing, "drawing on", [&] { return Form->DrawingBox->isChecked(); }},
      {TRemoteCommand::ToggleDrawing, "drawing off",
       [&] { return !Form->DrawingBox->isChecked() && !Form->DrawingForm(); }},
      {TRemoteCommand::ToggleVisible, "flame hidden",
       [&] { return !Form->DisplayBox->isChecked(); }},
      {TRemoteCommand::ToggleVisible, "flame shown", [&] { return Form->DisplayBox->isChecked(); }},
      {TRemoteCommand::ToggleSettings, "settings hidden", [&] { return !Form->isVisible(); }},
      {TRemoteCommand::ShowSettings, "settings shown", [&] { return Form->Shown(); }},
      {TRemoteCommand::ShowSettings, "settings still shown", [&] { return Form->Shown(); }},
      {TRemoteCommand::ToggleSettings, "settings hidden again", [&] { return !Form->isVisible(); }},
      {TRemoteCommand::ToggleSettings, "settings back", [&] { return Form->Shown(); }},
      {TRemoteCommand::StartOver, "art gone", [&] { return Form->Engine()->FEmitters.Count == 0; }},
  };
  Form->DrawingBox->setChecked(false);
  Form->Engine()->AddEmitter(nullptr, 256, 1, 1);
  for (const TCase& C : Cases) {
    P.RemoteCommand(C.Command);
    EXPECT_TRUE(C.Holds()) << C.What;
  }
  // A minimised window comes back.
  Form->setWindowState(Qt::WindowMinimized);
  P.RemoteCommand(TRemoteCommand::ShowSettings);
  EXPECT_FALSE(Form->windowState() & Qt::WindowMinimized);
}

TEST_F(SettingsWindow, DebugModeShowsTheSnapshotAndRestoresTheCaption) {
  Form->Engine()->AddEmitter(nullptr, 256, 3, 4);
  Form->DebugBox->setChecked(true);
  EXPECT_TRUE(Form->Engine()->FDebug);
  EXPECT_TRUE(Form->HelpMemo->toPlainText().endsWith(QStringLiteral("\nEM0 X:3 Y:4")));
  Form->AnimTimerTimer();
  EXPECT_TRUE(Form->windowTitle().startsWith(QStringLiteral("Emitters: 1")));
  Form->DebugBox->setChecked(false);
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("QUELMA"));
}

TEST_F(SettingsWindow, ThePreferencesAreWrittenWhenTheWindowEnds) {
  Form->Components->DrawingHotKey->SetHotKey(0);
  Form->WSolidBox->setChecked(true);
  Form->move(100, 50);
  Form.reset();
  QSettings Raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELMA"));
  EXPECT_EQ(Raw.value(QStringLiteral("DrawingHotKey")).toString(), QStringLiteral("0"));
  EXPECT_EQ(Raw.value(QStringLiteral("WSolidBox")).toString(), QStringLiteral("1"));
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/Left")).toString(), QStringLiteral("100"));
  EXPECT_EQ(Raw.value(QStringLiteral("QUELMAMainForm/Top")).toString(), QStringLiteral("50"));
}

class SettingsWindowWithPrefs : public SettingsWindow {
protected:
  void WritePrefs() override {
    QFile F(PrefsFile());
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write("[General]\nDrawingHotKey=0\nDisplayHotKey=24644\nWSolidBox=1\nAddBox=1\nWFrontBox=2\n"
            "[QUELMAMainForm]\nLeft=100\nTop=50\n");
  }
};

TEST_F(SettingsWindowWithPrefs, AreReadAtCreation) {
  EXPECT_EQ(Form->pos(), QPoint(100, 50));
  EXPECT_EQ(Form->Components->DrawingHotKey->HotKey(), 0);
  EXPECT_EQ(Form->Components->DisplayHotKey->HotKey(), 24644);
  EXPECT_EQ(Form->Components->EditorHotKey->HotKey(), 16501);
  EXPECT_TRUE(Form->WSolidBox->isChecked());
  EXPECT_FALSE(Form->WFrontBox->isChecked()); // only 1 sets a box
  EXPECT_TRUE(Form->AddBox->isChecked());
  EXPECT_EQ(Form->Engine()->FStyle.Color >> 24, 0u); // additive from the start
}

} // namespace

TEST_F(SettingsWindow, AHotKeyAnotherEditHoldsIsRefusedWithANote) {
  TSettingsComponents& P = *Form->Components;
  auto Press = [](THotKeyEdit* Edit, int Key, Qt::KeyboardModifiers Mods) {
    QKeyEvent Override(QEvent::ShortcutOverride, Key, Mods);
    QCoreApplication::sendEvent(Edit, &Override);
    QKeyEvent E(QEvent::KeyPress, Key, Mods);
    QCoreApplication::sendEvent(Edit, &E);
  };
  Press(P.DrawingHotKey, Qt::Key_F7, Qt::ControlModifier);
  EXPECT_EQ(P.DrawingHotKey->HotKey(), DefaultDrawingHotKey);
  EXPECT_FALSE(P.HotKeyNote->isHidden());
  EXPECT_EQ(P.HotKeyNote->text(),
            QStringLiteral("Ctrl+F7 is already used by \"Toggle visibility\"."));
  // Its own value again is no change, and no refusal either.
  Press(P.EditorHotKey, Qt::Key_F6, Qt::ControlModifier);
  EXPECT_EQ(P.HotKeyNote->text(),
            QStringLiteral("Ctrl+F7 is already used by \"Toggle visibility\"."));
  Press(P.DrawingHotKey, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(P.DrawingHotKey->HotKey(), scCtrl | scShift | 'D');
  EXPECT_TRUE(P.HotKeyNote->isHidden());
  Press(P.EditorHotKey, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(P.EditorHotKey->HotKey(), DefaultEditorHotKey);
  EXPECT_EQ(P.HotKeyNote->text(),
            QStringLiteral("Ctrl+Shift+D is already used by \"Toggle drawing\"."));
  // None is never a clash: two edits may both be empty.
  Press(P.DrawingHotKey, Qt::Key_Backspace, Qt::NoModifier);
  Press(P.DisplayHotKey, Qt::Key_Backspace, Qt::NoModifier);
  EXPECT_EQ(P.DrawingHotKey->HotKey(), 0);
  EXPECT_EQ(P.DisplayHotKey->HotKey(), 0);
}

// Closing the window as it ends moves the focus out of a hot-key edit; that
// must not reach back into the half-destroyed window (the sanitizer build
// reports the call on a destroyed object).
TEST_F(SettingsWindow, EndsWithAHotKeyEditFocused) {
  THotKeyEdit* Edit = Form->Components->DisplayHotKey;
  for (int i = 0; i < Form->SheetSelect->count(); ++i)
    if (Form->SheetSelect->widget(i)->isAncestorOf(Edit))
      Form->SheetSelect->setCurrentIndex(i);
  Form->show();
  SettleEvents();
  QApplication::setActiveWindow(Form.get());
  Edit->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  ASSERT_TRUE(Edit->hasFocus()) << (QApplication::activeWindow() ? "other active" : "none active");
  Form.reset();
  SettleEvents();
}
