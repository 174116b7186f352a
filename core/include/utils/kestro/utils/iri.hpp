// Absolute IRIs (RFC 3987): a scheme, `:`, then an optional `//` authority,
// a path, an optional `?` query and an optional `#` fragment, each made of
// the characters RFC 3987 allows there (non-ASCII characters included) and
// well-formed percent escapes. Blanks and relative references are refused.
// The text is kept exactly as written: nothing is normalised.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/utils/error.hpp"

namespace kestro::iri {

// The non-ASCII characters that IRIs take unencoded outside the query
// (RFC 3987 ucschar).
bool is_ucschar(char32_t code_point);

class IriError : public MessageError {
 public:
  explicit IriError(std::string text) : MessageError(std::move(text)) {}
};

class Iri {
 public:
  static std::expected<Iri, IriError> parse(std::string_view text);

  const std::string& as_str() const { return text_; }
  // The components, as views into as_str(); absent ones are nullopt.
  std::string_view scheme() const;
  std::optional<std::string_view> authority() const;
  std::optional<std::string_view> userinfo() const;
  std::optional<std::string_view> host() const;  // brackets of an IP literal included
  std::optional<std::string_view> port() const;  // digits, possibly none
  std::string_view path() const;
  std::optional<std::string_view> query() const;
  std::optional<std::string_view> fragment() const;

  friend bool operator==(const Iri& a, const Iri& b) { return a.text_ == b.text_; }

 private:
  static constexpr std::size_t kNone = std::string::npos;
  std::string text_;
  std::size_t scheme_end_ = 0;           // the `:` after the scheme
  std::size_t authority_start_ = kNone;  // after `//`
  std::size_t userinfo_end_ = kNone;     // the `@`
  std::size_t host_start_ = kNone;
  std::size_t host_end_ = kNone;
  std::size_t path_start_ = 0;
  std::size_t path_end_ = 0;   // `?`, `#` or the end
  std::size_t query_end_ = 0;  // `#` or the end
};

}  // namespace kestro::iri
