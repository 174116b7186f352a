// The resolver over the installed environment: every installed version of
// the usage's project is one candidate, opened as a source directory.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "kestro/env/local_directory.hpp"
#include "kestro/model/usage_match.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

// The reason when no installed entry lists the usage's identifier.
inline constexpr const char* kEnvDoesNotContain = "environment does not contain this project";

// The error of an environment's `projects` listing.
template <typename Env>
using EnvListingError =
    typename decltype(std::declval<const Env&>().projects(std::string_view{}, std::span<const std::string>{}))::error_type;

// `Env` is an environment with `versions(iri)` and `projects(iri, versions)`
// (the local directory environment or the null one). Resolving reads no
// file: the entries were read when the environment was opened. Every usage
// kind is looked up by its identifier, compared byte for byte; the answer is
// `Resolved` or `NotFound`, never anything else.
template <typename Env>
class LocalResolver : public Resolver<LocalSrcProject, EnvListingError<Env>> {
 public:
  using Outcome = ResolutionOutcome<LocalSrcProject>;
  explicit LocalResolver(Env environment) : environment_(std::move(environment)) {}

  std::expected<Outcome, EnvListingError<Env>> resolve(const UsageInContext& usage) override {
    const std::string iri = usage_identifier(usage.usage);
    const std::vector<std::string> versions = environment_.versions(iri);
    if (versions.empty()) return Outcome{typename Outcome::NotFound{kEnvDoesNotContain}};
    auto projects = environment_.projects(iri, versions);
    if (!projects) return std::unexpected(std::move(projects.error()));
    return Outcome::resolved_with(std::move(*projects));
  }

  const Env& environment() const { return environment_; }

 private:
  Env environment_;
};

}  // namespace kestro::resolve
