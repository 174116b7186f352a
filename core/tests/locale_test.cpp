// Numbers read and written under a process locale whose decimal separator is
// a comma: the readers and writers of the core must not follow it.
#include <clocale>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_value.hpp"
#include "kestro/utils/toml_write.hpp"

namespace kestro {
namespace {

class CommaDecimalLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing; scripts/install-deps.sh generates it";
  }
  void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

 private:
  std::string previous_;
};

TEST_F(CommaDecimalLocale, FloatsReadAndWriteAsUnderC) {
  struct Case {
    std::string_view text;
    double value;
    std::string_view written;
  } cases[] = {
      {"0.5", 0.5, "0.5"},
      {"-2.5e-3", -0.0025, "-0.0025"},
      {"1E2", 100.0, "100.0"},
      {"123456.789", 123456.789, "123456.789"},
      {"1.5e300", 1.5e300, "1.5e300"},
      {"6.25e-7", 6.25e-7, "6.25e-7"},
      {"1e-400", 0.0, "0.0"},
      {"-1e-400", -0.0, "-0.0"},
  };
  for (const auto& c : cases) {
    json::Reader reader(c.text);
    auto value = reader.read_value();
    ASSERT_TRUE(value) << c.text << ": " << value.error().message();
    const double* read = std::get_if<double>(&value->v);
    ASSERT_NE(read, nullptr) << c.text;
    EXPECT_EQ(*read, c.value) << c.text;
    EXPECT_EQ(std::signbit(*read), std::signbit(c.value)) << c.text;
    EXPECT_EQ(json::format_float(c.value), c.written) << c.text;

    auto doc = toml::parse("a = " + std::string(c.text));
    ASSERT_TRUE(doc) << c.text << ": " << doc.error().message();
    auto table = toml::to_value(*doc, doc->root());
    ASSERT_TRUE(table) << c.text;
    EXPECT_EQ(toml::write_inline(*table), "{ a = " + std::string(c.written) + " }") << c.text;
  }
  json::Reader huge("1e400");
  EXPECT_EQ(huge.read_value().error().message(), "number out of range at line 1 column 5");
}

}  // namespace
}  // namespace kestro
