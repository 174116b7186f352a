// Glob translation on any bytes: the first line is the pattern, the rest a
// path below a walk root. A pattern translates to a literal path, a glob, or
// fails with the engine's reason; a glob tests any path, file or directory,
// and as an exclusion, in bounded time. A text whose special characters are
// all escaped is the literal path of that text (unless it holds a backslash,
// which a literal path never keeps, or starts with `~` or "./").
#include "fuzz_check.hpp"
#include "kestro/modeler/glob.hpp"

#include <string>

using namespace kestro::modeler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = kestro::fuzz::as_text(data, size);
  const std::size_t newline = input.find('\n');
  const std::string_view pattern = input.substr(0, newline);
  const std::string_view text = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  auto translated = glob_to_regex(pattern);
  auto exclusions = build_exclusion_set({std::string(pattern)});
  KESTRO_FUZZ_CHECK(translated.has_value() == exclusions.has_value());
  if (!translated) {
    KESTRO_FUZZ_CHECK(translated.error().pattern == pattern);
    KESTRO_FUZZ_CHECK(translated.error().message.starts_with("regex parse error: "));
    return 0;
  }
  const fs::path root = "/r";
  const fs::path path = root / std::string(text);
  (void)exclusion_keeps(*exclusions, path);
  (void)exclusion_keeps(*exclusions, std::string(text));
  if (const auto* glob = std::get_if<CompiledGlob>(&*translated)) {
    KESTRO_FUZZ_CHECK(glob->pattern == pattern);
    KESTRO_FUZZ_CHECK(glob->walk_root.has_value() == !glob->root.empty());
    (void)glob_matches_under_root(root, *glob, path, false);
    (void)glob_matches_under_root(root, *glob, path, true);
  }

  if (text.starts_with('~') || text.starts_with("./") || text.find('\\') != std::string_view::npos) return 0;
  std::string escaped;
  for (char c : text) {
    if (std::string_view("*?[]{}").find(c) != std::string_view::npos) escaped += '\\';
    escaped += c;
  }
  auto literal = glob_to_regex(escaped);
  KESTRO_FUZZ_CHECK(literal.has_value());
  const auto* literal_text = std::get_if<std::string>(&*literal);
  KESTRO_FUZZ_CHECK(literal_text != nullptr && *literal_text == text);
  return 0;
}
