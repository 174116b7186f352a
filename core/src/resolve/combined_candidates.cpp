// The combined resolver's lazy answer and the remote chain behind it.
#include "kestro/resolve/combined_resolver.hpp"

#include <utility>

namespace kestro::resolve {

namespace {

// A remote or index candidate as the combined kinds hold it: paired with
// the installed copy of the same content when there is one (`Cached`), on
// its own (`Plain`) otherwise.
template <typename Cached, typename Plain, typename Candidate>
CombinedProject paired_with_installed_copy(LocalCacheMap& local_by_checksum, Candidate candidate) {
  if (auto copy = match_local_cache(local_by_checksum, candidate))
    return CombinedProject(Cached{std::move(*copy), std::move(candidate)});
  return CombinedProject(Plain{std::move(candidate)});
}

}  // namespace

std::optional<RemoteChain::Item> RemoteChain::next_http() {
  if (!http_) return std::nullopt;
  if (auto project = http_->next()) return Item(std::move(*project));
  http_.reset();
  return std::nullopt;
}

std::optional<RemoteChain::Item> RemoteChain::next_git() {
  if (!git_) return std::nullopt;
  if (auto candidate = git_->next()) {
    if (*candidate) return Item(std::move(**candidate));
    return Item(std::move(candidate->error()));
  }
  git_.reset();
  return std::nullopt;
}

std::optional<RemoteChain::Item> RemoteChain::next() {
  auto first = http_first_ ? &RemoteChain::next_http : &RemoteChain::next_git;
  auto second = http_first_ ? &RemoteChain::next_git : &RemoteChain::next_http;
  if (auto item = (this->*first)()) return item;
  return (this->*second)();
}

HttpOrGitProject remote_candidate_of(RemoteChain::Item item) {
  if (auto* http = std::get_if<HttpProject>(&item)) return remote_candidate(std::move(*http));
  return HttpOrGitProject(HttpOrGitProject::Git{std::move(std::get<RemoteGitProject>(item))});
}

std::optional<CombinedItem> CombinedCandidates::wrap_cached_candidate() {
  for (;;) {
    if (auto* files = std::get_if<FileCandidates>(&state_)) {
      if (auto project = files->files->next()) return CombinedProject(CombinedProject::FileProject{std::move(*project)});
      state_ = Ended{};
      return std::nullopt;
    }
    if (auto* remote = std::get_if<RemoteCandidates>(&state_)) {
      std::optional<HttpOrGitProject> candidate = std::exchange(remote->look_ahead, std::nullopt);
      if (!candidate) {
        auto item = remote->chain.next();
        if (!item) {
          state_ = DanglingLocal{};
          continue;
        }
        if (auto* err = std::get_if<RemoteGitError>(&*item))
          return std::unexpected(CombinedResolverError::Remote{std::move(*err)});
        candidate = remote_candidate_of(std::move(*item));
      }
      return paired_with_installed_copy<CombinedProject::CachedRemoteProject, CombinedProject::RemoteProject>(
          local_by_checksum_, std::move(*candidate));
    }
    if (auto* index = std::get_if<IndexCandidates>(&state_)) {
      auto item = index->stream->next();
      if (!item) {
        state_ = DanglingLocal{};
        continue;
      }
      auto candidate = wrap_index_candidate(std::move(*item));
      if (!candidate) return std::unexpected(CombinedResolverError::Index{std::move(candidate.error())});
      return paired_with_installed_copy<CombinedProject::CachedIndexProject, CombinedProject::IndexProject>(
          local_by_checksum_, std::move(*candidate));
    }
    if (std::holds_alternative<DanglingLocal>(state_)) {
      if (auto entry = local_by_checksum_.pop_back())
        return CombinedProject(CombinedProject::DanglingLocalProject{std::move(entry->second)});
      state_ = Ended{};
    }
    return std::nullopt;
  }
}

}  // namespace kestro::resolve
