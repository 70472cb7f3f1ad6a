// The "System" tab: the display options and "Start with the desktop" in the
// left column, the global hot keys in the right one.
#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Autostart.h"
#include "DesktopWindowing.h"
#include "MainForm.h"

void TQUELMAMainForm::BuildSystemSheet() {
  auto* Page = new QVBoxLayout(SystemSheet);
  auto* Columns = new QHBoxLayout;
  Page->addLayout(Columns, 1);
  auto* Left = new QVBoxLayout;
  Columns->addLayout(Left, 1);
  SystemRightColumn = new QVBoxLayout;
  Columns->addLayout(SystemRightColumn, 1);

  DrawingBox = new QCheckBox(QStringLiteral("Enable drawing"), SystemSheet);
  QFont Bold = DrawingBox->font();
  Bold.setBold(true);
  DrawingBox->setFont(Bold);
  DisplayBox = new QCheckBox(QStringLiteral("Visible"), SystemSheet);
  WOEVisibleBox = new QCheckBox(QStringLiteral("Visible only when editor visible"), SystemSheet);
  WFrontBox = new QCheckBox(QStringLiteral("Keep in front"), SystemSheet);
  WSolidBox = new QCheckBox(QStringLiteral("Solid (no click-through)"), SystemSheet);
  AddBox =
      new QCheckBox(QStringLiteral("Additive (only works with some graphic cards)"), SystemSheet);
  DebugBox = new QCheckBox(QStringLiteral("Debug mode"), SystemSheet);
  AutostartBox = new QCheckBox(QStringLiteral("Start with the desktop"), SystemSheet);
  PauseFullScreenBox =
      new QCheckBox(QStringLiteral("Pause while a full-screen window is active"), SystemSheet);
  for (QCheckBox* B : {DrawingBox, DisplayBox, WOEVisibleBox, WFrontBox, WSolidBox, AddBox,
                       DebugBox, AutostartBox})
    Left->addWidget(B);
  // The left column is full: under the hot keys, which TSettingsComponents
  // puts at the top of the right one.
  SystemRightColumn->addWidget(PauseFullScreenBox);
  SystemRightColumn->addStretch(1);
  AddBox->setObjectName(QStringLiteral("AddBox"));
  DebugBox->setObjectName(QStringLiteral("DebugBox"));
  AutostartBox->setObjectName(QStringLiteral("AutostartBox"));
  Left->addStretch(1);
  // Across both columns, where its lines have room.
  CompositingLabel = new QLabel(SystemSheet);
  CompositingLabel->setObjectName(QStringLiteral("CompositingLabel"));
  CompositingLabel->setWordWrap(true);
  CompositingLabel->hide();
  Page->addWidget(CompositingLabel);

  // Defaults first, handlers after: the design state runs nothing.
  DisplayBox->setChecked(true);
  WFrontBox->setChecked(true);
  PauseFullScreenBox->setChecked(true);
  // The autostart entry is the desktop's, not a preference: the box shows it.
  AutostartBox->setChecked(AutostartEnabled());
  // QCheckBox::toggled fires once per real change of state, from the user or
  // from code (the preferences set these boxes), and never when set to the
  // state it has. What the controller reports sets them silently.
  QObject::connect(DrawingBox, &QCheckBox::toggled, this, [this] { DrawingBoxClick(); });
  QObject::connect(DisplayBox, &QCheckBox::toggled, this, [this] { DisplayBoxClick(); });
  QObject::connect(WFrontBox, &QCheckBox::toggled, this, [this] { WFrontBoxClick(); });
  QObject::connect(WSolidBox, &QCheckBox::toggled, this, [this] { WSolidBoxClick(); });
  QObject::connect(WOEVisibleBox, &QCheckBox::toggled, this,
                   [this](bool On) { Controller.SetVisibleOnlyWithEditor(On); });
  QObject::connect(PauseFullScreenBox, &QCheckBox::toggled, this,
                   [this](bool On) { Controller.SetPauseFullScreen(On); });
  QObject::connect(AutostartBox, &QCheckBox::toggled, this, [this] { AutostartBoxClick(); });
}

void TQUELMAMainForm::AutostartBoxClick() {
  // An entry that cannot be written or removed leaves the box showing what
  // the desktop will do.
  if (!SetAutostart(AutostartBox->isChecked(), QCoreApplication::applicationFilePath())) {
    const QSignalBlocker Quiet(AutostartBox);
    AutostartBox->setChecked(AutostartEnabled());
  }
}
