#include "kestro/http/body_text.hpp"

#include <array>
#include <memory>
#include <utility>

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/ustring.h>

#include "kestro/utils/error.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::http {

namespace {

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The converter name for a charset label.
std::string converter_name(const std::optional<std::string>& label) {
  if (!label) return "UTF-8";
  static constexpr std::string_view kWindows1252[] = {"iso-8859-1", "iso8859-1", "latin1", "l1", "us-ascii",
                                                      "ascii", "cp1252", "windows-1252", "x-cp1252"};
  for (std::string_view alias : kWindows1252)
    if (*label == alias) return "windows-1252";
  return *label;
}

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

void append_utf8(std::string& out, const UChar* units, int32_t count) {
  if (count == 0) return;
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(count) * 3);
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data() + old, count * 3, &written, units, count, 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) internal_error("a UTF-16 to UTF-8 conversion failed");
  out.resize(old + static_cast<std::size_t>(written));
}

// Converts with ICU in pieces of a fixed size, so the text costs about its
// own size once more; malformed input becomes U+FFFD.
std::string convert_to_utf8(std::string_view bytes, const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterDeleter> conv(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    conv.reset(ucnv_open("UTF-8", &status));
    if (U_FAILURE(status)) internal_error("the UTF-8 converter is not available");
  }
  ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  std::string out;
  out.reserve(bytes.size());
  std::array<UChar, 16384> units;
  const char* source = bytes.data();
  const char* const source_end = bytes.data() + bytes.size();
  std::optional<UChar> carried;  // a lead surrogate whose trail comes next round
  for (;;) {
    UChar* target = units.data();
    if (carried) *target++ = *std::exchange(carried, std::nullopt);
    status = U_ZERO_ERROR;
    ucnv_toUnicode(conv.get(), &target, units.data() + units.size(), &source, source_end, nullptr, true, &status);
    const bool more = status == U_BUFFER_OVERFLOW_ERROR;
    if (U_FAILURE(status) && !more) internal_error("a character conversion failed");
    auto count = static_cast<int32_t>(target - units.data());
    if (more && count > 0 && U16_IS_LEAD(units[static_cast<std::size_t>(count) - 1])) carried = units[static_cast<std::size_t>(--count)];
    append_utf8(out, units.data(), count);
    if (!more) return out;
  }
}

}  // namespace

std::optional<std::string> content_type_charset(std::string_view content_type) {
  std::size_t semi = content_type.find(';');
  while (semi != std::string_view::npos) {
    std::string_view rest = content_type.substr(semi + 1);
    std::size_t next = rest.find(';');
    std::string_view param = trim_blanks(rest.substr(0, next));
    std::size_t eq = param.find('=');
    if (eq != std::string_view::npos && ascii_lowercase(trim_blanks(param.substr(0, eq))) == "charset") {
      std::string_view value = trim_blanks(param.substr(eq + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      return ascii_lowercase(value);
    }
    semi = next == std::string_view::npos ? next : semi + 1 + next;
  }
  return std::nullopt;
}

std::string decode_body_text(std::string body, std::optional<std::string_view> content_type) {
  const std::optional<std::string> label = content_type ? content_type_charset(*content_type) : std::nullopt;
  const bool utf8_declared = !label || *label == "utf-8" || *label == "utf8";
  // The usual answer, UTF-8 without a byte-order mark, is its own text.
  if (utf8_declared && !body.starts_with("\xEF\xBB\xBF") && !body.starts_with("\xFE\xFF") &&
      !body.starts_with("\xFF\xFE") && is_valid_utf8(body))
    return body;
  return decode_body_text(std::string_view(body), content_type);
}

std::string decode_body_text(std::string_view body, std::optional<std::string_view> content_type) {
  if (body.starts_with("\xEF\xBB\xBF")) return convert_to_utf8(body.substr(3), "UTF-8");
  if (body.starts_with("\xFE\xFF")) return convert_to_utf8(body.substr(2), "UTF-16BE");
  if (body.starts_with("\xFF\xFE")) return convert_to_utf8(body.substr(2), "UTF-16LE");
  return convert_to_utf8(body, converter_name(content_type ? content_type_charset(*content_type) : std::nullopt));
}

}  // namespace kestro::http
