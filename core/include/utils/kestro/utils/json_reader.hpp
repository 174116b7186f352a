// A pull reader over a JSON byte buffer. Typed reads report the system's
// reading errors ("invalid type: {}, expected {}", "missing field `{}`", ...)
// with the line and column where reading stopped; the column counts the bytes
// read on that line. The first error ends a read.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "kestro/utils/error.hpp"
#include "kestro/utils/json_value.hpp"

namespace kestro::json {

// A reading error: a message and the position where reading stopped.
// Errors made by a record reader (missing or duplicate fields) have no
// position until the enclosing container gives them one.
class JsonError : public Error {
 public:
  explicit JsonError(std::string text) : text_(std::move(text)) {}
  JsonError(std::string text, size_t line, size_t column) : text_(std::move(text)), line_(line), column_(column) {}
  const std::string& text() const { return text_; }
  size_t line() const { return line_; }
  size_t column() const { return column_; }
  bool has_position() const { return line_ != 0; }
  // "{text} at line {line} column {column}".
  std::string message() const override;

 private:
  std::string text_;
  size_t line_ = 0;
  size_t column_ = 0;
};

template <typename T>
using Result = std::expected<T, JsonError>;

// A number as delivered: u64 for non-negative integers, i64 for negative
// ones, double otherwise (and for integers beyond those ranges).
struct Number {
  enum class Kind { U64, I64, F64 } kind;
  std::uint64_t u = 0;
  std::int64_t i = 0;
  double f = 0;
  Value to_value() const;
};

// "integer `5`", "floating point `1.5`".
std::string describe_number(const Number& n);
// How an unexpected value is named in "invalid type: {}, expected {}".
std::string describe_value(const Value& v);

// "struct Index with 3 elements", "struct IndexJson with 1 element".
std::string struct_with_elements(std::string_view record, size_t count);

inline constexpr size_t kMaxDepth = 128;

class Reader {
 public:
  explicit Reader(std::string_view input) : in_(input) {}

  // Skips whitespace (space, tab, line feed, carriage return) and returns
  // the next byte without consuming it.
  std::optional<unsigned char> peek_ws();
  void eat() { ++pos_; }
  size_t offset() const { return pos_; }

  JsonError error(std::string text) const;       // at the bytes consumed
  JsonError peek_error(std::string text) const;  // including the next byte
  // Gives a positionless error the current position.
  JsonError fix(JsonError e) const;

  // After the top-level value: only whitespace may follow.
  Result<void> end();

  // The error for a value of the wrong type at the cursor: scalars are
  // consumed first, containers are not.
  JsonError invalid_type(std::string_view expected);

  Result<std::string> read_string(std::string_view expected = "a string");
  // `null` reads as none.
  Result<std::optional<std::string>> read_optional_string();
  Result<bool> read_bool();
  Result<std::optional<bool>> read_optional_bool();
  // Consumes a `null` literal when one is next; true when it did.
  Result<bool> read_null();
  Result<Number> read_number(std::string_view expected);
  // One value as a neutral tree (repeated keys kept), nesting limited.
  Result<Value> read_value();
  // Passes over one value of any shape, without a nesting limit.
  Result<void> skip_value();

  // Containers. `begin_*` consumes the opening bracket or fails with the
  // invalid-type error; `*_next` step through members; `end_*` consume the
  // closing bracket. A container must be closed with `leave()`.
  Result<void> begin_seq(std::string_view expected);
  Result<bool> seq_next(bool& first);
  Result<void> end_seq();
  Result<void> begin_map(std::string_view expected);
  Result<std::optional<std::string>> map_next_key(bool& first);
  // The same key as a view, valid until the next string is read: into the
  // input when the key has no escapes, else into the reader's own buffer.
  Result<std::optional<std::string_view>> map_next_key_view(bool& first);
  Result<void> map_colon();
  Result<void> end_map();
  Result<void> enter();  // counts one nesting level, before the bracket is eaten
  void leave() { ++remaining_depth_; }

 private:
  Result<std::string> parse_string_body();  // after the opening quote
  // The same string as a view, valid until the next string is read.
  Result<std::string_view> parse_string_view();
  // `syntax_only`: checks the number's form without converting it.
  Result<Number> parse_number_body(bool positive, bool syntax_only = false);
  Result<uint32_t> parse_hex4();  // after `\u`
  Result<void> parse_ident(std::string_view rest);
  // `null`, `true` or `false`, the cursor on its first letter.
  Result<Value> parse_literal();
  Result<void> skip_string_body();
  // Up to the next quote, backslash or control character (EOF fails), eight
  // bytes at a time; true when a byte passed over is not ASCII.
  Result<bool> skip_plain_run();
  std::pair<size_t, size_t> position_of(size_t index) const;

  std::string_view in_;
  size_t pos_ = 0;
  size_t remaining_depth_ = kMaxDepth;
  std::string unescaped_;  // the last string read that held escapes
};

// A sequence read element by element: `read_element(reader)` reads one.
// Errors without a position are positioned after the sequence is closed.
template <typename F>
Result<void> read_seq(Reader& r, std::string_view expected, F&& read_element) {
  if (auto b = r.begin_seq(expected); !b) return std::unexpected(b.error());
  auto visit = [&]() -> Result<void> {
    bool first = true;
    for (;;) {
      auto more = r.seq_next(first);
      if (!more) return std::unexpected(more.error());
      if (!*more) return {};
      if (auto e = read_element(r); !e) return std::unexpected(e.error());
    }
  };
  auto ret = visit();
  auto end = r.end_seq();
  r.leave();
  if (!ret) return std::unexpected(r.fix(ret.error()));
  return end;
}

// A map read member by member: `read_member(key, reader)` reads the value
// after the colon has been consumed.
template <typename F>
Result<void> read_map(Reader& r, std::string_view expected, F&& read_member) {
  if (auto b = r.begin_map(expected); !b) return std::unexpected(b.error());
  auto visit = [&]() -> Result<void> {
    bool first = true;
    for (;;) {
      auto key = r.map_next_key(first);
      if (!key) return std::unexpected(key.error());
      if (!*key) return {};
      if (auto c = r.map_colon(); !c) return std::unexpected(c.error());
      if (auto e = read_member(std::move(**key), r); !e) return std::unexpected(e.error());
    }
  };
  auto ret = visit();
  auto end = r.end_map();
  r.leave();
  if (!ret) return std::unexpected(r.fix(ret.error()));
  return end;
}

// An array of strings ("a sequence" of "a string" in errors).
Result<std::vector<std::string>> read_string_list(Reader& r);

// The number of members of the object at the cursor, found by a pass over
// it that leaves `r` where it is; 0 when no well-formed object is there.
// Lets a reader size its storage once before reading the members.
size_t count_members(const Reader& r);

// A whole document: `read(reader)` reads the value, then only whitespace
// may follow.
template <typename T, typename F>
Result<T> parse_document(std::string_view text, F&& read) {
  Reader r(text);
  Result<T> value = read(r);
  if (!value) return value;
  if (auto e = r.end(); !e) return std::unexpected(e.error());
  return value;
}

// Stores a read value into a record's field, or hands the error on.
template <typename T>
Result<void> assign(Result<T> value, T& target) {
  if (!value) return std::unexpected(value.error());
  target = std::move(*value);
  return {};
}

// One field of a record: its key, whether an object must hold it, and
// whether the array form may leave it out at the end.
struct Field {
  std::string_view name;
  bool required = false;
  bool positional_default = false;
};

// The reader of a record's fields, `read_field(index, reader)`, passed by
// reference: nothing is allocated to hand it on. It must outlive the call
// it is passed to.
class FieldReader {
 public:
  template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, FieldReader>)
  FieldReader(F&& read_field)  // NOLINT: converts from any callable
      : callable_(const_cast<void*>(static_cast<const void*>(&read_field))),
        call_([](void* callable, size_t index, Reader& r) -> Result<void> {
          return (*static_cast<std::remove_reference_t<F>*>(callable))(index, r);
        }) {}
  Result<void> operator()(size_t index, Reader& r) const { return call_(callable_, index, r); }

 private:
  void* callable_;
  Result<void> (*call_)(void*, size_t, Reader&);
};

// At most this many fields per record.
inline constexpr size_t kMaxRecordFields = 64;

// Reads a record in object form or as an array of its values in field
// order. `read_field(index, reader)` reads the value of field `index`.
// `record` is the expected text ("struct InterchangeProjectInfoG").
Result<void> read_record(Reader& r, std::string_view record, std::span<const Field> fields, FieldReader read_field);

}  // namespace kestro::json
