#pragma once
// The "Help" tab (the quick help and the user manual) and the "About" tab
// (the program's logo, its version and the desktop-icons button).
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextBrowser;

// The quick help, line by line as the "Help" tab shows it.
QString QuickHelpText();

// The logo of the "About" tab, painted: flames over the name. A click runs
// OnClick (the manual).
class TLogo : public QWidget {
public:
  explicit TLogo(QWidget* Parent = nullptr);
  QSize sizeHint() const override;
  std::function<void()> OnClick;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
};

// The user manual (Markdown), built into the program.
QString ManualText();
// The manual as a web page in File (made or replaced); false with the
// reason in Why when it cannot be written.
bool WriteManualPage(const QString& File, QString* Why);

struct THelpSheet {
  QPlainTextEdit* HelpMemo = nullptr; // the quick help
  QTextBrowser* ManualView = nullptr; // the user manual
  QLabel* HelpLink = nullptr;         // the manual in the web browser (wired by its owner)
};
// Fills the "Help" tab: a borderless read-only text holding the quick help,
// the manual beside it, and a link below that opens the manual in the web
// browser.
THelpSheet BuildHelpSheet(QWidget* Sheet);

struct TAboutSheet {
  TLogo* Logo = nullptr;
  QLabel* VersionLabel = nullptr;      // "Version " + the version
  QLabel* AboutLink = nullptr;         // shows the manual (wired by its owner)
  QPushButton* DeskIconsBtn = nullptr; // "My desktop icons on fire!" (wired by its owner)
};
// Fills the "About" tab. Version: the program's version text (QUELMA_VERSION).
TAboutSheet BuildAboutSheet(QWidget* Sheet, const QString& Version);
