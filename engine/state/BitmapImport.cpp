#include "BitmapImport.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "Colors.h"
#include "DIBmp.h"
#include "FlameEngine.h"
#include "Random.h"

namespace {

// The resampling copy works on 24- and 32-bit pictures only; shallower ones
// are brought to 24 bits first (colour tables and 16-bit masks resolved).
void SampleSource(const TDIB& Picture, TDIBmp& Source) {
  Source.Assign(&Picture);
  if (Source.BitCount >= 24)
    return;
  Source.PixelFormat = MakePixelFormat(8, 8, 8);
  Source.ConvertBitCount(24);
}

} // namespace

void ImportBitmap(TPartForm& Form, const TDIB& Picture, const TImportSettings& Import,
                  TStyleSettings& Style) {
  if (Picture.GetEmpty())
    return;
  TDIBmp p;
  SampleSource(Picture, p);

  Form.FEmitters.Clear();
  Form.ClearFading();

  Style.MaxCount = ImportMaxCount;
  Form.FMaxCount = ImportMaxCount;

  const int maxSize = std::clamp(Import.MaxSize, ImportMaxSizeMin, ImportMaxSizeMax);
  const int32_t m = std::max(p.Width, p.Height);
  const int32_t s = std::min(m, maxSize);
  const double k = double(s) / double(m);
  const int32_t qw = int32_t(std::nearbyint(p.Width * k));
  const int32_t qh = int32_t(std::nearbyint(p.Height * k));
  TDIBmp q;
  if (qw > 0 && qh > 0) {
    q.MakeDIBSection(); // starts all zero
    q.SetFormat(qw, qh, p.BitCount);
    p.ScaledCopyTo(q, TRect{0, 0, p.Width, p.Height}, 16, TRect{0, 0, qw, qh});
  }

  const int scaling = std::clamp(Import.Scaling, ImportScalingMin, ImportScalingMax);
  const double scale = scaling * double(0.01f);

  TEmitterStyle style = Form.FStyle;
  if (Import.ResetStyle) {
    Style.YMotion = 0;
    Style.FadeAlpha = 240;
    Style.FadeLightness = 256;
    // Each of the three moves runs the Fading handler; it rewrites the same
    // fields from the same positions, so once is the same as three times.
    YMotionSelChange(Form, Style);
    style.Fat = false;
    style.Thickness = scale - 2 > 0 ? float(scale - 2) : 0.0f;
    style.XWildness = float(scale);
    style.YWildness = float(scale);
    style.MaxAlpha = 60;
  }

  const bool mask = Import.MaskOnly && q.BitCount == 32;
  for (int32_t y = 0; y < q.Height; ++y)
    for (int32_t x = 0; x < q.Width; ++x) {
      const uint32_t c = q.BitCount == 32
                             ? q.GetPixel32(x, y)
                             : SwapRB(q.PixelColorFromBottom(x, q.Height - 1 - y)) | 0xFF000000u;
      const int32_t a = int32_t(c >> 24);
      if (a == 0)
        continue;
      if (!mask)
        style.Color = c;
      TEmitter* e = Form.AddEmitter(mask ? nullptr : &style, 256, float(x * scale + 100),
                                    float(y * scale + 100));
      e->Fall = float(-(RandomReal() * 3000 + 1000));
      if (Form.FLifetime != ImmortalLife)
        e->Life = float(RandomReal() * double(Form.FLifetime) * 0.1 + double(Form.FLifetime));
      if (mask) {
        e->BaseAlpha = a;
        e->Alpha = (e->Alpha * a) >> 8;
      }
    }

  Form.CenterArt();
  Form.FAttractor = TVector4{0, 0, 0, 0};
}

bool ImportPictureFile(TPartForm& Form, const std::string& FileName, const TImportSettings& Import,
                       TStyleSettings& Style, std::string* Error) {
  TDIBmp picture;
  try {
    picture.LoadFromFile(FileName);
    ImportBitmap(Form, picture, Import, Style);
    return true;
  } catch (const std::bad_alloc&) {
    if (Error)
      *Error = "Not enough memory.";
  } catch (const std::exception& E) {
    if (Error)
      *Error = E.what();
  } catch (...) {
    if (Error)
      *Error = "Unknown error.";
  }
  return false;
}
