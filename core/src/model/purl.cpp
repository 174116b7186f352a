#include "kestro/model/purl.hpp"

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::model {

namespace {

constexpr std::string_view kPrefixRest = ":kestro/";  // after the three letters `pkg`
constexpr std::size_t kPrefixSize = 11;

char normalize_byte(char c) { return c == ' ' ? '-' : to_ascii_lower(c); }

bool is_word_byte(char c) { return is_ascii_lower(c) || is_ascii_digit(c); }

// The field rules, on the text itself or on its normalised form.
bool field_ok(std::string_view field, PurlField kind, bool normalize) {
  if (field.size() < 3 || field.size() > 50) return false;
  char previous = '\0';
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = normalize ? normalize_byte(field[i]) : field[i];
    bool separator = c == '-' || (kind == PurlField::Name && c == '.');
    bool inner = i > 0 && i + 1 < field.size();
    if (!is_word_byte(c) && !(inner && separator && is_word_byte(previous))) return false;
    previous = c;
  }
  return true;
}

}  // namespace

std::string PurlError::text_of(const WrongShape& v) {
  return fmt::format(
      "`{}` is not a valid `pkg:kestro` PURL: expected exactly two `/`-separated segments after "
      "`pkg:kestro/`, found {}",
      v.purl, v.segments);
}
std::string PurlError::text_of(const InvalidPublisher& v) {
  return fmt::format(
      "`{}` is not a valid `pkg:kestro` PURL: publisher segment `{}` is not a valid `pkg:kestro` field "
      "(3-50 ASCII alphanumeric chars, with single ` ` or `-` separators between words)",
      v.purl, v.publisher);
}
std::string PurlError::text_of(const InvalidName& v) {
  return fmt::format(
      "`{}` is not a valid `pkg:kestro` PURL: name segment `{}` is not a valid `pkg:kestro` field "
      "(3-50 ASCII alphanumeric chars, with single ` `, `-`, or `.` separators between words)",
      v.purl, v.name);
}
std::string PurlError::text_of(const NotNormalized& v) {
  return fmt::format("`{}` is not a valid `pkg:kestro` PURL, but can be normalized to `pkg:kestro/{}/{}`", v.purl,
                     v.norm_publisher, v.norm_name);
}

std::string PurlError::debug_of(const WrongShape& v) {
  return fmt::format("WrongShape {{ purl: {}, segments: {} }}", debug_quote(v.purl), v.segments);
}
std::string PurlError::debug_of(const InvalidPublisher& v) {
  return fmt::format("InvalidPublisher {{ purl: {}, publisher: {} }}", debug_quote(v.purl), debug_quote(v.publisher));
}
std::string PurlError::debug_of(const InvalidName& v) {
  return fmt::format("InvalidName {{ purl: {}, name: {} }}", debug_quote(v.purl), debug_quote(v.name));
}
std::string PurlError::debug_of(const NotNormalized& v) {
  return fmt::format("NotNormalized {{ purl: {}, norm_publisher: {}, norm_name: {} }}", debug_quote(v.purl),
                     debug_quote(v.norm_publisher), debug_quote(v.norm_name));
}

std::string normalize_purl_field(std::string_view field) {
  std::string out(field);
  for (char& c : out) c = normalize_byte(c);
  return out;
}

bool is_valid_purl_field(std::string_view field, PurlField kind) { return field_ok(field, kind, true); }

std::expected<std::optional<KestroPurl>, PurlError> parse_kestro_purl(std::string_view text) {
  if (text.size() < kPrefixSize) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (to_ascii_lower(text[i]) != "pkg"[i]) return std::nullopt;
  if (text.substr(3, kPrefixRest.size()) != kPrefixRest) return std::nullopt;

  std::string_view rest = text.substr(kPrefixSize);
  std::size_t segments = 1;
  for (char c : rest) segments += c == '/';
  if (segments != 2) return std::unexpected(PurlError::WrongShape{std::string(text), segments});
  auto slash = rest.find('/');
  std::string_view publisher = rest.substr(0, slash), name = rest.substr(slash + 1);

  // A segment is reported as invalid only when normalisation could not
  // repair it; two repairable segments make the identifier not normalised.
  if (!is_valid_purl_field(publisher, PurlField::Publisher))
    return std::unexpected(PurlError::InvalidPublisher{std::string(text), std::string(publisher)});
  if (!is_valid_purl_field(name, PurlField::Name))
    return std::unexpected(PurlError::InvalidName{std::string(text), std::string(name)});
  if (field_ok(publisher, PurlField::Publisher, false) && field_ok(name, PurlField::Name, false))
    return KestroPurl{publisher, name};
  return std::unexpected(PurlError::NotNormalized{std::string(text), normalize_purl_field(publisher),
                                                    normalize_purl_field(name)});
}

std::expected<std::optional<std::string>, PurlError> expand_purl_shorthand(std::string_view text) {
  auto slash = text.find('/');
  if (slash == std::string_view::npos || text.find('/', slash + 1) != std::string_view::npos) return std::nullopt;
  if (text.find(':') != std::string_view::npos) return std::nullopt;
  std::string iri = "pkg:kestro/";
  iri += text;
  auto parsed = parse_kestro_purl(iri);
  if (!parsed) return std::unexpected(std::move(parsed.error()));
  return iri;
}

}  // namespace kestro::model
