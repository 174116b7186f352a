// The symbol lexer, statement grouping and name extraction on any bytes.
// Tokens are adjacent from offset 0 and never empty; on valid UTF-8 a run
// without failures covers the whole text and no token fails as unknown;
// grouping keeps only adjacent tokens whose texts are their spans; both
// extractions end with names or an error text.
#include "fuzz_check.hpp"
#include "kestro/symbols/extract.hpp"
#include "kestro/symbols/lex.hpp"
#include "kestro/utils/text.hpp"

using namespace kestro;
using namespace kestro::symbols;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const bool valid = is_valid_utf8(text);
  SymbolLexer lexer(text);
  std::size_t offset = 0;
  bool failed = false;
  while (auto step = lexer.lex_token()) {
    KESTRO_FUZZ_CHECK(lexer.token_start() == offset);
    KESTRO_FUZZ_CHECK(lexer.token_end() > lexer.token_start() && lexer.token_end() <= text.size());
    if (!step->has_value()) {
      KESTRO_FUZZ_CHECK(!valid || !step->error().holds<LexError::Unknown>());
      failed = true;
    }
    offset = lexer.token_end();
  }
  KESTRO_FUZZ_CHECK(failed || offset == text.size());

  if (auto statements = group_statements(text)) {
    for (const Statement& s : *statements)
      for (std::size_t i = 0; i < s.size(); ++i) {
        KESTRO_FUZZ_CHECK(text.substr(s[i].start, s[i].end - s[i].start) == s[i].text);
        KESTRO_FUZZ_CHECK(i == 0 || s[i - 1].end == s[i].start);
      }
  } else {
    (void)statements.error().message();
  }
  if (auto names = extract_sysml_symbols(text); !names) (void)names.error().message();
  if (auto names = extract_kerml_symbols(text); !names) (void)names.error().message();
  return 0;
}
