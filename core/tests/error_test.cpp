#include "kestro/index/index_error.hpp"
#include "kestro/utils/error.hpp"

#include <cerrno>

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
