// Typed reading of records from a parsed TOML document, with the reader's
// messages: "invalid type: {found}, expected {what}", "missing field `{}`",
// "invalid length {}, expected {}". An error raised while reading a value
// gets that value's span (unless it has one already) and the key the value
// stood under, so it can point at the text or name its place.
#pragma once

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/toml_document.hpp"

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
// Moves a value read into `to`, or passes the read's error on.
template <typename T, typename U>
Result<void> store(T& to, Result<U>&& from) {
  if (!from) return std::unexpected(std::move(from.error()));
  to = std::move(*from);
  return {};
}

// A sequence of strings, each element read with read_string.
Result<std::vector<std::string>> read_strings(const Document& doc, NodeId id);

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

// A record's fields in declaration order, and how it is named in messages.
struct RecordField {
  std::string_view key;
  bool required = false;  // the table form must hold it
};
struct Record {
  std::string_view name;                 // "struct Index"
  std::span<const RecordField> fields;   // at most 64
  size_t positional_required = 0;        // values the array form must hold
};

// "struct Index with 3 elements".
std::string record_with_elements(const Record& record);

// Reads a record written as a table (keys of other names passed over; a
// missing required key fails with "missing field `{}`", tested in
// declaration order), or as an array of its field values in declaration
// order (fewer than `positional_required` fails with "invalid length {n},
// expected {name} with {k} elements"; values past the last field are passed
// over). `read_field(index, value)` reads one field. Any other value fails
// with "invalid type: {}, expected {name}".
template <typename F>
Result<void> read_record(const Document& doc, NodeId id, const Record& record, F&& read_field) {
  switch (record_shape(doc, id)) {
    case Shape::Map: {
      uint64_t seen = 0;
      auto r = read_members(doc, id, [&](std::string_view key, NodeId value) -> Result<void> {
        for (size_t i = 0; i < record.fields.size(); ++i)
          if (record.fields[i].key == key) {
            seen |= uint64_t(1) << i;
            return read_field(i, value);
          }
        return {};
      });
      if (!r) return r;
      for (size_t i = 0; i < record.fields.size(); ++i)
        if (record.fields[i].required && (seen & (uint64_t(1) << i)) == 0)
          return std::unexpected(missing_field(record.fields[i].key));
      return {};
    }
    case Shape::Sequence: {
      const auto items = doc.items(id);
      if (items.size() < record.positional_required)
        return std::unexpected(invalid_length(items.size(), record_with_elements(record)));
      for (size_t i = 0; i < items.size() && i < record.fields.size(); ++i)
        if (Result<void> r = read_field(i, items[i]); !r)
          return std::unexpected(within(std::move(r.error()), doc, items[i]));
      return {};
    }
    case Shape::Other: break;
  }
  return std::unexpected(invalid_type(doc, id, record.name));
}

}  // namespace kestro::toml
