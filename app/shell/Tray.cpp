#include "Tray.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

QIcon QuelmaIcon() {
  QIcon Icon;
  for (int Size : {16, 22, 24, 32, 48, 64}) {
    QPixmap P(Size, Size);
    P.fill(Qt::transparent);
    QPainter G(&P);
    G.setRenderHint(QPainter::Antialiasing);
    G.scale(Size / 64.0, Size / 64.0);
    G.setPen(Qt::NoPen);
    G.setBrush(QColor(30, 18, 12));
    G.drawEllipse(QRectF(2, 2, 60, 60));
    // An outer and an inner tongue of flame.
    QPainterPath Outer;
    Outer.moveTo(32, 6);
    Outer.cubicTo(44, 20, 52, 30, 48, 44);
    Outer.cubicTo(45, 55, 38, 58, 32, 58);
    Outer.cubicTo(26, 58, 19, 55, 16, 44);
    Outer.cubicTo(13, 34, 20, 28, 24, 20);
    Outer.cubicTo(26, 28, 28, 30, 30, 30);
    Outer.cubicTo(28, 22, 29, 14, 32, 6);
    QRadialGradient Hot(QPointF(32, 48), 30);
    Hot.setColorAt(0, QColor(255, 230, 120));
    Hot.setColorAt(0.5, QColor(255, 140, 20));
    Hot.setColorAt(1, QColor(200, 40, 0));
    G.setBrush(Hot);
    G.drawPath(Outer);
    QPainterPath Inner;
    Inner.moveTo(32, 30);
    Inner.cubicTo(38, 38, 41, 44, 39, 50);
    Inner.cubicTo(37, 55, 27, 55, 25, 50);
    Inner.cubicTo(23, 44, 28, 38, 32, 30);
    G.setBrush(QColor(255, 245, 200));
    G.drawPath(Inner);
    G.end();
    Icon.addPixmap(P);
  }
  return Icon;
}

TTray::TTray(QObject* Parent) : QObject(Parent) {
  TrayMenu = new QMenu;
  // Captions are shown as they are: no accelerator letters.
  DrawMenu = TrayMenu->addAction(QStringLiteral("Enable drawing"));
  SettingsMenu = TrayMenu->addAction(QStringLiteral("Show settings"));
  TrayMenu->addSeparator();
  ExitMenu = TrayMenu->addAction(QStringLiteral("Exit"));
  QObject::connect(DrawMenu, &QAction::triggered, this, [this] {
    if (OnDrawMenu)
      OnDrawMenu();
  });
  QObject::connect(SettingsMenu, &QAction::triggered, this, [this] {
    if (OnSettingsMenu)
      OnSettingsMenu();
  });
  QObject::connect(ExitMenu, &QAction::triggered, this, [this] {
    if (OnExitMenu)
      OnExitMenu();
  });

  TrayIcon = new QSystemTrayIcon(QuelmaIcon(), this);
  TrayIcon->setToolTip(QStringLiteral("QUELMA"));
  TrayIcon->setContextMenu(TrayMenu);
  QObject::connect(TrayIcon, &QSystemTrayIcon::activated, this,
                   [this](QSystemTrayIcon::ActivationReason R) { Activated(R); });
}

TTray::~TTray() {
  TrayIcon->hide();
  TrayIcon->setContextMenu(nullptr);
  delete TrayMenu;
}

bool TTray::Show() {
  // Shown either way: Qt puts the icon into a tray that starts later.
  TrayIcon->show();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTray::TrayAppeared() {
  // Shown again, in case the platform does not follow the tray by itself.
  TrayIcon->hide();
  TrayIcon->show();
}

QString NoTrayNote(const QString& SettingsKey, bool Works) {
  const QString Start = QStringLiteral("no notification area (system tray) was found");
  if (SettingsKey.isEmpty())
    return Start + QStringLiteral(". Start QUELMA again to show the settings window.");
  if (!Works)
    return Start + QStringLiteral(", and the hot key %1 is held by another program. Start "
                                  "QUELMA again to show the settings window.")
                       .arg(SettingsKey);
  return Start + QStringLiteral(". Press %1 or start QUELMA again to show the settings window.")
                     .arg(SettingsKey);
}

void TTray::Activated(QSystemTrayIcon::ActivationReason Reason) {
  switch (Reason) {
  case QSystemTrayIcon::Trigger:
    if (OnClick)
      OnClick();
    break;
  case QSystemTrayIcon::DoubleClick:
    if (OnDoubleClick)
      OnDoubleClick();
    break;
  default:
    break; // the context menu opens by itself
  }
}
