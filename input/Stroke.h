#pragma once
// The arithmetic of drawing: pointer positions to art coordinates, and a stroke
// to evenly spaced emitters. No windowing here, so it is tested on its own; the
// drawing window only feeds it pointer events.
#include <cstdint>
#include <functional>

class TPartForm;

// "No point yet": the single nearest to 3.4e38, compared for exact equality.
inline constexpr float NoPoint = 3.4e38f;

struct TArtPoint {
  float X = NoPoint;
  float Y = 0;
};

// Screen position to emitter space: the difference is formed exactly and
// stored as a single.
TArtPoint ScreenToArt(int32_t ScreenX, int32_t ScreenY, float OriginX, float OriginY);

// Intensity (BaseAlpha) of the emitters a stroke adds under these modifiers:
// Ctrl 128 (also with Shift), Shift 64, neither 256.
int32_t StrokeIntensity(bool Ctrl, bool Shift);

// Distance between the emitters that fill a gap: (Thickness + 2) / 2. A
// negative or non-finite thickness counts as 0, so the spacing is at least 1.
float StrokeSpacing(float Thickness);

// Receives each emitter of a stroke.
using TStrokeSink = std::function<void(int32_t Intensity, float X, float Y)>;

// One stroke's state: whether the left button is down and where the last
// emitter went.
class TStroke {
public:
  bool FDrawing = false;
  TArtPoint FLastPoint; // X = NoPoint: the stroke has no point yet

  // Left press at P: starts a stroke whose first point is P (no gap filling).
  void Press(TArtPoint P, int32_t Intensity, float Thickness, const TStrokeSink& Add);
  // Pointer at P: while drawing, fills the gap from the last point with
  // emitters spaced by StrokeSpacing, then adds one at P.
  void Move(TArtPoint P, int32_t Intensity, float Thickness, const TStrokeSink& Add);
  void Release() { FDrawing = false; }
};

// The engine side of the drawing window's pointer handling, at a screen
// position with the modifiers of that moment: Move adds the stroke's emitters
// to Form and always sets Form's attraction point; Press starts a stroke there.
void StrokeMove(TPartForm& Form, TStroke& Stroke, int32_t ScreenX, int32_t ScreenY, bool Ctrl,
                bool Shift);
void StrokePress(TPartForm& Form, TStroke& Stroke, int32_t ScreenX, int32_t ScreenY, bool Ctrl,
                 bool Shift);
