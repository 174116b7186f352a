#include "kestro/utils/iri_normalize.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::iri {

std::string IriNormalizeError::text_of(const Parse& v) {
  return fmt::format("IRI is not a well-formed RFC 3987 IRI: {}", v.error.message());
}
std::string IriNormalizeError::text_of(const IdnConversion& v) {
  return fmt::format("host `{}` is not a valid IDN and cannot be converted to Punycode", v.host);
}
std::string IriNormalizeError::debug_of(const Parse& v) { return "Parse(" + debug_quote(v.error.message()) + ")"; }
std::string IriNormalizeError::debug_of(const IdnConversion& v) {
  return fmt::format("IdnConversion {{ host: {} }}", debug_quote(v.host));
}

namespace {

// A character of an RFC 3986 reg-name: unreserved, a sub-delimiter, or the
// `%` of a percent-encoding.
bool is_reg_name_char(char c) {
  return is_ascii_alnum(c) || std::string_view("-._~!$&'()*+,;=%").find(c) != std::string_view::npos;
}

// A reg-name as RFC 3986 has it: its characters, and every `%` starting a
// two-digit hexadecimal escape.
bool is_reg_name(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!is_reg_name_char(text[i])) return false;
    if (text[i] == '%' && (i + 2 >= text.size() || !is_ascii_hex_digit(text[i + 1]) || !is_ascii_hex_digit(text[i + 2])))
      return false;
  }
  return true;
}

// The default ports the canonical form drops.
bool is_default_port(std::string_view scheme, std::string_view port) {
  if (scheme == "http" || scheme == "ws") return port == "80";
  if (scheme == "https" || scheme == "wss") return port == "443";
  if (scheme == "ftp") return port == "21";
  return false;
}

bool is_unreserved_ascii(unsigned char b) {
  return is_ascii_alnum(static_cast<char>(b)) || b == '-' || b == '.' || b == '_' || b == '~';
}

// Escapes with upper-case hex digits; those standing for an unreserved ASCII
// character or for a whole UTF-8 sequence of a ucschar decoded. Other text is
// copied; `lower` lower-cases the ASCII letters of the result (hosts).
std::string normalize_escapes(std::string_view s, bool lower = false) {
  std::string out;
  out.reserve(s.size());
  auto escaped_byte = [&](std::size_t i) -> int {
    if (i + 2 < s.size() && s[i] == '%' && is_ascii_hex_digit(s[i + 1]) && is_ascii_hex_digit(s[i + 2]))
      return hex_digit_value(s[i + 1]) * 16 + hex_digit_value(s[i + 2]);
    return -1;
  };
  for (std::size_t i = 0; i < s.size();) {
    const int b = s[i] == '%' && i + 2 < s.size() ? escaped_byte(i) : -1;
    if (b < 0) {
      out += lower ? to_ascii_lower(s[i]) : s[i];
      ++i;
      continue;
    }
    if (b < 0x80) {
      if (is_unreserved_ascii(static_cast<unsigned char>(b)))
        out += lower ? to_ascii_lower(static_cast<char>(b)) : static_cast<char>(b);
      else
        out += fmt::format("%{:02X}", b);
      i += 3;
      continue;
    }
    // A run of escaped bytes: decode it when it is one UTF-8 sequence of a
    // character IRIs take unencoded.
    std::string bytes;
    for (std::size_t j = i; j < s.size() && bytes.size() < 4; j += 3) {
      const int next = escaped_byte(j);
      if (next < 0) break;
      bytes += static_cast<char>(next);
    }
    char32_t cp = 0;
    const std::size_t len = decode_utf8(bytes, 0, &cp);
    if (len > 0 && is_ucschar(cp)) {
      out.append(bytes, 0, len);
      i += 3 * len;
    } else {
      out += fmt::format("%{:02X}", b);
      i += 3;
    }
  }
  return out;
}

// RFC 3986 section 5.2.4.
std::string remove_dot_segments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../") || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const auto cut = out.rfind('/');
      out.erase(cut == std::string::npos ? 0 : cut);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const auto next = in.find('/', 1);
      const auto seg = in.substr(0, next);
      out += seg;
      in.remove_prefix(seg.size());
    }
  }
  return out;
}

}  // namespace

std::expected<std::string, IriNormalizeError> canonicalize_iri(std::string_view text) {
  auto parsed = Iri::parse(text);
  if (!parsed) return std::unexpected(IriNormalizeError(IriNormalizeError::Parse{parsed.error()}));
  const Iri& iri = *parsed;
  std::string scheme(iri.scheme());
  for (char& c : scheme) c = to_ascii_lower(c);

  std::string out = scheme;
  out += ':';
  if (iri.authority()) {
    out += "//";
    if (auto userinfo = iri.userinfo()) {
      out += normalize_escapes(*userinfo);
      out += '@';
    }
    std::string_view host = *iri.host();
    if (host.starts_with('[')) {
      const std::string_view inside = host.substr(1, host.size() - 2);
      const auto v6 = url::canonical_ipv6(inside);
      std::string literal = v6 ? *v6 : std::string(inside);
      if (!v6)
        for (char& c : literal) c = to_ascii_lower(c);
      out += '[';
      out += literal;
      out += ']';
    } else {
      std::string name = normalize_escapes(host, true);
      if (!is_ascii_text(name)) {
        auto converted = url::domain_to_ascii(name);
        // UTS 46 without the STD3 rules maps some characters to ones no host
        // may hold (U+00AF to a space and a combining mark), and composing a
        // letter of an escape with a following combining mark breaks the
        // escape (`%AA` + U+0306 gives `%a` + U+0103): refused too.
        if (!converted || !is_reg_name(*converted))
          return std::unexpected(IriNormalizeError(IriNormalizeError::IdnConversion{std::move(name)}));
        name = std::move(*converted);
      }
      out += name;
    }
    if (auto port = iri.port(); port && !port->empty() && !is_default_port(scheme, *port)) {
      out += ':';
      out += *port;
    }
  }
  std::string path = remove_dot_segments(normalize_escapes(iri.path()));
  if (path.empty() && (scheme == "http" || scheme == "https")) path.push_back('/');
  // Without an authority, a path that now starts with "//" would read as
  // one: "/." keeps it a path.
  if (!iri.authority() && path.starts_with("//")) out += "/.";
  out += path;
  if (auto query = iri.query()) {
    out += '?';
    out += normalize_escapes(*query);
  }
  if (auto fragment = iri.fragment()) {
    out += '#';
    out += normalize_escapes(*fragment);
  }
  return out;
}

}  // namespace kestro::iri
