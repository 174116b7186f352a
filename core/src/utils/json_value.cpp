#include "kestro/utils/json_value.hpp"

#include <unordered_map>

namespace kestro::json {

void Object::push_back(std::string key, Value value) { members_.emplace_back(std::move(key), std::move(value)); }

void Object::insert_or_assign(std::string key, Value value) {
  for (auto& m : members_) {
    if (m.first == key) {
      m.second = std::move(value);
      return;
    }
  }
  members_.emplace_back(std::move(key), std::move(value));
}

const Value* Object::find(std::string_view key) const {
  for (const auto& m : members_)
    if (m.first == key) return &m.second;
  return nullptr;
}

size_t Object::count(std::string_view key) const {
  size_t n = 0;
  for (const auto& m : members_) n += m.first == key;
  return n;
}

bool Object::operator==(const Object& other) const { return members_ == other.members_; }

bool Value::operator==(const Value& other) const { return v == other.v; }

Object normalized(const Object& object) {
  // Hashed positions keep this linear: objects come from untrusted
  // documents and may hold very many members.
  Object out;
  std::unordered_map<std::string_view, size_t> position;
  position.reserve(object.size());
  for (const auto& [key, value] : object.members()) {
    auto [it, fresh] = position.try_emplace(key, out.size());
    if (fresh)
      out.push_back(key, normalized(value));
    else
      out.members()[it->second].second = normalized(value);
  }
  return out;
}

Value normalized(const Value& value) {
  if (const auto* o = value.as_object()) return Value(normalized(*o));
  if (const auto* a = value.as_array()) {
    Array out;
    out.reserve(a->size());
    for (const auto& e : *a) out.push_back(normalized(e));
    return Value(std::move(out));
  }
  return value;
}

}  // namespace kestro::json
