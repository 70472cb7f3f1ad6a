// Replays the fuzz programs' seed corpus and the inputs that once failed
// them, through the same entry functions, as part of the normal tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "../../fuzz/FuzzEntries.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file())
        files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

struct Kind {
  int (*Entry)(const uint8_t*, size_t);
  // Loads a valid picture without the entry's guard, so that a seed that no
  // longer loads is seen.
  std::function<void(TDIBmp&, const std::vector<uint8_t>&)> Load;
};

const std::map<std::string, Kind>& Kinds() {
  static const std::map<std::string, Kind> kinds = {
      {"bmp",
       {quelma_fuzz::FuzzBmp,
        [](TDIBmp& d, const std::vector<uint8_t>& b) {
          TReadOnlyMemoryStream s(b.data(), b.size());
          d.LoadFromStream(s);
        }}},
      {"tga",
       {quelma_fuzz::FuzzTga,
        [](TDIBmp& d, const std::vector<uint8_t>& b) {
          TReadOnlyMemoryStream s(b.data(), b.size());
          LoadTga(d, s);
        }}},
      {"png",
       {quelma_fuzz::FuzzPng,
        [](TDIBmp& d, const std::vector<uint8_t>& b) { LoadPngInto(d, b.data(), b.size()); }}},
      {"jpeg",
       {quelma_fuzz::FuzzJpeg,
        [](TDIBmp& d, const std::vector<uint8_t>& b) {
          d.AssignPicture(DecodeJpeg(b.data(), b.size()));
        }}},
      {"gif",
       {quelma_fuzz::FuzzGif,
        [](TDIBmp& d, const std::vector<uint8_t>& b) {
          d.AssignPicture(TAlphaRasterPicture(DecodeGif(b.data(), b.size())));
        }}},
      {"webp",
       {quelma_fuzz::FuzzWebp,
        [](TDIBmp& d, const std::vector<uint8_t>& b) {
          d.AssignPicture(TAlphaRasterPicture(DecodeWebp(b.data(), b.size())));
        }}},
  };
  return kinds;
}

const fs::path FuzzDir = fs::path(QUELMA_SOURCE_DIR) / "fuzz";

} // namespace

TEST(FuzzSeeds, EverySeedLoadsAndPassesItsEntry) {
  for (const auto& [name, kind] : Kinds()) {
    const std::vector<fs::path> seeds = FilesIn(FuzzDir / "corpus" / name);
    EXPECT_FALSE(seeds.empty()) << name;
    for (const fs::path& p : seeds) {
      SCOPED_TRACE(p.string());
      const std::vector<uint8_t> bytes = ReadWholeFile(p.string());
      TDIBmp d;
      EXPECT_NO_THROW(kind.Load(d, bytes));
      EXPECT_FALSE(d.Empty());
      kind.Entry(bytes.data(), bytes.size());
      // Every cut of a seed is a malformed file; none may do harm.
      for (size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 16)
        kind.Entry(bytes.data(), n);
    }
  }
}

// What loading a picture outside the fuzz guard gives: its size, or the error
// that refused it.
std::string Outcome(const Kind& kind, const std::vector<uint8_t>& bytes) {
  try {
    TDIBmp d;
    kind.Load(d, bytes);
    return "loads " + std::to_string(d.Width) + "x" + std::to_string(d.Height);
  } catch (const std::bad_alloc&) {
    return "refused: out of memory";
  } catch (const std::exception& e) {
    return std::string("refused: ") + e.what();
  }
}

// Every input that once failed a fuzz program passes its entry again and ends
// as it should under the fuzz programs' byte limit: refused with the reader's
// error, or loaded.
TEST(FuzzSeeds, EarlierFindingsStayFixed) {
  const std::map<std::string, std::string> expected = {
      {"bmp/rle-without-rows.bmp", "loads 517x0"},
      {"jpeg/huge-progressive.jpg", "refused: out of memory"},
      {"tga/huge-without-pixels.tga", "refused: TGA image type 36 is not supported"},
  };
  std::size_t files = 0;
  for (const auto& [name, kind] : Kinds())
    for (const fs::path& p : FilesIn(FuzzDir / "regressions" / name)) {
      const std::string key = name + "/" + p.filename().string();
      SCOPED_TRACE(key);
      ++files;
      const std::vector<uint8_t> bytes = ReadWholeFile(p.string());
      EXPECT_EQ(kind.Entry(bytes.data(), bytes.size()), 0);
      ASSERT_TRUE(expected.count(key)) << "a new finding needs its expected outcome here";
      const TPictureByteLimit limit(int64_t(1) << 24);
      EXPECT_EQ(Outcome(kind, bytes), expected.at(key));
    }
  EXPECT_EQ(files, expected.size());
}

// The fuzz guard's lower byte limit holds only while its scope lasts, and a
// scope never raises the limit.
TEST(FuzzSeeds, ByteLimitScopeLowersOnlyForItsLifetime) {
  EXPECT_NO_THROW(CheckPictureSize(1024, 1024, 32)); // 4 MB
  {
    const TPictureByteLimit limit(int64_t(1) << 20);
    EXPECT_EQ(PictureByteLimit(), int64_t(1) << 20);
    EXPECT_THROW(CheckPictureSize(1024, 1024, 32), std::bad_alloc);
    const TPictureByteLimit higher(int64_t(1) << 30);
    EXPECT_EQ(PictureByteLimit(), int64_t(1) << 20);
  }
  EXPECT_EQ(PictureByteLimit(), MaxPictureBytes);
  EXPECT_NO_THROW(CheckPictureSize(1024, 1024, 32));
}
