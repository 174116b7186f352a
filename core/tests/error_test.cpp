#include "kestro/index/index_error.hpp"
#include "kestro/project/checksum.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/iri_normalize.hpp"
#include "kestro/utils/text.hpp"

#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>
#include <type_traits>

#include <gtest/gtest.h>

namespace kestro::index {
namespace {

TEST(ErrorChain, Shapes) {
  auto deepest = make_error<MessageError>("line one\n  line two");
  auto middle = make_error<MessageError>("middle", deepest);
  MessageError head("head", middle);
  struct Case {
    const Error* error;
    std::string expected;
  } cases[] = {
      {deepest.get(), "line one\n  line two"},
      {middle.get(), "middle\n  caused by: line one\n  line two\n"},
      {&head, "head\n  caused by: middle\n  caused by: line one\n  line two\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(render_error_chain(*c.error), c.expected);
}

TEST(ErrorChain, IndexErrorAppendsNote) {
  auto inner = make_error<MessageError>("outer", make_error<MessageError>("inner"));
  EXPECT_EQ(IndexError(inner, std::nullopt).message(), "outer\n  caused by: inner\n");
  EXPECT_EQ(IndexError(inner, "try again").message(),
            "outer\n  caused by: inner\n\n\nnote: try again");
  EXPECT_EQ(IndexError(inner, std::nullopt).cause(), nullptr);
  EXPECT_EQ(IndexError(make_error<IndexError>(inner, std::nullopt), "x").debug(),
            "IndexError { suggestion: Some(\"x\"), inner: IndexError { suggestion: None, inner: outer } }");
}

// A sum with one variant of each kind the helper distinguishes: with and
// without a debug form of its own, with and without a cause.
struct LockVariants {
  struct Busy {
    std::string path;
  };
  struct Broken {
    std::string path;
    IoError io;
  };
  using Sum = std::variant<Busy, Broken>;
};
class LockError : public ErrorSum<LockError, LockVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Busy& v) { return "`" + v.path + "` is locked"; }
  static std::string text_of(const Broken& v) { return "lock at `" + v.path + "` is broken"; }
  static std::string debug_of(const Broken& v) { return "Broken(" + v.path + ")"; }
  static const Error* cause_of(const Broken& v) { return &v.io; }
};

TEST(ErrorSum, VisitorsPerVariant) {
  LockError busy = LockError::Busy{"/env"};
  LockError broken = LockError::Broken{"/env", IoError::from_errno(EACCES)};
  EXPECT_EQ(busy.message(), "`/env` is locked");
  EXPECT_EQ(busy.debug(), "`/env` is locked") << "no debug form of its own: the text";
  EXPECT_EQ(busy.cause(), nullptr) << "no cause_of: no cause";
  EXPECT_EQ(broken.debug(), "Broken(/env)");
  EXPECT_EQ(render_error_chain(broken),
            "lock at `/env` is broken\n  caused by: Permission denied (os error 13)\n");

  EXPECT_TRUE(busy.holds<LockError::Busy>());
  EXPECT_FALSE(busy.holds<LockError::Broken>());
  EXPECT_EQ(busy.get_if<LockError::Broken>(), nullptr);
  ASSERT_NE(broken.get_if<LockError::Broken>(), nullptr);
  EXPECT_EQ(broken.get_if<LockError::Broken>()->io.code(), EACCES);
  EXPECT_EQ(broken.visit([](const auto& v) { return v.path; }), "/env");
  // Only the sum's own payloads build it.
  static_assert(!std::is_constructible_v<LockError, std::string>);
  static_assert(!std::is_constructible_v<LockError, IoError>);
}

TEST(DebugForm, QuotingListsAndOptions) {
  using namespace std::string_literals;
  const std::vector<std::string> none;
  const std::vector<std::string> two{"a\"b", "c\\"};
  struct Case {
    std::string form;
    std::string expected;
  } cases[] = {
      {debug_quote("plain"), "\"plain\""},
      {debug_quote("a\0b\tc\nd\re\x01\x7f"s), "\"a\\0b\\tc\\nd\\re\\u{1}\\u{7f}\""},
      // C1 controls, the no-break space and the soft hyphen; other Latin-1 letters stay.
      {debug_quote("\xc2\x85\xc2\xa0\xc2\xad\xc3\xa9"), "\"\\u{85}\\u{a0}\\u{ad}\xc3\xa9\""},
      // Beyond Latin-1: format (U+200B), other spaces (U+3000), the line
      // separator, private use, unassigned (U+0378) and combining (U+0301)
      // characters; the blank, letters and an invalid byte stay.
      {debug_quote("a\u200b \u3000\u2028\ue000\u0378e\u0301\u4e2d\xff"),
       "\"a\\u{200b} \\u{3000}\\u{2028}\\u{e000}\\u{378}e\\u{301}\u4e2d\xff\""},
      {debug_list(none), "[]"},
      {debug_list(two), "[\"a\\\"b\", \"c\\\\\"]"},
      {debug_list(std::vector<int>{1, 2}, [](int i) { return std::to_string(i); }), "[1, 2]"},
      {debug_option(std::optional<std::string>()), "None"},
      {debug_option(std::optional<std::string>("x\n")), "Some(\"x\\n\")"},
      {debug_option(std::optional<std::string_view>("v")), "Some(\"v\")"},
      {debug_option(std::optional<int>(3), [](int i) { return std::to_string(i); }), "Some(3)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.form, c.expected);
}

// Every error family quotes its texts the same way: a NUL is `\0` whichever
// error shows it.
TEST(DebugForm, EveryFamilyQuotesAlike) {
  const std::string nul("a\0b", 3);
  EXPECT_EQ(iri::IriNormalizeError(iri::IriNormalizeError::IdnConversion{nul}).debug(),
            "IdnConversion { host: \"a\\0b\" }");
  EXPECT_EQ(project::CanonicalizationError<project::LocalSrcError>::file_read(nul, IoError::custom("gone")).debug(),
            "FileRead(\"a\\0b\", gone)");
  EXPECT_EQ(project::LocalSrcError(project::LocalSrcError::AlreadyExists{nul}).debug(), "AlreadyExists(\"a\\0b\")");
}

TEST(OsError, Text) {
  EXPECT_EQ(os_error_text(ENOENT), "No such file or directory (os error 2)");
  EXPECT_EQ(IoError::from_errno(EACCES).message(), "Permission denied (os error 13)");
  EXPECT_EQ(IoError::custom("stream did not contain valid UTF-8").message(),
            "stream did not contain valid UTF-8");
}

TEST(InternalErrorTest, ThrowsInsteadOfAborting) {
  EXPECT_THROW(internal_error("broken"), InternalError);
}

}  // namespace
}  // namespace kestro::index
