#include "NumBarPaint.h"

#include <QPainter>

TShadeScheme TShadeScheme::From(const QColor& Color) {
  TShadeScheme s;
  s.Base = Color;
  s.Focused = Color.darker(112);
  s.Highlight = Color.lighter(160);
  if (s.Highlight == Color)
    s.Highlight = Qt::white; // lighter() leaves black black
  s.Shadow = Color.darker(160);
  s.Frame = Qt::black;
  return s;
}

void PaintPartFrame(QPainter& Canvas, const QRect& R, const TShadeScheme& Scheme, bool Pressed) {
  if (R.width() <= 0 || R.height() <= 0)
    return;
  Canvas.save();
  Canvas.setRenderHint(QPainter::Antialiasing, false);
  Canvas.fillRect(R, Scheme.Frame);
  const QRect inner = R.adjusted(1, 1, -1, -1);
  if (inner.width() > 0 && inner.height() > 0) {
    Canvas.fillRect(inner, Scheme.Base);
    const int l = inner.left(), t = inner.top(), r = inner.right(), b = inner.bottom();
    if (Pressed) {
      // Sunken: a shadow along the top and left edges only.
      Canvas.fillRect(QRect(l, t, inner.width(), 1), Scheme.Shadow);
      Canvas.fillRect(QRect(l, t, 1, inner.height()), Scheme.Shadow);
    } else {
      Canvas.fillRect(QRect(l, t, inner.width(), 1), Scheme.Highlight);
      Canvas.fillRect(QRect(l, t, 1, inner.height()), Scheme.Highlight);
      Canvas.fillRect(QRect(l, b, inner.width(), 1), Scheme.Shadow);
      Canvas.fillRect(QRect(r, t, 1, inner.height()), Scheme.Shadow);
    }
  }
  Canvas.restore();
}

void PaintGripLines(QPainter& Canvas, const QRect& R, bool Horizontal, const TShadeScheme& Scheme,
                    bool Pressed) {
  const int length = Horizontal ? R.width() : R.height();
  const int thickness = Horizontal ? R.height() : R.width();
  const int across = thickness - 8;
  if (across <= 0)
    return;
  for (int at = 4; at <= length - 5; at += 3) {
    if (Horizontal) {
      Canvas.fillRect(QRect(R.left() + at, R.top() + 4, 1, across), Scheme.Shadow);
      if (!Pressed)
        Canvas.fillRect(QRect(R.left() + at + 1, R.top() + 4, 1, across), Scheme.Highlight);
    } else {
      Canvas.fillRect(QRect(R.left() + 4, R.top() + at, across, 1), Scheme.Shadow);
      if (!Pressed)
        Canvas.fillRect(QRect(R.left() + 4, R.top() + at + 1, across, 1), Scheme.Highlight);
    }
  }
}

void PaintArrowGlyph(QPainter& Canvas, const QRect& R, int GlyphIndex, const TShadeScheme& Scheme) {
  // Size 7 across the base and 4 along the point, drawn line by line for exact pixels.
  const bool sideways = GlyphIndex < 2;
  const int w = sideways ? 4 : 7, h = sideways ? 7 : 4;
  const int x = R.left() + (R.width() - w) / 2;
  const int y = R.top() + (R.height() - h) / 2;
  const auto shape = [&](int X, int Y, const QColor& Color) {
    for (int i = 0; i < 4; ++i) {
      switch (GlyphIndex) {
      case 0:
        Canvas.fillRect(QRect(X + i, Y + 3 - i, 1, 2 * i + 1), Color);
        break; // left
      case 1:
        Canvas.fillRect(QRect(X + i, Y + i, 1, 7 - 2 * i), Color);
        break; // right
      case 2:
        Canvas.fillRect(QRect(X + 3 - i, Y + i, 2 * i + 1, 1), Color);
        break; // up
      default:
        Canvas.fillRect(QRect(X + i, Y + i, 7 - 2 * i, 1), Color);
        break; // down
      }
    }
  };
  shape(x + 1, y + 1, Scheme.Shadow);
  shape(x, y, Qt::black);
}
