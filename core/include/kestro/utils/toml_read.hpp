// Typed reading of records from a parsed TOML document, with the reader's
// messages: "invalid type: {found}, expected {what}", "missing field `{}`",
// "invalid length {}, expected {}". An error raised while reading a value
// gets that value's span (unless it has one already) and the key the value
// stood under, so it can point at the text or name its place.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/utils/toml.hpp"

namespace kestro::toml {

template <typename T>
using Result = std::expected<T, Error>;

// A value found where another was expected: `string "x"`, "integer `5`",
// "floating point `1.5`", "boolean `true`"; tables and date-times are a
// "map", arrays a "sequence".
std::string describe(const Document& doc, NodeId id);

Error invalid_type(const Document& doc, NodeId id, std::string_view expected);
Error invalid_length(size_t found, std::string_view expected);
Error missing_field(std::string_view key);

// Context of the value `id` for an error raised while reading it; `key`
// when the value stood under a key (not for sequence elements).
Error within(Error error, const Document& doc, NodeId id, std::optional<std::string_view> key = std::nullopt);

Result<std::string> read_string(const Document& doc, NodeId id);  // expects "a string"
Result<bool> read_bool(const Document& doc, NodeId id);           // expects "a boolean"

// How a record may be written: a table (or a date-time, read as a table
// holding none of the record's keys), an array of its field values, or
// neither.
enum class Shape { Map, Sequence, Other };
Shape record_shape(const Document& doc, NodeId id);

// The entries of a map-shaped value (none for a date-time), each handed to
// `read_member(key, value)` in document order.
template <typename F>
Result<void> read_members(const Document& doc, NodeId id, F&& read_member) {
  for (const Entry& e : doc.entries(id))
    if (Result<void> r = read_member(std::string_view(e.key), e.value); !r)
      return std::unexpected(within(std::move(r.error()), doc, e.value, e.key));
  return {};
}

// A list value (an inline array or an array of tables), each element handed
// to `read_element(id)` in order; any other value fails expecting "a
// sequence".
template <typename F>
Result<void> read_sequence(const Document& doc, NodeId id, F&& read_element) {
  if (doc.node(id).kind != Kind::Array) return std::unexpected(invalid_type(doc, id, "a sequence"));
  for (NodeId item : doc.items(id))
    if (Result<void> r = read_element(item); !r) return std::unexpected(within(std::move(r.error()), doc, item));
  return {};
}

}  // namespace kestro::toml
