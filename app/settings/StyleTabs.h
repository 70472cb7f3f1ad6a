#pragma once
// The "Emitters", "Fading" and "Animation" tabs: one numeric slider per style
// value and the two style check boxes, plus the handling of the System tab's
// "Additive" box. The controls hold the style; each handler copies every
// control into the settings record and runs the engine's mapping of its group
// (StyleMapping.h), so the mapping exists only once.
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

#include "StyleMapping.h"

class QCheckBox;
class QWidget;
class TNumBar;
class TPartForm;

class TStyleTabs : public QObject {
public:
  // Builds the controls on the three sheets, at their default positions. Style
  // is the record the handlers fill (the settings window's FStyle); it must
  // outlive this object.
  TStyleTabs(TStyleSettings& Style, QWidget* EmittersSheet, QWidget* FadingSheet,
             QWidget* AnimationSheet, QObject* Parent = nullptr);

  // The engine the handlers write; nullptr (before it exists): the handlers
  // only update the record.
  std::function<TPartForm*()> Engine;
  // Receives the animation timer's new interval in ms (FPSSelChange).
  std::function<void(int)> OnTimerInterval;
  // Runs when "Debug mode" changes (after the record was updated).
  std::function<void()> OnDebugBoxClick;
  // Runs before a control changes the style (the record still holds the
  // style before it).
  std::function<void()> StyleChanges;

  // "Emitters"
  TNumBar* PASel;
  TNumBar* PHSel;
  TNumBar* PSSel;
  TNumBar* PLSel;
  TNumBar* MaxCountSel;
  TNumBar* PMaxSizeSel;
  TNumBar* PXSpreadSel;
  TNumBar* PYSpreadSel;
  QCheckBox* GlowBox;    // "Fat"
  QCheckBox* IndPartBox; // "Independent emitters"
  // "Fading"
  TNumBar* FASel;
  TNumBar* FHSel;
  TNumBar* FSSel;
  TNumBar* FLSel;
  TNumBar* FHCycleSel;
  TNumBar* XBlurSel;
  TNumBar* YBlurSel;
  TNumBar* YMotionSel;
  // "Animation"
  TNumBar* FPSSel;
  TNumBar* GravitySel;
  TNumBar* AttractionSel;
  TNumBar* ELTSel;
  TNumBar* EFOSel;
  // "System" (placed by the settings window; see AttachSystemBoxes)
  QCheckBox* AddBox = nullptr;
  QCheckBox* DebugBox = nullptr;

  // The two System-tab boxes of the style, with their captions and clear.
  static QCheckBox* CreateAddBox(QWidget* Parent);
  static QCheckBox* CreateDebugBox(QWidget* Parent);
  // Takes the System tab's boxes (either may be nullptr): "Additive" runs
  // YMotionSelChange, "Debug mode" updates the record and runs OnDebugBoxClick.
  void AttachSystemBoxes(QCheckBox* Additive, QCheckBox* Debug);

  // A control by its name ("PASel", "GlowBox", ...); nullptr when unknown.
  TNumBar* Slider(const QString& Name) const;
  QCheckBox* Box(const QString& Name) const;

  // Every control into the record.
  void ReadControls();
  // The record into the controls: sliders silently (brought into range, no
  // handler), then the check boxes, whose changes run their click handling
  // as a click would. The record ends holding what the controls show.
  void StyleToControls();

  // The handlers. Each reads all controls, then maps its group.
  void YMotionSelChange();
  void GravitySelChange();
  void FPSSelChange(); // also runs GravitySelChange
  void IndPartBoxClick();
  // All four in the order YMotion, FPS (with Gravity), Gravity, IndPart.
  void ApplyStyle();

  // Moves a slider as if the user had: its change handler runs when the
  // position really changes. Returns false for an unknown name.
  bool MoveSlider(const QString& Name, int Position);

private:
  enum class THandler { YMotion, Gravity, FPS, IndPart, Debug };
  struct TControl {
    const TStyleValue* Value;
    TNumBar* Slider = nullptr;
    QCheckBox* Box = nullptr;
  };
  TNumBar* MakeSlider(const TStyleValue& V, QWidget* Parent);
  QCheckBox* MakeBox(const TStyleValue& V, QWidget* Parent);
  void Run(THandler H);
  static THandler HandlerOf(const TStyleValue& V);

  TStyleSettings& FRecord;
  std::vector<TControl> FControls;
};
