// Body text decoding: the declared character set, a byte-order mark, and
// malformed input; a body handed over whole decodes as a borrowed one does.
#include "kestro/http/body_text.hpp"

#include <gtest/gtest.h>

namespace kestro::http {
namespace {

TEST(BodyText, DecodesByDeclaredCharsetAndByteOrderMark) {
  struct Case {
    std::string body;
    std::optional<std::string_view> content_type;
    std::string text;
  };
  const Case cases[] = {
      {"plain \xC3\xA9", std::nullopt, "plain \xC3\xA9"},
      {"plain \xC3\xA9", "application/json; charset=UTF-8", "plain \xC3\xA9"},
      {"bad \xC3 byte", std::nullopt, "bad \xEF\xBF\xBD byte"},
      {"surrogate \xED\xA0\x80", "application/json", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xEF\xBB\xBF{}", std::nullopt, "{}"},
      {std::string("\xFF\xFE{\0}\0", 6), "text/plain; charset=utf-8", "{}"},
      {"caf\xE9", "text/plain; charset=\"ISO-8859-1\"", "caf\xC3\xA9"},
      {"\x80", "text/plain; charset=us-ascii", "\xE2\x82\xAC"},
      {"x", "text/plain; charset=bogus", "x"},
      // A pair of UTF-16 units split across the converter's pieces.
      {"\xFE\xFF" + std::string("\0a", 2) + std::string(2 * 16382, '\0') + std::string("\xD8\x3D\xDE\0", 4),
       "application/json; charset=utf-16be", "a" + std::string(16382, '\0') + "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 20));
    const std::string borrowed = decode_body_text(std::string_view(c.body), c.content_type);
    EXPECT_EQ(borrowed, c.text);
    EXPECT_EQ(decode_body_text(std::string(c.body), c.content_type), borrowed);
  }
  EXPECT_EQ(content_type_charset("text/plain ; Charset = \"Shift_JIS\" ; q=1"), "shift_jis");
  EXPECT_EQ(content_type_charset("text/plain"), std::nullopt);
}

}  // namespace
}  // namespace kestro::http
