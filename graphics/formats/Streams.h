#pragma once
// Byte streams for picture data: files, growable memory and read-only views
// over a block (the clipboard form and blocks kept in window layouts).
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

// A stream ended before the bytes asked for were read.
class EReadError : public std::runtime_error {
public:
  EReadError() : std::runtime_error("Stream read error") {}
};
// The bytes could not all be written.
class EWriteError : public std::runtime_error {
public:
  EWriteError() : std::runtime_error("Stream write error") {}
};
// A file could not be opened or created.
class EFOpenError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TStream {
public:
  virtual ~TStream() = default;
  // Reads up to Count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Total size, or -1 when the stream cannot tell.
  virtual int64_t Size() const = 0;
  virtual int64_t Position() const = 0;
  virtual void Seek(int64_t Position) = 0;

  // Bytes left before the end, or -1 when unknown.
  int64_t Remaining() const;
  // Reads exactly Count bytes or raises EReadError.
  void ReadBuffer(void* Buffer, int64_t Count);
  // Writes exactly Count bytes or raises EWriteError.
  void WriteBuffer(const void* Buffer, int64_t Count);
};

// A growable block in memory, readable and writable.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Bytes) : FBytes(std::move(Bytes)) {}

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Size() const override { return int64_t(FBytes.size()); }
  int64_t Position() const override { return FPosition; }
  void Seek(int64_t Position) override;

  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  std::vector<uint8_t> TakeBytes() {
    FPosition = 0;
    return std::move(FBytes);
  }

private:
  std::vector<uint8_t> FBytes;
  int64_t FPosition = 0;
};

// A read-only view over a block the caller keeps alive (the clipboard's data
// block); writing writes nothing.
class TReadOnlyMemoryStream : public TStream {
public:
  TReadOnlyMemoryStream(const void* Data, std::size_t Size)
      : FData(static_cast<const uint8_t*>(Data)), FSize(int64_t(Size)) {}

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Size() const override { return FSize; }
  int64_t Position() const override { return FPosition; }
  void Seek(int64_t Position) override;

private:
  const uint8_t* FData;
  int64_t FSize;
  int64_t FPosition = 0;
};

// A file opened for reading, or created (truncated) for writing.
class TFileStream : public TStream {
public:
  enum TMode { fmOpenRead, fmCreate };
  // Raises EFOpenError when the file cannot be opened or created.
  TFileStream(const std::string& FileName, TMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Size() const override;
  int64_t Position() const override;
  void Seek(int64_t Position) override;
  // Flushes written bytes; raises EWriteError when they cannot all be stored.
  void Flush();

private:
  std::FILE* FFile = nullptr;
  int64_t FSize = -1; // known for a file opened for reading
};

// The whole file's bytes; raises EFOpenError or EReadError.
std::vector<uint8_t> ReadWholeFile(const std::string& FileName);
