// JSON text writers: a compact layout and the pretty layout of the project
// files (two-space indent, `"key": value`, LF line ends).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/json_value.hpp"

namespace kestro::json {

// Shortest text that reads back to the same double, always with a fraction
// or an exponent ("1.0", "1e20", "1.5e-7"). Not for non-finite values.
std::string format_float(double value);

class Writer {
 public:
  enum class Style { Compact, Pretty };
  explicit Writer(Style style = Style::Compact) : style_(style) {}

  void begin_object();
  void key(std::string_view key);
  void end_object();
  void begin_array();
  void end_array();

  void string(std::string_view text);
  void boolean(bool b);
  void null();
  void u64(std::uint64_t u);
  void i64(std::int64_t i);
  // Non-finite values are written as null.
  void f64(double f);
  void value(const Value& v);

  // Convenience for records: `"key": "text"`.
  void member(std::string_view k, std::string_view text) {
    key(k);
    string(text);
  }

  const std::string& str() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void before_value();
  void write_escaped(std::string_view text);
  void newline_indent();

  Style style_;
  std::string out_;
  struct Level {
    bool empty = true;
  };
  std::vector<Level> levels_;
  bool after_key_ = false;
};

}  // namespace kestro::json
