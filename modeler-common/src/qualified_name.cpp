#include "kestro/modeler/qualified_name.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::modeler {

std::string QualifiedNameError::text_of(const UnclosedQuote&) { return "a quoted name segment is never closed"; }
std::string QualifiedNameError::text_of(const InvalidEscape& v) {
  return fmt::format("`\\{}` is not an escape a quoted name segment can hold", v.character);
}
std::string QualifiedNameError::text_of(const TrailingBackslash&) { return "the name ends in a `\\`"; }
std::string QualifiedNameError::text_of(const MissingSeparator&) { return "name segments are separated by `::`"; }
std::string QualifiedNameError::text_of(const NotPlainName& v) {
  return fmt::format("`{}` is not a plain name; write it quoted, as `'{}'`", v.segment, v.segment);
}
std::string QualifiedNameError::text_of(const EmptySegment&) {
  return "a name segment is empty; an empty segment is written `''`";
}
std::string QualifiedNameError::debug_of(const InvalidEscape& v) {
  return fmt::format("InvalidEscape({})", debug_quote(v.character));
}
std::string QualifiedNameError::debug_of(const NotPlainName& v) {
  return fmt::format("NotPlainName({})", debug_quote(v.segment));
}

namespace {

bool is_plain_name(std::string_view run) {
  if (run.empty() || !(is_ascii_alpha(run[0]) || run[0] == '_')) return false;
  for (const char c : run.substr(1))
    if (!(is_ascii_alnum(c) || c == '_')) return false;
  return true;
}

// The quoted segment whose opening `'` is at the cursor; leaves the cursor
// after the closing `'`.
std::expected<std::string, QualifiedNameError> read_quoted(TextCursor& cur) {
  cur.eat('\'');
  std::string segment;
  while (!cur.at_end()) {
    const char c = cur.text[cur.i++];
    if (c == '\'') return segment;
    if (c != '\\') {
      segment += c;
      continue;
    }
    if (cur.at_end()) return std::unexpected(QualifiedNameError::TrailingBackslash{});
    const char e = cur.text[cur.i];
    switch (e) {
      case '\\': segment += '\\'; break;
      case 'b': segment += '\b'; break;
      case 'f': segment += '\f'; break;
      case 'n': segment += '\n'; break;
      case 'r': segment += '\r'; break;
      case 't': segment += '\t'; break;
      case '"': segment += '"'; break;
      case '\'': segment += '\''; break;
      default: {
        // The whole character, a multi-byte one included (a lone invalid byte alone).
        const std::size_t len = std::max<std::size_t>(1, utf8_sequence_length(cur.text, cur.i));
        return std::unexpected(QualifiedNameError::InvalidEscape{std::string(cur.text.substr(cur.i, len))});
      }
    }
    ++cur.i;
  }
  return std::unexpected(QualifiedNameError::UnclosedQuote{});
}

std::expected<std::string, QualifiedNameError> read_plain(TextCursor& cur) {
  const std::size_t start = cur.i;
  while (!cur.at_end() && cur.peek() != ':') ++cur.i;
  const std::string_view run = cur.text.substr(start, cur.i - start);
  if (run.empty()) return std::unexpected(QualifiedNameError::EmptySegment{});
  if (!is_plain_name(run)) return std::unexpected(QualifiedNameError::NotPlainName{std::string(run)});
  return std::string(run);
}

}  // namespace

std::expected<std::vector<std::string>, QualifiedNameError> parse_qualified_name_segments(std::string_view text) {
  std::vector<std::string> segments;
  TextCursor cur{text};
  if (cur.at_end()) return segments;
  while (true) {
    auto segment = cur.peek() == '\'' ? read_quoted(cur) : read_plain(cur);
    if (!segment) return std::unexpected(segment.error());
    segments.push_back(std::move(*segment));
    if (cur.at_end()) return segments;
    if (!cur.text.substr(cur.i).starts_with("::")) return std::unexpected(QualifiedNameError::MissingSeparator{});
    cur.i += 2;
    if (cur.at_end()) return std::unexpected(QualifiedNameError::EmptySegment{});
  }
}

}  // namespace kestro::modeler
