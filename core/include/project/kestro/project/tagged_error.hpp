// The variants of a sum of project kinds' errors: each says which inner kind
// failed and shows that kind's error exactly (its text, its cause and so its
// whole chain); which kind failed is visible only to code that inspects the
// variant. And the dispatch that runs an operation on the kind a sum holds,
// tagging a failure with that kind's variant.
#pragma once

#include "kestro/project/namespace.hpp"

#include <algorithm>
#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "kestro/project/checksum.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::project {

// A variant name usable as a template argument.
template <std::size_t N>
struct VariantName {
  char text[N];
  constexpr VariantName(const char (&name)[N]) { std::copy_n(name, N, text); }
};

// One variant of a wrapper: the inner error, shown as it is.
template <VariantName Name, typename E>
struct Tagged {
  E err;
};

struct TaggedShapes {
  template <VariantName N, typename E>
  static std::string text_of(const Tagged<N, E>& v) {
    return v.err.message();
  }
  template <VariantName N, typename E>
  static std::string debug_of(const Tagged<N, E>& v) {
    return std::string(N.text) + "(" + v.err.debug() + ")";
  }
  template <VariantName N, typename E>
  static const Error* cause_of(const Tagged<N, E>& v) {
    return v.err.cause();
  }
};

// Runs `op` on the kind `kinds` holds and tags a failure with that kind's
// variant of `E` (the kind's `error_tag`). Adding a kind adds its
// alternative and its tag; the operations stay as they are.
template <typename E, typename Kinds, typename Op>
auto dispatch_tagged(const Kinds& kinds, Op&& op) {
  return std::visit(
      [&](const auto& kind) {
        using Kind = std::remove_cvref_t<decltype(kind)>;
        auto result = op(kind);
        using T = typename decltype(result)::value_type;
        if (!result) return std::expected<T, E>(std::unexpect, E(typename Kind::error_tag{std::move(result.error())}));
        return std::expected<T, E>(std::move(*result));
      },
      kinds);
}

// The canonical checksum of the kind `kinds` holds, computed as that kind
// computes it, a project failure tagged with the kind's variant of `E`.
template <typename E, typename Kinds, typename Project>
auto dispatch_canonical(const Kinds& kinds, Project&& project_of)
    -> std::expected<std::optional<std::string>, CanonicalizationError<E>> {
  using CE = CanonicalizationError<E>;
  return std::visit(
      [&](const auto& kind) -> std::expected<std::optional<std::string>, CE> {
        using Tag = typename std::remove_cvref_t<decltype(kind)>::error_tag;
        auto result = project_of(kind).checksum_canonical_hex();
        if (result) return std::move(*result);
        return std::unexpected(result.error().map_project_error([](const auto& inner) { return E(Tag{inner}); }));
      },
      kinds);
}

}  // namespace kestro::project
