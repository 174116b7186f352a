#include "kestro/utils/toml_value.hpp"

namespace kestro::toml {

const Value* Value::find(std::string_view key) const {
  if (const Table* t = as_table())
    for (const Member& m : *t)
      if (m.key == key) return &m.value;
  return nullptr;
}

void Value::set(std::string key, Value value) {
  Table* t = std::get_if<Table>(&v_);
  if (t == nullptr) internal_error("TOML value is not a table");
  for (Member& m : *t)
    if (m.key == key) {
      m.value = std::move(value);
      return;
    }
  t->push_back(Member{std::move(key), std::move(value)});
}

bool Value::operator==(const Value& other) const { return v_ == other.v_; }

// Recursion here is bounded by the document's nesting limit.
std::expected<Value, Error> to_value(const Document& doc, NodeId id) {
  const Node& n = doc.node(id);
  switch (n.kind) {
    case Kind::String: return Value::string(std::string(doc.string_value(id)));
    case Kind::Integer:
      if (!n.integer.to_i64() && !n.integer.to_u64()) return std::unexpected(Error("integer number overflowed", n.span));
      return Value::integer(n.integer);
    case Kind::Float: return Value::floating(n.number);
    case Kind::Boolean: return Value::boolean(n.boolean);
    case Kind::Datetime:
      return Value::datetime(Datetime{std::string(doc.text(id)), static_cast<DatetimeForm>(n.form)});
    case Kind::Array: {
      Value::Array items;
      items.reserve(doc.items(id).size());
      for (NodeId item : doc.items(id)) {
        auto v = to_value(doc, item);
        if (!v) return std::unexpected(std::move(v.error()));
        items.push_back(std::move(*v));
      }
      return Value::array(std::move(items));
    }
    case Kind::Table: {
      Value::Table members;
      members.reserve(doc.entries(id).size());
      for (const Entry& e : doc.entries(id)) {
        auto v = to_value(doc, e.value);
        if (!v) return std::unexpected(std::move(v.error()));
        members.push_back(Value::Member{e.key, std::move(*v)});
      }
      return Value::table(std::move(members));
    }
  }
  return std::unexpected(Error("unknown TOML value"));
}

}  // namespace kestro::toml
