// The combined resolver's stages: file, installed environment, remote.
#include "kestro/resolve/combined_resolver.hpp"

#include <memory>
#include <utility>

#include "kestro/project/checksum.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::resolve {

namespace {

constexpr std::string_view kCombinedTarget = "kestro_core::resolve::combined";
constexpr std::string_view kRemoteTarget = "kestro_core::resolve::remote";

bool debugging(std::string_view target) { return log::enabled(log::Level::Debug, target); }

using Outcome = CombinedResolver::Outcome;

Outcome resolved(CombinedCandidates::State state, LocalCacheMap local_by_checksum) {
  return Outcome{Outcome::Resolved{std::make_unique<CombinedCandidates>(std::move(state), std::move(local_by_checksum))}};
}

// The candidates of a resolved answer, none otherwise (after logging it and
// noting whether the member handles this kind of usage).
template <typename T>
SequencePtr<T> candidates_or_log(OutcomeConsumer consumer, const UsageInContext& usage,
                                 ResolutionOutcome<T>& outcome, bool& supported) {
  if (auto* found = std::get_if<typename ResolutionOutcome<T>::Resolved>(&outcome.value))
    return std::move(found->candidates);
  log_outcome(consumer, usage, outcome);
  if (!std::holds_alternative<typename ResolutionOutcome<T>::UnsupportedUsageType>(outcome.value)) supported = true;
  return nullptr;
}

// The installed versions of the usage that can be read with both records,
// keyed by canonical checksum in the environment's order; the rest are
// debug lines.
std::expected<std::optional<LocalCacheMap>, CombinedResolverError> collect_installed(
    LocalResolver<LocalDirectoryEnv>& local, const UsageInContext& usage, bool& supported) {
  auto answer = local.resolve(usage);
  if (!answer) return std::unexpected(CombinedResolverError::Local{std::move(answer.error())});
  auto installed = candidates_or_log(OutcomeConsumer::Local, usage, *answer, supported);
  if (!installed) return std::nullopt;
  LocalCacheMap found;
  while (auto project = installed->next()) {
    auto checksum = canonical_checksum_hex(*project, RecordCheck::BeforeEntries);
    if (!checksum) {
      if (debugging(kCombinedTarget))
        log::debug(kCombinedTarget, "local resolver rejected project {}: {}", usage.label(),
                   render_error_chain(checksum.error()));
      continue;
    }
    if (!*checksum) {
      if (debugging(kCombinedTarget))
        log::debug(kCombinedTarget, "local resolver rejected project {}: no `.project.json` or `.meta.json`",
                   usage.label());
      continue;
    }
    found.insert_or_assign(std::move(**checksum), std::move(*project));
  }
  supported = true;
  return std::optional<LocalCacheMap>(std::move(found));
}

// The remote members' chain; a failure of the git resolver ends the call.
std::expected<RemoteChain, CombinedResolverError> build_remote_chain(RemoteResolver& remote,
                                                                     const UsageInContext& usage) {
  bool ignored = false;
  SequencePtr<HttpProject> http;
  if (remote.http) {
    // The HTTP resolver answers at once and never fails.
    if (auto answer = remote.http->resolve(usage))
      http = candidates_or_log(OutcomeConsumer::Http, usage, *answer, ignored);
  }
  SequencePtr<GitCandidate> git;
  if (remote.git) {
    auto answer = remote.git->resolve(usage);
    if (!answer)
      return std::unexpected(CombinedResolverError::Remote{std::move(answer.error())});
    git = candidates_or_log(OutcomeConsumer::Git, usage, *answer, ignored);
  }
  return RemoteChain(std::move(http), std::move(git), remote.http_first);
}

// The first item of the chain whose records can both be read, or none once
// the chain is used up; every item passed over is dropped.
std::optional<HttpOrGitProject> first_usable(RemoteChain& chain, const UsageInContext& usage) {
  while (auto item = chain.next()) {
    if (auto* err = std::get_if<RemoteGitError>(&*item)) {
      if (debugging(kRemoteTarget))
        log::debug(kRemoteTarget, "remote resolver skipping project for {} due to: {}", usage.label(),
                   render_error_chain(*err));
      continue;
    }
    // The probe drops an HTTP candidate that is certainly not there before
    // its records are read.
    if (auto* http = std::get_if<HttpProject>(&*item); http && http->read_info_meta()) continue;
    HttpOrGitProject candidate = remote_candidate_of(std::move(*item));
    auto records = candidate.get_project();
    if (!records) {
      if (debugging(kRemoteTarget))
        log::debug(kRemoteTarget, "remote resolver skipping project for {}: {}", usage.label(),
                   render_error_chain(records.error()));
      continue;
    }
    if (!records->first || !records->second) {
      if (debugging(kRemoteTarget))
        log::debug(kRemoteTarget, "remote resolver skipping project for {} due to missing info/meta", usage.label());
      continue;
    }
    return candidate;
  }
  if (debugging(kRemoteTarget))
    log::debug(kRemoteTarget, "remote resolver unable to find valid project for {}", usage.label());
  return std::nullopt;
}

}  // namespace

std::expected<Outcome, CombinedResolverError> CombinedResolver::resolve(const UsageInContext& usage) {
  bool supported = false;

  if (file) {
    auto answer = file->resolve(usage);
    if (!answer) return std::unexpected(CombinedResolverError::File{std::move(answer.error())});
    if (auto* refused = std::get_if<FileResolver::Outcome::Unresolvable>(&answer->value))
      return Outcome{Outcome::Unresolvable{file_refusal_reason(refused->reason)}};
    if (auto files = candidates_or_log(OutcomeConsumer::File, usage, *answer, supported))
      return resolved(CombinedCandidates::FileCandidates{std::move(files)}, {});
  }

  LocalCacheMap local_by_checksum;
  if (local) {
    auto installed = collect_installed(*local, usage, supported);
    if (!installed) return std::unexpected(std::move(installed.error()));
    if (*installed) local_by_checksum = std::move(**installed);
  }
  // Handed out from the end, the copies come out in the environment's order.
  local_by_checksum.reverse();

  if (remote) {
    auto chain = build_remote_chain(*remote, usage);
    if (!chain) return std::unexpected(std::move(chain.error()));
    if (auto candidate = first_usable(*chain, usage))
      return resolved(CombinedCandidates::RemoteCandidates{std::move(*chain), std::move(candidate)},
                      std::move(local_by_checksum));
    supported = true;
  }

  if (index) {
    auto answer = index->resolve(usage);
    if (!answer) return std::unexpected(CombinedResolverError::Index{std::move(answer.error())});
    if (auto stream = candidates_or_log(OutcomeConsumer::Index, usage, *answer, supported))
      return resolved(CombinedCandidates::IndexCandidates{std::move(stream)}, std::move(local_by_checksum));
  }

  if (!supported) return Outcome{Outcome::UnsupportedUsageType{kNoResolverSupports}};
  if (!local_by_checksum.empty()) return resolved(CombinedCandidates::DanglingLocal{}, std::move(local_by_checksum));
  return Outcome{Outcome::NotFound{kNoResolverResolved}};
}

CombinedResolver build_combined_resolver(std::optional<LocalResolver<LocalDirectoryEnv>> local,
                                         std::optional<http::Client> client,
                                         std::optional<std::vector<IndexLocation>> index_locations,
                                         AuthPolicy auth_policy) {
  CombinedResolver resolver;
  resolver.file.emplace();
  resolver.local = std::move(local);
  if (!client) return resolver;
  if (index_locations) {
    std::vector<std::unique_ptr<Resolver<IndexCandidateItem, IndexEnvError>>> indexes;
    for (IndexLocation& location : *index_locations)
      indexes.push_back(std::make_unique<EnvResolver>(IndexEnvironment(std::move(location), *client, auth_policy)));
    resolver.index.emplace(std::move(indexes));
  }
  resolver.remote = RemoteResolver{HttpResolver(std::move(*client), std::move(auth_policy), true), GitResolver(), true};
  return resolver;
}

}  // namespace kestro::resolve
