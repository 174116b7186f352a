// A configured project source: one place from which a project is taken in
// place of resolving it, read from and written as TOML.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "kestro/utils/toml_document.hpp"
#include "kestro/utils/toml_value.hpp"

namespace kestro::model {

// One place from which a project is taken in place of resolving it: a kind
// and one text (a path for the first three kinds, a URL for the others).
struct OverrideSource {
  // In the order in which a value is matched against them.
  enum class Kind { Editable, LocalSrc, LocalKpar, RemoteKpar, RemoteSrc, RemoteGit };
  Kind kind;
  std::string text;

  // The TOML key of a kind: "editable", "src_path", "kpar_path",
  // "remote_kpar", "remote_src", "remote_git".
  static std::string_view key(Kind kind);
  bool operator==(const OverrideSource&) const = default;
};

// Reads one element of a `sources` list. The value is taken as an owned
// tree first (integers beyond the 64-bit ranges fail there); the first kind
// whose key holds a string wins; other keys are passed over. Nothing fits:
// "data did not match any variant of untagged enum OverrideSource".
std::expected<OverrideSource, toml::Error> deserialize_override_source(const toml::Document& doc, toml::NodeId value);

// A new inline table with the kind's key and the text as a string; its text
// (toml::write_inline) reads `{ key = "text" }`.
toml::Value override_source_to_toml(const OverrideSource& source);

}  // namespace kestro::model
