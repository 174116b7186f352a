#include "kestro/error.hpp"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro {

std::string render_error_chain(const Error& error) {
  std::string text = error.message();
  bool first = true;
  for (const Error* next = error.cause(); next != nullptr; next = next->cause()) {
    if (first) {
      text += '\n';
      first = false;
    }
    text += "  caused by: ";
    text += next->message();
    text += '\n';
  }
  return text;
}

std::string os_error_text(int code) {
  char buf[256];
  // GNU strerror_r returns the text, possibly not in buf.
  const char* text = strerror_r(code, buf, sizeof buf);
  return fmt::format("{} (os error {})", text, code);
}

IoError IoError::last() { return from_errno(errno); }

bool IoError::is_not_found() const { return text_.empty() && code_ == ENOENT; }

std::string IoError::message() const {
  if (!text_.empty() || code_ == 0) return text_;
  return os_error_text(code_);
}

std::string IndexError::message() const {
  std::string text = render_error_chain(*inner_);
  if (suggestion_) {
    text += "\n\nnote: ";
    text += *suggestion_;
  }
  return text;
}

std::string IndexError::debug() const {
  return fmt::format("IndexError {{ suggestion: {}, inner: {} }}",
                     suggestion_ ? fmt::format("Some({})", debug_quote(*suggestion_)) : std::string("None"),
                     inner_->debug());
}

void internal_error(std::string_view what) {
  throw InternalError(std::string("internal error: ") + std::string(what));
}

}  // namespace kestro
