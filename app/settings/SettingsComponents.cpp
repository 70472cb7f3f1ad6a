#include "SettingsComponents.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <cstdio>
#include <utility>

#include "DrawingWindow.h"
#include "FilesTab.h"
#include "FlameEngine.h"
#include "FlameWindow.h"
#include "HotKeyEdit.h"
#include "HotKeys.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "Preferences.h"
#include "StateFile.h"
#include "StyleTabs.h"
#include "Tray.h"

TSettingsComponents::TSettingsComponents(TQUELMAMainForm& Form) : QObject(&Form), FForm(Form) {
  // The component name: the group of the window's placement.
  if (Form.objectName().isEmpty())
    Form.setObjectName(QString::fromLatin1(MainFormPlacementName));
  // The preference values are named after the boxes.
  Form.WOEVisibleBox->setObjectName(QStringLiteral("WOEVisibleBox"));
  Form.WFrontBox->setObjectName(QStringLiteral("WFrontBox"));
  Form.WSolidBox->setObjectName(QStringLiteral("WSolidBox"));
  Form.PauseFullScreenBox->setObjectName(QStringLiteral("PauseFullScreenBox"));
  Form.DrawingBox->setObjectName(QStringLiteral("DrawingBox"));
  Form.DisplayBox->setObjectName(QStringLiteral("DisplayBox"));

  // ---- Style tabs --------------------------------------------------------------
  StyleTabs =
      new TStyleTabs(Form.FStyle, Form.EmittersSheet, Form.FadingSheet, Form.AnimationSheet, this);
  StyleTabs->Engine = [&Form] { return Form.Engine(); };
  StyleTabs->OnTimerInterval = [&Form](int Interval) { Form.AnimTimer.SetInterval(Interval); };
  StyleTabs->AttachSystemBoxes(Form.AddBox, Form.DebugBox);
  StyleTabs->OnDebugBoxClick = [this] { Readout.DebugBoxClick(FForm.DebugBox->isChecked()); };

  // ---- Files tab -----------------------------------------------------------------
  FilesTab = new TFilesTab(Form.FilesSheet, Form.FStyle, this);
  FilesTab->Engine = [&Form] { return Form.Engine(); };
  FilesTab->SuspendDisplay = [&Form] { Form.SuspendDisplay(); };
  FilesTab->ResumeDisplay = [&Form] { Form.ResumeDisplay(); };
  FilesTab->LoadSaveState = [&Form](const QString& File, bool Save) {
    Form.LoadSaveState(File, Save);
  };
  FilesTab->OnStyleChanged = [this] { StyleTabs->StyleToControls(); };
  FilesTab->ImportBegins = [&Form] { Form.Controller.BeginArtChange(TArtChange::Import); };
  FilesTab->ImportEnds = [&Form](bool Imported) { Form.Controller.EndArtChange(Imported); };
  QObject::connect(FilesTab->UndoBtn, &QPushButton::clicked, this,
                   [&Form] { Form.Controller.Undo(); });
  QObject::connect(FilesTab->RedoBtn, &QPushButton::clicked, this,
                   [&Form] { Form.Controller.Redo(); });
  QObject::connect(&Form.Controller, &TFlameController::HistoryChanged, this,
                   [this](bool CanUndo, bool CanRedo) {
                     FilesTab->UndoBtn->setEnabled(CanUndo);
                     FilesTab->RedoBtn->setEnabled(CanRedo);
                   });
  // A style change may take emitters with it (a lower Max count, a strong
  // push): it can be undone like any change of the art.
  StyleTabs->StyleChanges = [&Form] { Form.Controller.RecordArt(TArtChange::Style); };

  // ---- Hot keys (System tab, right column) ----------------------------------------
  auto* Group = new QGroupBox(QStringLiteral("Global hot keys"), Form.SystemSheet);
  auto* Rows = new QFormLayout(Group);
  struct TEditSpec {
    THotKeyEdit** Edit;
    const char* Name;
    const char* Label;
    int Default;
  };
  for (const TEditSpec& S :
       {TEditSpec{&DrawingHotKey, "DrawingHotKey", "Toggle drawing", DefaultDrawingHotKey},
        TEditSpec{&DisplayHotKey, "DisplayHotKey", "Toggle visibility", DefaultDisplayHotKey},
        TEditSpec{&EditorHotKey, "EditorHotKey", "Toggle settings", DefaultEditorHotKey}}) {
    auto* E = new THotKeyEdit(Group);
    E->setObjectName(QString::fromLatin1(S.Name));
    E->SetHotKey(S.Default);
    // DisplayHotKeyChange: a new combination works at once.
    E->OnChange = [this](THotKeyEdit*) {
      HotKeyNote->hide();
      RegisterHotKeys();
    };
    // While an edit takes a combination the keys are not grabbed, or pressing
    // one of them there would run its action instead of being recorded.
    E->OnFocusChange = [this](bool Focused) {
      FEditing = Focused;
      if (!Focused)
        HotKeyNote->hide();
      RegisterHotKeys();
    };
    Rows->addRow(QString::fromLatin1(S.Label), E);
    *S.Edit = E;
  }
  // One combination, one action: a key another edit holds is refused, and
  // this note says why until the next change or the focus leaves.
  HotKeyNote = new QLabel(Group);
  HotKeyNote->setObjectName(QStringLiteral("HotKeyNote"));
  HotKeyNote->setWordWrap(true);
  HotKeyNote->setStyleSheet(QStringLiteral("color: #b00000"));
  HotKeyNote->hide();
  Rows->addRow(HotKeyNote);
  HotKeysTakenNote = new QLabel(Group);
  HotKeysTakenNote->setObjectName(QStringLiteral("HotKeysTakenNote"));
  HotKeysTakenNote->setWordWrap(true);
  HotKeysTakenNote->setStyleSheet(QStringLiteral("color: #b00000"));
  HotKeysTakenNote->hide();
  Rows->addRow(HotKeysTakenNote);
  HotKeysSessionNote = new QLabel(Group);
  HotKeysSessionNote->setObjectName(QStringLiteral("HotKeysSessionNote"));
  HotKeysSessionNote->setWordWrap(true);
  HotKeysSessionNote->setTextInteractionFlags(Qt::TextSelectableByMouse); // to copy the commands
  HotKeysSessionNote->hide();
  Rows->addRow(HotKeysSessionNote);
  const std::array<std::pair<THotKeyEdit*, QString>, 3> Edits = {
      std::pair{DrawingHotKey, QStringLiteral("Toggle drawing")},
      std::pair{DisplayHotKey, QStringLiteral("Toggle visibility")},
      std::pair{EditorHotKey, QStringLiteral("Toggle settings")}};
  for (const auto& [Edit, Label] : Edits) {
    Edit->Refuse = [Edits, Edit = Edit](int ShortCut) {
      for (const auto& [Other, OtherLabel] : Edits)
        if (Other != Edit && ShortCut != 0 && Other->HotKey() == ShortCut)
          return QStringLiteral("%1 is already used by \"%2\".")
              .arg(ShortCutToText(ShortCut), OtherLabel);
      return QString();
    };
    Edit->OnRefused = [this](const QString& Why) {
      HotKeyNote->setText(Why);
      HotKeyNote->show();
    };
  }
  if (Form.SystemRightColumn)
    Form.SystemRightColumn->insertWidget(0, Group);
  HotKeys = new TGlobalHotKeys(this);
  HotKeys->OnHotKey = [this](int Index) { HotKeyPressed(Index); };

  // ---- Tray ------------------------------------------------------------------------
  Tray = new TTray(this);
  Tray->OnClick = [this] { TrayIconClick(); };
  Tray->OnDoubleClick = [this] { TrayIconDblClick(); };
  Tray->OnDrawMenu = [&Form] { Form.Controller.SetDrawing(true); };
  Tray->OnSettingsMenu = [this] { SettingsMenuClick(); };
  Tray->OnExitMenu = [&Form] { Form.ExitBtnClick(); };
  Form.setWindowIcon(QuelmaIcon());

  // ---- Debug readout ------------------------------------------------------------------
  Readout.Engine = [&Form] { return Form.Engine(); };
  Readout.LayeredBounds = [&Form] {
    return Form.PartWindow() ? Form.PartWindow()->FLayeredBounds : TRect{};
  };
  Readout.ClearFading = [&Form] { Form.ClearFadingBtnClick(); };
  Readout.HelpMemo = Form.HelpMemo;
  Readout.Window = &Form;
}

TSettingsComponents::~TSettingsComponents() = default;

void TSettingsComponents::EngineCreated() {
  Readout.Install();
}

void TSettingsComponents::LoadSavePrefs(bool Save, QSettings* Store) {
  TPrefsTargets T;
  T.Window = &FForm;
  T.HotKeys = {DrawingHotKey, DisplayHotKey, EditorHotKey};
  T.Boxes = {FForm.WOEVisibleBox, FForm.WFrontBox, FForm.WSolidBox, FForm.AddBox,
             FForm.PauseFullScreenBox};
  ::LoadSavePrefs(T, Save, Store);
}

void TSettingsComponents::RegisterHotKeys() {
  // An open drawing window names the drawing hot key as it is now.
  const int DrawingKey = DrawingHotKey->HotKey();
  FForm.Controller.SetDrawingHotKeyText(DrawingKey == 0 ? QString() : ShortCutToText(DrawingKey));
  if (FEditing) {
    HotKeys->UnregisterHotKeys();
    return;
  }
  HotKeys->RegisterHotKeys(
      {DrawingHotKey->HotKey(), DisplayHotKey->HotKey(), EditorHotKey->HotKey()});
  // No edit may show a key that does nothing without saying so.
  QStringList Taken;
  if (HotKeys->Available()) {
    int Index = 0;
    for (THotKeyEdit* E : {DrawingHotKey, DisplayHotKey, EditorHotKey}) {
      if (E->HotKey() != 0 && !HotKeys->Registered(Index))
        Taken << ShortCutToText(E->HotKey());
      ++Index;
    }
  }
  HotKeysTakenNote->setText(
      Taken.isEmpty()
          ? QString()
          : QStringLiteral("%1 %2 held by another program and %3 nothing here.")
                .arg(Taken.join(QStringLiteral(", ")),
                     Taken.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                     Taken.size() == 1 ? QStringLiteral("does") : QStringLiteral("do")));
  HotKeysTakenNote->setVisible(!Taken.isEmpty());
}

void TSettingsComponents::UnregisterHotKeys() {
  // For good: the window is ending, and closing it moves the focus out of an
  // edit, which would otherwise register the keys again through a form that
  // is half destroyed.
  for (THotKeyEdit* E : {DrawingHotKey, DisplayHotKey, EditorHotKey}) {
    E->OnChange = nullptr;
    E->OnFocusChange = nullptr;
  }
  HotKeys->UnregisterHotKeys();
}

void TSettingsComponents::ShowTray() {
  const bool Held = Tray->Show();
  FForm.Controller.SetTrayAvailable(Held);
  QObject::connect(&FForm.Controller, &TFlameController::TrayAvailableChanged, this,
                   [this](bool Available) {
                     if (Available)
                       Tray->TrayAppeared();
                   });
  if (!Held && !FTrayNoteGiven) {
    FTrayNoteGiven = true;
    const int Key = EditorHotKey->HotKey();
    const QString Note =
        NoTrayNote(Key == 0 ? QString() : ShortCutToText(Key), HotKeys->Registered(2));
    std::fprintf(stderr, "quelma: %s\n", Note.toLocal8Bit().constData());
  }
}

void TSettingsComponents::PrepareStateFile(TStateFileOptions& Options) const {
  Options.LoadStyle = FilesTab->LStyleBox->isChecked();
  Options.LoadArt = FilesTab->LArtBox->isChecked();
}

QString TSettingsComponents::HandOver(const QString& Path) {
  if (Path.isEmpty()) {
    FForm.ShowSettingsWindow();
    return QString();
  }
  TrayIconClick(); // a hidden settings window stays hidden
  // The second start waits for the answer: the message boxes of the read
  // come once it has it.
  TFileFailure Failure;
  const bool Loaded = FForm.LoadSaveState(Path, false, &Failure);
  const QStringList Notes = Failure.DebugMessages;
  const bool Boxed = !Loaded && !Failure.Message.isEmpty();
  if (!Notes.isEmpty() || Boxed)
    QTimer::singleShot(0, &FForm, [Notes, Boxed, Failure, Path] {
      for (const QString& N : Notes)
        ShowDebugMessage(N);
      if (Boxed)
        ShowFileError(Failure.Message, Path, Failure.Reason);
    });
  if (Loaded)
    return QString();
  if (!Boxed) {
    // Nothing read, as for a missing start-up file: no message box here, but
    // the sender must not report success.
    return QStringLiteral("%1: %2").arg(Path, QFileInfo::exists(Path)
                                                  ? QStringLiteral("not a QUELMA state file")
                                                  : QStringLiteral("no such file"));
  }
  return QStringLiteral("%1: %2 %3").arg(Path, Failure.Message, Failure.Reason).trimmed();
}

void TSettingsComponents::RemoteCommand(TRemoteCommand Command) {
  switch (Command) {
  case TRemoteCommand::ToggleDrawing:
    HotKeyPressed(0);
    break;
  case TRemoteCommand::ToggleVisible:
    HotKeyPressed(1);
    break;
  case TRemoteCommand::ToggleSettings:
    HotKeyPressed(2);
    break;
  case TRemoteCommand::ShowSettings:
    // The tray's "Show settings" inverts; asked by name, the window shows.
    FForm.ShowSettingsWindow();
    break;
  case TRemoteCommand::StartOver:
    FForm.StartOverClick();
    break;
  case TRemoteCommand::Exit:
    FForm.ExitBtnClick();
    break;
  }
}

void TSettingsComponents::SettingsMenuClick() {
  // Toggling leaves the flame alone: only closing the window applies
  // "Visible only when editor visible".
  if (FForm.Shown())
    FForm.hide();
  else
    FForm.ShowSettingsWindow();
}

void TSettingsComponents::TrayIconClick() {
  // A double click starts with a click: what it inverts is the state before.
  FShownAtClick = FForm.Shown();
  FClickTime.start();
  if (!FForm.isVisible())
    return;
  FForm.ShowSettingsWindow();
}

void TSettingsComponents::TrayIconDblClick() {
  const bool Shown =
      FClickTime.isValid() && FClickTime.elapsed() <= QApplication::doubleClickInterval()
          ? FShownAtClick
          : FForm.Shown();
  FClickTime.invalidate();
  if (Shown)
    FForm.hide();
  else
    FForm.ShowSettingsWindow();
}

void TSettingsComponents::HotKeyPressed(int Index) {
  switch (Index) {
  case 0:
    FForm.Controller.ToggleDrawing();
    break;
  case 1:
    FForm.Controller.ToggleVisible();
    break;
  case 2:
    SettingsMenuClick();
    break;
  default:
    break;
  }
}
