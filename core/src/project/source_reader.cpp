#include "kestro/project/source_reader.hpp"

#include "kestro/utils/fs.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestro::project {

std::expected<std::unique_ptr<FileSourceReader>, FsIoError> FileSourceReader::open(const std::filesystem::path& path) {
  auto fd = open_fd(path, O_RDONLY);
  if (!fd) return std::unexpected(FsIoError(FsIoError::OpenFile{path, fd.error()}));
  return std::unique_ptr<FileSourceReader>(new FileSourceReader(std::move(*fd)));
}

std::expected<std::size_t, IoError> FileSourceReader::read(std::span<char> buffer) {
  for (;;) {
    ssize_t n = ::read(fd_.get(), buffer.data(), buffer.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(IoError::last());
  }
}

std::expected<std::size_t, IoError> BytesSourceReader::read(std::span<char> buffer) {
  std::size_t n = std::min(buffer.size(), bytes_.size() - pos_);
  std::memcpy(buffer.data(), bytes_.data() + pos_, n);
  pos_ += n;
  return n;
}

}  // namespace kestro::project
