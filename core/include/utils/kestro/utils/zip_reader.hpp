// Zip archives: a reader over an open file (central directory, zip64 sizes
// and offsets, stored and deflated entries checked against their CRC-32).
// KPAR archives are zip files; their writer is in zip_writer.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/unique_fd.hpp"

namespace kestro::zip {

// The compression methods this module reads and writes.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// A method number as a word for messages: "Stored", "Deflated", "Bzip2", ...,
// or "Unknown(n)".
std::string method_name(std::uint16_t method);

// The failure of a zip operation, one variant per kind.
struct ZipErrorVariants {
  // The file could not be opened or read.
  struct Io { IoError io; };
  // The bytes are no zip archive, or a corrupt one.
  struct InvalidArchive { std::string detail; };
  // A zip feature this reader does not handle.
  struct UnsupportedArchive { std::string detail; };
  // No entry of the requested name.
  struct FileNotFound {};
  using Sum = std::variant<Io, InvalidArchive, UnsupportedArchive, FileNotFound>;
};

// "invalid zip archive: {detail}", "unsupported zip archive: {detail}",
// "specified file not found in archive", or the I/O error's text; the debug
// form is "ZipError::{variant}({text})". No cause.
class ZipError : public ErrorSum<ZipError, ZipErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static ZipError io(IoError error) { return Io{std::move(error)}; }
  static ZipError invalid(std::string detail) { return InvalidArchive{std::move(detail)}; }
  static ZipError unsupported(std::string detail) { return UnsupportedArchive{std::move(detail)}; }
  static ZipError not_found() { return FileNotFound{}; }

  bool is_not_found() const { return holds<FileNotFound>(); }
  // The I/O error of an Io failure, else null.
  const IoError* io_error() const {
    const auto* io = get_if<Io>();
    return io ? &io->io : nullptr;
  }

  static std::string text_of(const Io& v) { return v.io.message(); }
  static std::string text_of(const InvalidArchive& v) { return "invalid zip archive: " + v.detail; }
  static std::string text_of(const UnsupportedArchive& v) { return "unsupported zip archive: " + v.detail; }
  static std::string text_of(const FileNotFound&) { return "specified file not found in archive"; }
  static std::string debug_of(const Io& v) { return "ZipError::Io(" + text_of(v) + ")"; }
  static std::string debug_of(const InvalidArchive& v) { return "ZipError::InvalidArchive(" + text_of(v) + ")"; }
  static std::string debug_of(const UnsupportedArchive& v) {
    return "ZipError::UnsupportedArchive(" + text_of(v) + ")";
  }
  static std::string debug_of(const FileNotFound& v) { return "ZipError::FileNotFound(" + text_of(v) + ")"; }
};

// One entry of the central directory.
struct ZipEntry {
  std::string name;  // UTF-8: as stored when flagged UTF-8, else decoded from code page 437
  std::uint16_t version_made_by = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dos_time = 0;
  std::uint16_t dos_date = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;
  std::uint32_t external_attributes = 0;
  std::uint64_t local_header_offset = 0;  // from the start of the file

  bool is_encrypted() const { return (flags & 1u) != 0; }
  bool is_dir() const { return !name.empty() && name.back() == '/'; }
  // The Unix mode: the upper half of the external attributes when it is
  // non-zero or the entry was made on Unix; for entries made under DOS,
  // 0o40775 (directory) or 0o100664, without write bits when read-only;
  // nothing when the attributes are zero or the host is another one.
  std::optional<std::uint32_t> unix_mode() const;
  // Whether the name is a relative path that stays inside the archive's
  // root: not empty, no NUL, no leading `/`, and no `..` that climbs above
  // the top level.
  bool has_safe_name() const;
};

class ZipArchive;

// Reads the uncompressed bytes of one entry, inflating as it goes. The last
// read (the one that returns 0) checks the size and the CRC-32 against the
// central directory. `read_all` of a deflated entry inflates it in one call
// where it can, with the same result and the same checks. Borrows the archive's file: the archive must stay open
// while the reader is used.
class ZipEntryReader {
 public:
  ZipEntryReader(ZipEntryReader&&) noexcept;
  ZipEntryReader& operator=(ZipEntryReader&&) noexcept;
  ~ZipEntryReader();

  // Fills `out` with up to its size in bytes; 0 means the entry ended and
  // checked out.
  std::expected<std::size_t, ZipError> read(std::span<char> out);
  // The rest of the entry.
  std::expected<std::string, ZipError> read_all();
  const ZipEntry& entry() const { return entry_; }

 private:
  friend class ZipArchive;
  struct Inflater;
  ZipEntryReader(int fd, const ZipEntry& entry, std::uint64_t data_offset);
  std::expected<std::size_t, ZipError> read_raw(char* out, std::size_t n);
  std::expected<void, ZipError> finish();
  // The whole entry inflated in one call, when nothing of it was read yet
  // and its recorded sizes allow it; none leaves the entry to the streaming
  // inflater (which also gives the exact failure of a damaged stream).
  std::optional<std::expected<std::string, ZipError>> inflate_whole();

  int fd_;
  ZipEntry entry_;
  std::uint64_t position_;   // next compressed byte to read, in the file
  std::uint64_t remaining_;  // compressed bytes not yet read
  std::uint64_t produced_ = 0;
  std::uint32_t crc_ = 0;
  bool done_ = false;
  std::unique_ptr<Inflater> inflater_;  // deflated entries only
};

// An open archive: the file stays open, and its directory in memory, for the
// archive's life.
class ZipArchive {
 public:
  // Opens the file read-only and reads its directory. A failure to open is an
  // Io error; callers that report opening apart from reading open the file
  // themselves and use from_fd.
  static std::expected<ZipArchive, ZipError> open(const std::filesystem::path& path);
  // Takes ownership of `fd` (closed on failure too) and reads the directory
  // from it; the file position does not matter. Entries whose local headers
  // or data overlap make the archive InvalidArchive.
  static std::expected<ZipArchive, ZipError> from_fd(UniqueFd fd);

  ZipArchive(ZipArchive&&) noexcept;
  ZipArchive& operator=(ZipArchive&&) noexcept;
  ~ZipArchive();

  // Entries in central-directory order.
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // The index of the entry of exactly this name (byte for byte); the first
  // when names repeat. FileNotFound when there is none.
  std::expected<std::size_t, ZipError> find(std::string_view name) const;
  // Where the entry's data starts in the file (read from its local header).
  std::expected<std::uint64_t, ZipError> data_offset(const ZipEntry& entry) const;

  // A reader of the entry's bytes. Encrypted entries and methods other than
  // stored and deflated are UnsupportedArchive.
  std::expected<ZipEntryReader, ZipError> open_entry(std::size_t index) const;
  std::expected<ZipEntryReader, ZipError> open_entry(std::string_view name) const;
  // The whole uncompressed content of the entry.
  std::expected<std::string, ZipError> read_entry(std::string_view name) const;

  // The archive's comment, as stored.
  const std::string& comment() const { return comment_; }
  // The uncompressed sizes of all entries added up, as the directory
  // declares them (saturating at the largest value).
  std::uint64_t declared_size() const { return declared_size_; }

 private:
  explicit ZipArchive(UniqueFd fd) : fd_(std::move(fd)) {}
  std::expected<void, ZipError> read_directory();

  UniqueFd fd_;
  std::uint64_t file_size_ = 0;
  std::uint64_t directory_offset_ = 0;  // where entry data must end
  std::vector<ZipEntry> entries_;
  std::unordered_map<std::string_view, std::size_t> by_name_;  // views into entries_
  std::string comment_;
  std::uint64_t declared_size_ = 0;
};

}  // namespace kestro::zip
