// Byte readers handed out for the files of a project. A read fills the start
// of the buffer and returns the count, 0 at end of input; short counts are
// normal.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstddef>
#include <expected>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "kestro/utils/error.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/unique_fd.hpp"

namespace kestro::project {

class SourceReader {
 public:
  virtual ~SourceReader() = default;
  virtual std::expected<std::size_t, IoError> read(std::span<char> buffer) = 0;
};

using SourceReaderPtr = std::unique_ptr<SourceReader>;

// A file opened read-only; the descriptor is closed with the reader.
class FileSourceReader : public SourceReader {
 public:
  // Fails with OpenFile naming `path`.
  static std::expected<std::unique_ptr<FileSourceReader>, FsIoError> open(const std::filesystem::path& path);
  FileSourceReader(const FileSourceReader&) = delete;
  FileSourceReader& operator=(const FileSourceReader&) = delete;
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override;

 private:
  explicit FileSourceReader(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

// A reader over its own copy of some bytes.
class BytesSourceReader : public SourceReader {
 public:
  explicit BytesSourceReader(std::string bytes) : bytes_(std::move(bytes)) {}
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override;

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

}  // namespace kestro::project
