#pragma once
// The notification-area icon: "QUELMA" as tooltip, a click brings the
// program's windows to the front, a double click shows or hides the settings
// window, and the right button opens the menu "Enable drawing", "Show
// settings", "Exit". Without a notification area the program runs on; the
// hot keys and a second start reach it.
#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

class QAction;
class QMenu;

class TTray : public QObject {
public:
  explicit TTray(QObject* Parent = nullptr);
  ~TTray() override;

  std::function<void()> OnClick;        // TrayIconClick
  std::function<void()> OnDoubleClick;  // TrayIconDblClick
  std::function<void()> OnDrawMenu;     // "Enable drawing"
  std::function<void()> OnSettingsMenu; // "Show settings"
  std::function<void()> OnExitMenu;     // "Exit"

  QSystemTrayIcon* TrayIcon;
  QMenu* TrayMenu;
  QAction* DrawMenu;
  QAction* SettingsMenu;
  QAction* ExitMenu;

  // Shows the icon, now when the desktop has a notification area, else as
  // soon as one appears. Returns whether one holds it now.
  bool Show();
  // A notification area appeared: the icon goes into it.
  void TrayAppeared();

  // Reacts as the icon does to a click of kind Reason.
  void Activated(QSystemTrayIcon::ActivationReason Reason);
};

// The program's icon, drawn here: a flame on a dark round field.
QIcon QuelmaIcon();

// What to tell the user once when the desktop has no notification area:
// how to reach the settings window without it. SettingsKey: the hot key as
// set ("" for none); Works: whether it could be registered.
QString NoTrayNote(const QString& SettingsKey, bool Works);
