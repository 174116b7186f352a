// URL globs on any bytes: the first line is the pattern, the rest the text.
// A pattern compiles or fails with the matcher's own sentence; a compiled
// pattern matches any text in bounded time; the escaped form of any text
// (every special character behind a backslash) matches that text alone.
#include "fuzz_check.hpp"
#include "kestro/auth/url_glob.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::as_text(data, size);
  const std::size_t newline = input.find('\n');
  const std::string_view pattern = input.substr(0, newline);
  const std::string_view text = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  auto glob = auth::Glob::compile(pattern);
  if (glob) {
    (void)glob->matches(text);
    (void)glob->matches(pattern);
  } else {
    KESTRO_FUZZ_CHECK(glob.error().message().starts_with("error parsing glob '"));
  }

  std::string escaped;
  for (char c : text) {
    if (std::string_view("*?[]{}\\,").find(c) != std::string_view::npos) escaped += '\\';
    escaped += c;
  }
  auto literal = auth::Glob::compile(escaped);
  KESTRO_FUZZ_CHECK(literal.has_value());
  KESTRO_FUZZ_CHECK(literal->matches(text));
  std::string longer(text);
  longer += 'x';
  KESTRO_FUZZ_CHECK(!literal->matches(longer));
  return 0;
}
