// A TOML value owned on its own, apart from any document: the neutral tree
// that typed readers match shapes against, and the values that writers turn
// into text.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/utils/toml_document.hpp"

namespace kestro::toml {

struct Datetime {
  std::string text;  // as written
  DatetimeForm form = DatetimeForm::OffsetDateTime;
  bool operator==(const Datetime&) const = default;
};

class Value {
 public:
  struct Member;
  using Array = std::vector<Value>;
  using Table = std::vector<Member>;  // in insertion order, each key once

  // Defined after `Member`: making and destroying a value (an empty
  // default argument too) needs it complete.
  static Value string(std::string text);
  static Value integer(Integer i);
  static Value integer(int64_t i);
  static Value floating(double f);
  static Value boolean(bool b);
  static Value datetime(Datetime d);
  static Value array();
  static Value array(Array items);
  static Value table();
  static Value table(Table members);

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  const std::string* as_string() const { return std::get_if<std::string>(&v_); }
  const Integer* as_integer() const { return std::get_if<Integer>(&v_); }
  const double* as_float() const { return std::get_if<double>(&v_); }
  const bool* as_bool() const { return std::get_if<bool>(&v_); }
  const Datetime* as_datetime() const { return std::get_if<Datetime>(&v_); }
  const Array* as_array() const { return std::get_if<Array>(&v_); }
  Array* as_array() { return std::get_if<Array>(&v_); }
  const Table* as_table() const { return std::get_if<Table>(&v_); }
  Table* as_table() { return std::get_if<Table>(&v_); }

  // Tables: the value of a key, or nullptr.
  const Value* find(std::string_view key) const;
  // Tables: sets a key, replacing its value in place or appending it.
  void set(std::string key, Value value);

  bool operator==(const Value&) const;

 private:
  template <typename T>
  explicit Value(T v) : v_(std::move(v)) {}
  // Alternatives in the order of `Kind`.
  std::variant<std::string, Integer, double, bool, Datetime, Array, Table> v_;
};

struct Value::Member {
  std::string key;
  Value value;
  bool operator==(const Member&) const = default;
};

inline Value Value::string(std::string text) { return Value(std::move(text)); }
inline Value Value::integer(Integer i) { return Value(i); }
inline Value Value::integer(int64_t i) { return Value(Integer::from_i64(i)); }
inline Value Value::floating(double f) { return Value(f); }
inline Value Value::boolean(bool b) { return Value(b); }
inline Value Value::datetime(Datetime d) { return Value(std::move(d)); }
inline Value Value::array() { return Value(Array{}); }
inline Value Value::array(Array items) { return Value(std::move(items)); }
inline Value Value::table() { return Value(Table{}); }
inline Value Value::table(Table members) { return Value(std::move(members)); }

// One value of a document as an owned tree. Integers must fit the signed or
// the unsigned 64-bit range; others fail with "integer number overflowed" at
// their span.
std::expected<Value, Error> to_value(const Document& doc, NodeId id);

}  // namespace kestro::toml
