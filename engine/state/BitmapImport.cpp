#include "BitmapImport.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <string>
#include <utility>

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

TImportResult ImportBitmap(TPartForm& Form, const TDIB& Picture, const TImportSettings& Import,
                           TStyleSettings& Style) {
  if (Picture.GetEmpty())
    return {0, "The picture is empty: it has no pixel to import."};
  TDIBmp p;
  SampleSource(Picture, p);

  // Sampled before anything changes, so that a picture that would become no
  // emitter leaves the user's art as it is.
  const int maxSize = std::clamp(Import.MaxSize, ImportMaxSizeMin, ImportMaxSizeMax);
  const int32_t m = std::max(p.Width, p.Height);
  const int32_t s = std::min(m, maxSize);
  const double k = double(s) / double(m);
  const int32_t qw = int32_t(std::nearbyint(p.Width * k));
  const int32_t qh = int32_t(std::nearbyint(p.Height * k));
  if (qw <= 0 || qh <= 0) {
    if (maxSize == 0)
      return {0, "Max size is 0: the picture gives no sample to import."};
    return {0, "The picture is too thin for max size " + std::to_string(maxSize) +
                   ": it gives no sample to import."};
  }
  TDIBmp q;
  q.MakeDIBSection(); // starts all zero
  q.SetFormat(qw, qh, p.BitCount);
  p.ScaledCopyTo(q, TRect{0, 0, p.Width, p.Height}, 16, TRect{0, 0, qw, qh});

  // Only a 32-bit sample can be transparent; the loop below reads it the same way.
  auto visible = [&q](int32_t x, int32_t y) {
    return q.BitCount != 32 || (q.GetPixel32(x, y) >> 24) != 0;
  };
  bool any = false;
  for (int32_t y = 0; y < q.Height && !any; ++y)
    for (int32_t x = 0; x < q.Width && !any; ++x)
      any = visible(x, y);
  if (!any)
    return {0, "The picture has no visible pixel: every sample is transparent, so there is "
               "nothing to import."};

  Form.FEmitters.Clear();
  Form.ClearFading();

  Style.MaxCount = ImportMaxCount;
  Form.FMaxCount = ImportMaxCount;

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
  TImportResult result;
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
      ++result.Emitters;
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
  return result;
}

bool ImportPictureFile(TPartForm& Form, const std::string& FileName, const TImportSettings& Import,
                       TStyleSettings& Style, std::string* Error) {
  TDIBmp picture;
  try {
    picture.LoadFromFile(FileName);
    TImportResult result = ImportBitmap(Form, picture, Import, Style);
    if (result.Imported())
      return true;
    if (Error)
      *Error = std::move(result.Why);
    return false;
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
