#pragma once
// The "Help" tab (the quick help) and the "About" tab (the program's logo,
// its version and the desktop-icons button).
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The quick help, line by line as the "Help" tab shows it.
QString QuickHelpText();

// The logo of the "About" tab, painted: flames over the name.
class TLogo : public QWidget {
public:
  explicit TLogo(QWidget* Parent = nullptr);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* Event) override;
};

// Fills the "Help" tab: a borderless read-only text holding the quick help.
QPlainTextEdit* BuildHelpSheet(QWidget* Sheet);

struct TAboutSheet {
  TLogo* Logo = nullptr;
  QLabel* VersionLabel = nullptr;     // "Version " + the version
  QPushButton* DeskIconsBtn = nullptr;  // "My desktop icons on fire!" (wired by its owner)
};
// Fills the "About" tab. Version: the program's version text (QUELMA_VERSION).
TAboutSheet BuildAboutSheet(QWidget* Sheet, const QString& Version);
