// URLs as web clients read them: the basic URL parser (with an optional
// base URL), the serialiser, the percent-encode sets, host parsing (domains
// through UTS 46 non-transitional processing, IPv4 in all its historic
// forms, IPv6 with compression) and path-segment appending. This is the one
// URL parser of the package manager; every network path stands on it.
//
// A Url holds its serialisation (href) and the offsets of its components, so
// reading a component is a view into one string.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <variant>

#include "kestro/utils/error_sum.hpp"

namespace kestro::url {

// Why a text is no URL. The failure "relative URL without a base" is told
// apart from every other one: callers that take absolute URLs report it in
// their own words.
// One variant per failure, no fields: the text names the failure, the debug
// form is the variant's name.
struct UrlErrorVariants {
  struct EmptyHost { bool operator==(const EmptyHost&) const = default; };
  struct IdnaError { bool operator==(const IdnaError&) const = default; };
  struct InvalidPort { bool operator==(const InvalidPort&) const = default; };
  struct InvalidIpv4Address { bool operator==(const InvalidIpv4Address&) const = default; };
  struct InvalidIpv6Address { bool operator==(const InvalidIpv6Address&) const = default; };
  struct InvalidDomainCharacter { bool operator==(const InvalidDomainCharacter&) const = default; };
  struct RelativeUrlWithoutBase { bool operator==(const RelativeUrlWithoutBase&) const = default; };
  struct RelativeUrlWithOpaqueBase { bool operator==(const RelativeUrlWithOpaqueBase&) const = default; };
  struct InvalidUtf8 { bool operator==(const InvalidUtf8&) const = default; };
  using Sum = std::variant<EmptyHost, IdnaError, InvalidPort, InvalidIpv4Address, InvalidIpv6Address,
                           InvalidDomainCharacter, RelativeUrlWithoutBase, RelativeUrlWithOpaqueBase, InvalidUtf8>;
};

class UrlError : public ErrorSum<UrlError, UrlErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  bool is_relative_without_base() const { return holds<RelativeUrlWithoutBase>(); }
  static std::string text_of(const EmptyHost&) { return "empty host"; }
  static std::string text_of(const IdnaError&) { return "invalid international domain name"; }
  static std::string text_of(const InvalidPort&) { return "invalid port number"; }
  static std::string text_of(const InvalidIpv4Address&) { return "invalid IPv4 address"; }
  static std::string text_of(const InvalidIpv6Address&) { return "invalid IPv6 address"; }
  static std::string text_of(const InvalidDomainCharacter&) { return "invalid domain character"; }
  static std::string text_of(const RelativeUrlWithoutBase&) { return "relative URL without a base"; }
  static std::string text_of(const RelativeUrlWithOpaqueBase&) { return "relative URL with a cannot-be-a-base base"; }
  static std::string text_of(const InvalidUtf8&) { return "invalid UTF-8"; }
  static std::string debug_of(const EmptyHost&) { return "EmptyHost"; }
  static std::string debug_of(const IdnaError&) { return "IdnaError"; }
  static std::string debug_of(const InvalidPort&) { return "InvalidPort"; }
  static std::string debug_of(const InvalidIpv4Address&) { return "InvalidIpv4Address"; }
  static std::string debug_of(const InvalidIpv6Address&) { return "InvalidIpv6Address"; }
  static std::string debug_of(const InvalidDomainCharacter&) { return "InvalidDomainCharacter"; }
  static std::string debug_of(const RelativeUrlWithoutBase&) { return "RelativeUrlWithoutBase"; }
  static std::string debug_of(const RelativeUrlWithOpaqueBase&) { return "RelativeUrlWithOpaqueBase"; }
  static std::string debug_of(const InvalidUtf8&) { return "InvalidUtf8"; }
};

enum class HostKind { None, Domain, Ipv4, Ipv6, Opaque, Empty };

// Which bytes a component writes as %XX (upper-case hex digits). Every byte
// above 0x7E and every C0 control is in each set.
// Unreserved: every byte but A-Z a-z 0-9 - . _ ~ (the component encoding
// of index URL templates).
enum class EncodeSet { C0Control, Fragment, Query, SpecialQuery, Path, Userinfo, Component, PathSegment, Unreserved };

// Appends `text` to `out`, each byte of the set written as %XX.
void percent_encode_into(std::string& out, std::string_view text, EncodeSet set);
std::string percent_encode(std::string_view text, EncodeSet set);
// %XX sequences turned back into bytes; a `%` not followed by two
// hexadecimal digits stays as it is.
std::string percent_decode(std::string_view text);

// UTS 46 ToASCII as URLs use it: non-transitional, bidi and joiner checks
// on, hyphen, STD3 and DNS length checks off. nullopt when the domain is no
// valid international domain name or maps to the empty text.
std::optional<std::string> domain_to_ascii(std::string_view domain);

// The canonical text of an IPv6 address (without brackets): lower-case hex,
// no leading zeros, the first longest run of zero groups as `::`; nullopt
// when the text is no IPv6 address.
std::optional<std::string> canonical_ipv6(std::string_view address);

class Url {
 public:
  // Parses `input` against `base` (absent: the input must be absolute).
  static std::expected<Url, UrlError> parse(std::string_view input, const Url* base = nullptr);
  // Parses `input` relative to this URL.
  std::expected<Url, UrlError> join(std::string_view input) const { return parse(input, this); }

  // The serialisation.
  const std::string& href() const { return href_; }
  std::string_view scheme() const { return std::string_view(href_).substr(0, scheme_end_); }
  bool is_special() const { return special_; }
  std::string_view username() const;
  std::string_view password() const;
  bool has_credentials() const { return host_start_ > username_start_; }
  HostKind host_kind() const { return host_kind_; }
  // The serialised host (brackets of an IPv6 address included); empty when
  // there is none.
  std::string_view host() const;
  // The port, unless absent or the scheme's default.
  std::optional<std::uint16_t> port() const { return port_; }
  // The serialised path: "/"-separated segments, or the opaque path.
  std::string_view path() const;
  bool has_opaque_path() const { return opaque_path_; }
  std::optional<std::string_view> query() const;
  std::optional<std::string_view> fragment() const;

  // Appends each segment after the last `/` of the path, with the path
  // percent-encode set plus `/`, `%` and `\` encoded; a segment "." or ".."
  // is skipped. Query and fragment stay. Nothing happens to an opaque path.
  void append_path_segments(std::span<const std::string_view> segments);
  // Makes the path end with `/` unless it does already (opaque paths stay).
  void ensure_trailing_slash();

  friend bool operator==(const Url& a, const Url& b) { return a.href_ == b.href_; }

 private:
  friend class Parser;
  void replace_path(std::string_view new_path);

  std::string href_;
  std::uint32_t scheme_end_ = 0;      // the `:`
  std::uint32_t username_start_ = 0;  // after "//", or scheme_end_ + 1
  std::uint32_t username_end_ = 0;
  std::uint32_t host_start_ = 0;
  std::uint32_t host_end_ = 0;
  std::uint32_t path_start_ = 0;
  std::optional<std::uint32_t> query_start_;     // the `?`
  std::optional<std::uint32_t> fragment_start_;  // the `#`
  std::optional<std::uint16_t> port_;
  HostKind host_kind_ = HostKind::None;
  bool special_ = false;
  bool opaque_path_ = false;
};

// The text with the userinfo of its authority replaced by "<redacted>"; the
// last `@` of the authority ends the userinfo. No URL parsing: any text. The
// one form in which a URL that may carry a password is logged or shown.
std::string redact_url_userinfo(std::string_view text);
// The URL's serialisation as it may be shown: userinfo redacted when there
// is any, otherwise `href()` unchanged.
std::string display_url(const Url& url);

}  // namespace kestro::url
