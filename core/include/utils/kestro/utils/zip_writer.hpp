// Zip archives: the writer. Every entry is held in memory when it is added,
// so its sizes and CRC-32 go straight into the local header (no data
// descriptor). No extra fields are written except the zip64 ones, and those
// only where a size, an offset or the entry count needs them; no entries for
// directories. The writer only encodes: it hands out bytes to append to the
// output, and the caller owns the file and its errors.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "kestro/utils/calendar.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::zip {

// An MS-DOS date and time, the resolution of zip entry times.
struct DosDateTime {
  std::uint16_t time = 0;
  std::uint16_t date = (1u << 5) | 1u;  // 1980-01-01

  friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};

// The DOS form of a UTC calendar time: odd seconds rounded down (59 and a
// leap second 60 become 58). Times before 1980 or after 2107, which the form
// cannot hold, are clamped to its first or last moment.
DosDateTime dos_date_time(const time::CivilTime& utc);

// The deflate level of deflated entries.
inline constexpr int kDeflateLevel = 6;

// An entry whose content is compressed and checksummed, ready to be placed in
// an archive. Making one touches no shared state, so entries may be prepared
// on other threads and added in order afterwards. A stored entry borrows the
// data it was made from: that must outlive the entry.
struct PreparedEntry {
  std::string name;
  std::uint16_t method = kMethodStored;
  std::uint32_t crc32 = 0;
  std::uint64_t size = 0;
  std::string_view stored;  // the content of a stored entry
  std::string deflated;     // the raw deflate stream of a deflated entry

  std::string_view payload() const { return method == kMethodStored ? stored : std::string_view(deflated); }
};

// Compresses (method deflated, at kDeflateLevel) or borrows (stored) the
// data. An empty name, a name longer than 65535 bytes, one ending in `/` or a
// method other than these two is UnsupportedArchive.
std::expected<PreparedEntry, ZipError> prepare_entry(std::string name, std::string_view data,
                                                     std::uint16_t method);

// The attributes every entry of one archive shares.
struct ZipWriteOptions {
  DosDateTime modified{};
  std::uint32_t unix_mode = 0100644;
};

class ZipWriter {
 public:
  explicit ZipWriter(ZipWriteOptions options) : options_(options) {}

  // Appends the entry's local header and data to `out` and records the entry
  // for the central directory. A name that an earlier entry already has is
  // InvalidArchive, and nothing is appended.
  std::expected<void, ZipError> add(const PreparedEntry& entry, std::string& out);
  // prepare_entry and add in one.
  std::expected<void, ZipError> add(std::string name, std::string_view data, std::uint16_t method,
                                    std::string& out);
  // Appends the central directory and the end records to `out`.
  void finish(std::string& out) const;

  // Bytes handed out so far.
  std::uint64_t offset() const { return offset_; }

 private:
  struct Placed {
    std::string name;
    std::uint16_t method;
    std::uint32_t crc32;
    std::uint64_t size;
    std::uint64_t compressed_size;
    std::uint64_t offset;
  };
  ZipWriteOptions options_;
  std::uint64_t offset_ = 0;
  std::vector<Placed> placed_;
  std::unordered_set<std::string> names_;
};

}  // namespace kestro::zip
