// Test archives made by Python's zipfile module, and byte patches for
// breaking them on purpose.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/process.hpp"
#include "test_support.hpp"

namespace kestro {

struct ZipFixtureEntry {
  std::string name;
  std::string data;
  bool deflated = false;
  int method = -1;  // another zipfile method number (12 = bzip2), overrides `deflated`
  std::optional<std::uint32_t> external_attr{};
  std::optional<int> create_system{};  // 0 DOS, 3 Unix
};

struct ZipFixtureOptions {
  bool zip64 = false;  // every record in its zip64 form
  std::string comment;
  std::string prefix;  // bytes put in front of the archive
};

inline std::string fixture_hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Writes the archive with python3's zipfile; throws when Python fails.
inline void make_zip(const std::filesystem::path& path, const std::vector<ZipFixtureEntry>& entries,
                     const ZipFixtureOptions& options = {}) {
  std::ostringstream py;
  py << "import sys, zipfile\n";
  if (options.zip64) py << "zipfile.ZIP64_LIMIT = 0\nzipfile.ZIP_FILECOUNT_LIMIT = 0\n";
  py << "z = zipfile.ZipFile(sys.argv[1], 'w')\n";
  for (const auto& e : entries) {
    int method = e.method >= 0 ? e.method : e.deflated ? 8 : 0;
    py << "i = zipfile.ZipInfo(bytes.fromhex('" << fixture_hex(e.name) << "').decode())\n"
       << "i.compress_type = " << method << "\n";
    if (e.external_attr) py << "i.external_attr = " << *e.external_attr << "\n";
    if (e.create_system) py << "i.create_system = " << *e.create_system << "\n";
    py << "z.writestr(i, bytes.fromhex('" << fixture_hex(e.data) << "'))\n";
  }
  py << "z.comment = bytes.fromhex('" << fixture_hex(options.comment) << "')\n"
     << "z.close()\n";
  auto script = path.string() + ".py";
  write_text(script, py.str());
  const std::vector<std::string> argv{"python3", script, path.string()};
  const auto result = testing::run_command(argv);
  if (result.status != 0)
    throw std::runtime_error("python3 failed: " + testing::command_line(argv) + "\n" + result.out);
  std::filesystem::remove(script);
  if (!options.prefix.empty()) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    write_text(path, options.prefix + bytes);
  }
}

// Replaces every occurrence of `from` by `to` (same length) in the file.
inline void patch_bytes(const std::filesystem::path& path, std::string_view from, std::string_view to) {
  std::string bytes = read_bytes(path);
  for (auto at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size()))
    bytes.replace(at, from.size(), to);
  write_text(path, bytes);
}

// Sets the uncompressed size recorded by the local and the central header of
// the archive's only entry (an archive of one entry, without leading bytes).
inline void claim_entry_size(const std::filesystem::path& path, std::uint32_t size) {
  std::string bytes = read_bytes(path);
  const std::string le = {static_cast<char>(size), static_cast<char>(size >> 8), static_cast<char>(size >> 16),
                          static_cast<char>(size >> 24)};
  bytes.replace(22, 4, le);
  bytes.replace(bytes.rfind("PK\x01\x02") + 24, 4, le);
  write_text(path, bytes);
}

// Sets a 32-bit field of the central header of entry `index` (in directory
// order): 20 the compressed size, 24 the uncompressed size, 42 the local
// header offset.
inline void patch_central_field(const std::filesystem::path& path, std::size_t index, std::size_t field,
                                std::uint32_t value) {
  std::string bytes = read_bytes(path);
  auto at = bytes.find("PK\x01\x02");
  for (std::size_t i = 0; i < index; ++i) at = bytes.find("PK\x01\x02", at + 4);
  if (at == std::string::npos) throw std::runtime_error("no such central header");
  const std::string le = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                          static_cast<char>(value >> 24)};
  bytes.replace(at + field, 4, le);
  write_text(path, bytes);
}

}  // namespace kestro
