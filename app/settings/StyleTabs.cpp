#include "StyleTabs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdlib>
#include <cstring>

#include "FlameEngine.h"
#include "NumBar.h"

namespace {

const TStyleValue& ValueNamed(const char* Name) {
  for (const TStyleValue& V : StyleValues)
    if (std::strcmp(V.Control, Name) == 0)
      return V;
  // The table is the engine's and complete; a missing name is a programming
  // error caught by the first test run.
  std::abort();
}

} // namespace

TStyleTabs::TStyleTabs(TStyleSettings& Style, QWidget* EmittersSheet, QWidget* FadingSheet,
                       QWidget* AnimationSheet, QObject* Parent)
    : QObject(Parent), FRecord(Style) {
  // Two columns of "label, slider" per tab; the controls follow the table's
  // order down the first column, then the second.
  struct TSheet {
    QWidget* Widget;
    TStyleGroup Group;
  };
  for (const TSheet& Sheet :
       {TSheet{EmittersSheet, TStyleGroup::Emitters}, TSheet{FadingSheet, TStyleGroup::Fading},
        TSheet{AnimationSheet, TStyleGroup::Animation}}) {
    auto* Outer = new QVBoxLayout(Sheet.Widget);
    auto* Grid = new QGridLayout;
    Grid->setHorizontalSpacing(8);
    Grid->setVerticalSpacing(6);
    Grid->setColumnStretch(1, 1);
    Grid->setColumnStretch(3, 1);
    Grid->setColumnMinimumWidth(2, 90);
    Outer->addLayout(Grid);
    auto* Boxes = new QHBoxLayout;
    Outer->addLayout(Boxes);
    Outer->addStretch(1);

    int Sliders = 0;
    for (const TStyleValue& V : StyleValues)
      if (V.Group == Sheet.Group && V.Slider)
        ++Sliders;
    const int Rows = (Sliders + 1) / 2;
    int Index = 0;
    for (const TStyleValue& V : StyleValues) {
      if (V.Group != Sheet.Group)
        continue;
      if (V.Slider) {
        const int Row = Index % Rows, Column = 2 * (Index / Rows);
        auto* Label = new QLabel(QString::fromLatin1(V.Label), Sheet.Widget);
        TNumBar* Bar = MakeSlider(V, Sheet.Widget);
        Label->setBuddy(Bar);
        Grid->addWidget(Label, Row, Column);
        Grid->addWidget(Bar, Row, Column + 1);
        ++Index;
      } else {
        Boxes->addWidget(MakeBox(V, Sheet.Widget));
      }
    }
    Boxes->addStretch(1);
  }

  PASel = Slider(QStringLiteral("PASel"));
  PHSel = Slider(QStringLiteral("PHSel"));
  PSSel = Slider(QStringLiteral("PSSel"));
  PLSel = Slider(QStringLiteral("PLSel"));
  MaxCountSel = Slider(QStringLiteral("MaxCountSel"));
  PMaxSizeSel = Slider(QStringLiteral("PMaxSizeSel"));
  PXSpreadSel = Slider(QStringLiteral("PXSpreadSel"));
  PYSpreadSel = Slider(QStringLiteral("PYSpreadSel"));
  GlowBox = Box(QStringLiteral("GlowBox"));
  IndPartBox = Box(QStringLiteral("IndPartBox"));
  FASel = Slider(QStringLiteral("FASel"));
  FHSel = Slider(QStringLiteral("FHSel"));
  FSSel = Slider(QStringLiteral("FSSel"));
  FLSel = Slider(QStringLiteral("FLSel"));
  FHCycleSel = Slider(QStringLiteral("FHCycleSel"));
  XBlurSel = Slider(QStringLiteral("XBlurSel"));
  YBlurSel = Slider(QStringLiteral("YBlurSel"));
  YMotionSel = Slider(QStringLiteral("YMotionSel"));
  FPSSel = Slider(QStringLiteral("FPSSel"));
  GravitySel = Slider(QStringLiteral("GravitySel"));
  AttractionSel = Slider(QStringLiteral("AttractionSel"));
  ELTSel = Slider(QStringLiteral("ELTSel"));
  EFOSel = Slider(QStringLiteral("EFOSel"));
}

TNumBar* TStyleTabs::MakeSlider(const TStyleValue& V, QWidget* Parent) {
  auto* Bar = new TNumBar(Parent);
  Bar->setObjectName(QString::fromLatin1(V.Control));
  TNumBarOptions Options{nbShowNumber, nbSlideKnob};
  if (V.Endless)
    Options = Options.With(nbEndless);
  Bar->SetOptions(Options);
  Bar->SetRange(V.Min, V.Max);
  Bar->SetLineSize(1);
  Bar->SetPageSize(10);
  Bar->SetPosition(V.Default);
  Bar->SetTabStop(true);
  const THandler H = HandlerOf(V);
  Bar->OnChange = [this, H](TNumBar*) { Run(H); };
  FControls.push_back({&V, Bar, nullptr});
  return Bar;
}

QCheckBox* TStyleTabs::MakeBox(const TStyleValue& V, QWidget* Parent) {
  auto* B = new QCheckBox(QString::fromLatin1(V.Label), Parent);
  B->setObjectName(QString::fromLatin1(V.Control));
  B->setChecked(V.Default != 0);
  // toggled: once per real change of state, from the user or from code.
  const THandler H = HandlerOf(V);
  QObject::connect(B, &QCheckBox::toggled, this, [this, H] { Run(H); });
  FControls.push_back({&V, nullptr, B});
  return B;
}

QCheckBox* TStyleTabs::CreateAddBox(QWidget* Parent) {
  const TStyleValue& V = ValueNamed("AddBox");
  auto* B = new QCheckBox(QString::fromLatin1(V.Label), Parent);
  B->setObjectName(QString::fromLatin1(V.Control));
  return B;
}

QCheckBox* TStyleTabs::CreateDebugBox(QWidget* Parent) {
  const TStyleValue& V = ValueNamed("DebugBox");
  auto* B = new QCheckBox(QString::fromLatin1(V.Label), Parent);
  B->setObjectName(QString::fromLatin1(V.Control));
  return B;
}

void TStyleTabs::AttachSystemBoxes(QCheckBox* Additive, QCheckBox* Debug) {
  if (Additive && !AddBox) {
    AddBox = Additive;
    const TStyleValue& V = ValueNamed("AddBox");
    if (AddBox->objectName().isEmpty())
      AddBox->setObjectName(QString::fromLatin1(V.Control));
    QObject::connect(AddBox, &QCheckBox::toggled, this, [this] { Run(THandler::YMotion); });
    FControls.push_back({&V, nullptr, AddBox});
  }
  if (Debug && !DebugBox) {
    DebugBox = Debug;
    const TStyleValue& V = ValueNamed("DebugBox");
    if (DebugBox->objectName().isEmpty())
      DebugBox->setObjectName(QString::fromLatin1(V.Control));
    QObject::connect(DebugBox, &QCheckBox::toggled, this, [this] { Run(THandler::Debug); });
    FControls.push_back({&V, nullptr, DebugBox});
  }
}

TStyleTabs::THandler TStyleTabs::HandlerOf(const TStyleValue& V) {
  const char* N = V.Control;
  if (!std::strcmp(N, "FPSSel"))
    return THandler::FPS;
  if (!std::strcmp(N, "GlowBox") || !std::strcmp(N, "IndPartBox"))
    return THandler::IndPart;
  if (!std::strcmp(N, "DebugBox"))
    return THandler::Debug;
  if (V.Group == TStyleGroup::Animation)
    return THandler::Gravity;
  return THandler::YMotion; // the Emitters and Fading sliders and "Additive"
}

TNumBar* TStyleTabs::Slider(const QString& Name) const {
  for (const TControl& C : FControls)
    if (C.Slider && Name == QLatin1String(C.Value->Control))
      return C.Slider;
  return nullptr;
}

QCheckBox* TStyleTabs::Box(const QString& Name) const {
  for (const TControl& C : FControls)
    if (C.Box && Name == QLatin1String(C.Value->Control))
      return C.Box;
  return nullptr;
}

void TStyleTabs::ReadControls() {
  for (const TControl& C : FControls) {
    if (C.Slider)
      FRecord.*C.Value->Slider = C.Slider->Position();
    if (C.Box)
      FRecord.*C.Value->Check = C.Box->isChecked();
  }
}

void TStyleTabs::StyleToControls() {
  // Sliders first: a check box's handler reads every control, so they must
  // already show the record when the boxes change.
  const TStyleSettings Wanted = FRecord;
  for (const TControl& C : FControls)
    if (C.Slider)
      C.Slider->SetPosition(Wanted.*C.Value->Slider);
  ReadControls();
  for (const TControl& C : FControls)
    if (C.Box) {
      FRecord.*C.Value->Check = Wanted.*C.Value->Check;
      C.Box->setChecked(Wanted.*C.Value->Check);
    }
}

void TStyleTabs::Run(THandler H) {
  if (StyleChanges && H != THandler::Debug)
    StyleChanges();
  ReadControls();
  TPartForm* E = Engine ? Engine() : nullptr;
  switch (H) {
  case THandler::YMotion:
    if (E)
      ::YMotionSelChange(*E, FRecord);
    break;
  case THandler::Gravity:
    if (E)
      ::GravitySelChange(*E, FRecord);
    break;
  case THandler::FPS:
    if (E) {
      const int Interval = ::FPSSelChange(*E, FRecord);
      if (OnTimerInterval)
        OnTimerInterval(Interval);
    }
    break;
  case THandler::IndPart:
    if (E)
      ::IndPartBoxClick(*E, FRecord);
    break;
  case THandler::Debug:
    if (OnDebugBoxClick)
      OnDebugBoxClick();
    break;
  }
}

void TStyleTabs::YMotionSelChange() {
  Run(THandler::YMotion);
}
void TStyleTabs::GravitySelChange() {
  Run(THandler::Gravity);
}
void TStyleTabs::FPSSelChange() {
  Run(THandler::FPS);
}
void TStyleTabs::IndPartBoxClick() {
  Run(THandler::IndPart);
}

void TStyleTabs::ApplyStyle() {
  ReadControls();
  TPartForm* E = Engine ? Engine() : nullptr;
  if (!E)
    return;
  const int Interval = ::ApplyStyle(*E, FRecord);
  if (OnTimerInterval)
    OnTimerInterval(Interval);
}

bool TStyleTabs::MoveSlider(const QString& Name, int Position) {
  TNumBar* Bar = Slider(Name);
  if (!Bar)
    return false;
  // The user's path: an event only on a real change.
  Bar->ChangeValue(Position, true, false);
  return true;
}
