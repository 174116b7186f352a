// The zip archive reader: locates the end-of-directory record from the end of
// the file, reads the whole central directory in one go, and reads entry data
// with positional reads, so that readers of several entries never disturb
// each other.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"
#include "kestro/utils/zip_reader.hpp"
#include "zip_format.hpp"

namespace kestro::zip {

namespace f = format;

namespace {

constexpr std::size_t kInputBufferSize = 64 * 1024;
// The most that read_all allocates for a deflated entry before inflating: the
// recorded size is only a claim, so a larger entry grows its buffer with the
// bytes actually inflated.
constexpr std::uint64_t kFirstInflateBuffer = 1024 * 1024;
// Entries inflated in one call: at most this large, and no larger than
// deflate can make from their compressed bytes (one 258-byte match per two
// bits, about 1032 to 1), so that the allocation follows the file's size.
constexpr std::uint64_t kWholeInflateLimit = 256 * 1024 * 1024;
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Frees a whole-entry inflater.
struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

std::expected<void, ZipError> pread_full(int fd, std::uint64_t offset, char* out, std::size_t n) {
  while (n > 0) {
    ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(ZipError::io(IoError::last()));
    }
    if (got == 0) return std::unexpected(ZipError::invalid("unexpected end of file"));
    out += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return {};
}

// Code page 437, bytes 0x80 to 0xFF: the encoding of names not flagged UTF-8.
constexpr char16_t kCp437High[128] = {
    0x00c7, 0x00fc, 0x00e9, 0x00e2, 0x00e4, 0x00e0, 0x00e5, 0x00e7, 0x00ea, 0x00eb, 0x00e8, 0x00ef, 0x00ee, 0x00ec, 0x00c4, 0x00c5,
    0x00c9, 0x00e6, 0x00c6, 0x00f4, 0x00f6, 0x00f2, 0x00fb, 0x00f9, 0x00ff, 0x00d6, 0x00dc, 0x00a2, 0x00a3, 0x00a5, 0x20a7, 0x0192,
    0x00e1, 0x00ed, 0x00f3, 0x00fa, 0x00f1, 0x00d1, 0x00aa, 0x00ba, 0x00bf, 0x2310, 0x00ac, 0x00bd, 0x00bc, 0x00a1, 0x00ab, 0x00bb,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255d, 0x255c, 0x255b, 0x2510,
    0x2514, 0x2534, 0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f, 0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256c, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256b, 0x256a, 0x2518, 0x250c, 0x2588, 0x2584, 0x258c, 0x2590, 0x2580,
    0x03b1, 0x00df, 0x0393, 0x03c0, 0x03a3, 0x03c3, 0x00b5, 0x03c4, 0x03a6, 0x0398, 0x03a9, 0x03b4, 0x221e, 0x03c6, 0x03b5, 0x2229,
    0x2261, 0x00b1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00f7, 0x2248, 0x00b0, 0x2219, 0x00b7, 0x221a, 0x207f, 0x00b2, 0x25a0, 0x00a0,
};

// Visits the (id, data) fields of an extra block; false when it is malformed.
template <typename Visit>
bool for_each_extra(std::string_view extra, Visit visit) {
  while (!extra.empty()) {
    if (extra.size() < 4) return false;
    std::uint16_t id = f::le16(extra.data());
    std::size_t len = f::le16(extra.data() + 2);
    if (extra.size() - 4 < len) return false;
    visit(id, extra.substr(4, len));
    extra.remove_prefix(4 + len);
  }
  return true;
}

std::string decode_name(std::string_view raw, std::uint16_t flags, std::string_view extra) {
  if ((flags & f::kFlagUtf8) != 0 || std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; }))
    return std::string(raw);
  // A Unicode path field carries the UTF-8 name, valid while the CRC of the
  // stored name matches.
  std::string unicode;
  for_each_extra(extra, [&](std::uint16_t id, std::string_view data) {
    if (id != f::kExtraUnicodePath || data.size() < 5 || data[0] != 1) return;
    auto crc = ::crc32_z(0, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    std::string_view name = data.substr(5);
    if (f::le32(data.data() + 1) == crc && is_valid_utf8(name)) unicode = std::string(name);
  });
  if (!unicode.empty()) return unicode;
  std::string out;
  out.reserve(raw.size() * 2);
  for (char c : raw) {
    auto b = static_cast<unsigned char>(c);
    append_utf8(out, b < 0x80 ? char32_t{b} : char32_t{kCp437High[b - 0x80]});
  }
  return out;
}

// Replaces the 32-bit sizes and offset that are saturated with the values of
// the zip64 extra field, which lists only those, in this order.
bool apply_zip64_extra(ZipEntry& e, std::uint32_t size32, std::uint32_t csize32, std::uint32_t offset32,
                       std::string_view extra) {
  bool need_size = size32 == UINT32_MAX, need_csize = csize32 == UINT32_MAX, need_offset = offset32 == UINT32_MAX;
  if (!need_size && !need_csize && !need_offset) return true;
  bool found = false, ok = true;
  for_each_extra(extra, [&](std::uint16_t id, std::string_view data) {
    if (id != f::kExtraZip64 || found) return;
    found = true;
    auto take = [&](std::uint64_t& field) {
      if (data.size() < 8) {
        ok = false;
        return;
      }
      field = f::le64(data.data());
      data.remove_prefix(8);
    };
    if (need_size) take(e.size);
    if (need_csize) take(e.compressed_size);
    if (need_offset) take(e.local_header_offset);
  });
  return found && ok;
}

}  // namespace

std::string method_name(std::uint16_t method) {
  switch (method) {
    case 0: return "Stored";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 12: return "Bzip2";
    case 14: return "Lzma";
    case 93: return "Zstd";
    case 95: return "Xz";
    case 98: return "Ppmd";
    case 99: return "Aes";
    default: return fmt::format("Unknown({})", method);
  }
}

std::optional<std::uint32_t> ZipEntry::unix_mode() const {
  if (external_attributes == 0) return std::nullopt;
  auto host = static_cast<std::uint8_t>(version_made_by >> 8);
  std::uint32_t upper = external_attributes >> 16;
  if (upper != 0 || host == f::kHostUnix) return upper;
  if (host != f::kHostDos) return std::nullopt;
  std::uint32_t mode = (external_attributes & 0x10) != 0 ? 040775 : 0100664;
  if ((external_attributes & 0x01) != 0) mode &= ~0222u;
  return mode;
}

bool ZipEntry::has_safe_name() const { return !path_fault(name, PathPolicy::ArchiveEntry); }

// ---------------------------------------------------------------------------
// ZipArchive

namespace {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// The least an entry takes up in the file: its local header with the name
// the central directory gives, and its compressed data. The local extra
// field and a data descriptor only add to it.
struct EntrySpan {
  std::uint64_t begin;
  std::uint64_t end;
  std::size_t index;
};

// Every entry must have bytes of its own: an archive whose entries share
// headers or data (the way a zip bomb inflates one stretch of data many
// times) is refused before any entry is read.
std::expected<void, ZipError> check_spans(std::vector<EntrySpan>& spans, const std::vector<ZipEntry>& entries) {
  std::ranges::stable_sort(spans, {}, &EntrySpan::begin);
  for (std::size_t i = 1; i < spans.size(); ++i)
    if (spans[i - 1].end > spans[i].begin)
      return std::unexpected(ZipError::invalid(fmt::format("entries `{}` and `{}` overlap",
                                                           entries[spans[i - 1].index].name,
                                                           entries[spans[i].index].name)));
  return {};
}

}  // namespace

std::expected<ZipArchive, ZipError> ZipArchive::open(const std::filesystem::path& path) {
  auto fd = open_fd(path, O_RDONLY);
  if (!fd) return std::unexpected(ZipError::io(fd.error()));
  return from_fd(std::move(*fd));
}

std::expected<ZipArchive, ZipError> ZipArchive::from_fd(UniqueFd fd) {
  ZipArchive archive(std::move(fd));
  if (auto r = archive.read_directory(); !r) return std::unexpected(std::move(r.error()));
  return archive;
}

// The views of by_name_ point into the entries' own strings, which a move
// of the vector keeps in place.
ZipArchive::ZipArchive(ZipArchive&& other) noexcept = default;
ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept = default;
ZipArchive::~ZipArchive() = default;

std::expected<void, ZipError> ZipArchive::read_directory() {
  struct stat st;
  if (::fstat(fd_.get(), &st) != 0) return std::unexpected(ZipError::io(IoError::last()));
  file_size_ = static_cast<std::uint64_t>(st.st_size);
  if (file_size_ < f::kEndSize) return std::unexpected(ZipError::invalid("could not find end of central directory record"));

  // The end record sits in the last 22 bytes plus at most a 64 KiB comment.
  // Prefer a record whose comment reaches exactly to the end of the file.
  std::size_t tail_size = static_cast<std::size_t>(std::min<std::uint64_t>(file_size_, f::kEndSize + f::kMaxCommentSize));
  std::uint64_t tail_offset = file_size_ - tail_size;
  std::string tail(tail_size, '\0');
  if (auto r = pread_full(fd_.get(), tail_offset, tail.data(), tail_size); !r) return r;
  std::optional<std::size_t> end_pos;
  for (std::size_t pos = tail_size - f::kEndSize + 1; pos-- > 0;) {
    if (f::le32(tail.data() + pos) != f::kEndSig) continue;
    std::size_t comment_size = f::le16(tail.data() + pos + 20);
    if (pos + f::kEndSize + comment_size == tail_size) {
      end_pos = pos;
      break;
    }
    if (!end_pos && pos + f::kEndSize + comment_size <= tail_size) end_pos = pos;
  }
  if (!end_pos) return std::unexpected(ZipError::invalid("could not find end of central directory record"));
  const char* end = tail.data() + *end_pos;
  std::uint64_t end_offset = tail_offset + *end_pos;
  std::uint32_t disk = f::le16(end + 4), directory_disk = f::le16(end + 6);
  std::uint64_t disk_entries = f::le16(end + 8), total_entries = f::le16(end + 10);
  std::uint64_t directory_size = f::le32(end + 12), directory_offset = f::le32(end + 16);
  comment_.assign(end + f::kEndSize, std::min<std::size_t>(f::le16(end + 20), tail_size - *end_pos - f::kEndSize));

  // A zip64 locator right before the end record points at the zip64 end
  // record, whose counts and offsets replace the saturated 16/32-bit ones.
  std::uint64_t directory_end = end_offset;
  if (end_offset >= f::kZip64LocatorSize) {
    std::uint64_t locator_offset = end_offset - f::kZip64LocatorSize;
    char buffer[f::kZip64LocatorSize];
    const char* locator = end - f::kZip64LocatorSize;
    if (*end_pos < f::kZip64LocatorSize) {
      if (auto r = pread_full(fd_.get(), locator_offset, buffer, sizeof buffer); !r) return r;
      locator = buffer;
    }
    if (f::le32(locator) == f::kZip64LocatorSig) {
      char record[f::kZip64EndSize];
      // Where the locator says, or, for archives with bytes in front, right
      // before the locator.
      std::uint64_t candidates[] = {f::le64(locator + 8),
                                    locator_offset >= f::kZip64EndSize ? locator_offset - f::kZip64EndSize : UINT64_MAX};
      std::optional<std::uint64_t> record_offset;
      for (std::uint64_t at : candidates) {
        if (at > locator_offset || locator_offset - at < f::kZip64EndSize) continue;
        if (auto r = pread_full(fd_.get(), at, record, sizeof record); !r) return r;
        if (f::le32(record) == f::kZip64EndSig) {
          record_offset = at;
          break;
        }
      }
      if (!record_offset) return std::unexpected(ZipError::invalid("could not find zip64 end of central directory record"));
      disk = f::le32(record + 16);
      directory_disk = f::le32(record + 20);
      disk_entries = f::le64(record + 24);
      total_entries = f::le64(record + 32);
      directory_size = f::le64(record + 40);
      directory_offset = f::le64(record + 48);
      directory_end = *record_offset;
    }
  }
  if (disk != 0 || directory_disk != 0 || disk_entries != total_entries)
    return std::unexpected(ZipError::unsupported("archives that span several disks are not supported"));

  // Bytes put in front of the archive (a self-extracting stub) shift every
  // offset by the same amount.
  if (directory_size > directory_end || directory_offset > directory_end - directory_size)
    return std::unexpected(ZipError::invalid("central directory offset or size out of range"));
  std::uint64_t shift = directory_end - directory_size - directory_offset;
  directory_offset_ = shift + directory_offset;

  std::string directory(static_cast<std::size_t>(directory_size), '\0');
  if (auto r = pread_full(fd_.get(), directory_offset_, directory.data(), directory.size()); !r) return r;
  entries_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total_entries, directory_size / f::kCentralHeaderSize)));
  std::string_view rest = directory;
  std::vector<EntrySpan> spans;
  spans.reserve(entries_.capacity());
  for (std::uint64_t i = 0; i < total_entries; ++i) {
    if (rest.size() < f::kCentralHeaderSize || f::le32(rest.data()) != f::kCentralHeaderSig)
      return std::unexpected(ZipError::invalid(fmt::format("invalid central directory header of entry {}", i)));
    const char* h = rest.data();
    std::size_t name_size = f::le16(h + 28), extra_size = f::le16(h + 30), comment_size = f::le16(h + 32);
    std::size_t record_size = f::kCentralHeaderSize + name_size + extra_size + comment_size;
    if (rest.size() < record_size)
      return std::unexpected(ZipError::invalid(fmt::format("central directory entry {} is truncated", i)));
    std::string_view raw_name = rest.substr(f::kCentralHeaderSize, name_size);
    std::string_view extra = rest.substr(f::kCentralHeaderSize + name_size, extra_size);

    ZipEntry e;
    e.version_made_by = f::le16(h + 4);
    e.flags = f::le16(h + 8);
    e.method = f::le16(h + 10);
    e.dos_time = f::le16(h + 12);
    e.dos_date = f::le16(h + 14);
    e.crc32 = f::le32(h + 16);
    std::uint32_t csize32 = f::le32(h + 20), size32 = f::le32(h + 24), offset32 = f::le32(h + 42);
    e.compressed_size = csize32;
    e.size = size32;
    e.local_header_offset = offset32;
    e.external_attributes = f::le32(h + 38);
    if (!apply_zip64_extra(e, size32, csize32, offset32, extra))
      return std::unexpected(ZipError::invalid(fmt::format("missing zip64 extended information of entry {}", i)));
    if (e.local_header_offset > directory_offset)
      return std::unexpected(ZipError::invalid(fmt::format("local header offset of entry {} out of range", i)));
    e.local_header_offset += shift;
    e.name = decode_name(raw_name, e.flags, extra);
    spans.push_back({e.local_header_offset, saturating_add(e.local_header_offset + f::kLocalHeaderSize + name_size,
                                                            e.compressed_size),
                     entries_.size()});
    declared_size_ = saturating_add(declared_size_, e.size);
    entries_.push_back(std::move(e));
    rest.remove_prefix(record_size);
  }
  if (auto overlap = check_spans(spans, entries_); !overlap) return overlap;
  by_name_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) by_name_.try_emplace(entries_[i].name, i);
  return {};
}

std::expected<std::size_t, ZipError> ZipArchive::find(std::string_view name) const {
  auto it = by_name_.find(name);
  if (it == by_name_.end()) return std::unexpected(ZipError::not_found());
  return it->second;
}

std::expected<std::uint64_t, ZipError> ZipArchive::data_offset(const ZipEntry& entry) const {
  char header[f::kLocalHeaderSize];
  if (entry.local_header_offset + f::kLocalHeaderSize > directory_offset_)
    return std::unexpected(ZipError::invalid(fmt::format("local header of `{}` out of range", entry.name)));
  if (auto r = pread_full(fd_.get(), entry.local_header_offset, header, sizeof header); !r) return std::unexpected(r.error());
  if (f::le32(header) != f::kLocalHeaderSig)
    return std::unexpected(ZipError::invalid(fmt::format("invalid local file header of `{}`", entry.name)));
  std::uint64_t offset = entry.local_header_offset + f::kLocalHeaderSize + f::le16(header + 26) + f::le16(header + 28);
  if (offset > directory_offset_ || entry.compressed_size > directory_offset_ - offset)
    return std::unexpected(ZipError::invalid(fmt::format("data of `{}` extends past the central directory", entry.name)));
  return offset;
}

std::expected<ZipEntryReader, ZipError> ZipArchive::open_entry(std::size_t index) const {
  if (index >= entries_.size()) internal_error("zip entry index out of range");
  const ZipEntry& entry = entries_[index];
  if (entry.is_encrypted())
    return std::unexpected(ZipError::unsupported(fmt::format("entry `{}` is encrypted", entry.name)));
  if (entry.method != kMethodStored && entry.method != kMethodDeflated)
    return std::unexpected(ZipError::unsupported(
        fmt::format("compression method {} of entry `{}`", method_name(entry.method), entry.name)));
  if (entry.method == kMethodStored && entry.compressed_size != entry.size)
    return std::unexpected(ZipError::invalid(fmt::format("stored entry `{}` has differing sizes", entry.name)));
  auto offset = data_offset(entry);
  if (!offset) return std::unexpected(std::move(offset.error()));
  return ZipEntryReader(fd_.get(), entry, *offset);
}

std::expected<ZipEntryReader, ZipError> ZipArchive::open_entry(std::string_view name) const {
  auto index = find(name);
  if (!index) return std::unexpected(std::move(index.error()));
  return open_entry(*index);
}

std::expected<std::string, ZipError> ZipArchive::read_entry(std::string_view name) const {
  auto reader = open_entry(name);
  if (!reader) return std::unexpected(std::move(reader.error()));
  return reader->read_all();
}

// ---------------------------------------------------------------------------
// ZipEntryReader

struct ZipEntryReader::Inflater {
  z_stream stream{};
  std::unique_ptr<char[]> input{new char[kInputBufferSize]};
  bool ended = false;
  Inflater() {
    // Raw deflate: zip entries carry no zlib header.
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&stream); }
};

ZipEntryReader::ZipEntryReader(int fd, const ZipEntry& entry, std::uint64_t data_offset)
    : fd_(fd), entry_(entry), position_(data_offset), remaining_(entry.compressed_size) {
  if (entry.method == kMethodDeflated) inflater_ = std::make_unique<Inflater>();
}

ZipEntryReader::ZipEntryReader(ZipEntryReader&&) noexcept = default;
ZipEntryReader& ZipEntryReader::operator=(ZipEntryReader&&) noexcept = default;
ZipEntryReader::~ZipEntryReader() = default;

std::expected<std::size_t, ZipError> ZipEntryReader::read_raw(char* out, std::size_t n) {
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining_));
  if (auto r = pread_full(fd_, position_, out, n); !r) return std::unexpected(std::move(r.error()));
  position_ += n;
  remaining_ -= n;
  return n;
}

std::expected<void, ZipError> ZipEntryReader::finish() {
  done_ = true;
  if (produced_ != entry_.size)
    return std::unexpected(ZipError::invalid(fmt::format("entry `{}` is shorter than its recorded size", entry_.name)));
  if (crc_ != entry_.crc32)
    return std::unexpected(ZipError::invalid(fmt::format("CRC-32 mismatch in entry `{}`", entry_.name)));
  return {};
}

std::expected<std::size_t, ZipError> ZipEntryReader::read(std::span<char> out) {
  if (done_ || out.empty()) return 0;
  std::size_t got = 0;
  if (!inflater_) {
    auto n = read_raw(out.data(), out.size());
    if (!n) return n;
    got = *n;
  } else {
    z_stream& z = inflater_->stream;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size(), UINT_MAX));
    while (!inflater_->ended && z.next_out == reinterpret_cast<Bytef*>(out.data())) {
      if (z.avail_in == 0) {
        if (remaining_ == 0)
          return std::unexpected(
              ZipError::invalid(fmt::format("compressed data of entry `{}` ends early", entry_.name)));
        auto n = read_raw(inflater_->input.get(), kInputBufferSize);
        if (!n) return n;
        z.next_in = reinterpret_cast<Bytef*>(inflater_->input.get());
        z.avail_in = static_cast<uInt>(*n);
      }
      int rc = ::inflate(&z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        inflater_->ended = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return std::unexpected(ZipError::invalid(
            fmt::format("corrupt deflate stream in entry `{}`: {}", entry_.name, z.msg ? z.msg : zError(rc))));
      }
    }
    got = static_cast<std::size_t>(reinterpret_cast<char*>(z.next_out) - out.data());
  }
  if (got == 0) {
    if (auto r = finish(); !r) return std::unexpected(std::move(r.error()));
    return 0;
  }
  if (got > entry_.size - produced_)
    return std::unexpected(ZipError::invalid(fmt::format("entry `{}` is larger than its recorded size", entry_.name)));
  produced_ += got;
  crc_ = static_cast<std::uint32_t>(::crc32_z(crc_, reinterpret_cast<const Bytef*>(out.data()), got));
  return got;
}

std::optional<std::expected<std::string, ZipError>> ZipEntryReader::inflate_whole() {
  if (!inflater_ || produced_ != 0 || remaining_ != entry_.compressed_size || entry_.size > kWholeInflateLimit ||
      entry_.size > entry_.compressed_size * kMaxDeflateRatio + 1024)
    return std::nullopt;
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
  if (!decompressor) throw std::bad_alloc();
  std::string compressed(static_cast<std::size_t>(entry_.compressed_size), '\0');
  if (auto r = pread_full(fd_, position_, compressed.data(), compressed.size()); !r)
    return std::unexpected(std::move(r.error()));
  std::string out(static_cast<std::size_t>(entry_.size), '\0');
  std::size_t got = 0;
  // Anything but a stream that fits the recorded size is left to zlib,
  // whose reading gives the failure its exact text.
  if (libdeflate_deflate_decompress(decompressor.get(), compressed.data(), compressed.size(), out.data(), out.size(),
                                    &got) != LIBDEFLATE_SUCCESS)
    return std::nullopt;
  position_ += remaining_;
  remaining_ = 0;
  inflater_->ended = true;
  produced_ = got;
  crc_ = libdeflate_crc32(0, out.data(), got);
  if (auto r = finish(); !r) return std::unexpected(std::move(r.error()));
  out.resize(got);
  return out;
}

std::expected<std::string, ZipError> ZipEntryReader::read_all() {
  if (auto whole = inflate_whole()) return std::move(*whole);
  // One byte past the recorded size lets the last read return 0 and check
  // the entry. Stored bytes lie in the file, whose bounds are checked; a
  // deflated entry starts small and doubles as it inflates, up to its claim.
  const std::uint64_t claimed = std::min<std::uint64_t>(entry_.size - produced_, UINT64_MAX - 1) + 1;
  const std::uint64_t first = std::min(claimed, inflater_ ? kFirstInflateBuffer : remaining_ + 1);
  std::string out(static_cast<std::size_t>(first), '\0');
  std::size_t filled = 0;
  while (true) {
    if (filled == out.size()) {
      std::uint64_t grown = std::max<std::uint64_t>(out.size() * 2, 64 * 1024);
      if (claimed > out.size()) grown = std::min(grown, claimed);
      out.resize(static_cast<std::size_t>(grown));
    }
    auto n = read(std::span<char>(out.data() + filled, out.size() - filled));
    if (!n) return std::unexpected(std::move(n.error()));
    if (*n == 0) break;
    filled += *n;
  }
  out.resize(filled);
  return out;
}

}  // namespace kestro::zip
