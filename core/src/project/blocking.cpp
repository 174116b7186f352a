#include "kestro/project/blocking.hpp"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "kestro/utils/fs.hpp"

namespace kestro::project {

std::expected<std::size_t, IoError> BodyReader::read(std::span<char> buffer) {
  while (!ended_ && pos_ == piece_.size()) {
    auto item = body_->next();
    if (!item) {
      ended_ = true;
    } else if (!*item) {
      ended_ = true;
      const ErrorPtr& err = item->error();
      return std::unexpected(IoError::custom(err ? err->message() : std::string("receive failure")));
    } else {
      piece_ = std::move(**item);
      pos_ = 0;
    }
  }
  if (ended_) return 0;
  std::size_t n = std::min(buffer.size(), piece_.size() - pos_);
  std::memcpy(buffer.data(), piece_.data() + pos_, n);
  pos_ += n;
  return n;
}

std::expected<std::uint64_t, IoError> copy_source(SourceReader& reader, int fd) {
  char buffer[8192];
  std::uint64_t total = 0;
  for (;;) {
    auto n = reader.read(buffer);
    if (!n) {
      if (n.error().code() == EINTR) continue;
      return std::unexpected(std::move(n.error()));
    }
    if (*n == 0) return total;
    if (!write_all(fd, std::string_view(buffer, *n))) return std::unexpected(IoError::last());
    total += *n;
  }
}

}  // namespace kestro::project
