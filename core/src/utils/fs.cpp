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

}  // namespace

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
  Fd f;
  f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (f.fd < 0) return std::unexpected(FsIoError(FsIoError::Kind::OpenFile, path, IoError::last()));
  auto content = read_fd(f.fd);
  if (!content) return std::unexpected(FsIoError(FsIoError::Kind::ReadFile, path, content.error()));
  return std::move(*content);
}

std::expected<std::string, FsIoError> read_utf8_file(const fs::path& path) {
  auto content = read_file(path);
  if (!content) return std::unexpected(FsIoError(FsIoError::Kind::ReadFile, path, content.error().io()));
  if (!is_valid_utf8(*content))
    return std::unexpected(
        FsIoError(FsIoError::Kind::ReadFile, path, IoError::custom("stream did not contain valid UTF-8")));
  return std::move(*content);
}

std::expected<void, FsIoError> write_file_atomic(const fs::path& target, std::string_view bytes) {
  fs::path temp;
  Fd f;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = target;
    temp += temp_suffix();
    f.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (f.fd >= 0 || errno != EEXIST) break;
  }
  if (f.fd < 0) return std::unexpected(FsIoError(FsIoError::Kind::CreateFile, target, IoError::last()));

  auto fail = [&](IoError io) -> std::expected<void, FsIoError> {
    ::unlink(temp.c_str());
    return std::unexpected(FsIoError(FsIoError::Kind::WriteFile, target, std::move(io)));
  };
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(f.fd, st.st_mode & 07777);
  if (!write_all(f.fd, bytes)) return fail(IoError::last());
  if (::fsync(f.fd) != 0 && errno != EINVAL && errno != EROFS) return fail(IoError::last());
  int fd = f.fd;
  f.fd = -1;
  if (::close(fd) != 0) return fail(IoError::last());
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(IoError::last());
  return {};
}

}  // namespace kestro
