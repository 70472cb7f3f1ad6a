#pragma once
// The "Help" tab (the quick help) and the "About" tab (the program's logo,
// its version and the desktop-icons button).
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The quick help, line by line as the "Help" tab shows it.
QString QuickHelpText();

// The logo of the "About" tab, painted: flames over the name. A click runs
// OnClick (the program's help).
class TLogo : public QWidget {
public:
  explicit TLogo(QWidget* Parent = nullptr);
  QSize sizeHint() const override;
  std::function<void()> OnClick;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
};

// The program's own help, which the links of the Help and About tabs open:
// README.md beside the program (a build folder, a portable copy), else the
// installed copy in <prefix>/share/doc/quelma. "" when there is none.
// AppFolder ends with a separator.
QString HelpFile(const QString& AppFolder);

struct THelpSheet {
  QPlainTextEdit* HelpMemo = nullptr; // the quick help
  QLabel* HelpLink = nullptr;         // opens the program's help (wired by its owner)
};
// Fills the "Help" tab: a borderless read-only text holding the quick help,
// and a link to the whole help below it.
THelpSheet BuildHelpSheet(QWidget* Sheet);

struct TAboutSheet {
  TLogo* Logo = nullptr;
  QLabel* VersionLabel = nullptr;      // "Version " + the version
  QLabel* AboutLink = nullptr;         // opens the program's help (wired by its owner)
  QPushButton* DeskIconsBtn = nullptr; // "My desktop icons on fire!" (wired by its owner)
};
// Fills the "About" tab. Version: the program's version text (QUELMA_VERSION).
TAboutSheet BuildAboutSheet(QWidget* Sheet, const QString& Version);
