// The zip archive writer: local headers with final sizes, raw deflate from
// libdeflate, and zip64 records only where the classic fields overflow.
#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"
#include "kestro/utils/zip_writer.hpp"
#include "zip_format.hpp"

namespace kestro::zip {

namespace f = format;

namespace {

constexpr std::uint64_t kMax32 = 0xffffffffu;
constexpr std::uint64_t kMax16 = 0xffffu;
constexpr std::uint16_t kVersionDefault = 20;  // 2.0: deflate
constexpr std::uint16_t kVersionZip64 = 45;    // 4.5: zip64 records

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const noexcept { libdeflate_free_compressor(c); }
};

void put16(std::string& out, std::uint64_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>((v >> 8) & 0xff);
}
void put32(std::string& out, std::uint64_t v) {
  put16(out, v & 0xffff);
  put16(out, (v >> 16) & 0xffff);
}
void put64(std::string& out, std::uint64_t v) {
  put32(out, v & kMax32);
  put32(out, v >> 32);
}

bool is_ascii(std::string_view s) {
  return std::ranges::all_of(s, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// General-purpose flags: UTF-8 names are marked as such.
std::uint16_t flags_for(std::string_view name) { return is_ascii(name) ? 0 : f::kFlagUtf8; }

}  // namespace

DosDateTime dos_date_time(const time::CivilTime& utc) {
  if (utc.year < 1980) return DosDateTime{};
  if (utc.year > 2107) {
    return DosDateTime{static_cast<std::uint16_t>((23u << 11) | (59u << 5) | (58u / 2)),
                       static_cast<std::uint16_t>((127u << 9) | (12u << 5) | 31u)};
  }
  unsigned second = std::min(utc.second, 59u);
  return DosDateTime{
      static_cast<std::uint16_t>((utc.hour << 11) | (utc.minute << 5) | (second / 2)),
      static_cast<std::uint16_t>((static_cast<unsigned>(utc.year - 1980) << 9) | (utc.month << 5) | utc.day)};
}

std::expected<PreparedEntry, ZipError> prepare_entry(std::string name, std::string_view data,
                                                     std::uint16_t method) {
  if (name.empty()) return std::unexpected(ZipError::unsupported("an entry needs a name"));
  if (name.size() > kMax16)
    return std::unexpected(ZipError::unsupported(fmt::format("entry name of {} bytes is too long", name.size())));
  if (name.back() == '/')
    return std::unexpected(ZipError::unsupported(fmt::format("directory entry `{}` is not written", name)));
  PreparedEntry entry;
  entry.name = std::move(name);
  entry.method = method;
  entry.size = data.size();
  entry.crc32 = libdeflate_crc32(0, data.data(), data.size());
  if (method == kMethodStored) {
    entry.stored = data;
    return entry;
  }
  if (method != kMethodDeflated)
    return std::unexpected(ZipError::unsupported(fmt::format("compression method {}", method_name(method))));
  std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(libdeflate_alloc_compressor(kDeflateLevel));
  if (!compressor) return std::unexpected(ZipError::io(IoError::from_errno(ENOMEM)));
  entry.deflated.resize(libdeflate_deflate_compress_bound(compressor.get(), data.size()));
  std::size_t n = libdeflate_deflate_compress(compressor.get(), data.data(), data.size(), entry.deflated.data(),
                                              entry.deflated.size());
  // The bound is always enough; an empty result would mean it was not.
  if (n == 0 && !data.empty()) return std::unexpected(ZipError::io(IoError::custom("deflate output overflowed")));
  entry.deflated.resize(n);
  return entry;
}

std::expected<void, ZipError> ZipWriter::add(std::string name, std::string_view data, std::uint16_t method,
                                             std::string& out) {
  auto entry = prepare_entry(std::move(name), data, method);
  if (!entry) return std::unexpected(std::move(entry.error()));
  return add(*entry, out);
}

std::expected<void, ZipError> ZipWriter::add(const PreparedEntry& entry, std::string& out) {
  if (names_.contains(entry.name))
    return std::unexpected(ZipError::invalid(fmt::format("duplicate entry name `{}`", entry.name)));
  names_.insert(entry.name);
  std::string_view payload = entry.payload();
  bool zip64 = entry.size >= kMax32 || payload.size() >= kMax32;
  out.reserve(out.size() + f::kLocalHeaderSize + entry.name.size() + (zip64 ? 20 : 0) + payload.size());
  put32(out, f::kLocalHeaderSig);
  put16(out, zip64 ? kVersionZip64 : kVersionDefault);
  put16(out, flags_for(entry.name));
  put16(out, entry.method);
  put16(out, options_.modified.time);
  put16(out, options_.modified.date);
  put32(out, entry.crc32);
  put32(out, zip64 ? kMax32 : payload.size());
  put32(out, zip64 ? kMax32 : entry.size);
  put16(out, entry.name.size());
  put16(out, zip64 ? 20 : 0);
  out += entry.name;
  if (zip64) {
    put16(out, f::kExtraZip64);
    put16(out, 16);
    put64(out, entry.size);
    put64(out, payload.size());
  }
  out += payload;
  placed_.push_back(Placed{entry.name, entry.method, entry.crc32, entry.size, payload.size(), offset_});
  offset_ += f::kLocalHeaderSize + entry.name.size() + (zip64 ? 20 : 0) + payload.size();
  return {};
}

void ZipWriter::finish(std::string& out) const {
  std::uint64_t directory_start = offset_;
  std::uint64_t directory_size = 0;
  for (const auto& e : placed_) {
    bool big_size = e.size >= kMax32;
    bool big_compressed = e.compressed_size >= kMax32;
    bool big_offset = e.offset >= kMax32;
    std::uint16_t extra = (big_size ? 8 : 0) + (big_compressed ? 8 : 0) + (big_offset ? 8 : 0);
    bool zip64 = extra != 0;
    std::uint16_t version = zip64 ? kVersionZip64 : kVersionDefault;
    put32(out, f::kCentralHeaderSig);
    put16(out, (static_cast<std::uint16_t>(f::kHostUnix) << 8) | version);
    put16(out, version);
    put16(out, flags_for(e.name));
    put16(out, e.method);
    put16(out, options_.modified.time);
    put16(out, options_.modified.date);
    put32(out, e.crc32);
    put32(out, big_compressed ? kMax32 : e.compressed_size);
    put32(out, big_size ? kMax32 : e.size);
    put16(out, e.name.size());
    put16(out, zip64 ? extra + 4 : 0);
    put16(out, 0);  // comment
    put16(out, 0);  // disk number
    put16(out, 0);  // internal attributes
    put32(out, static_cast<std::uint64_t>(options_.unix_mode) << 16);
    put32(out, big_offset ? kMax32 : e.offset);
    out += e.name;
    if (zip64) {
      put16(out, f::kExtraZip64);
      put16(out, extra);
      if (big_size) put64(out, e.size);
      if (big_compressed) put64(out, e.compressed_size);
      if (big_offset) put64(out, e.offset);
    }
    directory_size += f::kCentralHeaderSize + e.name.size() + (zip64 ? extra + 4u : 0u);
  }
  std::uint64_t count = placed_.size();
  bool zip64_end = count >= kMax16 || directory_size >= kMax32 || directory_start >= kMax32;
  if (zip64_end) {
    std::uint64_t end64_offset = directory_start + directory_size;
    put32(out, f::kZip64EndSig);
    put64(out, f::kZip64EndSize - 12);
    put16(out, (static_cast<std::uint16_t>(f::kHostUnix) << 8) | kVersionZip64);
    put16(out, kVersionZip64);
    put32(out, 0);  // this disk
    put32(out, 0);  // disk of the directory
    put64(out, count);
    put64(out, count);
    put64(out, directory_size);
    put64(out, directory_start);
    put32(out, f::kZip64LocatorSig);
    put32(out, 0);
    put64(out, end64_offset);
    put32(out, 1);  // disks in total
  }
  put32(out, f::kEndSig);
  put16(out, 0);
  put16(out, 0);
  put16(out, std::min(count, kMax16));
  put16(out, std::min(count, kMax16));
  put32(out, std::min(directory_size, kMax32));
  put32(out, std::min(directory_start, kMax32));
  put16(out, 0);  // comment
}

}  // namespace kestro::zip
