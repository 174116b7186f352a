// The `kestro` command line on any argument vector: the input's bytes split
// at NUL into words after the program name. Every vector ends in a record
// or in an outcome with exit code 0 (help, version) or 2, whose text is not
// empty and loses every escape sequence when styles are stripped.
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "kestro/cli/cli.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static cli::Command command = cli::build_cli_command();
  const std::string_view text = fuzz::as_text(data, size);
  std::vector<std::string> words{"kestro"};
  std::size_t start = 0;
  while (start <= text.size() && words.size() < 64) {
    std::size_t cut = text.find('\0', start);
    if (cut == std::string_view::npos) cut = text.size();
    if (cut > start || cut < text.size()) words.emplace_back(text.substr(start, cut - start));
    start = cut + 1;
  }
  auto got = cli::try_parse_args_with(command, words);
  if (got) return 0;
  const cli::ParseError& e = got.error();
  KESTRO_FUZZ_CHECK(e.exit_code() == 0 || e.exit_code() == 2);
  KESTRO_FUZZ_CHECK((e.exit_code() == 0) == (e.kind() == cli::ErrorKind::DisplayHelp ||
                                             e.kind() == cli::ErrorKind::DisplayVersion));
  KESTRO_FUZZ_CHECK(!e.text().empty());
  KESTRO_FUZZ_CHECK(cli::strip_styles(e.text()).find('\x1b') == std::string::npos);
  return 0;
}
