#include "kestro/utils/toml_error.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::toml {

namespace {

size_t count_chars(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

std::string Error::message() const {
  std::string out;
  if (span_ && input_) {
    std::string_view input = *input_;
    const size_t begin = std::min(span_->begin, input.size());
    const size_t line_start = begin == 0 ? 0 : input.rfind('\n', begin - 1) + 1;
    const size_t line_number = static_cast<size_t>(std::count(input.begin(), input.begin() + begin, '\n')) + 1;
    size_t line_end = input.find('\n', begin);
    if (line_end == std::string_view::npos) line_end = input.size();
    std::string_view line = input.substr(line_start, line_end - line_start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      line_end = line_start + line.size();
    }
    const size_t column = count_chars(input.substr(line_start, begin - line_start)) + 1;
    const size_t carets = std::max<size_t>(1, std::min(span_->end, line_end) - std::min(begin, line_end));
    const std::string gutter(fmt::formatted_size("{}", line_number) + 1, ' ');
    out = fmt::format("TOML parse error at line {}, column {}\n", line_number, column);
    out += gutter + "|\n";
    out += fmt::format("{} | {}\n", line_number, utf8_lossy(line));
    out += gutter + "|" + std::string(column, ' ') + std::string(carets, '^') + "\n";
    out += reason_;
    out += '\n';
    return out;
  }
  out = reason_;
  out += '\n';
  if (!keys_.empty()) {
    out += "in `";
    for (size_t i = keys_.size(); i-- > 0;) {
      out += keys_[i];
      if (i != 0) out += '.';
    }
    out += "`\n";
  }
  return out;
}

std::string Error::debug() const {
  std::string span = span_ ? fmt::format("{}..{}", span_->begin, span_->end) : "none";
  return fmt::format("TomlError {{ reason: {}, span: {} }}", debug_quote(reason_), span);
}

}  // namespace kestro::toml
