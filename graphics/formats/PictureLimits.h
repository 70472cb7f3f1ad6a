#pragma once
// The largest picture a file may describe. Readers refuse bigger ones with the
// out-of-memory error before allocating, so a few bytes of header cannot ask
// for gigabytes.
#include <cstdint>
#include <new>

inline constexpr int64_t MaxPictureSide = 32768;
inline constexpr int64_t MaxPictureBytes = int64_t(1) << 29;
namespace picture_limits_detail {
inline thread_local int64_t ByteLimit = MaxPictureBytes;
}

// The byte limit in force on this thread: MaxPictureBytes unless a
// TPictureByteLimit lowers it.
inline int64_t PictureByteLimit() {
  return picture_limits_detail::ByteLimit;
}

// Lowers the byte limit on this thread for its own lifetime (the fuzz
// programs do, so that they spend their time on parsing rather than on
// clearing memory). A higher value than the one in force changes nothing.
class TPictureByteLimit {
public:
  explicit TPictureByteLimit(int64_t Bytes) : FSaved(picture_limits_detail::ByteLimit) {
    if (Bytes < FSaved)
      picture_limits_detail::ByteLimit = Bytes;
  }
  ~TPictureByteLimit() { picture_limits_detail::ByteLimit = FSaved; }
  TPictureByteLimit(const TPictureByteLimit&) = delete;
  TPictureByteLimit& operator=(const TPictureByteLimit&) = delete;

private:
  int64_t FSaved;
};

// Raises std::bad_alloc when a Width x Height picture of BitCount bits per
// pixel (rows padded to 4 bytes) is larger than the limits. Negative sides are
// the caller's to refuse.
inline void CheckPictureSize(int64_t Width, int64_t Height, int64_t BitCount) {
  if (Width > MaxPictureSide || Height > MaxPictureSide)
    throw std::bad_alloc();
  const int64_t stride = ((Width * BitCount + 31) / 32) * 4;
  if (stride * Height > PictureByteLimit())
    throw std::bad_alloc();
}
