// The byte layout of zip records, shared by the archive reader and writer:
// signatures, fixed record sizes and little-endian field access.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestro::zip::format {

inline constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;
inline constexpr std::uint32_t kEndSig = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSig = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kMaxCommentSize = 0xffff;

inline constexpr std::uint16_t kExtraZip64 = 0x0001;
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075;

inline constexpr std::uint16_t kFlagEncrypted = 1u << 0;
inline constexpr std::uint16_t kFlagUtf8 = 1u << 11;

// Host systems in the upper byte of "version made by".
inline constexpr std::uint8_t kHostDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;

inline std::uint16_t le16(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t le32(const char* p) {
  return static_cast<std::uint32_t>(le16(p)) | (static_cast<std::uint32_t>(le16(p + 2)) << 16);
}
inline std::uint64_t le64(const char* p) {
  return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

}  // namespace kestro::zip::format
