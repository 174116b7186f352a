// Synchronous reading of what arrives piece by piece: a response body read
// as a file, the reader handed out for a remote project's file, the copy
// loop that consumes such readers, and an iterator over a stream of
// candidates. A failure that arrives midway is always reported as a failure,
// never as an early end of input.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "kestro/project/source_reader.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::project {

// A body received as a sequence of byte pieces, each of which may instead
// be a receive failure. The HTTP client's response bodies implement it.
class BodyStream {
 public:
  // The failure is the implementer's own error (the HTTP client's, a layer
  // this one does not see).
  using Item = std::expected<std::string, ErrorPtr>;
  virtual ~BodyStream() = default;
  // The next piece or failure; none at the end of the body. Not called again
  // after a failure or the end.
  virtual std::optional<Item> next() = 0;
};

// A body as a reader: a read copies from the piece held (at most its rest),
// waits for the next non-empty piece when none is held, and returns 0 at
// the end. A receive failure is returned from the read that meets it, as an
// I/O error with the client's text; every read after it returns 0.
class BodyReader : public SourceReader {
 public:
  explicit BodyReader(std::unique_ptr<BodyStream> body) : body_(std::move(body)) {}
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override;

 private:
  std::unique_ptr<BodyStream> body_;
  std::string piece_;
  std::size_t pos_ = 0;
  bool ended_ = false;
};

// The reader handed out for a file of a project that lives behind the
// network: each read is one read of the inner reader, returned unchanged (no
// buffering, no retry). It keeps `keep_alive` (the client or connection the
// inner reader depends on) for as long as it exists.
class BlockingSourceReader : public SourceReader {
 public:
  BlockingSourceReader(SourceReaderPtr inner, std::shared_ptr<const void> keep_alive = {})
      : inner_(std::move(inner)), keep_alive_(std::move(keep_alive)) {}
  std::expected<std::size_t, IoError> read(std::span<char> buffer) override { return inner_->read(buffer); }

 private:
  SourceReaderPtr inner_;
  std::shared_ptr<const void> keep_alive_;
};

// Copies everything `reader` yields to descriptor `fd` through an 8192-byte
// buffer and returns the number of bytes copied. An interrupted read is
// repeated; any other read error, or a failed write, ends the copy with
// that error.
std::expected<std::uint64_t, IoError> copy_source(SourceReader& reader, int fd);

// An iterator over a stream of items (`std::optional<Item> next()`), each
// step one step of the stream: nothing is read ahead, items that are errors
// are passed on as items, and once the stream has ended every step gives
// none without asking the stream again.
template <typename Stream>
class BlockingStreamIter {
 public:
  explicit BlockingStreamIter(Stream stream) : stream_(std::move(stream)) {}
  auto next() -> decltype(std::declval<Stream&>().next()) {
    if (ended_) return std::nullopt;
    auto item = stream_.next();
    if (!item) ended_ = true;
    return item;
  }

 private:
  Stream stream_;
  bool ended_ = false;
};

}  // namespace kestro::project
