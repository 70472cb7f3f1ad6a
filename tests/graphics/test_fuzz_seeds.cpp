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
      {"bmp", {quelma_fuzz::FuzzBmp, [](TDIBmp& d, const std::vector<uint8_t>& b) {
                 TReadOnlyMemoryStream s(b.data(), b.size());
                 d.LoadFromStream(s);
               }}},
      {"tga", {quelma_fuzz::FuzzTga, [](TDIBmp& d, const std::vector<uint8_t>& b) {
                 TReadOnlyMemoryStream s(b.data(), b.size());
                 LoadTga(d, s);
               }}},
      {"png", {quelma_fuzz::FuzzPng, [](TDIBmp& d, const std::vector<uint8_t>& b) { LoadPngInto(d, b.data(), b.size()); }}},
      {"jpeg", {quelma_fuzz::FuzzJpeg, [](TDIBmp& d, const std::vector<uint8_t>& b) {
                  d.AssignPicture(DecodeJpeg(b.data(), b.size()));
                }}},
  };
  return kinds;
}

const fs::path FuzzDir = fs::path(QUELMA_SOURCE_DIR) / "fuzz";

// The entries lower the picture byte limit for speed; the other tests keep
// the program's own.
struct TLimitGuard {
  int64_t Saved = PictureByteLimit;
  ~TLimitGuard() { PictureByteLimit = Saved; }
};

}  // namespace

TEST(FuzzSeeds, EverySeedLoadsAndPassesItsEntry) {
  TLimitGuard limit;
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

TEST(FuzzSeeds, EarlierFindingsStayFixed) {
  TLimitGuard limit;
  for (const auto& [name, kind] : Kinds())
    for (const fs::path& p : FilesIn(FuzzDir / "regressions" / name)) {
      SCOPED_TRACE(p.string());
      const std::vector<uint8_t> bytes = ReadWholeFile(p.string());
      kind.Entry(bytes.data(), bytes.size());
    }
}
