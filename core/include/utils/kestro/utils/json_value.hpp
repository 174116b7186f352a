// The neutral JSON tree: values as read, objects as ordered member lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kestro::json {

struct Value;

// An object's members in document order. A tree fresh from the reader keeps
// repeated keys; `normalized()` collapses them: one member per key, at the
// place of its first occurrence, holding the value of its last.
class Object {
 public:
  using Member = std::pair<std::string, Value>;

  Object() = default;
  const std::vector<Member>& members() const { return members_; }
  std::vector<Member>& members() { return members_; }
  // Defined after `Value`: a body here would need the member type complete.
  bool empty() const;
  size_t size() const;

  // Appends a member, repeated keys included.
  void push_back(std::string key, Value value);
  // Replaces the value of an existing key in place, or appends.
  void insert_or_assign(std::string key, Value value);
  const Value* find(std::string_view key) const;
  size_t count(std::string_view key) const;

  bool operator==(const Object&) const;

 private:
  std::vector<Member> members_;
};

using Array = std::vector<Value>;

struct Null {
  bool operator==(const Null&) const = default;
};

struct Value {
  // Numbers are held as the reader delivers them: non-negative integers as
  // u64, negative integers as i64, everything else as double.
  std::variant<Null, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object> v;

  Value() = default;
  Value(Null) {}
  Value(bool b) : v(b) {}
  Value(std::uint64_t u) : v(u) {}
  Value(std::int64_t i) : v(i) {}
  Value(double d) : v(d) {}
  Value(std::string s) : v(std::move(s)) {}
  Value(const char* s) : v(std::string(s)) {}
  Value(Array a) : v(std::move(a)) {}
  Value(Object o) : v(std::move(o)) {}

  // Destroys nested containers level by level from a list of its own, so
  // that freeing a deep tree takes no stack per level.
  ~Value();
  Value(const Value&) = default;
  Value(Value&&) noexcept = default;
  Value& operator=(const Value&) = default;
  Value& operator=(Value&&) noexcept = default;

  bool is_null() const { return std::holds_alternative<Null>(v); }
  const std::string* as_string() const { return std::get_if<std::string>(&v); }
  const Object* as_object() const { return std::get_if<Object>(&v); }
  const Array* as_array() const { return std::get_if<Array>(&v); }

  bool operator==(const Value&) const;
};

inline bool Object::empty() const { return members_.empty(); }
inline size_t Object::size() const { return members_.size(); }

// A copy whose objects, at every depth, hold each key once.
Value normalized(const Value& value);
Object normalized(const Object& object);

// JSON equality of two normalized trees: objects as maps from key to value
// whatever their order, arrays element by element, scalars by value.
// (`==` compares objects member by member, in order.)
bool same_json(const Value& a, const Value& b);

}  // namespace kestro::json
