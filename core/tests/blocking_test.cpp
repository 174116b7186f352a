// Readers over bodies that arrive piece by piece, the copy loop, and the
// iterator over candidate streams.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

#include <gtest/gtest.h>

#include "kestro/project/blocking.hpp"
#include "kestro/utils/fs.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

// A body of fixed pieces and failures, counting how often it is asked.
class ScriptedBody : public BodyStream {
 public:
  explicit ScriptedBody(std::deque<Item> items, int* asked = nullptr) : items_(std::move(items)), asked_(asked) {}
  std::optional<Item> next() override {
    if (asked_) ++*asked_;
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    return item;
  }

 private:
  std::deque<Item> items_;
  int* asked_;
};

BodyStream::Item piece(std::string bytes) { return bytes; }
BodyStream::Item failure(std::string text) { return std::unexpected(make_error<MessageError>(std::move(text))); }

BodyReader body(std::deque<BodyStream::Item> items) {
  return BodyReader(std::make_unique<ScriptedBody>(std::move(items)));
}

TEST(BodyReader, ReadsAtMostThePieceHeld) {
  auto reader = body({piece(std::string(3000, 'a')), piece(""), piece(std::string(10000, 'b'))});
  char buffer[8192];
  std::vector<std::size_t> counts;
  for (int i = 0; i < 5; ++i) counts.push_back(reader.read(buffer).value());
  EXPECT_EQ(counts, (std::vector<std::size_t>{3000, 8192, 1808, 0, 0}));

  auto empty = body({});
  EXPECT_EQ(empty.read(buffer).value(), 0u);
}

TEST(BodyReader, FailureMidwayIsAnErrorThenEnd) {
  auto reader = body({piece("abc"), failure("connection reset by peer"), piece("never")});
  char buffer[16];
  EXPECT_EQ(reader.read(buffer).value(), 3u);
  auto failed = reader.read(buffer);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message(), "connection reset by peer");
  EXPECT_EQ(reader.read(buffer).value(), 0u);
}

// A reader that fails with EINTR before every second read.
class InterruptingReader : public SourceReader {
 public:
  explicit InterruptingReader(SourceReaderPtr inner) : inner_(std::move(inner)) {}
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override {
    if ((interrupt_ = !interrupt_)) return std::unexpected(IoError::from_errno(EINTR));
    return inner_->read(buffer);
  }

 private:
  SourceReaderPtr inner_;
  bool interrupt_ = false;
};

TEST(CopySource, CopiesRetriesInterruptsAndStopsAtErrors) {
  TempDir dir;
  auto dest = dir.path() / "out";
  auto fd = open_fd(dest, O_WRONLY | O_CREAT | O_TRUNC, 0644).value();
  const std::string content(20000, 'x');
  InterruptingReader interrupted(std::make_unique<BytesSourceReader>(content));
  EXPECT_EQ(copy_source(interrupted, fd.get()).value(), content.size());
  EXPECT_EQ(read_file(dest).value(), content);

  // A body that fails midway is a failed copy, not a short file.
  BlockingSourceReader remote(std::make_unique<BodyReader>(body({piece("abc"), failure("timed out")})));
  auto cut = copy_source(remote, fd.get());
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().message(), "timed out");

  auto full = open_fd("/dev/full", O_WRONLY);
  if (full) {
    BytesSourceReader bytes("abc");
    auto refused = copy_source(bytes, full->get());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code(), ENOSPC);
  }
}

TEST(BlockingSourceReader, KeepsWhatTheInnerReaderNeeds) {
  auto client = std::make_shared<int>(1);
  std::weak_ptr<int> watch = client;
  {
    BlockingSourceReader reader(std::make_unique<BytesSourceReader>("ab"), client);
    client.reset();
    EXPECT_FALSE(watch.expired());
    char buffer[1];
    EXPECT_EQ(reader.read(buffer).value(), 1u);
    EXPECT_EQ(reader.read(buffer).value(), 1u);
    EXPECT_EQ(reader.read(buffer).value(), 0u);
  }
  EXPECT_TRUE(watch.expired());
}

TEST(BlockingStreamIter, OneStepPerNextAndErrorsAsItems) {
  int asked = 0;
  BlockingStreamIter<ScriptedBody> empty(ScriptedBody({}, &asked));
  EXPECT_FALSE(empty.next().has_value());
  EXPECT_FALSE(empty.next().has_value());
  EXPECT_EQ(asked, 1);

  asked = 0;
  BlockingStreamIter<ScriptedBody> items(ScriptedBody({piece("p1"), failure("bad candidate"), piece("p2")}, &asked));
  EXPECT_EQ(items.next().value().value(), "p1");
  EXPECT_EQ(asked, 1);
  auto err = items.next().value();
  ASSERT_FALSE(err);
  EXPECT_EQ(err.error()->message(), "bad candidate");
  EXPECT_EQ(items.next().value().value(), "p2");
  EXPECT_FALSE(items.next().has_value());
  EXPECT_FALSE(items.next().has_value());
  EXPECT_EQ(asked, 4);
}

}  // namespace
}  // namespace kestro::project
