// The "Files" tab: the dialogs run with the display suspended, a cancelled
// dialog does nothing, and "Import bitmap" reaches the engine with the
// Conversion group's settings and shows the changed style on the sliders.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include "FilesTab.h"
#include "FlameEngine.h"
#include "MessageBoxes.h"
#include "NumBar.h"
#include "SettingsTestSupport.h"
#include "StyleTabs.h"

namespace {

class FilesTabTest : public SettingsAppTest {
protected:
  void SetUp() override {
    SettingsTestApp();
    Form.OriginX = 960;
    Form.OriginY = 540;
    Form.DesktopRect = TRect{0, 0, 1920, 1080};
    Styles = std::make_unique<TStyleTabs>(Style, &Emitters, &Fading, &Animation);
    Styles->Engine = [this] { return &Form; };
    Styles->ApplyStyle();
    Tab = std::make_unique<TFilesTab>(&Sheet, Style);
    Tab->Engine = [this] { return &Form; };
    Tab->SuspendDisplay = [this] { Log << QStringLiteral("suspend"); };
    Tab->ResumeDisplay = [this] { Log << QStringLiteral("resume"); };
    Tab->LoadSaveState = [this](const QString& F, bool Save) {
      Log << (Save ? QStringLiteral("save ") : QStringLiteral("load ")) + F;
    };
    Tab->OnStyleChanged = [this] {
      Log << QStringLiteral("style");
      Styles->StyleToControls();
    };
    Tab->ChooseFile = [this](TFileDialogKind K) {
      Kinds.push_back(K);
      Log << QStringLiteral("dialog");
      return Chosen;
    };
  }

  TStyleSettings Style;
  QWidget Emitters, Fading, Animation, Sheet;
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  std::unique_ptr<TStyleTabs> Styles;
  std::unique_ptr<TFilesTab> Tab;
  QStringList Log;
  std::vector<TFileDialogKind> Kinds;
  QString Chosen;
};

TEST_F(FilesTabTest, ControlsAndDefaults) {
  EXPECT_EQ(Tab->LoadBtn->text(), QStringLiteral("&Load"));
  EXPECT_EQ(Tab->SaveBtn->text(), QStringLiteral("Sa&ve"));
  EXPECT_TRUE(Tab->LStyleBox->isChecked());
  EXPECT_TRUE(Tab->LArtBox->isChecked());
  EXPECT_EQ(Tab->Button2->text(), QStringLiteral("&Import bitmap"));
  EXPECT_EQ(Tab->BmpMaxSizeSel->Min(), 0);
  EXPECT_EQ(Tab->BmpMaxSizeSel->Max(), 128);
  EXPECT_EQ(Tab->BmpMaxSizeSel->Position(), 128);
  EXPECT_EQ(Tab->BmpScaleSel->Min(), 100);
  EXPECT_EQ(Tab->BmpScaleSel->Max(), 1000);
  EXPECT_EQ(Tab->BmpScaleSel->Position(), 400);
  EXPECT_TRUE(Tab->BmpResetBox->isChecked());
  EXPECT_FALSE(Tab->BmpMonoBox->isChecked());
  QStringList Groups;
  for (QGroupBox* G : Sheet.findChildren<QGroupBox*>())
    Groups << G->title().replace(QStringLiteral("&&"), QStringLiteral("&"));
  EXPECT_EQ(Groups, (QStringList{QStringLiteral("Style & art"), QStringLiteral("Conversion")}));
  EXPECT_EQ(QString::fromLatin1(StateFileFilter), QStringLiteral("QUELMA state file (*.quelma)"));
}

TEST_F(FilesTabTest, DialogsRunWithTheDisplaySuspended) {
  Chosen = QStringLiteral("/tmp/a.quelma");
  Tab->LoadBtn->click();
  Tab->SaveBtn->click();
  EXPECT_EQ(Log, (QStringList{QStringLiteral("suspend"), QStringLiteral("dialog"),
                              QStringLiteral("load /tmp/a.quelma"), QStringLiteral("resume"),
                              QStringLiteral("suspend"), QStringLiteral("dialog"),
                              QStringLiteral("save /tmp/a.quelma"), QStringLiteral("resume")}));
  EXPECT_EQ(Kinds,
            (std::vector<TFileDialogKind>{TFileDialogKind::OpenState, TFileDialogKind::SaveState}));
}

// The state-file dialogs start in the user's own folder, which Save makes;
// until it holds a style Load shows the shipped ones. Both are in the
// sidebar.
TEST_F(FilesTabTest, StateDialogsStartInTheUsersFolderWithTheShippedOneBeside) {
  QTemporaryDir Root;
  Tab->UserFolder = Root.filePath(QStringLiteral("data/quelma"));
  Tab->ShippedFolder = Root.filePath(QStringLiteral("shipped")) + QLatin1Char('/');
  const QString User = Tab->UserFolder, Shipped = Root.filePath(QStringLiteral("shipped"));
  const QString Home = QDir::cleanPath(QDir::homePath());
  std::vector<TFileDialogPlaces> Seen;
  Tab->ChooseFile = [&](TFileDialogKind K) {
    Seen.push_back(Tab->DialogPlaces(K));
    return QString();
  };
  Tab->LoadBtn->click();
  EXPECT_FALSE(QFileInfo::exists(User)) << "loading makes no folder";
  Tab->SaveBtn->click();
  EXPECT_TRUE(QFileInfo(User).isDir()) << "a cancelled save still makes the folder";
  Tab->LoadBtn->click();
  QFile Saved(User + QStringLiteral("/mine.quelma"));
  ASSERT_TRUE(Saved.open(QIODevice::WriteOnly));
  Saved.close();
  Tab->LoadBtn->click();
  Tab->Button2->click();
  ASSERT_EQ(Seen.size(), 5u);
  const struct {
    const char* What;
    QString Folder;
    QStringList Sidebar;
  } Expected[] = {
      {"load, nothing saved yet", Tab->ShippedFolder, {Shipped, Home}},
      {"save", User, {User, Shipped, Home}},
      {"load, the user's folder empty", Tab->ShippedFolder, {User, Shipped, Home}},
      {"load, a style saved", User, {User, Shipped, Home}},
      {"picture", QString(), {}},
  };
  for (std::size_t i = 0; i < Seen.size(); ++i) {
    EXPECT_EQ(Seen[i].Folder, Expected[i].Folder) << Expected[i].What;
    EXPECT_EQ(Seen[i].Sidebar, Expected[i].Sidebar) << Expected[i].What;
  }
}

TEST_F(FilesTabTest, CancelledDialogsChangeNothing) {
  Form.AddEmitter(nullptr, 256, 1, 2);
  Tab->LoadBtnClick();
  Tab->SaveBtnClick();
  Tab->Button2Click();
  EXPECT_EQ(
      Log,
      (QStringList{QStringLiteral("suspend"), QStringLiteral("dialog"), QStringLiteral("resume"),
                   QStringLiteral("suspend"), QStringLiteral("dialog"), QStringLiteral("resume"),
                   QStringLiteral("suspend"), QStringLiteral("dialog"), QStringLiteral("resume")}));
  EXPECT_EQ(Form.FEmitters.Count, 1);
}

TEST_F(FilesTabTest, ImportBitmapUsesTheConversionGroupAndShowsTheNewStyle) {
  QTemporaryDir Dir;
  ASSERT_TRUE(Dir.isValid());
  QImage Picture(8, 4, QImage::Format_RGB32);
  Picture.fill(QColor(200, 100, 50));
  Chosen = Dir.filePath(QStringLiteral("p.png"));
  ASSERT_TRUE(Picture.save(Chosen));

  Tab->BmpMaxSizeSel->SetPosition(4); // 8 x 4 sampled at 4 x 2
  Tab->BmpScaleSel->SetPosition(150);
  const TImportSettings S = Tab->ImportSettings();
  EXPECT_EQ(S.MaxSize, 4);
  EXPECT_EQ(S.Scaling, 150);
  EXPECT_TRUE(S.ResetStyle);
  EXPECT_FALSE(S.MaskOnly);

  Tab->Button2->click();
  EXPECT_EQ(Kinds, std::vector<TFileDialogKind>{TFileDialogKind::OpenPicture});
  EXPECT_EQ(Form.FEmitters.Count, 8);
  EXPECT_EQ(Form.FMaxCount, 20000);
  // The import's style changes are on the sliders, and the engine has them.
  EXPECT_EQ(Styles->MaxCountSel->Position(), 20000);
  EXPECT_EQ(Styles->YMotionSel->Position(), 0);
  EXPECT_EQ(Styles->FASel->Position(), 240);
  EXPECT_EQ(Styles->FLSel->Position(), 256);
  EXPECT_EQ(Form.FYMotion, 0);
  EXPECT_EQ(Log.back(), QStringLiteral("resume"));
  EXPECT_TRUE(Log.contains(QStringLiteral("style")));
}

// A file that cannot be read and a picture with nothing visible in it are
// both refused: the art stays and the user is told why.
TEST_F(FilesTabTest, APictureThatCannotBeImportedChangesNothing) {
  QTemporaryDir Dir;
  ASSERT_TRUE(Dir.isValid());
  const QString Broken = Dir.filePath(QStringLiteral("broken.png"));
  QFile F(Broken);
  ASSERT_TRUE(F.open(QIODevice::WriteOnly));
  F.write("not a picture");
  F.close();
  const QString Clear = Dir.filePath(QStringLiteral("clear.png"));
  QImage Picture(8, 4, QImage::Format_ARGB32);
  Picture.fill(Qt::transparent);
  ASSERT_TRUE(Picture.save(Clear));

  const struct {
    QString File;
    const char* Why; // nullptr: any reason
  } Cases[] = {
      {Broken, nullptr},
      {Clear, "every sample is transparent, so there is nothing to import"},
  };
  Form.AddEmitter(nullptr, 256, 1, 2);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.File.toStdString());
    Chosen = C.File;
    std::vector<TUserMessage> Shown;
    SetUserMessageHandler([&Shown](const TUserMessage& M) { Shown.push_back(M); });
    Tab->Button2Click();
    SetUserMessageHandler(nullptr);
    EXPECT_EQ(Form.FEmitters.Count, 1);
    EXPECT_EQ(Form.Emitter(0)->X, 1.0f);
    EXPECT_EQ(Form.FMaxCount, 10000);
    EXPECT_EQ(Styles->MaxCountSel->Position(), 10000);
    EXPECT_EQ(Styles->FASel->Position(), 248);
    // ...and says so: the file, then the reason.
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown.front().Text, QString::fromLatin1(ImportErrorText));
    EXPECT_EQ(Shown.front().Kind, TUserMessage::Warning);
    const QStringList Detail = Shown.front().Detail.split(QLatin1Char('\n'));
    ASSERT_EQ(Detail.size(), 2) << Shown.front().Detail.toStdString();
    EXPECT_EQ(Detail[0], C.File);
    EXPECT_FALSE(Detail[1].isEmpty());
    if (C.Why) {
      EXPECT_TRUE(Detail[1].contains(QLatin1String(C.Why))) << Detail[1].toStdString();
    }
  }
}

TEST(WaitCursor, NestsAndRestores) {
  SettingsTestApp();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  {
    TWaitCursor Outer;
    {
      TWaitCursor Inner;
      ASSERT_NE(QApplication::overrideCursor(), nullptr);
    }
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
