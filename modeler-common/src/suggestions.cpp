#include "kestro/modeler/suggestions.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

#include <fmt/format.h>
#include "kestro/modeler/lower_case.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::modeler {

namespace {

// The text lower-cased with the full mapping of the root locale, as scalar
// values (invalid UTF-8 is read as U+FFFD).
std::u32string lowered_scalars(std::string_view text) {
  const std::string lowered = full_lower_case(text);
  std::u32string out;
  out.reserve(lowered.size());
  for (std::size_t i = 0; i < lowered.size();) {
    char32_t c = 0;
    i += decode_utf8(lowered, i, &c);  // ICU's output is valid UTF-8
    out += c;
  }
  return out;
}

std::size_t levenshtein(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

double similarity(const std::u32string& a, const std::u32string& b) {
  const std::size_t longest = std::max(a.size(), b.size());
  if (longest == 0) return 1.0;
  return 1.0 - static_cast<double>(levenshtein(a, b)) / static_cast<double>(longest);
}

}  // namespace

double name_similarity(std::string_view a, std::string_view b) {
  return similarity(lowered_scalars(a), lowered_scalars(b));
}

std::vector<std::string> suggest_similar_names(std::string_view input, std::span<const std::string> candidates,
                                               std::size_t max) {
  const std::u32string wanted = lowered_scalars(input);
  std::vector<std::pair<double, const std::string*>> kept;
  for (const auto& candidate : candidates) {
    const double score = similarity(wanted, lowered_scalars(candidate));
    if (score > 0.4) kept.emplace_back(score, &candidate);
  }
  std::ranges::stable_sort(kept, [](const auto& x, const auto& y) { return x.first > y.first; });
  std::vector<std::string> out;
  for (std::size_t i = 0; i < kept.size() && i < max; ++i) out.push_back(*kept[i].second);
  return out;
}

std::string render_missing_views_message(std::span<const std::string> missing, std::span<const std::string> available) {
  std::string out = "Some views not found, were empty, or are not table/matrix views: " + debug_list(missing);
  for (const auto& name : missing) {
    std::vector<std::string> others;
    for (const auto& candidate : available)
      if (candidate != name) others.push_back(candidate);
    const auto suggestions = suggest_similar_names(name, others, 5);
    if (suggestions.empty()) continue;
    out += fmt::format("\n  Did you mean (for {})?", name);
    for (const auto& suggestion : suggestions) out += fmt::format("\n    \"{}\"", suggestion);
  }
  return out;
}

}  // namespace kestro::modeler
