// Qualified names written as text, such as `Pkg::'a::b'`, read back into
// their segments, so that a name copied out of a model and one typed by hand
// compare equal once parsed.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/utils/error_sum.hpp"

namespace kestro::modeler {

struct QualifiedNameVariants {
  struct UnclosedQuote {
    bool operator==(const UnclosedQuote&) const = default;
  };
  // The character after the backslash, as its UTF-8 bytes.
  struct InvalidEscape {
    std::string character;
    bool operator==(const InvalidEscape&) const = default;
  };
  struct TrailingBackslash {
    bool operator==(const TrailingBackslash&) const = default;
  };
  struct MissingSeparator {
    bool operator==(const MissingSeparator&) const = default;
  };
  // The whole offending run, unchanged.
  struct NotPlainName {
    std::string segment;
    bool operator==(const NotPlainName&) const = default;
  };
  struct EmptySegment {
    bool operator==(const EmptySegment&) const = default;
  };
  using Sum = std::variant<UnclosedQuote, InvalidEscape, TrailingBackslash, MissingSeparator, NotPlainName, EmptySegment>;
};

class QualifiedNameError : public ErrorSum<QualifiedNameError, QualifiedNameVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const UnclosedQuote&);
  static std::string text_of(const InvalidEscape& v);
  static std::string text_of(const TrailingBackslash&);
  static std::string text_of(const MissingSeparator&);
  static std::string text_of(const NotPlainName& v);
  static std::string text_of(const EmptySegment&);
  static std::string debug_of(const InvalidEscape& v);
  static std::string debug_of(const NotPlainName& v);
};

// The segments of a qualified name, left to right; the empty text has none.
// Segments are plain identifiers (ASCII letter or `_`, then ASCII letters,
// digits or `_`) or quoted between `'` with backslash escapes, separated by
// `::`. No white space is skipped; the first fault ends the reading.
std::expected<std::vector<std::string>, QualifiedNameError> parse_qualified_name_segments(std::string_view text);

}  // namespace kestro::modeler
