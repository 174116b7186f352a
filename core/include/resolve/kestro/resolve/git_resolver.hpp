// The resolver that offers a git repository for a resource usage whose IRI
// can name a git remote. It contacts nothing: the candidate is cloned on its
// first read.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>

#include "kestro/remote/remote_git.hpp"
#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

// One candidate: the project, or why it could not be prepared.
using GitCandidate = std::expected<RemoteGitProject, RemoteGitError>;

// Whether a scheme may name a git remote: ssh, http, https, file and each
// of them behind "git+", in any letter case.
bool is_git_scheme(std::string_view scheme);

// Stateless; never fails as a whole. A resource usage with a git scheme is
// `Resolved` with exactly one item: the project (its own fresh temporary
// directory, nothing fetched) or the error of preparing it. A lower-case
// "git+" is dropped from the IRI before it is read as a git URL; in another
// case it stays, although the scheme was accepted. Path usages, unknown
// usages and other schemes: `UnsupportedUsageType`.
class GitResolver : public Resolver<GitCandidate, RemoteGitError> {
 public:
  using Outcome = ResolutionOutcome<GitCandidate>;
  std::expected<Outcome, RemoteGitError> resolve(const UsageInContext& usage) override;
};

}  // namespace kestro::resolve
