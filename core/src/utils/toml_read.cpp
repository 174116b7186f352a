#include "kestro/utils/toml_read.hpp"

#include <cmath>

#include <fmt/format.h>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::toml {

std::string describe(const Document& doc, NodeId id) {
  const Node& n = doc.node(id);
  switch (n.kind) {
    case Kind::String: return "string " + debug_quote(doc.string_value(id));
    case Kind::Integer: return fmt::format("integer `{}`", n.integer.to_string());
    case Kind::Float: {
      const double f = n.number;
      std::string text = std::isnan(f) ? "NaN" : std::isinf(f) ? (f < 0 ? "-inf" : "inf") : json::format_float(f);
      return fmt::format("floating point `{}`", text);
    }
    case Kind::Boolean: return fmt::format("boolean `{}`", n.boolean);
    case Kind::Array: return "sequence";
    case Kind::Datetime:
    case Kind::Table: return "map";
  }
  return {};
}

Error invalid_type(const Document& doc, NodeId id, std::string_view expected) {
  return Error(fmt::format("invalid type: {}, expected {}", describe(doc, id), expected));
}

Error invalid_length(size_t found, std::string_view expected) {
  return Error(fmt::format("invalid length {}, expected {}", found, expected));
}

Error missing_field(std::string_view key) { return Error(fmt::format("missing field `{}`", key)); }

Error within(Error error, const Document& doc, NodeId id, std::optional<std::string_view> key) {
  const Node& n = doc.node(id);
  if (n.has_span) error.set_span_if_none(n.span);
  if (key) error.add_key(std::string(*key));
  return error;
}

Result<std::string> read_string(const Document& doc, NodeId id) {
  if (doc.node(id).kind != Kind::String) return std::unexpected(invalid_type(doc, id, "a string"));
  return std::string(doc.string_value(id));
}

Result<bool> read_bool(const Document& doc, NodeId id) {
  if (doc.node(id).kind != Kind::Boolean) return std::unexpected(invalid_type(doc, id, "a boolean"));
  return doc.node(id).boolean;
}

Shape record_shape(const Document& doc, NodeId id) {
  switch (doc.node(id).kind) {
    case Kind::Table:
    case Kind::Datetime: return Shape::Map;
    case Kind::Array: return Shape::Sequence;
    default: return Shape::Other;
  }
}

std::string record_with_elements(const Record& record) {
  return json::struct_with_elements(record.name, record.positional_required);
}

Result<std::vector<std::string>> read_strings(const Document& doc, NodeId id) {
  std::vector<std::string> out;
  auto r = read_sequence(doc, id, [&](NodeId item) -> Result<void> {
    auto s = read_string(doc, item);
    if (!s) return std::unexpected(std::move(s.error()));
    out.push_back(std::move(*s));
    return {};
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return out;
}

}  // namespace kestro::toml
