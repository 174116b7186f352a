#include "kestro/utils/json_value.hpp"

#include <algorithm>
#include <unordered_map>

namespace kestro::json {

namespace {

bool is_container(const Value& value) {
  return std::holds_alternative<Array>(value.v) || std::holds_alternative<Object>(value.v);
}

// Moves the non-empty containers among `value`'s children to `pending`; what
// stays behind has no nested container left.
void take_nested(Value& value, std::vector<Value>& pending) {
  if (auto* array = std::get_if<Array>(&value.v)) {
    for (auto& item : *array)
      if (is_container(item)) pending.push_back(std::move(item));
  } else if (auto* object = std::get_if<Object>(&value.v)) {
    for (auto& member : object->members())
      if (is_container(member.second)) pending.push_back(std::move(member.second));
  }
}

bool has_nested(const Value& value) {
  if (const auto* array = std::get_if<Array>(&value.v)) {
    for (const auto& item : *array)
      if (is_container(item)) return true;
  } else if (const auto* object = std::get_if<Object>(&value.v)) {
    for (const auto& member : object->members())
      if (is_container(member.second)) return true;
  }
  return false;
}

}  // namespace

Value::~Value() {
  if (!has_nested(*this)) return;
  std::vector<Value> pending;
  take_nested(*this, pending);
  while (!pending.empty()) {
    Value next = std::move(pending.back());
    pending.pop_back();
    take_nested(next, pending);
  }
}

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

bool same_json(const Value& a, const Value& b) {
  if (const auto* oa = a.as_object()) {
    const auto* ob = b.as_object();
    if (ob == nullptr || oa->size() != ob->size()) return false;
    // Hashed, as in `normalized`: objects may hold very many members.
    std::unordered_map<std::string_view, const Value*> by_key;
    by_key.reserve(ob->size());
    for (const auto& [key, value] : ob->members()) by_key.emplace(key, &value);
    return std::all_of(oa->members().begin(), oa->members().end(), [&](const Object::Member& m) {
      auto other = by_key.find(m.first);
      return other != by_key.end() && same_json(m.second, *other->second);
    });
  }
  if (const auto* aa = a.as_array()) {
    const auto* ab = b.as_array();
    return ab != nullptr && std::equal(aa->begin(), aa->end(), ab->begin(), ab->end(), same_json);
  }
  return a == b;
}

}  // namespace kestro::json
