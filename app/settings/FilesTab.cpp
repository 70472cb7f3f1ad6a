#include "FilesTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "FlameEngine.h"
#include "MessageBoxes.h"
#include "NumBar.h"
#include "PictureRegistry.h"
#include "StateFile.h"

TWaitCursor::TWaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}
TWaitCursor::~TWaitCursor() {
  QApplication::restoreOverrideCursor();
}

namespace {

// Every picture the import reads: the surface's own formats and whatever the
// picture registry holds, so a newly registered format shows up here too.
QString PictureNameFilter() {
  QStringList Patterns = {QStringLiteral("*.bmp"), QStringLiteral("*.png"),
                          QStringLiteral("*.tga")};
  for (const auto& Format : RegisteredFileFormats())
    Patterns << QStringLiteral("*.") + QString::fromStdString(Format.first);
  Patterns.removeDuplicates();
  return QStringLiteral("Pictures (") + Patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

TNumBar* MakeSlider(QWidget* Parent, const char* Name, int Min, int Max, int Default) {
  auto* Bar = new TNumBar(Parent);
  Bar->setObjectName(QString::fromLatin1(Name));
  Bar->SetOptions(TNumBarOptions{nbShowNumber, nbSlideKnob});
  Bar->SetRange(Min, Max);
  Bar->SetLineSize(1);
  Bar->SetPageSize(10);
  Bar->SetPosition(Default);
  Bar->SetTabStop(true);
  return Bar;
}

QCheckBox* MakeBox(QWidget* Parent, const char* Name, const QString& Caption, bool Checked) {
  auto* B = new QCheckBox(Caption, Parent);
  B->setObjectName(QString::fromLatin1(Name));
  B->setChecked(Checked);
  return B;
}

// The Save dialog names the file that will be written: a name without the
// extension gets it here, before the dialog checks for a file to overwrite.
class TFileDialog : public QFileDialog {
public:
  using QFileDialog::QFileDialog;
  bool SavingState = false;

protected:
  void accept() override {
    if (!SavingState)
      return QFileDialog::accept();
    const QStringList Files = selectedFiles();
    auto* Edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (Files.size() == 1 && Edit && !QFileInfo(Files.front()).isDir()) {
      const QString Name = StateFileSaveName(Files.front());
      if (Name != Files.front())
        Edit->setText(Name);
    }
    QFileDialog::accept();
  }
};

} // namespace

QString StateFileSaveName(const QString& FileName) {
  if (FileName.endsWith(QLatin1String(StateFileExtension), Qt::CaseInsensitive))
    return FileName;
  // "name." would otherwise become "name..quelma".
  if (FileName.endsWith(QLatin1Char('.')))
    return FileName + QLatin1String(StateFileExtension + 1);
  return FileName + QLatin1String(StateFileExtension);
}

TFilesTab::TFilesTab(QWidget* FilesSheet, TStyleSettings& Style, QObject* Parent)
    : QObject(Parent), FStyle(Style), FSheet(FilesSheet) {
  auto* Columns = new QHBoxLayout(FilesSheet);

  auto* StateGroup = new QGroupBox(QStringLiteral("Style && art"), FilesSheet);
  auto* StateLayout = new QVBoxLayout(StateGroup);
  auto* Buttons = new QHBoxLayout;
  LoadBtn = new QPushButton(QStringLiteral("&Load"), StateGroup);
  LoadBtn->setObjectName(QStringLiteral("LoadBtn"));
  SaveBtn = new QPushButton(QStringLiteral("Sa&ve"), StateGroup);
  SaveBtn->setObjectName(QStringLiteral("SaveBtn"));
  Buttons->addWidget(LoadBtn);
  Buttons->addWidget(SaveBtn);
  StateLayout->addLayout(Buttons);
  auto* History = new QHBoxLayout;
  UndoBtn = new QPushButton(QStringLiteral("&Undo"), StateGroup);
  UndoBtn->setObjectName(QStringLiteral("UndoBtn"));
  RedoBtn = new QPushButton(QStringLiteral("&Redo"), StateGroup);
  RedoBtn->setObjectName(QStringLiteral("RedoBtn"));
  UndoBtn->setEnabled(false);
  RedoBtn->setEnabled(false);
  History->addWidget(UndoBtn);
  History->addWidget(RedoBtn);
  StateLayout->addLayout(History);
  LStyleBox = MakeBox(StateGroup, "LStyleBox", QStringLiteral("Load style"), true);
  LArtBox = MakeBox(StateGroup, "LArtBox", QStringLiteral("Load art"), true);
  StateLayout->addWidget(LStyleBox);
  StateLayout->addWidget(LArtBox);
  StateLayout->addStretch(1);
  Columns->addWidget(StateGroup, 1);

  auto* ImportGroup = new QGroupBox(QStringLiteral("Conversion"), FilesSheet);
  auto* ImportLayout = new QGridLayout(ImportGroup);
  Button2 = new QPushButton(QStringLiteral("&Import bitmap"), ImportGroup);
  Button2->setObjectName(QStringLiteral("Button2"));
  ImportLayout->addWidget(Button2, 0, 0, 1, 2, Qt::AlignLeft);
  BmpMaxSizeSel = MakeSlider(ImportGroup, "BmpMaxSizeSel", ImportMaxSizeMin, ImportMaxSizeMax,
                             TImportSettings{}.MaxSize);
  BmpScaleSel = MakeSlider(ImportGroup, "BmpScaleSel", ImportScalingMin, ImportScalingMax,
                           TImportSettings{}.Scaling);
  auto* MaxSizeLabel = new QLabel(QStringLiteral("Max size"), ImportGroup);
  MaxSizeLabel->setBuddy(BmpMaxSizeSel);
  auto* ScaleLabel = new QLabel(QStringLiteral("Scaling"), ImportGroup);
  ScaleLabel->setBuddy(BmpScaleSel);
  ImportLayout->addWidget(MaxSizeLabel, 1, 0);
  ImportLayout->addWidget(BmpMaxSizeSel, 1, 1);
  ImportLayout->addWidget(ScaleLabel, 2, 0);
  ImportLayout->addWidget(BmpScaleSel, 2, 1);
  BmpResetBox = MakeBox(ImportGroup, "BmpResetBox", QStringLiteral("Reset style"),
                        TImportSettings{}.ResetStyle);
  BmpMonoBox =
      MakeBox(ImportGroup, "BmpMonoBox", QStringLiteral("Mask only"), TImportSettings{}.MaskOnly);
  ImportLayout->addWidget(BmpResetBox, 3, 0, 1, 2);
  ImportLayout->addWidget(BmpMonoBox, 4, 0, 1, 2);
  ImportLayout->setColumnStretch(1, 1);
  ImportLayout->setRowStretch(5, 1);
  Columns->addWidget(ImportGroup, 1);

  QObject::connect(LoadBtn, &QPushButton::clicked, this, [this] { LoadBtnClick(); });
  QObject::connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
  QObject::connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

QString TFilesTab::RunFileDialog(TFileDialogKind Kind, const TFileDialogPlaces& Places,
                                 QWidget* Parent) {
  TFileDialog Dialog(Parent);
  Dialog.SavingState = Kind == TFileDialogKind::SaveState;
  // Hidden files are listed as well.
  Dialog.setFilter(Dialog.filter() | QDir::Hidden);
  switch (Kind) {
  case TFileDialogKind::OpenState:
  case TFileDialogKind::SaveState:
    Dialog.setWindowTitle(Kind == TFileDialogKind::OpenState ? QStringLiteral("Load")
                                                             : QStringLiteral("Save"));
    Dialog.setNameFilter(QString::fromLatin1(StateFileFilter));
    Dialog.setDefaultSuffix(QStringLiteral("quelma"));
    if (!Places.Folder.isEmpty())
      Dialog.setDirectory(Places.Folder);
    if (!Places.Sidebar.isEmpty()) {
      QList<QUrl> Urls;
      for (const QString& F : Places.Sidebar)
        Urls << QUrl::fromLocalFile(F);
      Dialog.setSidebarUrls(Urls);
    }
    if (Kind == TFileDialogKind::OpenState) {
      Dialog.setAcceptMode(QFileDialog::AcceptOpen);
      Dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
      // QFileDialog asks before overwriting unless told not to.
      Dialog.setAcceptMode(QFileDialog::AcceptSave);
      Dialog.setFileMode(QFileDialog::AnyFile);
    }
    break;
  case TFileDialogKind::OpenPicture:
    Dialog.setWindowTitle(QStringLiteral("Import bitmap"));
    Dialog.setNameFilters({PictureNameFilter(), QStringLiteral("All files (*)")});
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFile);
    break;
  }
  if (Dialog.exec() != QDialog::Accepted)
    return {};
  const QStringList Files = Dialog.selectedFiles();
  return Files.isEmpty() ? QString() : Files.front();
}

TFileDialogPlaces TFilesTab::DialogPlaces(TFileDialogKind Kind) const {
  TFileDialogPlaces P;
  if (Kind == TFileDialogKind::OpenPicture)
    return P;
  const bool HasUserFolder = !UserFolder.isEmpty() && QFileInfo(UserFolder).isDir();
  // Until the user has saved a style there is nothing of theirs to load: the
  // shipped styles are shown instead.
  const bool HasUserStyles =
      HasUserFolder &&
      !QDir(UserFolder)
           .entryList({QLatin1String("*") + QLatin1String(StateFileExtension)}, QDir::Files)
           .isEmpty();
  P.Folder = Kind == TFileDialogKind::SaveState || HasUserStyles ? UserFolder : ShippedFolder;
  for (const QString& F : {HasUserFolder ? UserFolder : QString(), ShippedFolder, QDir::homePath()})
    if (!F.isEmpty() && !P.Sidebar.contains(QDir::cleanPath(F)))
      P.Sidebar << QDir::cleanPath(F);
  return P;
}

QString TFilesTab::Choose(TFileDialogKind Kind) {
  if (ChooseFile)
    return ChooseFile(Kind);
  return RunFileDialog(Kind, DialogPlaces(Kind), FSheet ? FSheet->window() : nullptr);
}

void TFilesTab::LoadBtnClick() {
  if (SuspendDisplay)
    SuspendDisplay();
  const QString File = Choose(TFileDialogKind::OpenState);
  if (!File.isEmpty() && LoadSaveState)
    LoadSaveState(File, false);
  if (ResumeDisplay)
    ResumeDisplay();
}

void TFilesTab::SaveBtnClick() {
  if (SuspendDisplay)
    SuspendDisplay();
  // The user's styles have a home of their own from the first save on.
  if (!UserFolder.isEmpty())
    QDir().mkpath(UserFolder);
  const QString File = Choose(TFileDialogKind::SaveState);
  if (!File.isEmpty() && LoadSaveState)
    LoadSaveState(StateFileSaveName(File), true);
  if (ResumeDisplay)
    ResumeDisplay();
}

void TFilesTab::Button2Click() {
  if (SuspendDisplay)
    SuspendDisplay();
  const QString File = Choose(TFileDialogKind::OpenPicture);
  if (!File.isEmpty())
    ImportPictureFile(File);
  if (ResumeDisplay)
    ResumeDisplay();
}

TImportSettings TFilesTab::ImportSettings() const {
  TImportSettings S;
  S.MaxSize = BmpMaxSizeSel->Position();
  S.Scaling = BmpScaleSel->Position();
  S.ResetStyle = BmpResetBox->isChecked();
  S.MaskOnly = BmpMonoBox->isChecked();
  return S;
}

void TFilesTab::ImportPictureFile(const QString& FileName) {
  TPartForm* E = Engine ? Engine() : nullptr;
  if (!E)
    return;
  // A picture that cannot be read changes nothing; the user is told why.
  std::string Why;
  if (ImportBegins)
    ImportBegins();
  const bool Imported = ::ImportPictureFile(*E, QFile::encodeName(FileName).toStdString(),
                                            ImportSettings(), FStyle, &Why);
  if (!Imported)
    ShowFileError(QString::fromUtf8(ImportErrorText), FileName,
                  QString::fromLocal8Bit(Why.c_str()));
  // The controls taking the import's style belong to the import's step.
  if (OnStyleChanged)
    OnStyleChanged();
  if (ImportEnds)
    ImportEnds(Imported);
}
