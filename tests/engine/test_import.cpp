// Turning pictures into art.
#include <cstring>

#include "../graphics/PictureFixtures.h"
#include "BitmapImport.h"
#include "Colors.h"
#include "EngineTestSupport.h"
#include "StateFile.h"

namespace {

// A W x H picture of the given depth with every pixel set to Pixel's bytes.
std::unique_ptr<TDIBmp> Picture(int32_t W, int32_t H, int32_t Bits, std::vector<uint8_t> Pixel) {
  auto p = TDIBmp::CreateSized(W, H, Bits, true);
  std::memset(p->PixelMemory, 0, size_t(p->Size));
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      std::memcpy(p->PixelMemory + y * p->RowStride + x * (Bits / 8), Pixel.data(), Pixel.size());
  return p;
}

uint32_t Advance(uint32_t Seed, int Draws) {
  for (int i = 0; i < Draws; ++i)
    Seed = Seed * 134775813u + 1u;
  return Seed;
}

class Import : public EngineTest {
protected:
  TStyleSettings settings;
  TImportSettings import;
  void SetUp() override {
    EngineTest::SetUp();
    ApplyStyle(form, settings);
    form.FLifetime = ImmortalLife;
  }
};

} // namespace

TEST_F(Import, SamplesTheLongerSideDownToMaxSizeAndCentres) {
  auto p = Picture(256, 128, 32, {10, 20, 30, 255});
  form.AddEmitter(nullptr, 256, 5, 5);
  form.FMaxCount = 100;
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 128 * 64);
  EXPECT_EQ(form.FMaxCount, 20000);
  EXPECT_EQ(settings.MaxCount, 20000);
  const TArtBounds b = form.GetArtBounds();
  const double scale = 400 * double(0.01f);
  EXPECT_NEAR(b.MaxX - b.MinX, 127 * scale, 1e-3); // about 508 x 252
  EXPECT_NEAR(b.MaxY - b.MinY, 63 * scale, 1e-3);
  EXPECT_NEAR(b.MinX + b.MaxX, 0, 1e-3);
  EXPECT_NEAR(b.MinY + b.MaxY, 0, 1e-3);
  // Row by row from the top left; the trails are cleared, the attraction
  // point is the origin.
  EXPECT_EQ(form.Emitter(0)->X, b.MinX);
  EXPECT_EQ(form.Emitter(0)->Y, b.MinY);
  EXPECT_GT(form.Emitter(1)->X, form.Emitter(0)->X);
  EXPECT_EQ(form.Emitter(128)->X, b.MinX);
  EXPECT_EQ(form.FCoverRect.Left, INT32_MAX);
  EXPECT_EQ(form.FAttractor.X, 0.0f);
  EXPECT_EQ(form.FAttractor.Y, 0.0f);
  // Each emitter has its own style with the sample's colour.
  const TEmitter& e = *form.Emitter(100);
  EXPECT_TRUE(e.HasOwnStyle());
  EXPECT_EQ(e.Style->Color, 0xFF1E140Au);
  EXPECT_EQ(e.BaseAlpha, 256);
}

TEST_F(Import, TransparentSamplesAreSkipped) {
  auto p = Picture(16, 4, 32, {0, 0, 0, 0});
  for (int y = 0; y < 4; ++y)
    for (int x = 8; x < 16; ++x)
      *p->PixelAddress(x, y) = 0x80402010;
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 32);
  // Only the right half: 8 columns, spaced 4 apart, centred.
  const TArtBounds b = form.GetArtBounds();
  EXPECT_NEAR(b.MaxX - b.MinX, 7 * 400 * double(0.01f), 1e-3);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0x80402010u);
}

TEST_F(Import, MaskOnlyTakesTheAlphaOfThirtyTwoBitPictures) {
  import.MaskOnly = true;
  auto p = Picture(2, 1, 32, {1, 2, 3, 128});
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 2);
  const TEmitter& e = *form.Emitter(0);
  EXPECT_FALSE(e.HasOwnStyle());
  EXPECT_EQ(e.Style, &form.FStyle);
  EXPECT_EQ(e.BaseAlpha, 128);
  EXPECT_EQ(e.Alpha, 256 * 256 * 128 >> 8);

  // With independent emitters the shared style is copied, not the import's.
  form.FIndependent = true;
  ImportBitmap(form, *p, import, settings);
  EXPECT_TRUE(form.Emitter(0)->HasOwnStyle());
  EXPECT_EQ(form.Emitter(0)->Style->Color, form.FStyle.Color);
  form.FIndependent = false;

  // A 24-bit picture has no alpha: the option changes nothing.
  auto rgb = Picture(2, 1, 24, {1, 2, 3});
  ImportBitmap(form, *rgb, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 2);
  EXPECT_TRUE(form.Emitter(0)->HasOwnStyle());
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0xFF030201u);
  EXPECT_EQ(form.Emitter(0)->BaseAlpha, 256);
}

TEST_F(Import, ResetStyleSuitsPictures) {
  import.Scaling = 150;
  auto p = Picture(1, 1, 24, {0, 0, 0});
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 1); // black is an emitter too
  const TEmitterStyle& s = *form.Emitter(0)->Style;
  EXPECT_EQ(s.Thickness, 0.0f);
  EXPECT_FLOAT_EQ(s.XWildness, 1.5f);
  EXPECT_FLOAT_EQ(s.YWildness, 1.5f);
  EXPECT_EQ(s.MaxAlpha, 60);
  EXPECT_FALSE(s.Fat);
  EXPECT_EQ(s.Color, 0xFF000000u);
  // The three Fading sliders moved, and their handler ran.
  EXPECT_EQ(settings.YMotion, 0);
  EXPECT_EQ(settings.FadeAlpha, 240);
  EXPECT_EQ(settings.FadeLightness, 256);
  EXPECT_EQ(form.FYMotion, 0);
  EXPECT_EQ(form.FFadeSliders.Alpha, 240);
  EXPECT_EQ(form.FFadeSliders.Lightness, 256);

  // Scaling 400 gives a thickness of scale - 2; without "Reset style" the
  // shared style is taken as it is.
  import.Scaling = 400;
  ImportBitmap(form, *p, import, settings);
  EXPECT_NEAR(form.Emitter(0)->Style->Thickness, 2.0, 1e-6);
  import.ResetStyle = false;
  settings.YMotion = -2;
  YMotionSelChange(form, settings);
  ImportBitmap(form, *p, import, settings);
  EXPECT_EQ(form.Emitter(0)->Style->Thickness, form.FStyle.Thickness);
  EXPECT_EQ(form.Emitter(0)->Style->MaxAlpha, form.FStyle.MaxAlpha);
  EXPECT_EQ(form.FYMotion, -2);
}

TEST_F(Import, FallDelaysAndLifetimesDrawInOrder) {
  auto p = Picture(3, 2, 24, {9, 9, 9});
  // Immortal: one draw each, the fall delay.
  RandSeed = 12345;
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 6);
  EXPECT_EQ(RandSeed, Advance(12345, 6));
  uint32_t seed = 12345;
  for (int i = 0; i < 6; ++i) {
    seed = Advance(seed, 1);
    EXPECT_EQ(form.Emitter(i)->Fall, float(-(seed / 4294967296.0 * 3000 + 1000)));
    EXPECT_EQ(form.Emitter(i)->Life, ImmortalLife);
  }
  // Mortal: AddEmitter's lifetime draw, the fall delay, a new lifetime.
  form.FLifetime = 1000;
  RandSeed = 777;
  ImportBitmap(form, *p, import, settings);
  EXPECT_EQ(RandSeed, Advance(777, 18));
  const uint32_t lifeSeed = Advance(777, 3);
  EXPECT_EQ(form.Emitter(0)->Life, float(lifeSeed / 4294967296.0 * 1000 * 0.1 + 1000));
}

TEST_F(Import, ShallowPicturesAreSampledInColour) {
  TDIBmp pic(3, 1, 8, true);
  TDIBmp* p = &pic;
  TDIBColorTable t{};
  t[1] = 0x112233;
  t[2] = 0xFFFFFF;
  p->SetColorTable(t);
  p->PixelMemory[0] = 1;
  p->PixelMemory[1] = 0;
  p->PixelMemory[2] = 2;
  ImportBitmap(form, *p, import, settings);
  ASSERT_EQ(form.FEmitters.Count, 3);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0xFF112233u);
  EXPECT_EQ(form.Emitter(1)->Style->Color, 0xFF000000u);
  EXPECT_EQ(form.Emitter(2)->Style->Color, 0xFFFFFFFFu);
}

// A picture that would become no emitter is refused before anything changes:
// the art, the trails, the limits, the style and the random numbers stay, and
// the result says why.
TEST_F(Import, APictureThatBecomesNoEmitterChangesNothing) {
  auto clear = Picture(6, 3, 32, {40, 30, 20, 0}); // colour but alpha 0
  auto grey = Picture(4, 4, 24, {1, 1, 1});
  auto line = Picture(300, 1, 24, {9, 9, 9}); // 128 x 0 samples
  TDIBmp empty;
  const struct {
    const char* Name;
    const TDIB* Source;
    int MaxSize;
    const char* Why;
  } Cases[] = {
      {"empty", &empty, 128, "The picture is empty"},
      {"transparent", clear.get(), 128, "every sample is transparent"},
      {"transparent, 2 x 1 samples", clear.get(), 2, "every sample is transparent"},
      {"max size 0", grey.get(), 0, "Max size is 0"},
      {"too thin", line.get(), 128, "too thin for max size 128"},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Name);
    import.MaxSize = c.MaxSize;
    form.FEmitters.Clear();
    form.AddEmitter(nullptr, 256, 1, 2);
    form.AddEmitter(nullptr, 256, -30, 40);
    settings.MaxCount = 100;
    settings.YMotion = -3;
    settings.FadeAlpha = 200;
    ApplyStyle(form, settings);
    form.FAttractor = TVector4{5, 6, 0, 0};
    form.Tick(0); // trails on the surface
    const std::string art = WriteStateText(form, settings);
    const TStyleSettings style = settings;
    const TRect cover = form.FCoverRect;
    const int32_t surfaceWidth = display.FSurface.Width;
    const int shown = presents;
    RandSeed = 4242;

    const TImportResult r = ImportBitmap(form, *c.Source, import, settings);
    EXPECT_FALSE(r.Imported());
    EXPECT_EQ(r.Emitters, 0);
    EXPECT_NE(r.Why.find(c.Why), std::string::npos) << r.Why;

    EXPECT_EQ(WriteStateText(form, settings), art); // emitters and style
    EXPECT_EQ(settings, style);
    EXPECT_EQ(form.FMaxCount, 100);
    EXPECT_EQ(form.FYMotion, -3);
    EXPECT_EQ(form.FFadeSliders.Alpha, 200);
    EXPECT_EQ(form.FAttractor.X, 5.0f);
    EXPECT_EQ(form.FCoverRect.Left, cover.Left);
    EXPECT_EQ(display.FSurface.Width, surfaceWidth);
    EXPECT_EQ(presents, shown);
    EXPECT_EQ(RandSeed, 4242u);
  }

  // One opaque pixel among the transparent ones is enough.
  import.MaxSize = 128;
  *clear->PixelAddress(4, 1) = 0xFF102030;
  const TImportResult r = ImportBitmap(form, *clear, import, settings);
  EXPECT_TRUE(r.Imported());
  EXPECT_EQ(r.Emitters, 1);
  EXPECT_EQ(r.Why, "");
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0xFF102030u);
  EXPECT_EQ(form.FMaxCount, 20000);
  EXPECT_EQ(settings.FadeAlpha, 240);
}

TEST_F(Import, PictureFiles) {
  fx::TTempDir dir;
  form.AddEmitter(nullptr, 256, 1, 2);
  // A file that cannot be loaded changes nothing, and says why.
  const struct {
    std::string File;
    const char* Why;
  } Failures[] = {
      {dir.Path + "/missing.png", "No such file"},
      {dir.Write("bad.bmp", {'B', 'M', 1}), "DIB is invalid"},
      {dir.Write("x.xyz", {1}), "Unknown picture file extension (.xyz)"},
  };
  for (const auto& f : Failures) {
    std::string why;
    EXPECT_FALSE(ImportPictureFile(form, f.File, import, settings, &why)) << f.File;
    EXPECT_NE(why.find(f.Why), std::string::npos) << f.File << ": " << why;
  }
  EXPECT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(settings.MaxCount, 10000);

  // So does a picture that loads but has nothing visible, whether its
  // transparency is an alpha channel or a tRNS chunk.
  fx::TPngSpec clearPalette{
      .Width = 2, .Height = 2, .ColorType = PNG_COLOR_TYPE_PALETTE, .Rows = fx::Bytes(4, 0)};
  clearPalette.Palette = {{200, 100, 50}};
  clearPalette.Trans = {0};
  const fx::TPngSpec clearPngs[] = {
      {.Width = 2, .Height = 2, .Rows = fx::Bytes(16, 0)},
      clearPalette,
      {.Width = 2,
       .Height = 2,
       .ColorType = PNG_COLOR_TYPE_GRAY,
       .Rows = fx::Bytes(4, 9),
       .TransColor = {{0, 0, 0, 0, 9}}},
  };
  for (const fx::TPngSpec& spec : clearPngs) {
    SCOPED_TRACE(spec.ColorType);
    std::string why;
    EXPECT_FALSE(
        ImportPictureFile(form, dir.Write("clear.png", fx::MakePng(spec)), import, settings, &why));
    EXPECT_NE(why.find("every sample is transparent"), std::string::npos) << why;
    EXPECT_EQ(form.FEmitters.Count, 1);
    EXPECT_EQ(settings.MaxCount, 10000);
  }

  const fx::Bytes png =
      fx::MakePng({.Width = 2, .Height = 1, .Rows = {200, 100, 50, 128, 0, 0, 0, 0}});
  EXPECT_TRUE(ImportPictureFile(form, dir.Write("a.png", png), import, settings));
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0x80643219u); // premultiplied: 100, 50, 25

  // A palette entry made transparent by tRNS is left out the same way, and so
  // is a GIF's transparent colour.
  fx::TPngSpec palette{
      .Width = 2, .Height = 1, .ColorType = PNG_COLOR_TYPE_PALETTE, .Rows = {0, 1}};
  palette.Palette = {{200, 100, 50}, {10, 20, 30}};
  palette.Trans = {255, 0};
  EXPECT_TRUE(ImportPictureFile(form, dir.Write("p.png", fx::MakePng(palette)), import, settings));
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0xFFC86432u);

  const fx::Bytes gif = fx::MakeGif(
      {.ScreenWidth = 2, .Global = {0xC86432, 0}, .Width = 2, .Transparent = 1, .Indices = {0, 1}});
  EXPECT_TRUE(ImportPictureFile(form, dir.Write("a.gif", gif), import, settings));
  ASSERT_EQ(form.FEmitters.Count, 1);
  EXPECT_EQ(form.Emitter(0)->Style->Color, 0xFFC86432u);
}
