#include "kestro/utils/shell_quote.hpp"

#include <string>

#include <gtest/gtest.h>

#include "support/process.hpp"

namespace kestro {
namespace {

// Each quoted text is one word that a POSIX shell turns back into the text.
TEST(ShellQuote, QuotesOneWordTheShellReadsBack) {
  struct Case {
    const char* text;
    const char* quoted;
  } cases[] = {
      {"", "''"},
      {"/srv/index", "'/srv/index'"},
      {"it's", "'it'\\''s'"},
      {"''", "''\\'''\\'''"},
      {"a b$HOME;`x` \"q\"\n*", "'a b$HOME;`x` \"q\"\n*'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(shell_quote(c.text), c.quoted);
    auto result = testing::run_command({"sh", "-c", "printf %s " + shell_quote(c.text)});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, c.text);
  }
}

}  // namespace
}  // namespace kestro
