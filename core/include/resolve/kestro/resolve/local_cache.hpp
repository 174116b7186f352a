// Pairing a remote or index candidate with a copy of the same project that
// the local environment already holds: the copy whose canonical checksum
// equals the candidate's is taken out of the resolution's local-cache map,
// so each copy serves at most one candidate.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <optional>
#include <string_view>
#include <utility>

#include "kestro/project/local_src.hpp"
#include "kestro/remote/http_project.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/source_project.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/ordered_map.hpp"

namespace kestro::resolve {

// The installed copies found for one usage, keyed by canonical checksum (64
// lower-case hex digits), in the order they were found.
using LocalCacheMap = OrderedMap<LocalSrcProject>;

// The copy for `candidate`, removed from `cache` (the other entries keep
// their order), or none. Nothing is computed when `cache` is empty. A failed
// checksum is logged at debug level with `kind_word` and counts as no copy;
// a candidate without both records is no copy either. Keys are compared
// byte for byte.
template <typename P>
std::optional<LocalSrcProject> match_local_cache_as(LocalCacheMap& cache, const P& candidate,
                                                    std::string_view kind_word) {
  if (cache.empty()) return std::nullopt;
  auto checksum = candidate.checksum_canonical_hex();
  if (!checksum) {
    constexpr std::string_view kTarget = "kestro_core::resolve::combined";
    if (log::enabled(log::Level::Debug, kTarget))
      log::debug(kTarget, "{}-project checksum_canonical_hex failed; skipping local-cache match: {}", kind_word,
                 render_error_chain(checksum.error()));
    return std::nullopt;
  }
  if (!*checksum) return std::nullopt;
  LocalSrcProject* found = cache.find(**checksum);
  if (!found) return std::nullopt;
  LocalSrcProject copy = std::move(*found);
  cache.erase(**checksum);
  return copy;
}

// The remote forms: a candidate of the HTTP resolver, or a remote candidate
// (HTTP or git) as the combined resolver holds it.
inline std::optional<LocalSrcProject> match_local_cache(LocalCacheMap& cache, const HttpProject& candidate) {
  return match_local_cache_as(cache, candidate, "remote");
}
inline std::optional<LocalSrcProject> match_local_cache(LocalCacheMap& cache, const HttpOrGitProject& candidate) {
  return match_local_cache_as(cache, candidate, "remote");
}

// The index form: an index candidate as the combined resolver holds it.
inline std::optional<LocalSrcProject> match_local_cache(LocalCacheMap& cache, const IndexEntryHandle& candidate) {
  return match_local_cache_as(cache, *candidate, "index");
}

}  // namespace kestro::resolve
