#include "kestro/model/checksum.hpp"

#include <array>

namespace kestro::model {

namespace {

struct AlgorithmRow {
  ChecksumAlgorithm algorithm;
  std::string_view name;
  std::string_view debug;
  size_t digits;  // 0: no demand
};

constexpr std::array<AlgorithmRow, 17> kAlgorithms = {{
    {ChecksumAlgorithm::None, "NONE", "None", 0},
    {ChecksumAlgorithm::Sha1, "SHA1", "Sha1", 40},
    {ChecksumAlgorithm::Sha224, "SHA224", "Sha224", 56},
    {ChecksumAlgorithm::Sha256, "SHA256", "Sha256", 64},
    {ChecksumAlgorithm::Sha384, "SHA-384", "Sha384", 96},
    {ChecksumAlgorithm::Sha3_256, "SHA3-256", "Sha3_256", 64},
    {ChecksumAlgorithm::Sha3_384, "SHA3-384", "Sha3_384", 96},
    {ChecksumAlgorithm::Sha3_512, "SHA3-512", "Sha3_512", 128},
    {ChecksumAlgorithm::Blake2b256, "BLAKE2b-256", "Blake2b256", 64},
    {ChecksumAlgorithm::Blake2b384, "BLAKE2b-384", "Blake2b384", 96},
    {ChecksumAlgorithm::Blake2b512, "BLAKE2b-512", "Blake2b512", 128},
    {ChecksumAlgorithm::Blake3, "BLAKE3", "Blake3", 64},
    {ChecksumAlgorithm::Md2, "MD2", "Md2", 32},
    {ChecksumAlgorithm::Md4, "MD4", "Md4", 32},
    {ChecksumAlgorithm::Md5, "MD5", "Md5", 32},
    {ChecksumAlgorithm::Md6, "MD6", "Md6", 0},
    {ChecksumAlgorithm::Adler32, "ADLER32", "Adler32", 8},
}};

const AlgorithmRow& row(ChecksumAlgorithm a) { return kAlgorithms[static_cast<size_t>(a)]; }

constexpr json::Field kEntryFields[] = {{"value", true}, {"algorithm", true}};

}  // namespace

std::optional<ChecksumAlgorithm> parse_checksum_algorithm(std::string_view name) {
  for (const auto& r : kAlgorithms)
    if (r.name == name) return r.algorithm;
  return std::nullopt;
}

std::string checksum_algorithm_name(ChecksumAlgorithm algorithm) { return std::string(row(algorithm).name); }

void display_checksum_algorithm(ChecksumAlgorithm algorithm, std::string& sink) { sink += row(algorithm).name; }

std::optional<size_t> checksum_hex_digits(ChecksumAlgorithm algorithm) {
  size_t d = row(algorithm).digits;
  return d == 0 ? std::nullopt : std::optional<size_t>(d);
}

std::string_view checksum_algorithm_debug(ChecksumAlgorithm algorithm) { return row(algorithm).debug; }

json::Result<InterchangeProjectChecksumRaw> read_checksum_entry(json::Reader& reader) {
  InterchangeProjectChecksumRaw entry;
  auto r = json::read_record(reader, "struct InterchangeProjectChecksumRaw", kEntryFields,
                             [&](size_t i, json::Reader& rd) -> json::Result<void> {
                               auto s = rd.read_string();
                               if (!s) return std::unexpected(s.error());
                               (i == 0 ? entry.value : entry.algorithm) = std::move(*s);
                               return {};
                             });
  if (!r) return std::unexpected(r.error());
  return entry;
}

json::Result<std::optional<ChecksumMapRaw>> read_checksum_map(json::Reader& reader) {
  auto null = reader.read_null();
  if (!null) return std::unexpected(null.error());
  if (*null) return std::optional<ChecksumMapRaw>();
  ChecksumMapRaw map;
  auto r = json::read_map(reader, "a map", [&](std::string key, json::Reader& rd) -> json::Result<void> {
    auto entry = read_checksum_entry(rd);
    if (!entry) return std::unexpected(entry.error());
    map.insert_or_assign(std::move(key), std::move(*entry));
    return {};
  });
  if (!r) return std::unexpected(r.error());
  return std::optional<ChecksumMapRaw>(std::move(map));
}

void write_checksum_map(const ChecksumMapRaw& map, json::Writer& w) {
  w.begin_object();
  for (const auto& [path, entry] : map) {
    w.key(path);
    w.begin_object();
    w.member("value", entry.value);
    w.member("algorithm", entry.algorithm);
    w.end_object();
  }
  w.end_object();
}

}  // namespace kestro::model
