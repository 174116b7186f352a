// The two records of an interchange project: the information record
// (`.project.json`) and the metadata record (`.meta.json`), as read and as
// written. Reading takes every value as it stands; validation is separate.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/model/checksum.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/ordered_map.hpp"

namespace kestro::model {

template <typename Version, typename Iri, typename Usage>
struct InterchangeProjectInfoG {
  std::string name;
  std::optional<std::string> publisher;
  std::optional<std::string> description;
  Version version;
  std::optional<std::string> license;
  std::vector<std::string> maintainer;
  std::optional<Iri> website;
  std::vector<std::string> topic;
  std::vector<Usage> usage;
  bool operator==(const InterchangeProjectInfoG&) const = default;
};

template <typename Time, typename Iri, typename Checksum>
struct InterchangeProjectMetadataG {
  // Exported symbol name to the project-relative path of its file.
  OrderedMap<std::string> index;
  Time created;
  std::optional<Iri> metamodel;
  std::optional<bool> includes_derived;
  std::optional<bool> includes_implied;
  // Project-relative path to checksum entry.
  std::optional<OrderedMap<Checksum>> checksum;
  bool operator==(const InterchangeProjectMetadataG&) const = default;
};

using InterchangeProjectInfoRaw = InterchangeProjectInfoG<std::string, std::string, InterchangeProjectUsageRaw>;
using InterchangeProjectMetadataRaw =
    InterchangeProjectMetadataG<std::string, std::string, InterchangeProjectChecksumRaw>;

// Reads a whole document (only whitespace may follow the record).
json::Result<InterchangeProjectInfoRaw> parse_project_info(std::string_view json);
json::Result<InterchangeProjectMetadataRaw> parse_project_meta(std::string_view json);

// Reads one record at the reader's position (for documents that embed one).
json::Result<InterchangeProjectInfoRaw> read_project_info(json::Reader& reader);
json::Result<InterchangeProjectMetadataRaw> read_project_meta(json::Reader& reader);

// Writes a record into a writer of either layout: keys in declaration order,
// absent optionals and empty lists left out; `index` always, `checksum`
// whenever present.
void write_project_info_json(const InterchangeProjectInfoRaw& info, json::Writer& writer);
void write_project_meta_json(const InterchangeProjectMetadataRaw& meta, json::Writer& writer);

// The pretty layout followed by one line feed: the bytes of the record files.
std::string to_pretty_json(const InterchangeProjectInfoRaw& info);
std::string to_pretty_json(const InterchangeProjectMetadataRaw& meta);

// SHA-256 of the compact info text immediately followed by the compact
// metadata text.
std::array<unsigned char, 32> canonical_project_digest(const InterchangeProjectInfoRaw& info,
                                                       const InterchangeProjectMetadataRaw& meta);
std::string canonical_project_digest_hex(const InterchangeProjectInfoRaw& info,
                                         const InterchangeProjectMetadataRaw& meta);

}  // namespace kestro::model
