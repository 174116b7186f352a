// File reading and the one atomic-write helper of the package manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/unique_fd.hpp"

namespace kestro {

// open(2) on a path. A path holding a NUL byte is refused (the system call
// would stop at the NUL and open another file).
std::expected<UniqueFd, IoError> open_fd(const fs::path& path, int flags, unsigned mode = 0);

// A size far above any real record or document: reading more than this from
// one file is refused rather than growing memory without bound.
inline constexpr std::uint64_t kMaxDocumentFileSize = std::uint64_t{256} << 20;

// Opens a file that is to be read whole. Opening never blocks (a FIFO would
// wait for a writer); the descriptor is then made blocking again. Anything
// but a regular file is refused with ReadFile "not a regular file", a file
// larger than `max_size` with ReadFile "file too large"; a directory is let
// through, so that reading it fails as it always does. A failure to open is
// OpenFile.
std::expected<UniqueFd, FsIoError> open_for_reading(const fs::path& path, std::uint64_t max_size);

// stat(2) following links; a NUL in the path is refused like in open_fd.
std::expected<struct ::stat, IoError> stat_file(const fs::path& path);
// The same where only success matters: false on any failure.
bool stat_path(const fs::path& path, struct ::stat& st);

// The whole content of a file. Fails with OpenFile or ReadFile.
std::expected<std::string, FsIoError> read_file(const fs::path& path);

// The whole content of a file as UTF-8 text. Every failure, opening
// included, is ReadFile; content that is not valid UTF-8 fails with the I/O
// text "stream did not contain valid UTF-8".
std::expected<std::string, FsIoError> read_utf8_file(const fs::path& path);

// The whole content of an open descriptor (no path known for messages).
// More than `max_size` bytes fail with the I/O text "file too large".
std::expected<std::string, IoError> read_fd(int fd, std::uint64_t max_size = std::numeric_limits<std::uint64_t>::max());

// Writes all of `bytes` to `fd`, retrying interrupted and short writes;
// false with errno set when a write fails.
bool write_all(int fd, std::string_view bytes);

// Whether write_file_atomic may replace a file already at the target.
enum class ExistingFile { Replace, Keep };

// Writes `bytes` to a temporary file beside `target` and renames it into
// place, so that `target` holds either its previous content or the new one,
// never a part. When `target` is a symbolic link, the file it leads to is
// written (the temporary beside it) and the link stays. A new file gets mode
// 0666 & ~umask; a replaced file keeps its permission bits. Fails with
// CreateFile (the temporary could not be made, or the target is a directory)
// or WriteFile (writing, keeping the mode or renaming failed), naming
// `target`; the temporary is removed. With ExistingFile::Keep the rename
// refuses to replace anything, atomically: an existing target (a directory
// or the file a link leads to included) fails with CreateFile carrying the
// system error EEXIST and is left untouched.
std::expected<void, FsIoError> write_file_atomic(const fs::path& target, std::string_view bytes,
                                                 ExistingFile existing = ExistingFile::Replace);

// write_file_atomic for bytes that arrive in pieces (a download, an entry
// inflated from an archive): the temporary is made beside the target on
// create, each write adds to it (gathered into large writes), and commit
// flushes it to stable storage (unless it is scratch) and renames it into
// place, with the errors and the rules of write_file_atomic. A new file
// gets `mode` & ~umask. A writer that fails, or is dropped before commit,
// removes its temporary: the target is never seen in part.
class AtomicFileWriter {
 public:
  // Whether commit waits for the bytes to reach stable storage. Scratch is
  // for files in a private temporary directory that goes with the process
  // (the extraction cache): a crash loses them anyway, and a flush per file
  // would cost more than writing them.
  enum class Durability { Stable, Scratch };

  static std::expected<AtomicFileWriter, FsIoError> create(const fs::path& target,
                                                           ExistingFile existing = ExistingFile::Replace,
                                                           unsigned mode = 0666,
                                                           Durability durability = Durability::Stable);
  AtomicFileWriter(AtomicFileWriter&& other) noexcept;
  AtomicFileWriter& operator=(AtomicFileWriter&& other) = delete;
  ~AtomicFileWriter();

  std::expected<void, FsIoError> write(std::string_view bytes);
  std::expected<void, FsIoError> commit() &&;

 private:
  AtomicFileWriter(fs::path target, fs::path destination, fs::path temp, UniqueFd file, ExistingFile existing);
  std::expected<void, FsIoError> fail(FsIoError error);
  std::expected<void, FsIoError> flush();
  std::expected<void, FsIoError> write_through(std::string_view bytes);

  fs::path target_;       // as the caller named it, for errors
  fs::path destination_;  // the file links lead to
  fs::path temp_;         // empty once renamed or removed
  UniqueFd file_;
  ExistingFile existing_;
  Durability durability_ = Durability::Stable;
  std::string pending_;
  std::uint64_t written_ = 0;  // bytes in the file so far
};

// Writes `bytes` to `target` in place: the file is created (mode 0666 &
// ~umask) or truncated, then written whole; no temporary, no flush to stable
// storage. A reader may see a part; the caller accepts that for files that
// are only ever rewritten whole. Every failure is WriteFile naming `target`.
std::expected<void, FsIoError> write_file_in_place(const fs::path& target, std::string_view bytes);

// realpath(3): the absolute path with every symbolic link, `.` and `..`
// resolved; every component must exist. A NUL in the path is refused like
// in open_fd.
std::expected<fs::path, IoError> real_path(const fs::path& path);

// The absolute path with every symbolic link, `.` and `..` resolved; the
// path must exist. Fails with Canonicalize naming `path`, also when the
// result is not valid UTF-8 (the I/O text "invalid data: path is not valid
// UTF-8").
std::expected<fs::path, FsIoError> canonicalize_utf8_path(const fs::path& path);

}  // namespace kestro
