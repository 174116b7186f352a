// Candidates of a usage target taken from a resolver chain: the chain's
// answer, each candidate project screened (version, then usages), and the
// accepted ones turned into solver candidates. A path usage (strict) fails
// on its first bad candidate; a resource usage (lenient) skips it with a
// debug line.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kestro/model/usage_match.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/resolve/memory_resolver.hpp"
#include "kestro/resolve/outcome.hpp"
#include "kestro/solve/provider.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::solve {

inline constexpr const char* kSolveTarget = "kestro_core::solve::pubgrub";

// A usage of a local directory or KPAR: its bad candidates are errors.
inline bool is_strict(const UsageInContext& usage) {
  return std::holds_alternative<DirectoryUsageG<std::string>>(usage.usage) ||
         std::holds_alternative<KparPathUsageG<std::string>>(usage.usage);
}

// What a chain's candidates need beyond the project interface: how the
// chain's resolver and project errors become the solver's, the directory a
// candidate's usages are relative to, and whether its source offers several
// versions of the project.
//   static SolverResolverError resolver_error(E);
//   static SolverProjectError project_error(P);
//   static std::optional<std::filesystem::path> base_path(const Project&);
//   static bool offers_multiple_versions(const Project&);
template <typename Chain, typename Project>
concept CandidateTraits = requires(const Project& p) {
  { Chain::base_path(p) } -> std::convertible_to<std::optional<std::filesystem::path>>;
  { Chain::offers_multiple_versions(p) } -> std::convertible_to<bool>;
};

namespace detail {
template <typename Item>
struct ItemParts {
  static constexpr bool can_fail = false;
};
template <typename P, typename E>
struct ItemParts<std::expected<P, E>> {
  static constexpr bool can_fail = true;
};
}  // namespace detail

// Screens the items of one answer. On failure nothing is returned but the
// error; the candidates accepted so far are dropped.
template <typename Chain, typename Project, typename Item>
  requires CandidateTraits<Chain, Project>
std::expected<std::vector<CachedCandidate<Project>>, SolverRetrievalError> screen_candidates(
    const DependencyIdentifier::Target& target, resolve::ItemSequence<Item>& items) {
  using R = SolverRetrievalError;
  const bool strict = is_strict(target.usage);
  std::vector<CachedCandidate<Project>> out;
  while (auto item = items.next()) {
    Project* project_ptr = nullptr;
    if constexpr (detail::ItemParts<Item>::can_fail) {
      if (!*item) {
        if (strict) return std::unexpected(R::ResolvedError{target.usage, Chain::resolver_error(std::move(item->error()))});
        if (log::enabled(log::Level::Debug, kSolveTarget))
          log::debug(kSolveTarget, "candidate project for {} is error: {}", target.usage.label(),
               render_error_chain(Chain::resolver_error(std::move(item->error()))));
        continue;
      }
      project_ptr = &**item;
    } else {
      project_ptr = &*item;
    }
    Project& project = *project_ptr;

    auto version_text = project.version();
    if (!version_text) {
      if (strict) return std::unexpected(R::VersionObtain{target.usage, Chain::project_error(std::move(version_text.error()))});
      if (log::enabled(log::Level::Debug, kSolveTarget))
        log::debug(kSolveTarget, "candidate project for {} failed to get version: {}", target.usage.label(),
             render_error_chain(Chain::project_error(std::move(version_text.error()))));
      continue;
    }
    if (!*version_text) {
      if (strict) return std::unexpected(R::MissingVersion{target.usage});
      log::debug(kSolveTarget, "candidate project for {} did not expose a version", target.usage.label());
      continue;
    }
    auto version = semver::Version::parse(**version_text);
    if (!version) {
      if (strict) return std::unexpected(R::InvalidResolvedVersion{target.usage, std::move(version.error())});
      if (log::enabled(log::Level::Debug, kSolveTarget))
        log::debug(kSolveTarget, "candidate project for {} has invalid version `{}`: {}", target.usage.label(), **version_text,
             render_error_chain(version.error()));
      continue;
    }

    auto raw_usages = project.usage();
    if (!raw_usages) {
      if (strict) return std::unexpected(R::UsageObtain{target.usage, Chain::project_error(std::move(raw_usages.error()))});
      if (log::enabled(log::Level::Debug, kSolveTarget))
        log::debug(kSolveTarget, "candidate project for {} failed to get usages: {}", target.usage.label(),
             render_error_chain(Chain::project_error(std::move(raw_usages.error()))));
      continue;
    }
    if (!*raw_usages) {
      if (strict) return std::unexpected(R::MissingUsage{target.usage});
      log::debug(kSolveTarget, "candidate project for {} did not expose usages", target.usage.label());
      continue;
    }
    const std::optional<std::filesystem::path> base = Chain::base_path(project);
    std::vector<DependencyIdentifier::Target> dependencies;
    dependencies.reserve((*raw_usages)->size());
    std::optional<ProjectValidationError> invalid;
    for (const auto& raw : **raw_usages) {
      auto valid = validate_usage(raw);
      if (!valid) {
        invalid.emplace(std::move(valid.error()));
        break;
      }
      std::string id = usage_identifier(*valid);
      dependencies.push_back({std::move(id), UsageInContext{std::move(*valid), base}});
    }
    if (invalid) {
      if (strict) return std::unexpected(R::InvalidProject{target.usage, std::move(*invalid)});
      if (log::enabled(log::Level::Debug, kSolveTarget))
        log::debug(kSolveTarget, "candidate project for {} has invalid usage: {}", target.usage.label(), render_error_chain(*invalid));
      continue;
    }
    const bool multi = Chain::offers_multiple_versions(project);
    out.push_back(CachedCandidate<Project>{std::move(dependencies), std::move(*version), multi, std::move(project)});
  }
  if (out.empty()) return std::unexpected(R::NoValidCandidates{target.usage});
  return out;
}

// The candidate source over one resolver chain: its final answer mapped to
// the solver's retrieval errors, its candidates screened.
template <typename Resolver, typename Chain, typename Project>
  requires CandidateTraits<Chain, Project>
class ResolverCandidateSource : public CandidateSource<Project> {
 public:
  explicit ResolverCandidateSource(Resolver resolver) : resolver_(std::move(resolver)) {}

  std::expected<std::vector<CachedCandidate<Project>>, SolverRetrievalError> retrieve(
      const DependencyIdentifier::Target& target) override {
    using R = SolverRetrievalError;
    using Outcome = resolve::ResolutionOutcome<typename Resolver::item_type>;
    auto answer = resolver_.resolve(target.usage);
    if (!answer) {
      if constexpr (std::is_same_v<typename Resolver::error_type, resolve::Infallible>) internal_error("an infallible resolver failed");
      else return std::unexpected(R::Resolution{Chain::resolver_error(std::move(answer.error()))});
    }
    return std::visit(
        [&](auto& a) -> std::expected<std::vector<CachedCandidate<Project>>, SolverRetrievalError> {
          using A = std::decay_t<decltype(a)>;
          if constexpr (std::is_same_v<A, typename Outcome::Resolved>) {
            return screen_candidates<Chain, Project>(target, *a.candidates);
          } else if constexpr (std::is_same_v<A, typename Outcome::UnsupportedUsageType>) {
            return std::unexpected(R::UnsupportedUsageType{target.usage, std::move(a.reason)});
          } else if constexpr (std::is_same_v<A, typename Outcome::NotFound>) {
            return std::unexpected(R::NotFound{target.usage, std::move(a.reason)});
          } else {
            return std::unexpected(R::Unresolvable{target.usage, std::move(a.reason)});
          }
        },
        answer->value);
  }

  const Resolver& resolver() const { return resolver_; }

 private:
  Resolver resolver_;
};

}  // namespace kestro::solve
