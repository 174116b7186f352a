#include "kestro/utils/fs.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro {

namespace {

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string temp_suffix() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  return fmt::format(".tmp{:012x}", rng() & 0xFFFFFFFFFFFFull);
}

bool has_nul(const fs::path& path) { return path.native().find('\0') != std::string::npos; }

}  // namespace

std::expected<int, IoError> open_fd(const fs::path& path, int flags, unsigned mode) {
  if (has_nul(path)) return std::unexpected(IoError::custom("file name contained an unexpected NUL byte"));
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return std::unexpected(IoError::last());
  return fd;
}

std::expected<struct ::stat, IoError> stat_file(const fs::path& path) {
  if (has_nul(path)) return std::unexpected(IoError::custom("file name contained an unexpected NUL byte"));
  struct ::stat st;
  if (::stat(path.c_str(), &st) != 0) return std::unexpected(IoError::last());
  return st;
}

bool stat_path(const fs::path& path, struct ::stat& st) {
  auto r = stat_file(path);
  if (r) st = *r;
  return r.has_value();
}

std::expected<std::string, IoError> read_fd(int fd) {
  std::string out;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::last());
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

std::expected<std::string, FsIoError> read_file(const fs::path& path) {
  auto opened = open_fd(path, O_RDONLY);
  if (!opened) return std::unexpected(FsIoError(FsIoError::OpenFile{path, opened.error()}));
  Fd f;
  f.fd = *opened;
  auto content = read_fd(f.fd);
  if (!content) return std::unexpected(FsIoError(FsIoError::ReadFile{path, content.error()}));
  return std::move(*content);
}

std::expected<std::string, FsIoError> read_utf8_file(const fs::path& path) {
  auto content = read_file(path);
  if (!content) return std::unexpected(FsIoError(FsIoError::ReadFile{path, content.error().io()}));
  if (!is_valid_utf8(*content))
    return std::unexpected(
        FsIoError(FsIoError::ReadFile{path, IoError::custom("stream did not contain valid UTF-8")}));
  return std::move(*content);
}

std::expected<void, FsIoError> write_file_atomic(const fs::path& target, std::string_view bytes) {
  fs::path temp;
  Fd f;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = target;
    temp += temp_suffix();
    auto opened = open_fd(temp, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (opened) {
      f.fd = *opened;
      break;
    }
    if (opened.error().code() != EEXIST || attempt == 15)
      return std::unexpected(FsIoError(FsIoError::CreateFile{target, opened.error()}));
  }

  auto fail = [&](IoError io) -> std::expected<void, FsIoError> {
    ::unlink(temp.c_str());
    return std::unexpected(FsIoError(FsIoError::WriteFile{target, std::move(io)}));
  };
  struct stat st;
  if (stat_path(target, st) && S_ISREG(st.st_mode)) ::fchmod(f.fd, st.st_mode & 07777);
  if (!write_all(f.fd, bytes)) return fail(IoError::last());
  if (::fsync(f.fd) != 0 && errno != EINVAL && errno != EROFS) return fail(IoError::last());
  int fd = f.fd;
  f.fd = -1;
  if (::close(fd) != 0) return fail(IoError::last());
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(IoError::last());
  return {};
}

}  // namespace kestro
