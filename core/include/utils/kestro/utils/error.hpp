// Error values of the package manager: every failure is a value with a fixed
// display text and at most one cause; render_error_chain turns a whole chain
// into one text. Broken preconditions are programming errors and throw
// InternalError, which entry layers turn into an exception of their own.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestro {

class Error {
 public:
  virtual ~Error() = default;
  // The display text: lower case, no trailing full stop or line feed.
  virtual std::string message() const = 0;
  // The next error of the chain, or nullptr. Borrowed from this error.
  virtual const Error* cause() const { return nullptr; }
  // Diagnostic form: the variant's name and fields.
  virtual std::string debug() const { return message(); }
};

// An error of a type the holder does not name: the cause of a plain
// MessageError, and fields of error sums whose type lives in a layer above.
using ErrorPtr = std::shared_ptr<const Error>;

// The head text, then, when there are causes, a line feed and one
// "  caused by: {cause}\n" line per cause, nearest first.
std::string render_error_chain(const Error& error);

// A plain error: a text and an optional cause. Used by facilities whose
// errors are only a message (parsers, readers) and by wrappers that add a
// message in front of another error.
class MessageError : public Error {
 public:
  explicit MessageError(std::string text, ErrorPtr cause = nullptr)
      : text_(std::move(text)), cause_(std::move(cause)) {}
  std::string message() const override { return text_; }
  const Error* cause() const override { return cause_.get(); }

 private:
  std::string text_;
  ErrorPtr cause_;
};

template <typename E, typename... Args>
ErrorPtr make_error(Args&&... args) {
  return std::make_shared<const E>(std::forward<Args>(args)...);
}

// An operating-system I/O error (an errno value) or an I/O failure that the
// system describes with its own text (for example invalid UTF-8 content).
class IoError : public Error {
 public:
  static IoError from_errno(int code) { return IoError(code, {}); }
  static IoError custom(std::string text) { return IoError(0, std::move(text)); }
  // The current errno.
  static IoError last();

  int code() const { return code_; }
  bool is_not_found() const;
  std::string message() const override;

 private:
  IoError(int code, std::string text) : code_(code), text_(std::move(text)) {}
  int code_;
  std::string text_;
};

// "No such file or directory (os error 2)": the one rendering of an errno
// value inside messages.
std::string os_error_text(int code);

// A broken precondition between components. Never a user-facing failure.
class InternalError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

[[noreturn]] void internal_error(std::string_view what);

}  // namespace kestro
