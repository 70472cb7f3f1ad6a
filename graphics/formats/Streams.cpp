#include "Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t TStream::Remaining() const {
  const int64_t size = Size();
  if (size < 0)
    return -1;
  return std::max<int64_t>(0, size - Position());
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count <= 0)
    return;
  if (Read(Buffer, Count) != Count)
    throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count <= 0)
    return;
  if (Write(Buffer, Count) != Count)
    throw EWriteError();
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t n =
      std::clamp<int64_t>(int64_t(FBytes.size()) - FPosition, 0, std::max<int64_t>(Count, 0));
  if (n > 0)
    std::memcpy(Buffer, FBytes.data() + FPosition, std::size_t(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0)
    return 0;
  const std::size_t end = std::size_t(FPosition + Count);
  if (end > FBytes.size())
    FBytes.resize(end);
  std::memcpy(FBytes.data() + FPosition, Buffer, std::size_t(Count));
  FPosition += Count;
  return Count;
}

void TMemoryStream::Seek(int64_t Position) {
  FPosition = std::clamp<int64_t>(Position, 0, int64_t(FBytes.size()));
}

int64_t TReadOnlyMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t n = std::clamp<int64_t>(FSize - FPosition, 0, std::max<int64_t>(Count, 0));
  if (n > 0)
    std::memcpy(Buffer, FData + FPosition, std::size_t(n));
  FPosition += n;
  return n;
}

void TReadOnlyMemoryStream::Seek(int64_t Position) {
  FPosition = std::clamp<int64_t>(Position, 0, FSize);
}

TFileStream::TFileStream(const std::string& FileName, TMode Mode) {
  FFile = std::fopen(FileName.c_str(), Mode == fmCreate ? "wb" : "rb");
  if (!FFile) {
    const char* reason = std::strerror(errno);
    throw EFOpenError(
        std::string(Mode == fmCreate ? "Cannot create file \"" : "Cannot open file \"") + FileName +
        "\". " + reason);
  }
  if (Mode == fmOpenRead) {
    if (std::fseek(FFile, 0, SEEK_END) == 0) {
      FSize = std::ftell(FFile);
      std::fseek(FFile, 0, SEEK_SET);
    }
    // A folder opens on some systems but cannot be read.
    if (FSize < 0 || std::ferror(FFile)) {
      std::fclose(FFile);
      FFile = nullptr;
      throw EFOpenError("Cannot open file \"" + FileName + "\". Not a readable file");
    }
  }
}

TFileStream::~TFileStream() {
  if (FFile)
    std::fclose(FFile);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0)
    return 0;
  return int64_t(std::fread(Buffer, 1, std::size_t(Count), FFile));
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0)
    return 0;
  const int64_t n = int64_t(std::fwrite(Buffer, 1, std::size_t(Count), FFile));
  return n;
}

int64_t TFileStream::Size() const {
  return FSize;
}

int64_t TFileStream::Position() const {
  return std::ftell(FFile);
}

void TFileStream::Seek(int64_t Position) {
  std::fseek(FFile, long(Position), SEEK_SET);
}

void TFileStream::Flush() {
  if (std::fflush(FFile) != 0)
    throw EWriteError();
}

std::vector<uint8_t> ReadWholeFile(const std::string& FileName) {
  TFileStream f(FileName, TFileStream::fmOpenRead);
  std::vector<uint8_t> bytes(std::size_t(f.Size()));
  f.ReadBuffer(bytes.data(), int64_t(bytes.size()));
  return bytes;
}
