#include "kestro/utils/fs.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro {

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

namespace {

std::string temp_suffix() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  return fmt::format(".tmp{:012x}", rng() & 0xFFFFFFFFFFFFull);
}

bool has_nul(const fs::path& path) { return path.native().find('\0') != std::string::npos; }

IoError nul_error() { return IoError::custom("file name contained an unexpected NUL byte"); }

// The file a chain of symbolic links starting at `path` ends at; `path`
// itself when it is no link. The end may not exist (a dangling link): writing
// creates it there, as opening the link for writing would.
std::expected<fs::path, IoError> follow_links(const fs::path& path) {
  constexpr int kMaxHops = 40;  // the kernel's own bound on a chain of links
  fs::path current = path;
  for (int hop = 0; hop < kMaxHops; ++hop) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::error_code ec;
    fs::path to = fs::read_symlink(current, ec);
    if (ec) return std::unexpected(IoError::from_errno(ec.value()));
    current = to.is_absolute() ? to : current.parent_path() / to;
  }
  return std::unexpected(IoError::from_errno(ELOOP));
}

// Renames without replacing: fails with EEXIST when `to` exists. Where the
// file system has no such rename, a hard link does the same, then the
// temporary name goes.
int rename_no_replace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::link(from.c_str(), to.c_str()) != 0) return -1;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

std::expected<UniqueFd, IoError> open_fd(const fs::path& path, int flags, unsigned mode) {
  if (has_nul(path)) return std::unexpected(nul_error());
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return std::unexpected(IoError::last());
  return UniqueFd(fd);
}

std::expected<UniqueFd, FsIoError> open_for_reading(const fs::path& path, std::uint64_t max_size) {
  auto opened = open_fd(path, O_RDONLY | O_NONBLOCK);
  if (!opened) return std::unexpected(FsIoError(FsIoError::OpenFile{path, opened.error()}));
  auto fail = [&](IoError io) { return std::unexpected(FsIoError(FsIoError::ReadFile{path, std::move(io)})); };
  struct stat st;
  if (::fstat(opened->get(), &st) != 0) return fail(IoError::last());
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return fail(IoError::custom("not a regular file"));
  if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > max_size)
    return fail(IoError::custom("file too large"));
  int flags = ::fcntl(opened->get(), F_GETFL);
  if (flags < 0 || ::fcntl(opened->get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(IoError::last());
  return std::move(*opened);
}

std::expected<struct ::stat, IoError> stat_file(const fs::path& path) {
  if (has_nul(path)) return std::unexpected(nul_error());
  struct ::stat st;
  if (::stat(path.c_str(), &st) != 0) return std::unexpected(IoError::last());
  return st;
}

bool stat_path(const fs::path& path, struct ::stat& st) {
  auto r = stat_file(path);
  if (r) st = *r;
  return r.has_value();
}

std::expected<std::string, IoError> read_fd(int fd, std::uint64_t max_size) {
  std::string out;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    out.reserve(static_cast<size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), max_size)));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::last());
    }
    if (n == 0) break;
    if (static_cast<std::uint64_t>(n) > max_size - out.size()) return std::unexpected(IoError::custom("file too large"));
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

std::expected<std::string, FsIoError> read_file(const fs::path& path) {
  auto opened = open_fd(path, O_RDONLY);
  if (!opened) return std::unexpected(FsIoError(FsIoError::OpenFile{path, opened.error()}));
  auto content = read_fd(opened->get());
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

// Bytes gathered before one write(2): far fewer system calls than one per
// piece of a stream.
constexpr std::size_t kAtomicWriteBuffer = std::size_t{1} << 20;

std::expected<AtomicFileWriter, FsIoError> AtomicFileWriter::create(const fs::path& target, ExistingFile existing,
                                                                    unsigned mode, Durability durability) {
  auto create_error = [&](IoError io) { return std::unexpected(FsIoError::CreateFile{target, std::move(io)}); };
  if (has_nul(target)) return create_error(nul_error());
  auto resolved = follow_links(target);
  if (!resolved) return create_error(std::move(resolved.error()));
  const fs::path& destination = *resolved;

  fs::path temp;
  UniqueFd file;
  for (int attempt = 0;; ++attempt) {
    temp = destination;
    temp += temp_suffix();
    auto opened = open_fd(temp, O_WRONLY | O_CREAT | O_EXCL, mode);
    if (opened) {
      file = std::move(*opened);
      break;
    }
    if (opened.error().code() != EEXIST || attempt == 15) {
      // A file that may not be replaced is reported as existing even where
      // no temporary could be made beside it (a read-only directory).
      struct stat st;
      if (existing == ExistingFile::Keep && stat_path(destination, st)) return create_error(IoError::from_errno(EEXIST));
      return create_error(opened.error());
    }
  }
  AtomicFileWriter writer(target, destination, std::move(temp), std::move(file), existing);
  writer.durability_ = durability;
  struct stat st;
  if (stat_path(destination, st) && S_ISREG(st.st_mode) && ::fchmod(writer.file_.get(), st.st_mode & 07777) != 0) {
    auto failed = writer.fail(FsIoError::WriteFile{target, IoError::last()});
    return std::unexpected(std::move(failed.error()));
  }
  return writer;
}

AtomicFileWriter::AtomicFileWriter(fs::path target, fs::path destination, fs::path temp, UniqueFd file,
                                   ExistingFile existing)
    : target_(std::move(target)),
      destination_(std::move(destination)),
      temp_(std::move(temp)),
      file_(std::move(file)),
      existing_(existing) {}

AtomicFileWriter::AtomicFileWriter(AtomicFileWriter&& other) noexcept
    : target_(std::move(other.target_)),
      destination_(std::move(other.destination_)),
      temp_(std::exchange(other.temp_, fs::path())),
      file_(std::move(other.file_)),
      existing_(other.existing_),
      durability_(other.durability_),
      pending_(std::move(other.pending_)),
      written_(other.written_) {}

AtomicFileWriter::~AtomicFileWriter() {
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

std::expected<void, FsIoError> AtomicFileWriter::fail(FsIoError error) {
  file_ = UniqueFd();
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  pending_.clear();
  return std::unexpected(std::move(error));
}

std::expected<void, FsIoError> AtomicFileWriter::write_through(std::string_view bytes) {
  if (!write_all(file_.get(), bytes)) return fail(FsIoError::WriteFile{target_, IoError::last()});
  // Large writes start their way to the disk at once, so that the flush of
  // commit has little left to wait for; a failure shows there.
  if (durability_ == Durability::Stable && bytes.size() >= kAtomicWriteBuffer)
    ::sync_file_range(file_.get(), static_cast<off_t>(written_), static_cast<off_t>(bytes.size()),
                      SYNC_FILE_RANGE_WRITE);
  written_ += bytes.size();
  return {};
}

std::expected<void, FsIoError> AtomicFileWriter::flush() {
  if (auto written = write_through(pending_); !written) return written;
  pending_.clear();
  return {};
}

std::expected<void, FsIoError> AtomicFileWriter::write(std::string_view bytes) {
  if (temp_.empty()) return std::unexpected(FsIoError::WriteFile{target_, IoError::from_errno(EBADF)});
  // A large piece with nothing gathered goes straight to the file.
  if (pending_.empty() && bytes.size() >= kAtomicWriteBuffer) return write_through(bytes);
  if (pending_.capacity() < kAtomicWriteBuffer) pending_.reserve(kAtomicWriteBuffer);
  pending_ += bytes;
  if (pending_.size() >= kAtomicWriteBuffer) return flush();
  return {};
}

std::expected<void, FsIoError> AtomicFileWriter::commit() && {
  if (temp_.empty()) return std::unexpected(FsIoError::WriteFile{target_, IoError::from_errno(EBADF)});
  if (auto flushed = flush(); !flushed) return flushed;
  auto write_failed = [&] { return fail(FsIoError::WriteFile{target_, IoError::last()}); };
  if (durability_ == Durability::Stable && ::fsync(file_.get()) != 0 && errno != EINVAL && errno != EROFS)
    return write_failed();
  if (!file_.close()) return write_failed();
  int renamed = existing_ == ExistingFile::Keep ? rename_no_replace(temp_, destination_)
                                                : ::rename(temp_.c_str(), destination_.c_str());
  if (renamed != 0) {
    // A directory in the way (or a file that may not be replaced) is a
    // failure to create the file, as opening it for writing would report.
    if (errno == EEXIST || errno == EISDIR) return fail(FsIoError::CreateFile{target_, IoError::last()});
    return write_failed();
  }
  temp_.clear();
  return {};
}

std::expected<void, FsIoError> write_file_atomic(const fs::path& target, std::string_view bytes,
                                                 ExistingFile existing) {
  auto writer = AtomicFileWriter::create(target, existing);
  if (!writer) return std::unexpected(std::move(writer.error()));
  if (auto written = writer->write(bytes); !written) return written;
  return std::move(*writer).commit();
}

std::expected<void, FsIoError> write_file_in_place(const fs::path& target, std::string_view bytes) {
  auto fail = [&](IoError io) { return std::unexpected(FsIoError(FsIoError::WriteFile{target, std::move(io)})); };
  auto opened = open_fd(target, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (!opened) return fail(std::move(opened.error()));
  if (!write_all(opened->get(), bytes) || !opened->close()) return fail(IoError::last());
  return {};
}

std::expected<fs::path, IoError> real_path(const fs::path& path) {
  if (has_nul(path)) return std::unexpected(nul_error());
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::unexpected(IoError::last());
  std::string text(resolved);
  ::free(resolved);
  return fs::path(std::move(text));
}

std::expected<fs::path, FsIoError> canonicalize_utf8_path(const fs::path& path) {
  auto fail = [&](IoError io) { return std::unexpected(FsIoError(FsIoError::Canonicalize{path, std::move(io)})); };
  auto resolved = real_path(path);
  if (!resolved) return fail(std::move(resolved.error()));
  if (!is_valid_utf8(resolved->native())) return fail(IoError::custom("invalid data: path is not valid UTF-8"));
  return std::move(*resolved);
}

}  // namespace kestro
