// SPDX licence expressions, read strictly: listed licence and exception
// identifiers (exact spelling, none deprecated), `LicenseRef-`,
// `AdditionRef-` and `DocumentRef-…:` references, the operators `AND`, `OR`
// and `WITH` in upper case, `+` after a listed non-GNU licence, and
// parentheses. Lenient spellings (`/` for OR, lower-case operators, unknown
// or deprecated identifiers) are refused.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/error.hpp"

namespace kestro::spdx {

// A refused expression: the span (byte offsets) that is wrong and why. The
// message is the expression, a line break, a marker under the span and the
// reason.
class SpdxParseError : public Error {
 public:
  SpdxParseError(std::string expression, std::size_t offset, std::size_t length, std::string reason)
      : expression_(std::move(expression)), offset_(offset), length_(length), reason_(std::move(reason)) {}
  std::size_t offset() const { return offset_; }
  std::size_t length() const { return length_; }
  const std::string& reason() const { return reason_; }
  std::string message() const override;

 private:
  std::string expression_;
  std::size_t offset_;
  std::size_t length_;
  std::string reason_;
};

// One licence of the expression with its exception, if any. `license` is
// the identifier as listed (a `+` is held apart) or the reference as
// written; `exception` likewise.
struct Requirement {
  std::string license;
  bool or_later = false;
  std::optional<std::string> exception;
  friend bool operator==(const Requirement&, const Requirement&) = default;
};

// A well-formed expression: its requirements in the order they are written.
struct Expression {
  std::vector<Requirement> requirements;
};

std::expected<Expression, SpdxParseError> parse_expression(std::string_view text);

// The names of the licence files an expression asks for: each
// requirement's licence, then its exception, in order of first appearance,
// each once (a `+` plays no part).
std::vector<std::string> licence_file_names(const Expression& expression);

}  // namespace kestro::spdx
