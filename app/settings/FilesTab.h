#pragma once
// The "Files" tab: group "Style & art" (load and save state files, and which
// parts of a file to load) and group "Conversion" (import a picture as art).
// The tab only chooses files and reads its controls; the state file and the
// import are the engine's (StateFile.h, BitmapImport.h).
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "BitmapImport.h"

class QCheckBox;
class QPushButton;
class QWidget;
class TNumBar;
class TPartForm;

// The hourglass while a file is read or written. Nested uses keep it until the
// outermost one ends, then the previous cursor returns.
class TWaitCursor {
public:
  TWaitCursor();
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Filter of both state-file dialogs.
inline constexpr const char* StateFileFilter = "QUELMA state file (*.quelma)";

enum class TFileDialogKind { OpenState, SaveState, OpenPicture };

struct TFileDialogPlaces {
  QString Folder;
  QStringList Sidebar;
};

// The name a state file is saved under: ".quelma" added unless the name ends
// in it (any letter case), so a file is always written and the Load dialog
// lists it.
QString StateFileSaveName(const QString& FileName);

// Shown when a picture cannot be imported, with the file and the reason.
inline constexpr const char* ImportErrorText = "Error importing the picture.";

class TFilesTab : public QObject {
public:
  // Style is the settings window's style record (the import changes it); it
  // must outlive this object.
  TFilesTab(QWidget* FilesSheet, TStyleSettings& Style, QObject* Parent = nullptr);

  // ---- What the settings window supplies ---------------------------------------
  std::function<TPartForm*()> Engine;
  // Around each dialog: clear and restore drawing and display.
  std::function<void()> SuspendDisplay;
  std::function<void()> ResumeDisplay;
  // Reads (Save false) or writes a state file, reporting errors itself.
  std::function<void(const QString& FileName, bool Save)> LoadSaveState;
  // After an import changed the style record: show it on the style controls
  // (silently; the import has already mapped it).
  std::function<void()> OnStyleChanged;
  // Around an import, so that it can be undone: Imported says whether the
  // art changed.
  std::function<void()> ImportBegins;
  std::function<void(bool Imported)> ImportEnds;
  // Chooses a file; empty when cancelled. Default: the Qt file dialogs.
  // Tests replace it.
  std::function<QString(TFileDialogKind Kind)> ChooseFile;

  // The user's own styles ($XDG_DATA_HOME/quelma): Save creates it and
  // starts there, and so does Load once it holds a style (before, Load starts
  // in the shipped styles). Both are in the dialogs' sidebar.
  QString UserFolder;
  QString ShippedFolder;
  // Where a dialog starts ("" for Qt's choice) and the folders of its sidebar.
  TFileDialogPlaces DialogPlaces(TFileDialogKind Kind) const;

  // ---- Group "Style & art" -------------------------------------------------------
  QPushButton* LoadBtn; // "Load"
  QPushButton* SaveBtn; // "Save"
  QCheckBox* LStyleBox; // "Load style", checked
  QCheckBox* LArtBox;   // "Load art", checked
  QPushButton* UndoBtn; // "Undo": the art's last change (Ctrl+Z)
  QPushButton* RedoBtn; // "Redo" (Ctrl+Shift+Z)
  void LoadBtnClick();
  void SaveBtnClick();

  // ---- Group "Conversion" --------------------------------------------------------
  QPushButton* Button2;   // "Import bitmap"
  TNumBar* BmpMaxSizeSel; // "Max size" 0..128, 128
  TNumBar* BmpScaleSel;   // "Scaling" 100..1000, 400
  QCheckBox* BmpResetBox; // "Reset style", checked
  QCheckBox* BmpMonoBox;  // "Mask only", clear
  void Button2Click();
  TImportSettings ImportSettings() const;

  // The Qt dialog for a kind of file, at Places; empty when cancelled.
  static QString RunFileDialog(TFileDialogKind Kind, const TFileDialogPlaces& Places,
                               QWidget* Parent);

private:
  QString Choose(TFileDialogKind Kind);
  void ImportPictureFile(const QString& FileName);

  TStyleSettings& FStyle;
  QWidget* FSheet;
};
