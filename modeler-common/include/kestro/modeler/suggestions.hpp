// "Did you mean" candidates for a name the model does not have, and the text
// reported when requested views were not found.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestro::modeler {

// Normalised Levenshtein similarity in 0..1 of the two texts after full
// Unicode lower-casing (root locale), counted in scalar values; 1.0 when both
// are empty.
double name_similarity(std::string_view a, std::string_view b);

// At most `max` of the candidates, unchanged, whose similarity to `input` is
// above 0.4, best first; equal scores keep their given order.
std::vector<std::string> suggest_similar_names(std::string_view input, std::span<const std::string> candidates,
                                               std::size_t max);

// The head line listing the missing names, then for each missing name with
// suggestions (from the available names other than itself, five at most)
// "Did you mean" and one quoted suggestion a line. No final line feed.
std::string render_missing_views_message(std::span<const std::string> missing, std::span<const std::string> available);

}  // namespace kestro::modeler
