// The one owning file-descriptor type: move-only, closes its descriptor on
// destruction.
#pragma once

#include <unistd.h>

#include <utility>

namespace kestro {

class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  // Gives up ownership: the caller closes the descriptor.
  int release() noexcept { return std::exchange(fd_, -1); }
  // Closes the held descriptor, if any, and takes `fd`.
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the result of close(2) (false with errno set), for
  // writers whose data is only known safe once close succeeded.
  bool close() noexcept { return ::close(release()) == 0; }

 private:
  int fd_ = -1;
};

}  // namespace kestro
