// The resolver every command uses to turn one usage into candidate projects.
// It asks its members in a fixed order: the file resolver, the installed
// environment, the HTTP and git resolvers, then the indexes. The first of
// the file, remote and index sources that has candidates answers; what the
// environment holds is collected before the remote and index sources are
// asked and travels with the answer, so that a remote or index candidate
// already installed is handed out as its installed copy, and installed
// versions no candidate claimed come out last.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <optional>
#include <variant>

#include "kestro/auth/policy.hpp"
#include "kestro/env/local_directory.hpp"
#include "kestro/http/client.hpp"
#include "kestro/resolve/combined_project.hpp"
#include "kestro/resolve/file_resolver.hpp"
#include "kestro/resolve/git_resolver.hpp"
#include "kestro/resolve/http_resolver.hpp"
#include "kestro/resolve/index_resolver.hpp"
#include "kestro/resolve/local_cache.hpp"
#include "kestro/resolve/local_resolver.hpp"
#include "kestro/resolve/outcome.hpp"
#include "kestro/resolve/sequential.hpp"

namespace kestro::resolve {

inline constexpr const char* kNoResolverSupports = "no resolver supports the project type";
inline constexpr const char* kNoResolverResolved = "no resolver was able to resolve the project";

// One item of the combined sequence: a project, or an error met on the way.
using CombinedItem = std::expected<CombinedProject, CombinedResolverError>;

// The HTTP resolver's candidates and the git resolver's one item, each part
// drained once, in the order `http_first` says.
class RemoteChain {
 public:
  using Item = std::variant<HttpProject, RemoteGitProject, RemoteGitError>;

  // A part is none when its resolver is absent or did not resolve the usage.
  RemoteChain(SequencePtr<HttpProject> http, SequencePtr<GitCandidate> git, bool http_first)
      : http_(std::move(http)), git_(std::move(git)), http_first_(http_first) {}

  // The next item, or none once both parts are used up (and on every later
  // call).
  std::optional<Item> next();

 private:
  std::optional<Item> next_http();
  std::optional<Item> next_git();

  SequencePtr<HttpProject> http_;
  SequencePtr<GitCandidate> git_;
  bool http_first_;
};

// A remote item that is a project, as the combined kinds hold it.
HttpOrGitProject remote_candidate_of(RemoteChain::Item item);

// The lazy answer of the combined resolver. Each pull hands out the next
// candidate of the source that resolved the usage; a remote candidate whose
// canonical checksum equals an installed copy's comes out paired with that
// copy (each copy serves one candidate); installed copies left over come
// out last, in the order the environment listed them.
class CombinedCandidates : public ItemSequence<CombinedItem> {
 public:
  // The file resolver's projects; nothing follows them.
  struct FileCandidates {
    SequencePtr<LocalPathProject> files;
  };
  // The rest of the remote chain, its first usable candidate already taken
  // and held in `look_ahead`.
  struct RemoteCandidates {
    RemoteChain chain;
    std::optional<HttpOrGitProject> look_ahead;
  };
  // The index resolvers' candidates, in the order of the configured indexes.
  struct IndexCandidates {
    SequencePtr<IndexCandidateItem> stream;
  };
  // Only the installed copies are left.
  struct DanglingLocal {};
  struct Ended {};
  using State = std::variant<FileCandidates, RemoteCandidates, IndexCandidates, DanglingLocal, Ended>;

  // `local_by_checksum` in reversed order: its last entry is handed out
  // first.
  CombinedCandidates(State state, LocalCacheMap local_by_checksum)
      : state_(std::move(state)), local_by_checksum_(std::move(local_by_checksum)) {}

  std::optional<CombinedItem> next() override { return wrap_cached_candidate(); }
  std::optional<CombinedItem> wrap_cached_candidate();

  const State& state() const { return state_; }
  const LocalCacheMap& local_by_checksum() const { return local_by_checksum_; }

 private:
  State state_;
  LocalCacheMap local_by_checksum_;
};

// The HTTP and git members; `http_first` hands the HTTP candidates out
// before the git one.
struct RemoteResolver {
  std::optional<HttpResolver> http;
  std::optional<GitResolver> git;
  bool http_first = true;
};

class CombinedResolver : public Resolver<CombinedItem, CombinedResolverError> {
 public:
  using Outcome = ResolutionOutcome<CombinedItem>;

  // Every member is optional; a resolver with none answers every usage
  // with UnsupportedUsageType.
  std::optional<FileResolver> file;
  std::optional<LocalResolver<LocalDirectoryEnv>> local;
  std::optional<RemoteResolver> remote;
  // One resolver per configured index, in the order of the locations.
  std::optional<SequentialResolver<IndexCandidateItem, IndexEnvError>> index;

  // Stages in order, each ending the call when it answers:
  // - file: Resolved hands out its projects and nothing else is asked, not
  //   even the environment; a refusal (`Unresolvable`) ends the call with
  //   the refusal for every source;
  // - local: each installed version readable with both records goes into
  //   the map under its canonical checksum (a repeated checksum keeps its
  //   place and takes the later project); the map is then reversed;
  // - remote: the chain's first item whose records can both be read starts
  //   the answer (HTTP candidates the probe rejects are dropped unlogged);
  // - index: its candidates, read only when pulled;
  // - otherwise: installed copies alone, or why nothing was found.
  // Negative member answers and skipped candidates are debug lines only.
  std::expected<Outcome, CombinedResolverError> resolve(const UsageInContext& usage) override;
};

// The standard resolver: the file resolver with no directory restriction,
// the given environment, and, with an HTTP client, the HTTP resolver (slash
// rewrite on) before the git resolver, and one index resolver per location
// (each with its own copy of the client).
CombinedResolver build_combined_resolver(std::optional<LocalResolver<LocalDirectoryEnv>> local,
                                         std::optional<http::Client> client,
                                         std::optional<std::vector<IndexLocation>> index_locations,
                                         AuthPolicy auth_policy);

}  // namespace kestro::resolve
