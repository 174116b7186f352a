// Checksum entries of `.meta.json` and the checksum algorithm names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/ordered_map.hpp"

namespace kestro::model {

enum class ChecksumAlgorithm {
  None, Sha1, Sha224, Sha256, Sha384, Sha3_256, Sha3_384, Sha3_512, Blake2b256, Blake2b384, Blake2b512,
  Blake3, Md2, Md4, Md5, Md6, Adler32,
};

// The exact name ("SHA-384"), or nothing for any other text.
std::optional<ChecksumAlgorithm> parse_checksum_algorithm(std::string_view name);
std::string checksum_algorithm_name(ChecksumAlgorithm algorithm);
void display_checksum_algorithm(ChecksumAlgorithm algorithm, std::string& sink);
// Hex digits a value must have, or nothing for NONE and MD6.
std::optional<size_t> checksum_hex_digits(ChecksumAlgorithm algorithm);
// The variant's own name ("Sha3_256"), for diagnostics.
std::string_view checksum_algorithm_debug(ChecksumAlgorithm algorithm);

template <typename Algorithm>
struct InterchangeProjectChecksumG {
  std::string value;
  Algorithm algorithm;
  bool operator==(const InterchangeProjectChecksumG&) const = default;
};

using InterchangeProjectChecksumRaw = InterchangeProjectChecksumG<std::string>;
using InterchangeProjectChecksum = InterchangeProjectChecksumG<ChecksumAlgorithm>;

// File path to checksum entry, in document order.
using ChecksumMapRaw = OrderedMap<InterchangeProjectChecksumRaw>;

// The value under `checksum`: null gives none, an object a map.
json::Result<std::optional<ChecksumMapRaw>> read_checksum_map(json::Reader& reader);
json::Result<InterchangeProjectChecksumRaw> read_checksum_entry(json::Reader& reader);

void write_checksum_map(const ChecksumMapRaw& map, json::Writer& writer);

}  // namespace kestro::model
