#include "kestro/utils/display_name.hpp"

#include <optional>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/punycode.hpp"
#include "kestro/utils/text.hpp"

namespace kestro {
namespace {

constexpr std::size_t kMaxDisplayNameBytes = 120;
constexpr std::size_t kMaxSlugBytes = 30;
constexpr char32_t kReplacement = 0xFFFD;

bool alnum_cp(char32_t cp) {
  return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
}
bool is_ascii_other(char32_t cp) { return cp < 0x80 && !alnum_cp(cp); }
bool is_white_space(char32_t cp) { return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_WHITE_SPACE) != 0; }

// The character at `text[i]` and its length; an invalid byte is one U+FFFD.
std::pair<char32_t, std::size_t> char_at(std::string_view text, std::size_t i) {
  char32_t cp = 0;
  std::size_t len = decode_utf8(text, i, &cp);
  if (len == 0) return {kReplacement, 1};
  return {cp, len};
}

// Where the character that ends at `end` starts.
std::size_t char_start_before(std::string_view text, std::size_t end) {
  std::size_t start = end - 1;
  while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  return utf8_sequence_length(text, start) == end - start ? start : end - 1;
}

// Removes the ASCII-other bytes at the end of `out`; how many there were.
std::size_t pop_ascii_other(std::string& out) {
  std::size_t popped = 0;
  while (!out.empty() && is_ascii_other(static_cast<unsigned char>(out.back()))) {
    out.pop_back();
    ++popped;
  }
  return popped;
}

// Where the run of ASCII-other bytes that starts at `i` ends.
std::size_t skip_ascii_other(std::string_view text, std::size_t i) {
  while (i < text.size() && is_ascii_other(static_cast<unsigned char>(text[i]))) ++i;
  return i;
}

// Whether the collected bytes are one whole UTF-8 character (true), the
// valid start of one (none), or can no longer become one (false).
std::optional<bool> utf8_complete(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t want = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4                     ? 4
                                                                              : 0;
  if (want == 0 || bytes.size() > want) return false;
  for (std::size_t k = 1; k < bytes.size(); ++k) {
    const auto b = static_cast<unsigned char>(bytes[k]);
    unsigned char lo = 0x80, hi = 0xBF;
    if (k == 1) {
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    }
    if (b < lo || b > hi) return false;
  }
  if (bytes.size() == want) return true;
  return std::nullopt;
}

// Host labels joined by `.`, each `xn--` label of at least four bytes
// decoded from Punycode when it decodes.
void append_host(std::string& out, std::string_view host) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = host.find('.', start);
    const std::string_view label = host.substr(start, dot == std::string_view::npos ? host.npos : dot - start);
    std::optional<std::string> decoded;
    if (label.starts_with("xn--")) decoded = punycode_decode(label.substr(4));
    out += decoded ? std::string_view(*decoded) : label;
    if (dot == std::string_view::npos) break;
    out += '.';
    start = dot + 1;
  }
}

// The clean-up of a trimmed raw name: white space runs to `_`, `/` and `:`
// to `.`, other punctuation runs to one `-` (a lone `-`, `.` or `_` kept),
// markers dropped after a `-` or `.` and otherwise `-`.
std::string clean_up(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto [cp, len] = char_at(text, i);
    if (is_white_space(cp)) {
      pop_ascii_other(out);
      i = skip_ascii_other(text, i + len);
      out += '_';
    } else if (cp == '/' || cp == ':') {
      out += '.';
      i += len;
    } else if (is_ascii_other(cp)) {
      const std::size_t popped = pop_ascii_other(out);
      const std::size_t next = skip_ascii_other(text, i + len);
      const bool lone = popped == 0 && next == i + len;
      out += lone && (cp == '-' || cp == '.' || cp == '_') ? static_cast<char>(cp) : '-';
      i = next;
    } else if (is_name_marker(cp)) {
      i += len;
      if (!out.empty() && (out.back() == '-' || out.back() == '.')) {
        while (i < text.size()) {
          auto [next_cp, next_len] = char_at(text, i);
          if (!is_name_marker(next_cp)) break;
          i += next_len;
        }
      } else {
        out += '-';
      }
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
  return out;
}

// Cut to `max_bytes` on a character boundary, then trimmed at the end.
std::string finish(std::string_view folded, std::size_t max_bytes) {
  return std::string(trim_name(cut_at_char_boundary(folded, max_bytes), false));
}

}  // namespace

bool is_name_trimmable(char32_t cp) {
  if (cp < 0x80) return !alnum_cp(cp);
  if (cp <= 0x9F) return true;
  const auto c = static_cast<UChar32>(cp);
  return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE) != 0 || u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) != 0;
}

bool is_name_marker(char32_t cp) {
  return cp == kReplacement || u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_BIDI_CONTROL) != 0;
}

std::string fold_case_nfc(std::string_view text) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  s.foldCase(U_FOLD_CASE_DEFAULT);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_SUCCESS(status)) {
    icu::UnicodeString normalized = nfc->normalize(s, status);
    if (U_SUCCESS(status)) s = std::move(normalized);
  }
  std::string out;
  s.toUTF8String(out);
  return out;
}

std::string_view cut_at_char_boundary(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t n = max_bytes;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string_view trim_name(std::string_view text, bool start) {
  if (start) {
    while (!text.empty()) {
      auto [cp, len] = char_at(text, 0);
      if (!is_name_trimmable(cp)) break;
      text.remove_prefix(len);
    }
  }
  while (!text.empty()) {
    const std::size_t at = char_start_before(text, text.size());
    if (!is_name_trimmable(char_at(text, at).first)) break;
    text = text.substr(0, at);
  }
  return text;
}

void append_percent_decoded(std::string& out, std::string_view component) {
  std::string pending;
  std::size_t i = 0;
  while (i < component.size()) {
    if (component[i] == '%' && i + 2 < component.size() && is_ascii_hex_digit(component[i + 1]) &&
        is_ascii_hex_digit(component[i + 2])) {
      const char byte = static_cast<char>(hex_digit_value(component[i + 1]) * 16 + hex_digit_value(component[i + 2]));
      i += 3;
      pending += byte;
      const std::optional<bool> complete = utf8_complete(pending);
      if (!complete) continue;
      if (*complete) {
        out += pending;
        pending.clear();
        continue;
      }
      // The byte broke the collection: what came before it is lost, and it
      // is judged on its own.
      pending.clear();
      const auto b = static_cast<unsigned char>(byte);
      if (b < 0x80) {
        out += byte;
      } else if (b >= 0xC2 && b <= 0xF4) {
        pending += byte;
      }
      continue;
    }
    pending.clear();
    out += component[i++];
  }
}

std::string iri_display_text(const iri::Iri& normalized) {
  std::string raw;
  if (auto host = normalized.host(); normalized.authority() && host && !host->empty()) {
    append_host(raw, *host);
    raw += '-';
  }
  std::string_view path = normalized.path();
  if (normalized.scheme() == "urn" && path.find(':') == 6 && path.starts_with("kestro")) path.remove_prefix(7);
  append_percent_decoded(raw, path);
  if (raw.size() >= 5 && eq_ignore_ascii_case(std::string_view(raw).substr(raw.size() - 5), ".kpar"))
    raw.resize(raw.size() - 5);
  if (auto query = normalized.query()) {
    raw += '-';
    append_percent_decoded(raw, *query);
  }
  std::string name = finish(fold_case_nfc(clean_up(trim_name(raw))), kMaxDisplayNameBytes);
  return name.empty() ? std::string("project") : name;
}

std::string version_slug(std::string_view version) {
  const std::string folded = fold_case_nfc(trim_name(version));
  std::string slug;
  slug.reserve(folded.size());
  for (std::size_t i = 0; i < folded.size();) {
    auto [cp, len] = char_at(folded, i);
    if (alnum_cp(cp)) {
      slug += static_cast<char>(cp);
    } else if (is_ascii_other(cp) || is_name_marker(cp)) {
      if (slug.empty() || (slug.back() != '-' && slug.back() != '.')) slug += cp == '.' ? '.' : '-';
    } else {
      slug.append(folded, i, len);
    }
    i += len;
  }
  return finish(slug, kMaxSlugBytes);
}

}  // namespace kestro
