#include "kestro/utils/spdx.hpp"

#include <gtest/gtest.h>

namespace kestro::spdx {
namespace {

TEST(Spdx, Accepted) {
  struct Case {
    const char* text;
    std::vector<Requirement> requirements;
  } cases[] = {
      {"MIT", {{"MIT", false, {}}}},
      {"MIT OR Apache-2.0", {{"MIT", false, {}}, {"Apache-2.0", false, {}}}},
      {"Apache-2.0 WITH LLVM-exception", {{"Apache-2.0", false, "LLVM-exception"}}},
      {"GPL-2.0-or-later WITH Classpath-exception-2.0", {{"GPL-2.0-or-later", false, "Classpath-exception-2.0"}}},
      {"LicenseRef-corp", {{"LicenseRef-corp", false, {}}}},
      {"DocumentRef-spdx-tool-1.2:LicenseRef-MIT-Style-2", {{"DocumentRef-spdx-tool-1.2:LicenseRef-MIT-Style-2", false, {}}}},
      {"MIT WITH AdditionRef-x.1", {{"MIT", false, "AdditionRef-x.1"}}},
      {"MIT WITH DocumentRef-d:AdditionRef-x", {{"MIT", false, "DocumentRef-d:AdditionRef-x"}}},
      {"Apache-1.0+", {{"Apache-1.0", true, {}}}},
      {"(MIT AND (BSD-3-Clause OR 0BSD)) OR  ISC",
       {{"MIT", false, {}}, {"BSD-3-Clause", false, {}}, {"0BSD", false, {}}, {"ISC", false, {}}}},
      {"  MIT\tAND\nMIT ", {{"MIT", false, {}}, {"MIT", false, {}}}},
  };
  for (const auto& c : cases) {
    auto got = parse_expression(c.text);
    ASSERT_TRUE(got) << c.text << ": " << got.error().message();
    EXPECT_EQ(got->requirements, c.requirements) << c.text;
  }
}

// The report: the expression, then a marker under the span and the reason.
TEST(Spdx, Refused) {
  struct Case {
    const char* text;
    const char* report;
  } cases[] = {
      {"", "\n^ expected a license, `LicenseRef-` or `(`"},
      {"Foo-Unknown", "Foo-Unknown\n^^^^^^^^^^^ unknown term"},
      {"GPL-2.0+", "GPL-2.0+\n^^^^^^^ deprecated license identifier"},
      {"GPL-2.0-only+", "GPL-2.0-only+\n^^^^^^^^^^^^^ a GNU license takes no `+`; use its `-or-later` identifier"},
      {"MIT or BSD-3-Clause", "MIT or BSD-3-Clause\n    ^^ operators must be upper case (`AND`, `OR`, `WITH`)"},
      {"MIT/BSD-3-Clause", "MIT/BSD-3-Clause\n   ^ `/` is not an operator; use `OR`"},
      {"Apache-2.0 OR", "Apache-2.0 OR\n             ^ expected a license, `LicenseRef-` or `(`"},
      {"(MIT", "(MIT\n    ^ expected `)`"},
      {"MIT)", "MIT)\n   ^ unbalanced `)`"},
      {"MIT Apache-2.0", "MIT Apache-2.0\n    ^^^^^^^^^^ expected `AND`, `OR` or the end"},
      {"MIT WITH Apache-2.0", "MIT WITH Apache-2.0\n         ^^^^^^^^^^ expected an exception or `AdditionRef-` after `WITH`"},
      {"LLVM-exception", "LLVM-exception\n^^^^^^^^^^^^^^ expected a license, found an exception"},
      {"LicenseRef-corp+", "LicenseRef-corp+\n               ^ `+` must follow a listed license directly"},
      {"MIT +", "MIT +\n    ^ `+` must follow a listed license directly"},
      {"LicenseRef-", "LicenseRef-\n^^^^^^^^^^^ unknown term"},
      {"DocumentRef-x:MIT", "DocumentRef-x:MIT\n^^^^^^^^^^^^^^^^^ unknown term"},
      {"mit", "mit\n^^^ unknown term"},
      {"(MIT) WITH LLVM-exception", "(MIT) WITH LLVM-exception\n      ^^^^ expected `AND`, `OR` or the end"},
      {"\xC3\xA9 MIT", "\xC3\xA9 MIT\n^ invalid character"},
      {"MIT OR \xC3\xA9", "MIT OR \xC3\xA9\n       ^ invalid character"},
      {"eCos-2.0", "eCos-2.0\n^^^^^^^^ deprecated license identifier"},
  };
  for (const auto& c : cases) {
    auto got = parse_expression(c.text);
    ASSERT_FALSE(got) << c.text;
    EXPECT_EQ(got.error().message(), c.report) << c.text;
  }
}

// Nesting is bounded: 64 levels are read, the 65th opening is refused.
TEST(Spdx, NestingBound) {
  auto nested = [](std::size_t depth) { return std::string(depth, '(') + "MIT" + std::string(depth, ')'); };
  EXPECT_TRUE(parse_expression(nested(64)));
  auto deep = parse_expression(nested(65));
  ASSERT_FALSE(deep);
  EXPECT_EQ(deep.error().offset(), 64u);
  EXPECT_EQ(deep.error().reason(), "parentheses nested too deeply");
  EXPECT_FALSE(parse_expression(std::string(100000, '(')));
}

TEST(Spdx, LicenceFileNames) {
  struct Case {
    const char* text;
    std::vector<std::string> names;
  } cases[] = {
      {"MIT AND MIT", {"MIT"}},
      {"GPL-2.0-or-later WITH Classpath-exception-2.0", {"GPL-2.0-or-later", "Classpath-exception-2.0"}},
      {"MIT OR Apache-2.0 WITH LLVM-exception", {"MIT", "Apache-2.0", "LLVM-exception"}},
      {"Apache-1.0+ OR Apache-1.0", {"Apache-1.0"}},
      {"(ISC WITH LLVM-exception) AND (MIT WITH LLVM-exception) AND DocumentRef-d:LicenseRef-x",
       {"ISC", "LLVM-exception", "MIT", "DocumentRef-d:LicenseRef-x"}},
  };
  for (const auto& c : cases) {
    auto got = parse_expression(c.text);
    ASSERT_TRUE(got) << c.text;
    EXPECT_EQ(licence_file_names(*got), c.names) << c.text;
  }
}

}  // namespace
}  // namespace kestro::spdx
