#include "kestro/utils/url.hpp"

#include <unicode/uidna.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::url {

// ---- percent-encoding ------------------------------------------------------

namespace {

// One 128-bit table per set for the ASCII range; bytes above 0x7E are in
// every set.
struct AsciiSet {
  std::array<bool, 128> in{};
  constexpr AsciiSet with(std::string_view chars) const {
    AsciiSet s = *this;
    for (char c : chars) s.in[static_cast<unsigned char>(c)] = true;
    return s;
  }
};

constexpr AsciiSet make_c0() {
  AsciiSet s;
  for (int i = 0; i < 0x20; ++i) s.in[i] = true;
  s.in[0x7F] = true;
  return s;
}

constexpr AsciiSet kC0 = make_c0();
constexpr AsciiSet kFragmentSet = kC0.with(" \"<>`");
constexpr AsciiSet kQuerySet = kC0.with(" \"#<>");
constexpr AsciiSet kSpecialQuerySet = kQuerySet.with("'");
// The path set as the index layout was written with: without `^`.
constexpr AsciiSet kPathSet = kQuerySet.with("?`{}");
constexpr AsciiSet kUserinfoSet = kPathSet.with("/:;=@[\\]^|");
constexpr AsciiSet kComponentSet = kUserinfoSet.with("$%&+,");
constexpr AsciiSet kPathSegmentSet = kPathSet.with("/%\\");

constexpr AsciiSet make_unreserved_complement() {
  AsciiSet s;
  for (int i = 0; i < 128; ++i) {
    const char c = static_cast<char>(i);
    s.in[i] = !(is_ascii_alnum(c) || c == '-' || c == '.' || c == '_' || c == '~');
  }
  return s;
}
constexpr AsciiSet kNotUnreserved = make_unreserved_complement();

const AsciiSet& set_table(EncodeSet set) {
  switch (set) {
    case EncodeSet::C0Control: return kC0;
    case EncodeSet::Fragment: return kFragmentSet;
    case EncodeSet::Query: return kQuerySet;
    case EncodeSet::SpecialQuery: return kSpecialQuerySet;
    case EncodeSet::Path: return kPathSet;
    case EncodeSet::Userinfo: return kUserinfoSet;
    case EncodeSet::Component: return kComponentSet;
    case EncodeSet::PathSegment: return kPathSegmentSet;
    case EncodeSet::Unreserved: return kNotUnreserved;
  }
  return kC0;
}

constexpr char kHex[] = "0123456789ABCDEF";

inline void encode_byte(std::string& out, char c, const AsciiSet& set) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 0x80 || set.in[b]) {
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  } else {
    out += c;
  }
}

}  // namespace

void percent_encode_into(std::string& out, std::string_view text, EncodeSet set) {
  const AsciiSet& table = set_table(set);
  for (char c : text) encode_byte(out, c, table);
}

std::string percent_encode(std::string_view text, EncodeSet set) {
  std::string out;
  out.reserve(text.size());
  percent_encode_into(out, text, set);
  return out;
}

std::string percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && is_ascii_hex_digit(text[i + 1]) &&
        is_ascii_hex_digit(text[i + 2])) {
      out += static_cast<char>(hex_digit_value(text[i + 1]) * 16 + hex_digit_value(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// ---- hosts -----------------------------------------------------------------

namespace {

constexpr std::string_view kForbiddenHost{"\0\t\n\r #/:<>?@[\\]^|", 17};

bool is_forbidden_host_char(char c) { return kForbiddenHost.find(c) != std::string_view::npos; }
bool is_forbidden_domain_char(char c) { return is_forbidden_host_char(c) || is_ascii_control(c) || c == '%'; }

const UIDNA* uts46() {
  // Created once for the process; ICU's UTS 46 object is immutable and safe
  // to share between threads.
  static const UIDNA* idna = [] {
    UErrorCode status = U_ZERO_ERROR;
    const UIDNA* p = uidna_openUTS46(
        UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE,
        &status);
    if (U_FAILURE(status)) throw InternalError("cannot open the UTS 46 converter");
    return p;
  }();
  return idna;
}

bool has_ace_label(std::string_view domain) {
  std::size_t start = 0;
  while (start <= domain.size()) {
    std::size_t dot = domain.find('.', start);
    std::string_view label = domain.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.size() >= 4 && to_ascii_lower(label[0]) == 'x' && to_ascii_lower(label[1]) == 'n' && label[2] == '-' &&
        label[3] == '-')
      return true;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return false;
}

}  // namespace

std::optional<std::string> domain_to_ascii(std::string_view domain) {
  std::string result;
  if (is_ascii_text(domain) && !has_ace_label(domain)) {
    result.assign(domain);
    for (char& c : result) c = to_ascii_lower(c);
  } else {
    // Hyphen positions, empty labels and DNS lengths are not checked here.
    constexpr std::uint32_t kIgnored = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                       UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                       UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;
    result.resize(domain.size() * 4 + 64);
    for (int attempt = 0; attempt < 2; ++attempt) {
      UErrorCode status = U_ZERO_ERROR;
      UIDNAInfo info = UIDNA_INFO_INITIALIZER;
      const int32_t n = uidna_nameToASCII_UTF8(uts46(), domain.data(), static_cast<int32_t>(domain.size()),
                                               result.data(), static_cast<int32_t>(result.size()), &info, &status);
      if (status == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
        result.resize(static_cast<std::size_t>(n));
        continue;
      }
      if (U_FAILURE(status) || (info.errors & ~kIgnored) != 0) return std::nullopt;
      result.resize(static_cast<std::size_t>(n));
      break;
    }
  }
  if (result.empty()) return std::nullopt;
  return result;
}

namespace {

struct Host {
  std::string text;  // serialised
  HostKind kind = HostKind::None;
};

// The value of one dotted part, or nullopt. Values above 2^32 saturate.
std::optional<std::uint64_t> parse_ipv4_number(std::string_view s) {
  if (s.empty()) return std::nullopt;
  unsigned radix = 10;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    radix = 16;
  } else if (s.size() >= 2 && s[0] == '0') {
    s.remove_prefix(1);
    radix = 8;
  }
  std::uint64_t value = 0;
  for (char c : s) {
    int d = hex_digit_value(c);
    if (d < 0 || static_cast<unsigned>(d) >= radix) return std::nullopt;
    value = value * radix + static_cast<unsigned>(d);
    if (value > (std::uint64_t{1} << 40)) value = std::uint64_t{1} << 40;
  }
  return value;
}

bool ends_in_a_number(std::string_view s) {
  if (!s.empty() && s.back() == '.') {
    if (s.size() == 1) return false;
    s.remove_suffix(1);
  }
  std::string_view last = s.substr(s.rfind('.') == std::string_view::npos ? 0 : s.rfind('.') + 1);
  if (last.empty()) return false;
  bool digits = true;
  for (char c : last) digits = digits && is_ascii_digit(c);
  return digits || parse_ipv4_number(last).has_value();
}

std::string serialize_ipv4(std::uint32_t a) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += std::to_string((a >> shift) & 0xFF);
    if (shift) out += '.';
  }
  return out;
}

std::expected<std::uint32_t, UrlError> parse_ipv4(std::string_view s) {
  const UrlError bad = UrlError::InvalidIpv4Address{};
  std::array<std::uint64_t, 4> numbers{};
  std::size_t count = 0;
  if (!s.empty() && s.back() == '.') s.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    std::size_t dot = s.find('.', start);
    std::string_view part = s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (count == 4) return std::unexpected(bad);
    auto n = parse_ipv4_number(part);
    if (!n) return std::unexpected(bad);
    numbers[count++] = *n;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  for (std::size_t i = 0; i + 1 < count; ++i)
    if (numbers[i] > 255) return std::unexpected(bad);
  if (numbers[count - 1] >= (std::uint64_t{1} << (8 * (5 - count)))) return std::unexpected(bad);
  std::uint64_t ipv4 = numbers[count - 1];
  for (std::size_t i = 0; i + 1 < count; ++i) ipv4 += numbers[i] << (8 * (3 - i));
  return static_cast<std::uint32_t>(ipv4);
}

std::expected<std::array<std::uint16_t, 8>, UrlError> parse_ipv6(std::string_view s) {
  const auto bad = std::unexpected(UrlError(UrlError::InvalidIpv6Address{}));
  std::array<std::uint16_t, 8> address{};
  std::size_t piece = 0;
  std::optional<std::size_t> compress;
  std::size_t p = 0;
  auto at = [&](std::size_t i) -> int { return i < s.size() ? static_cast<unsigned char>(s[i]) : -1; };
  if (at(p) == ':') {
    if (at(p + 1) != ':') return bad;
    p += 2;
    compress = ++piece;
  }
  while (at(p) != -1) {
    if (piece == 8) return bad;
    if (at(p) == ':') {
      if (compress) return bad;
      ++p;
      compress = ++piece;
      continue;
    }
    unsigned value = 0;
    std::size_t length = 0;
    while (length < 4 && at(p) != -1 && is_ascii_hex_digit(static_cast<char>(at(p)))) {
      value = value * 16 + static_cast<unsigned>(hex_digit_value(static_cast<char>(at(p))));
      ++p;
      ++length;
    }
    if (at(p) == '.') {
      if (length == 0) return bad;
      p -= length;
      if (piece > 6) return bad;
      int seen = 0;
      while (at(p) != -1) {
        int v = -1;
        if (seen > 0) {
          if (at(p) == '.' && seen < 4)
            ++p;
          else
            return bad;
        }
        if (at(p) == -1 || !is_ascii_digit(static_cast<char>(at(p)))) return bad;
        while (at(p) != -1 && is_ascii_digit(static_cast<char>(at(p)))) {
          int n = at(p) - '0';
          if (v == -1)
            v = n;
          else if (v == 0)
            return bad;
          else
            v = v * 10 + n;
          if (v > 255) return bad;
          ++p;
        }
        address[piece] = static_cast<std::uint16_t>(address[piece] * 0x100 + v);
        ++seen;
        if (seen == 2 || seen == 4) ++piece;
      }
      if (seen != 4) return bad;
      break;
    }
    if (at(p) == ':') {
      ++p;
      if (at(p) == -1) return bad;
    } else if (at(p) != -1) {
      return bad;
    }
    address[piece++] = static_cast<std::uint16_t>(value);
  }
  if (compress) {
    std::size_t swaps = piece - *compress;
    piece = 7;
    while (piece != 0 && swaps > 0) {
      std::swap(address[piece], address[*compress + swaps - 1]);
      --piece;
      --swaps;
    }
  } else if (piece != 8) {
    return bad;
  }
  return address;
}

std::string serialize_ipv6(const std::array<std::uint16_t, 8>& a) {
  // The first longest run of two or more zero pieces is compressed.
  std::size_t best = 8, best_len = 1;
  for (std::size_t i = 0; i < 8;) {
    if (a[i] != 0) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < 8 && a[j] == 0) ++j;
    if (j - i > best_len) {
      best = i;
      best_len = j - i;
    }
    i = j;
  }
  std::string out = "[";
  bool ignore0 = false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (ignore0 && a[i] == 0) continue;
    ignore0 = false;
    if (i == best) {
      out += i == 0 ? "::" : ":";
      ignore0 = true;
      continue;
    }
    char buf[8];
    auto r = std::to_chars(buf, buf + sizeof buf, a[i], 16);
    out.append(buf, r.ptr);
    if (i != 7) out += ':';
  }
  out += ']';
  return out;
}

std::expected<Host, UrlError> parse_host(std::string_view input, bool not_special) {
  if (!input.empty() && input.front() == '[') {
    if (input.back() != ']') return std::unexpected(UrlError(UrlError::InvalidIpv6Address{}));
    auto a = parse_ipv6(input.substr(1, input.size() - 2));
    if (!a) return std::unexpected(a.error());
    return Host{serialize_ipv6(*a), HostKind::Ipv6};
  }
  if (not_special) {
    for (char c : input)
      if (is_forbidden_host_char(c)) return std::unexpected(UrlError(UrlError::InvalidDomainCharacter{}));
    return Host{percent_encode(input, EncodeSet::C0Control), HostKind::Opaque};
  }
  std::string domain = input.find('%') == std::string_view::npos ? std::string(input) : percent_decode(input);
  auto ascii = domain_to_ascii(domain);
  if (!ascii) return std::unexpected(UrlError(UrlError::IdnaError{}));
  for (char c : *ascii)
    if (is_forbidden_domain_char(c)) return std::unexpected(UrlError(UrlError::InvalidDomainCharacter{}));
  if (ends_in_a_number(*ascii)) {
    auto v4 = parse_ipv4(*ascii);
    if (!v4) return std::unexpected(v4.error());
    return Host{serialize_ipv4(*v4), HostKind::Ipv4};
  }
  return Host{std::move(*ascii), HostKind::Domain};
}

}  // namespace

std::optional<std::string> canonical_ipv6(std::string_view address) {
  auto a = parse_ipv6(address);
  if (!a) return std::nullopt;
  std::string s = serialize_ipv6(*a);
  return s.substr(1, s.size() - 2);
}

namespace {

// ---- the parser --------------------------------------------------------------

std::optional<std::uint16_t> default_port(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  return std::nullopt;
}

bool is_special_scheme(std::string_view scheme) {
  return scheme == "http" || scheme == "https" || scheme == "file" || scheme == "ws" || scheme == "wss" ||
         scheme == "ftp";
}

bool is_drive_letter(std::string_view s) { return s.size() == 2 && is_ascii_alpha(s[0]) && (s[1] == ':' || s[1] == '|'); }
bool is_normalized_drive_letter(std::string_view s) { return is_drive_letter(s) && s[1] == ':'; }
bool starts_with_drive_letter(std::string_view s) {
  return s.size() >= 2 && is_drive_letter(s.substr(0, 2)) &&
         (s.size() == 2 || s[2] == '/' || s[2] == '\\' || s[2] == '?' || s[2] == '#');
}

bool is_single_dot(std::string_view s) { return dot_kind(s, DotSpelling::PercentEncoded) == PathPart::Kind::Current; }
bool is_double_dot(std::string_view s) { return dot_kind(s, DotSpelling::PercentEncoded) == PathPart::Kind::Parent; }

}  // namespace

// The URL record while it is being parsed. A path that is not opaque is
// kept as its serialisation: each segment preceded by `/`.
struct Record {
  std::string scheme;
  std::string username;
  std::string password;
  std::optional<Host> host;
  std::optional<std::uint16_t> port;
  std::string path;
  bool opaque = false;
  std::optional<std::string> query;
  std::optional<std::string> fragment;

  bool special() const { return is_special_scheme(scheme); }
  std::size_t path_size() const {
    std::size_t n = 0;
    for (char c : path) n += c == '/';
    return n;
  }
  std::string_view first_segment() const {
    std::string_view p(path);
    if (p.empty()) return {};
    p.remove_prefix(1);
    return p.substr(0, p.find('/'));
  }
  void push_segment(std::string_view segment) {
    path += '/';
    path += segment;
  }
  void shorten_path() {
    if (scheme == "file" && path_size() == 1 && is_normalized_drive_letter(first_segment())) return;
    if (!path.empty()) path.erase(path.rfind('/'));
  }
};

class Parser {
 public:
  static std::expected<Url, UrlError> run(std::string_view raw, const Url* base);

 private:
  static Record record_of(const Url& u);
  static Url serialize(const Record& r);
};

Record Parser::record_of(const Url& u) {
  Record r;
  r.scheme = u.scheme();
  r.username = u.username();
  r.password = u.password();
  if (u.host_kind_ != HostKind::None) r.host = Host{std::string(u.host()), u.host_kind_};
  r.port = u.port_;
  r.path = u.path();
  r.opaque = u.opaque_path_;
  if (auto q = u.query()) r.query = std::string(*q);
  if (auto f = u.fragment()) r.fragment = std::string(*f);
  return r;
}

Url Parser::serialize(const Record& r) {
  Url u;
  std::string& h = u.href_;
  h.reserve(r.scheme.size() + r.username.size() + r.password.size() + (r.host ? r.host->text.size() : 0) +
            r.path.size() + (r.query ? r.query->size() : 0) + (r.fragment ? r.fragment->size() : 0) + 16);
  h = r.scheme;
  u.scheme_end_ = static_cast<std::uint32_t>(h.size());
  h += ':';
  if (r.host) {
    h += "//";
    u.username_start_ = static_cast<std::uint32_t>(h.size());
    h += r.username;
    u.username_end_ = static_cast<std::uint32_t>(h.size());
    if (!r.username.empty() || !r.password.empty()) {
      if (!r.password.empty()) {
        h += ':';
        h += r.password;
      }
      h += '@';
    }
    u.host_start_ = static_cast<std::uint32_t>(h.size());
    h += r.host->text;
    u.host_end_ = static_cast<std::uint32_t>(h.size());
    if (r.port) {
      h += ':';
      h += std::to_string(*r.port);
    }
  } else {
    u.username_start_ = u.username_end_ = u.host_start_ = u.host_end_ = static_cast<std::uint32_t>(h.size());
    if (!r.opaque && r.path.size() > 1 && r.path[0] == '/' && r.path[1] == '/') h += "/.";
  }
  u.path_start_ = static_cast<std::uint32_t>(h.size());
  h += r.path;
  if (r.query) {
    u.query_start_ = static_cast<std::uint32_t>(h.size());
    h += '?';
    h += *r.query;
  }
  if (r.fragment) {
    u.fragment_start_ = static_cast<std::uint32_t>(h.size());
    h += '#';
    h += *r.fragment;
  }
  u.port_ = r.port;
  u.host_kind_ = r.host ? r.host->kind : HostKind::None;
  u.special_ = r.special();
  u.opaque_path_ = r.opaque;
  return u;
}

std::expected<Url, UrlError> Parser::run(std::string_view raw, const Url* base_url) {
  if (!is_valid_utf8(raw)) return std::unexpected(UrlError(UrlError::InvalidUtf8{}));
  // Leading and trailing C0 controls and spaces go, and so does every tab
  // and line break.
  auto c0_or_space = [](char c) { return is_ascii_control(c) && c != 0x7F ? true : c == ' '; };
  while (!raw.empty() && c0_or_space(raw.front())) raw.remove_prefix(1);
  while (!raw.empty() && c0_or_space(raw.back())) raw.remove_suffix(1);
  std::string input;
  input.reserve(raw.size());
  for (char c : raw)
    if (c != '\t' && c != '\n' && c != '\r') input += c;

  // The base's components are copied out only when a state reads them.
  std::optional<Record> base_storage;
  const Record* base = nullptr;
  auto load_base = [&] {
    if (base_url && !base) base = &base_storage.emplace(record_of(*base_url));
  };

  enum class State {
    SchemeStart, Scheme, NoScheme, SpecialRelativeOrAuthority, PathOrAuthority, Relative, RelativeSlash,
    SpecialAuthoritySlashes, SpecialAuthorityIgnoreSlashes, Authority, Host, Port, File, FileSlash, FileHost,
    PathStart, Path, OpaquePath, Query, Fragment,
  };
  auto fail = [](auto failure) { return std::unexpected(UrlError(failure)); };

  Record url;
  State state = State::SchemeStart;
  std::string buffer;
  bool at_sign_seen = false, inside_brackets = false, password_token_seen = false;
  const std::size_t n = input.size();
  auto remaining_starts = [&](std::size_t p, char ch) { return p + 1 < n && input[p + 1] == ch; };
  auto rest = [&](std::size_t p) { return std::string_view(input).substr(std::min(p, n)); };
  // `?` opens the query, `#` the fragment; whether c was one of them.
  auto open_query_or_fragment = [&](int c) {
    if (c == '?') {
      url.query = std::string();
      state = State::Query;
    } else if (c == '#') {
      url.fragment = std::string();
      state = State::Fragment;
    }
    return c == '?' || c == '#';
  };

  // The end of input is visited once more whenever a state steps back.
  for (std::size_t p = 0; p <= n || p == static_cast<std::size_t>(-1); ++p) {
    const int c = p < n ? static_cast<unsigned char>(input[p]) : -1;
    const bool eof = c == -1;
    switch (state) {
      case State::SchemeStart:
        if (!eof && is_ascii_alpha(static_cast<char>(c))) {
          buffer += to_ascii_lower(static_cast<char>(c));
          state = State::Scheme;
        } else {
          state = State::NoScheme;
          --p;
        }
        break;
      case State::Scheme:
        if (!eof && (is_ascii_alnum(static_cast<char>(c)) || c == '+' || c == '-' || c == '.')) {
          buffer += to_ascii_lower(static_cast<char>(c));
        } else if (c == ':') {
          url.scheme = std::move(buffer);
          buffer.clear();
          if (url.scheme == "file") {
            state = State::File;
          } else if (url.special() && base_url && base_url->scheme() == url.scheme) {
            state = State::SpecialRelativeOrAuthority;
          } else if (url.special()) {
            state = State::SpecialAuthoritySlashes;
          } else if (remaining_starts(p, '/')) {
            state = State::PathOrAuthority;
            ++p;
          } else {
            url.opaque = true;
            state = State::OpaquePath;
          }
        } else {
          buffer.clear();
          state = State::NoScheme;
          p = static_cast<std::size_t>(-1);
        }
        break;
      case State::NoScheme:
        load_base();
        if (!base) return fail(UrlError::RelativeUrlWithoutBase{});
        if (base->opaque && c != '#') return fail(UrlError::RelativeUrlWithOpaqueBase{});
        if (base->opaque) {
          url.scheme = base->scheme;
          url.path = base->path;
          url.opaque = true;
          url.query = base->query;
          url.fragment = std::string();
          state = State::Fragment;
        } else {
          state = base->scheme != "file" ? State::Relative : State::File;
          --p;
        }
        break;
      case State::SpecialRelativeOrAuthority:
        if (c == '/' && remaining_starts(p, '/')) {
          state = State::SpecialAuthorityIgnoreSlashes;
          ++p;
        } else {
          state = State::Relative;
          --p;
        }
        break;
      case State::PathOrAuthority:
        if (c == '/') {
          state = State::Authority;
        } else {
          state = State::Path;
          --p;
        }
        break;
      case State::Relative:
        load_base();
        url.scheme = base->scheme;
        if (c == '/' || (url.special() && c == '\\')) {
          state = State::RelativeSlash;
        } else {
          url.username = base->username;
          url.password = base->password;
          url.host = base->host;
          url.port = base->port;
          url.path = base->path;
          url.query = base->query;
          if (!open_query_or_fragment(c) && !eof) {
            url.query.reset();
            url.shorten_path();
            state = State::Path;
            --p;
          }
        }
        break;
      case State::RelativeSlash:
        load_base();
        if (url.special() && (c == '/' || c == '\\')) {
          state = State::SpecialAuthorityIgnoreSlashes;
        } else if (c == '/') {
          state = State::Authority;
        } else {
          url.username = base->username;
          url.password = base->password;
          url.host = base->host;
          url.port = base->port;
          state = State::Path;
          --p;
        }
        break;
      case State::SpecialAuthoritySlashes:
        state = State::SpecialAuthorityIgnoreSlashes;
        if (c == '/' && remaining_starts(p, '/'))
          ++p;
        else
          --p;
        break;
      case State::SpecialAuthorityIgnoreSlashes:
        if (c != '/' && c != '\\') {
          state = State::Authority;
          --p;
        }
        break;
      case State::Authority:
        if (c == '@') {
          if (at_sign_seen) buffer.insert(0, "%40");
          at_sign_seen = true;
          for (char b : buffer) {
            if (b == ':' && !password_token_seen) {
              password_token_seen = true;
              continue;
            }
            encode_byte(password_token_seen ? url.password : url.username, b, kUserinfoSet);
          }
          buffer.clear();
        } else if (eof || c == '/' || c == '?' || c == '#' || (url.special() && c == '\\')) {
          if (at_sign_seen && buffer.empty()) return fail(UrlError::EmptyHost{});
          p -= buffer.size() + 1;
          buffer.clear();
          state = State::Host;
        } else {
          buffer += static_cast<char>(c);
        }
        break;
      case State::Host:
        if (c == ':' && !inside_brackets) {
          if (buffer.empty()) return fail(UrlError::EmptyHost{});
          auto host = parse_host(buffer, !url.special());
          if (!host) return std::unexpected(host.error());
          url.host = std::move(*host);
          buffer.clear();
          state = State::Port;
        } else if (eof || c == '/' || c == '?' || c == '#' || (url.special() && c == '\\')) {
          --p;
          if (url.special() && buffer.empty()) return fail(UrlError::EmptyHost{});
          if (buffer.empty()) {
            url.host = Host{std::string(), HostKind::Empty};
          } else {
            auto host = parse_host(buffer, !url.special());
            if (!host) return std::unexpected(host.error());
            url.host = std::move(*host);
          }
          buffer.clear();
          state = State::PathStart;
        } else {
          if (c == '[') inside_brackets = true;
          if (c == ']') inside_brackets = false;
          buffer += static_cast<char>(c);
        }
        break;
      case State::Port:
        if (!eof && is_ascii_digit(static_cast<char>(c))) {
          buffer += static_cast<char>(c);
        } else if (eof || c == '/' || c == '?' || c == '#' || (url.special() && c == '\\')) {
          if (!buffer.empty()) {
            unsigned long port = 0;
            for (char d : buffer) port = std::min(port * 10 + static_cast<unsigned long>(d - '0'), 100000UL);
            if (port > 65535) return fail(UrlError::InvalidPort{});
            if (default_port(url.scheme) == port)
              url.port.reset();
            else
              url.port = static_cast<std::uint16_t>(port);
            buffer.clear();
          }
          state = State::PathStart;
          --p;
        } else {
          return fail(UrlError::InvalidPort{});
        }
        break;
      case State::File:
        load_base();
        url.scheme = "file";
        url.host = Host{std::string(), HostKind::Empty};
        if (c == '/' || c == '\\') {
          state = State::FileSlash;
        } else if (base && base->scheme == "file") {
          url.host = base->host;
          url.path = base->path;
          url.query = base->query;
          if (!open_query_or_fragment(c) && !eof) {
            url.query.reset();
            if (!starts_with_drive_letter(rest(p)))
              url.shorten_path();
            else
              url.path.clear();
            state = State::Path;
            --p;
          }
        } else {
          state = State::Path;
          --p;
        }
        break;
      case State::FileSlash:
        load_base();
        if (c == '/' || c == '\\') {
          state = State::FileHost;
        } else {
          if (base && base->scheme == "file") {
            url.host = base->host;
            if (!starts_with_drive_letter(rest(p)) && is_normalized_drive_letter(base->first_segment()))
              url.push_segment(base->first_segment());
          }
          state = State::Path;
          --p;
        }
        break;
      case State::FileHost:
        if (eof || c == '/' || c == '\\' || c == '?' || c == '#') {
          --p;
          if (is_drive_letter(buffer)) {
            state = State::Path;  // the buffer is the first path segment
          } else if (buffer.empty()) {
            url.host = Host{std::string(), HostKind::Empty};
            state = State::PathStart;
          } else {
            auto host = parse_host(buffer, !url.special());
            if (!host) return std::unexpected(host.error());
            if (host->text == "localhost") host->text.clear(), host->kind = HostKind::Empty;
            url.host = std::move(*host);
            buffer.clear();
            state = State::PathStart;
          }
        } else {
          buffer += static_cast<char>(c);
        }
        break;
      case State::PathStart:
        if (url.special()) {
          state = State::Path;
          if (c != '/' && c != '\\') --p;
        } else if (!open_query_or_fragment(c) && !eof) {
          state = State::Path;
          if (c != '/') --p;
        }
        break;
      case State::Path: {
        const bool slash = c == '/' || (url.special() && c == '\\');
        if (eof || slash || c == '?' || c == '#') {
          if (is_double_dot(buffer)) {
            url.shorten_path();
            if (!slash) url.push_segment("");
          } else if (is_single_dot(buffer) && !slash) {
            url.push_segment("");
          } else if (!is_single_dot(buffer)) {
            if (url.scheme == "file" && url.path.empty() && is_drive_letter(buffer)) buffer[1] = ':';
            url.push_segment(buffer);
          }
          buffer.clear();
          open_query_or_fragment(c);
        } else {
          encode_byte(buffer, static_cast<char>(c), kPathSet);
        }
        break;
      }
      case State::OpaquePath:
        if (open_query_or_fragment(c)) break;
        if (c == ' ') {
          const int next = p + 1 < n ? input[p + 1] : -1;
          url.path += next == '?' || next == '#' ? "%20" : " ";
        } else if (!eof) {
          encode_byte(url.path, static_cast<char>(c), kC0);
        }
        break;
      case State::Query:
        if (c == '#') {
          url.fragment = std::string();
          state = State::Fragment;
        } else if (!eof) {
          encode_byte(*url.query, static_cast<char>(c), url.special() ? kSpecialQuerySet : kQuerySet);
        }
        break;
      case State::Fragment:
        if (!eof) encode_byte(*url.fragment, static_cast<char>(c), kFragmentSet);
        break;
    }
  }
  return serialize(url);
}

std::expected<Url, UrlError> Url::parse(std::string_view input, const Url* base) { return Parser::run(input, base); }

std::string_view Url::username() const {
  return std::string_view(href_).substr(username_start_, username_end_ - username_start_);
}

std::string_view Url::password() const {
  if (host_start_ > username_end_ + 1 && href_[username_end_] == ':')
    return std::string_view(href_).substr(username_end_ + 1, host_start_ - 1 - (username_end_ + 1));
  return {};
}

std::string_view Url::host() const { return std::string_view(href_).substr(host_start_, host_end_ - host_start_); }

std::string_view Url::path() const {
  std::uint32_t end = query_start_ ? *query_start_ : fragment_start_ ? *fragment_start_ : href_.size();
  return std::string_view(href_).substr(path_start_, end - path_start_);
}

std::optional<std::string_view> Url::query() const {
  if (!query_start_) return std::nullopt;
  std::uint32_t end = fragment_start_ ? *fragment_start_ : static_cast<std::uint32_t>(href_.size());
  return std::string_view(href_).substr(*query_start_ + 1, end - *query_start_ - 1);
}

std::optional<std::string_view> Url::fragment() const {
  if (!fragment_start_) return std::nullopt;
  return std::string_view(href_).substr(*fragment_start_ + 1);
}

void Url::replace_path(std::string_view new_path) {
  const std::string_view old = path();
  const auto old_size = static_cast<std::int64_t>(old.size());
  const auto delta = static_cast<std::int64_t>(new_path.size()) - old_size;
  href_.replace(path_start_, old.size(), new_path);
  if (query_start_) *query_start_ = static_cast<std::uint32_t>(*query_start_ + delta);
  if (fragment_start_) *fragment_start_ = static_cast<std::uint32_t>(*fragment_start_ + delta);
}

void Url::append_path_segments(std::span<const std::string_view> segments) {
  if (opaque_path_) return;
  std::string p(path());
  // Segments go after the last `/`: a trailing empty segment is replaced.
  if (!p.empty() && p.back() == '/') p.pop_back();
  for (std::string_view s : segments) {
    if (dot_kind(s) != PathPart::Kind::Name) continue;
    p += '/';
    percent_encode_into(p, s, EncodeSet::PathSegment);
  }
  replace_path(p);
}

void Url::ensure_trailing_slash() {
  if (opaque_path_) return;
  std::string_view p = path();
  if (!p.empty() && p.back() == '/') return;
  std::string np(p);
  np += '/';
  replace_path(np);
}

std::string redact_url_userinfo(std::string_view text) {
  const auto sep = text.find("://");
  const std::size_t start = sep == std::string_view::npos ? 0 : sep + 3;
  const auto end_pos = text.find_first_of("/?#", start);
  const std::size_t end = end_pos == std::string_view::npos ? text.size() : end_pos;
  const auto at = text.substr(start, end - start).rfind('@');
  if (at == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, start));
  out += "<redacted>@";
  out += text.substr(start + at + 1);
  return out;
}

std::string display_url(const Url& url) { return url.has_credentials() ? redact_url_userinfo(url.href()) : url.href(); }

}  // namespace kestro::url
