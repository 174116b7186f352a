#include "kestro/index/index_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::index {

std::string IndexError::message() const {
  std::string text = render_error_chain(*inner_);
  if (suggestion_) {
    text += "\n\nnote: ";
    text += *suggestion_;
  }
  return text;
}

std::string IndexError::debug() const {
  return fmt::format("IndexError {{ suggestion: {}, inner: {} }}", debug_option(suggestion_), inner_->debug());
}

}  // namespace kestro::index
