#pragma once

// Drawing of the slider's parts: the shade scheme derived from the control colour,
// framed bevels, grip lines and the arrow triangles.

#include <QColor>
#include <QRect>

class QPainter;

struct TShadeScheme {
  QColor Base;      // track and part faces
  QColor Focused;   // the track while the slider has the focus
  QColor Highlight; // light edge of a raised bevel
  QColor Shadow;    // dark edge of a bevel, grip lines, triangle shadow
  QColor Frame;     // outer frame of the knob and the arrow buttons

  static TShadeScheme From(const QColor& Color);
};

// A part's frame and bevel over all of R, its face filled: raised, or sunken when pressed.
void PaintPartFrame(QPainter& Canvas, const QRect& R, const TShadeScheme& Scheme, bool Pressed);

// Grip lines across the part R (whose long side runs along the track), one every
// 3 pixels, 4 pixels in from the ends; highlight lines beside them unless pressed.
void PaintGripLines(QPainter& Canvas, const QRect& R, bool Horizontal, const TShadeScheme& Scheme,
                    bool Pressed);

// A filled triangle of size 7 centred in R, pointing left, right, up or down
// (glyph index 0 to 3): first a shadow one pixel right and down, then in black.
void PaintArrowGlyph(QPainter& Canvas, const QRect& R, int GlyphIndex, const TShadeScheme& Scheme);
