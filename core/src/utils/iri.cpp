#include "kestro/utils/iri.hpp"

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::iri {

namespace {

bool is_unreserved(char c) { return is_ascii_alnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool is_sub_delim(char c) { return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos; }

bool is_iprivate(char32_t cp) {
  return (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0xF0000 && cp <= 0xFFFFD) || (cp >= 0x100000 && cp <= 0x10FFFD);
}

// What a component admits besides iunreserved characters and percent
// escapes.
struct CharClass {
  std::string_view ascii;  // further ASCII characters
  bool sub_delims = true;
  bool iprivate = false;   // the query only
};

constexpr CharClass kUserinfo{":"};
constexpr CharClass kRegName{""};
constexpr CharClass kPath{":@/"};
constexpr CharClass kQuery{":@/?", true, true};
constexpr CharClass kFragment{":@/?"};

IriError error_at(std::string_view text, std::size_t i, std::string_view component) {
  return IriError(fmt::format("invalid character {} in {}", describe_char_at(text, i), component));
}

// Checks text[begin, end) against the component's characters.
std::expected<void, IriError> check_chars(std::string_view text, std::size_t begin, std::size_t end,
                                          const CharClass& cls, std::string_view component) {
  for (std::size_t i = begin; i < end;) {
    char c = text[i];
    if (c == '%') {
      if (end - i < 3 || !is_ascii_hex_digit(text[i + 1]) || !is_ascii_hex_digit(text[i + 2]))
        return std::unexpected(IriError(fmt::format("invalid percent-encoding in {}", component)));
      i += 3;
    } else if (static_cast<unsigned char>(c) < 0x80) {
      if (!is_unreserved(c) && !(cls.sub_delims && is_sub_delim(c)) && cls.ascii.find(c) == std::string_view::npos)
        return std::unexpected(error_at(text, i, component));
      ++i;
    } else {
      char32_t cp = 0;
      std::size_t len = decode_utf8(text.substr(0, end), i, &cp);
      if (len == 0) return std::unexpected(IriError(fmt::format("invalid UTF-8 in {}", component)));
      if (!is_ucschar(cp) && !(cls.iprivate && is_iprivate(cp))) return std::unexpected(error_at(text, i, component));
      i += len;
    }
  }
  return {};
}

bool is_dec_octet(std::string_view s) {
  if (s.empty() || s.size() > 3 || (s.size() > 1 && s[0] == '0')) return false;
  int v = 0;
  for (char c : s) {
    if (!is_ascii_digit(c)) return false;
    v = v * 10 + (c - '0');
  }
  return v <= 255;
}

bool is_ipv4(std::string_view s) {
  for (int k = 0; k < 4; ++k) {
    auto dot = s.find('.');
    if ((k < 3) == (dot == std::string_view::npos)) return false;
    if (!is_dec_octet(s.substr(0, dot))) return false;
    s.remove_prefix(k < 3 ? dot + 1 : s.size());
  }
  return true;
}

// Eight groups of one to four hex digits, the last two of which may be an
// IPv4 address, with at most one `::` standing for one or more zero groups.
bool is_ipv6(std::string_view s) {
  auto gap = s.find("::");
  if (gap != std::string_view::npos && s.find("::", gap + 1) != std::string_view::npos) return false;
  auto count_groups = [](std::string_view part, bool may_end_in_ipv4, int& groups) {
    if (part.empty()) return true;
    while (true) {
      auto colon = part.find(':');
      std::string_view group = part.substr(0, colon);
      if (colon == std::string_view::npos && may_end_in_ipv4 && group.find('.') != std::string_view::npos) {
        if (!is_ipv4(group)) return false;
        groups += 2;
        return true;
      }
      if (group.empty() || group.size() > 4) return false;
      for (char c : group)
        if (!is_ascii_hex_digit(c)) return false;
      ++groups;
      if (colon == std::string_view::npos) return true;
      part.remove_prefix(colon + 1);
    }
  };
  int groups = 0;
  if (gap == std::string_view::npos) return count_groups(s, true, groups) && groups == 8;
  bool ok = count_groups(s.substr(0, gap), false, groups) && count_groups(s.substr(gap + 2), true, groups);
  return ok && groups <= 7;
}

// "v" 1*HEXDIG "." 1*( unreserved / sub-delims / ":" )
bool is_ipvfuture(std::string_view s) {
  if (s.size() < 4 || (s[0] != 'v' && s[0] != 'V')) return false;
  auto dot = s.find('.');
  if (dot == std::string_view::npos || dot < 2 || dot + 1 == s.size()) return false;
  for (std::size_t i = 1; i < dot; ++i)
    if (!is_ascii_hex_digit(s[i])) return false;
  for (std::size_t i = dot + 1; i < s.size(); ++i)
    if (!is_unreserved(s[i]) && !is_sub_delim(s[i]) && s[i] != ':') return false;
  return true;
}

}  // namespace

bool is_ucschar(char32_t cp) {
  if (cp < 0x10000)
    return (cp >= 0xA0 && cp <= 0xD7FF) || (cp >= 0xF900 && cp <= 0xFDCF) || (cp >= 0xFDF0 && cp <= 0xFFEF);
  if (cp >= 0xE1000 && cp <= 0xEFFFD) return true;
  return cp <= 0xDFFFD && (cp & 0xFFFF) <= 0xFFFD;
}

std::expected<Iri, IriError> Iri::parse(std::string_view text) {
  Iri iri;
  // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )
  std::size_t i = 0;
  if (!text.empty() && is_ascii_alpha(text[0]))
    while (i < text.size() && (is_ascii_alnum(text[i]) || text[i] == '+' || text[i] == '-' || text[i] == '.'))
      ++i;
  if (i == 0 || i == text.size() || text[i] != ':')
    return std::unexpected(IriError("no scheme found in an absolute IRI"));
  iri.scheme_end_ = i++;

  if (text.substr(i, 2) == "//") {
    std::size_t start = i + 2;
    std::size_t end = text.find_first_of("/?#", start);
    if (end == std::string_view::npos) end = text.size();
    iri.authority_start_ = start;
    std::size_t at = text.find('@', start);
    std::size_t host = start;
    if (at < end) {
      if (auto r = check_chars(text, start, at, kUserinfo, "userinfo"); !r) return std::unexpected(r.error());
      iri.userinfo_end_ = at;
      host = at + 1;
    }
    std::size_t host_end;
    if (host < end && text[host] == '[') {
      std::size_t close = text.find(']', host);
      if (close == std::string_view::npos || close >= end)
        return std::unexpected(IriError("unterminated IP literal in host"));
      std::string_view literal = text.substr(host + 1, close - host - 1);
      if (!is_ipv6(literal) && !is_ipvfuture(literal))
        return std::unexpected(IriError(fmt::format("invalid IP literal `[{}]` in host", literal)));
      host_end = close + 1;
      if (host_end < end && text[host_end] != ':') return std::unexpected(error_at(text, host_end, "host"));
    } else {
      host_end = std::min(text.find(':', host), end);
      if (auto r = check_chars(text, host, host_end, kRegName, "host"); !r) return std::unexpected(r.error());
    }
    iri.host_start_ = host;
    iri.host_end_ = host_end;
    for (std::size_t p = host_end + 1; p < end; ++p)
      if (!is_ascii_digit(text[p])) return std::unexpected(error_at(text, p, "port"));
    i = end;
  }

  iri.path_start_ = i;
  iri.path_end_ = std::min(text.find_first_of("?#", i), text.size());
  if (auto r = check_chars(text, i, iri.path_end_, kPath, "path"); !r) return std::unexpected(r.error());
  i = iri.path_end_;
  if (i < text.size() && text[i] == '?') {
    iri.query_end_ = std::min(text.find('#', i), text.size());
    if (auto r = check_chars(text, i + 1, iri.query_end_, kQuery, "query"); !r) return std::unexpected(r.error());
  } else {
    iri.query_end_ = i;
  }
  if (iri.query_end_ < text.size()) {
    if (auto r = check_chars(text, iri.query_end_ + 1, text.size(), kFragment, "fragment"); !r)
      return std::unexpected(r.error());
  }
  iri.text_ = std::string(text);
  return iri;
}

std::string_view Iri::scheme() const { return std::string_view(text_).substr(0, scheme_end_); }

std::optional<std::string_view> Iri::authority() const {
  if (authority_start_ == kNone) return std::nullopt;
  return std::string_view(text_).substr(authority_start_, path_start_ - authority_start_);
}

std::optional<std::string_view> Iri::userinfo() const {
  if (userinfo_end_ == kNone) return std::nullopt;
  return std::string_view(text_).substr(authority_start_, userinfo_end_ - authority_start_);
}

std::optional<std::string_view> Iri::host() const {
  if (host_start_ == kNone) return std::nullopt;
  return std::string_view(text_).substr(host_start_, host_end_ - host_start_);
}

std::optional<std::string_view> Iri::port() const {
  if (host_start_ == kNone || host_end_ >= path_start_) return std::nullopt;
  return std::string_view(text_).substr(host_end_ + 1, path_start_ - host_end_ - 1);
}

std::string_view Iri::path() const { return std::string_view(text_).substr(path_start_, path_end_ - path_start_); }

std::optional<std::string_view> Iri::query() const {
  if (path_end_ >= text_.size() || text_[path_end_] != '?') return std::nullopt;
  return std::string_view(text_).substr(path_end_ + 1, query_end_ - path_end_ - 1);
}

std::optional<std::string_view> Iri::fragment() const {
  if (query_end_ >= text_.size()) return std::nullopt;
  return std::string_view(text_).substr(query_end_ + 1);
}

}  // namespace kestro::iri
