// The decoding procedure of RFC 3492 section 6.2, with the bootstring
// parameters of section 5 and overflow checks on 32-bit arithmetic.
#include "kestro/utils/punycode.hpp"

#include <cstdint>
#include <vector>

#include "kestro/utils/text.hpp"

namespace kestro {
namespace {

constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTMin = 1;
constexpr std::uint32_t kTMax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 0x80;
constexpr std::uint32_t kMax = 0xFFFFFFFF;

// The value of a base-36 digit (a-z, A-Z: 0-25; 0-9: 26-35), or kBase.
std::uint32_t digit_value(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a');
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 'A');
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0') + 26;
  return kBase;
}

std::uint32_t adapt(std::uint32_t delta, std::uint32_t num_points, bool first_time) {
  delta = first_time ? delta / kDamp : delta / 2;
  delta += delta / num_points;
  std::uint32_t k = 0;
  while (delta > ((kBase - kTMin) * kTMax) / 2) {
    delta /= kBase - kTMin;
    k += kBase;
  }
  return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

bool is_scalar_value(std::uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

}  // namespace

std::optional<std::string> punycode_decode(std::string_view encoded) {
  std::vector<char32_t> output;
  std::size_t in = 0;
  if (std::size_t delimiter = encoded.rfind('-'); delimiter != std::string_view::npos) {
    for (std::size_t j = 0; j < delimiter; ++j) {
      if (static_cast<unsigned char>(encoded[j]) >= 0x80) return std::nullopt;
      output.push_back(static_cast<char32_t>(encoded[j]));
    }
    // Without basic code points a leading `-` is no delimiter (and then
    // fails as a digit).
    if (delimiter > 0) in = delimiter + 1;
  }
  std::uint32_t n = kInitialN;
  std::uint32_t i = 0;
  std::uint32_t bias = kInitialBias;
  while (in < encoded.size()) {
    const std::uint32_t old_i = i;
    std::uint32_t w = 1;
    for (std::uint32_t k = kBase;; k += kBase) {
      if (in >= encoded.size()) return std::nullopt;
      const std::uint32_t digit = digit_value(encoded[in++]);
      if (digit >= kBase) return std::nullopt;
      if (digit > (kMax - i) / w) return std::nullopt;
      i += digit * w;
      const std::uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
      if (digit < t) break;
      if (w > kMax / (kBase - t)) return std::nullopt;
      w *= kBase - t;
    }
    const auto count = static_cast<std::uint32_t>(output.size() + 1);
    bias = adapt(i - old_i, count, old_i == 0);
    if (i / count > kMax - n) return std::nullopt;
    n += i / count;
    i %= count;
    if (!is_scalar_value(n)) return std::nullopt;
    output.insert(output.begin() + i, static_cast<char32_t>(n));
    ++i;
  }
  std::string out;
  out.reserve(output.size());
  for (char32_t cp : output) append_utf8(out, cp);
  return out;
}

}  // namespace kestro
