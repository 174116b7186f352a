// Exported-name extraction: the SysML and KerML rows with their names or
// their messages (statement, line, byte), the language of an extension, and
// a tree of model files whose exported names a reader can list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kestro/symbols/extract.hpp"

namespace kestro::symbols {
namespace {

using Names = std::vector<std::string>;

struct Row {
  std::string text;
  Names names;        // when `failure` is empty
  std::string failure;  // the whole display text of the failure
};

void check_rows(const std::vector<Row>& rows, Language language) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    auto names = language == Language::SysML ? extract_sysml_symbols(row.text) : extract_kerml_symbols(row.text);
    if (row.failure.empty()) {
      ASSERT_TRUE(names.has_value()) << names.error().message();
      EXPECT_EQ(*names, row.names);
    } else {
      ASSERT_FALSE(names.has_value()) << "names instead of a failure: " << names->size();
      EXPECT_EQ(names.error().message(), row.failure);
    }
  }
}

TEST(ExtractSymbols, SysmlRows) {
  const std::vector<Row> rows = {
      {"package P;", {"P"}, ""},
      {"package P { part def A; }", {"P"}, ""},
      {"standard library package Base { }", {"Base"}, ""},
      {"part def <'1.0'> Vehicle :> Base;", {"1.0", "Vehicle"}, ""},
      {"part def Vehicle <V>;", {"V", "Vehicle"}, ""},
      {"part x : A, B::C;", {"x"}, ""},
      {"part x[2] : T;", {"x"}, ""},
      {"private import P::*;", {}, ""},
      {"alias X for Y;", {"X"}, ""},
      {"attribute a : Real = 5;", {"a"}, ""},
      {"connect [1] a to b;", {}, ""},
      {"first a then b;", {}, ""},
      {"part 'my part';", {"my part"}, ""},
      {"#Tagged part x;", {"x"}, ""},
      {"#Lib::Tag part x;", {"x"}, ""},
      {"part x; part x;", {"x", "x"}, ""},
      {"doc /* text */", {}, ""},
      {"", {}, ""},
      {"part x (a, b) [3] :>> y.z;", {"x"}, ""},
      {"part 'a\\'b';", {"a\\'b"}, ""},
      {"part x := 1 + 2;", {"x"}, ""},
      {"satisfy [r] a by b;", {}, ""},
      {"part x; // trailing\npart y; /* c */ part z;", {"x", "y", "z"}, ""},
      {"part x y;", {}, "error at line 1, byte 8:\n`part x y`: unknown name `y`"},
      {"part a.b;", {}, "error at line 1, byte 1:\n`part a.b`: warn: got an unexpected reference: [\"a\", \"b\"]"},
      {"package P;\n  part x :;", {}, "error at line 2, byte 3:\n`part x :`: empty name"},
      {"package P;\r\n  part x :;", {}, "error at line 2, byte 3:\n`part x :`: empty name"},
      {"part x (a;", {}, "error at line 1, byte 1:\n`part x (a`: unmatched OpenParen"},
      {"part x [a;", {}, "error at line 1, byte 1:\n`part x [a`: unmatched OpenSquare"},
      {"part x ( [ );", {"x"}, ""},
      {"part <a> <b> x;", {}, "error at line 1, byte 10:\n`part <a> <b> x`: unknown name `b`"},
      {"part <a x;", {}, "error at line 1, byte 6:\n`part <a x`: expected `>` to close the short name, found Space ` `"},
      {"part <a", {}, "error at line 1, byte 6:\n`part <a`: unclosed short-name `<`"},
      {"part < a>;", {}, "error at line 1, byte 7:\n`part < a>`: invalid token of type Space, expected a name component: ` `"},
      {"part x :> ;", {}, "error at line 1, byte 1:\n`part x :>`: empty name"},
      {"part x : A, ;", {}, "error at line 1, byte 1:\n`part x : A,`: empty name"},
      {"# part x;", {}, "error at line 1, byte 2:\n`# part x`: invalid token of type Space, expected a name component: ` `"},
      {"part x : A B;", {}, "error at line 1, byte 12:\n`part x : A B`: unknown name `B`"},
      {"part x, y;", {}, "error at line 1, byte 7:\n`part x, y`: unexpected comma (`,`)"},
      {"doc \"text\";", {}, "error at line 1, byte 5:\n`doc \"text\"`: unexpected string"},
      {"part x );", {}, "error at line 1, byte 8:\n`part x )`: unexpected `)`"},
      {"part x ];", {}, "error at line 1, byte 8:\n`part x ]`: unexpected `]`"},
      {"part x ::y;", {}, "error at line 1, byte 8:\n`part x ::y`: unexpected `::`"},
      {"part x .y;", {}, "error at line 1, byte 8:\n`part x .y`: unexpected period (`.`)"},
      {"part x > y;", {}, "error at line 1, byte 8:\n`part x > y`: unexpected `>` outside a short name"},
      {"part x -> y;", {}, "error at line 1, byte 8:\n`part x -> y`: unexpected unknown symbol `->`"},
      {"individual part x;", {}, "error at line 1, byte 17:\n`individual part x`: unknown name `x`"},
      // The statement shown loses the white space of its ends, Unicode's too.
      {"part x;\u3000\u00a0part a y\u2003;", {}, "error at line 1, byte 20:\n`part a y`: unknown name `y`"},
      // Names found before a failure are not returned.
      {"part ok; part bad bad;", {}, "error at line 1, byte 19:\n`part bad bad`: unknown name `bad`"},
      // Failures of grouping come through unchanged.
      {"package P {", {}, "missing body delimiter:\nbrace `{}` nesting depth is 1 (should be 0) at the end of file"},
  };
  check_rows(rows, Language::SysML);
}

TEST(ExtractSymbols, KermlRows) {
  const std::vector<Row> rows = {
      {"standard library package Base { }", {"Base"}, ""},
      {"private package P;", {"P"}, ""},
      {"package P :> Q;", {}, "error at line 1, byte 11:\n`package P :> Q`: unexpected unknown symbol `:>`"},
      {"package P : Q;", {}, "error at line 1, byte 11:\n`package P : Q`: unexpected unknown symbol `:`"},
      {"classifier C;", {}, "error at line 1, byte 12:\n`classifier C`: unknown name `C`"},
  };
  check_rows(rows, Language::KerML);
}

TEST(ExtractSymbols, KeywordTablesHoldTheirWords) {
  EXPECT_EQ(build_keyword_map(Language::SysML).size(), 78u);
  EXPECT_EQ(build_keyword_map(Language::KerML).size(), 6u);
  EXPECT_EQ(build_keyword_map(Language::SysML).find(":>>"), KeywordKind::References);
  EXPECT_EQ(build_keyword_map(Language::SysML).find("satisfy"), KeywordKind::BracketReferences);
  EXPECT_EQ(build_keyword_map(Language::SysML).find("then"), KeywordKind::Stop);
  EXPECT_EQ(build_keyword_map(Language::SysML).find("Part"), std::nullopt);
  EXPECT_EQ(build_keyword_map(Language::KerML).find("part"), std::nullopt);
}

TEST(ExtractSymbols, LanguageOfAnExtension) {
  const std::vector<std::pair<std::string, std::optional<Language>>> rows = {
      {"sysml", Language::SysML}, {"SysML", Language::SysML}, {"SYSML", Language::SysML},
      {"kerml", Language::KerML}, {"KerML", Language::KerML}, {"sys", std::nullopt},
      {"sysmlx", std::nullopt},   {"", std::nullopt},         {".sysml", std::nullopt},
  };
  for (const auto& [text, language] : rows) EXPECT_EQ(parse_language_identifier(text), language) << text;
}

TEST(ExtractSymbols, FileFormCarriesThePath) {
  auto failed = extract_file_symbols("models/a.kerml", "part x;", true);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error().path, "models/a.kerml");
  EXPECT_EQ(failed.error().error.message(), "error at line 1, byte 6:\n`part x`: unknown name `x`");
  auto names = extract_file_symbols("models/a.sysml", "part x;", false);
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, Names{"x"});
}

// Each model file of the tree with the names its top level declares, as a
// reader of the file would list them.
TEST(ExtractSymbols, ModelTree) {
  const std::filesystem::path root = std::filesystem::path(KESTRO_TEST_DATA_DIR) / "symbols";
  const std::map<std::string, Names> expected = {
      {"vehicles/Vehicles.sysml", {"Vehicles", "VehicleTypes"}},
      {"vehicles/parts/Engine.sysml", {"E", "Engine", "Kolben", "Ölpumpe", "Zylinder"}},
      {"vehicles/parts/Wheels.sysml", {"Wheel", "Hub", "WheelAxle"}},
      {"requirements/Reqs.sysml", {"R1", "MassLimit", "Safety Requirements", "mass check", "Système"}},
      {"kernel/Base.kerml", {"Base Kernel", "Ünits", "Misc"}},
      {"kernel/Empty.kerml", {}},
  };
  std::map<std::string, Names> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string extension = entry.path().extension().string();
    const auto language = parse_language_identifier(extension.empty() ? extension : extension.substr(1));
    if (!language) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const std::string relative = entry.path().lexically_relative(root).generic_string();
    auto names = extract_file_symbols(relative, text, *language == Language::KerML);
    ASSERT_TRUE(names.has_value()) << relative << ": " << names.error().error.message();
    found[relative] = *names;
  }
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace kestro::symbols
