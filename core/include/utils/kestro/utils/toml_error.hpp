// The error of the TOML reader, shared by syntax errors and typed reads: a
// reason, the byte span of the offending text when known, the keys leading
// to the value being read, and the input text needed to show the position.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/error.hpp"

namespace kestro::toml {

// A byte range [begin, end) of a document's text.
struct Span {
  size_t begin = 0;
  size_t end = 0;
  size_t size() const { return end - begin; }
  bool operator==(const Span&) const = default;
};

class Error : public kestro::Error {
 public:
  explicit Error(std::string reason, std::optional<Span> span = std::nullopt)
      : reason_(std::move(reason)), span_(span) {}

  const std::string& reason() const { return reason_; }
  const std::optional<Span>& span() const { return span_; }
  // Keys from the document's root to the value being read.
  std::vector<std::string> keys() const { return {keys_.rbegin(), keys_.rend()}; }

  // Context added while a typed read unwinds: the span of the value being
  // read (kept when the error already has one) and the key it stood under.
  void set_span_if_none(Span span) {
    if (!span_) span_ = span;
  }
  void add_key(std::string key) { keys_.push_back(std::move(key)); }
  void set_input(std::string input) { input_ = std::move(input); }

  // With a span and the input:
  //   TOML parse error at line L, column C
  //     |
  //   L | <source line>
  //     |     ^^^
  //   <reason>
  // Otherwise the reason, then "in `a.b`" when keys are known. Every line,
  // the last included, ends with a line feed.
  std::string message() const override;
  std::string debug() const override;

 private:
  std::string reason_;
  std::optional<Span> span_;
  std::vector<std::string> keys_;  // innermost first
  std::optional<std::string> input_;
};

}  // namespace kestro::toml
