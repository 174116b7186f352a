// Errors of resolving usages: the combined resolver's own error, the
// dependency provider's retrieval error (generic over the resolver's error)
// and the error of resolving one IRI or usage for the info and versions
// commands.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "kestro/env/env_error.hpp"
#include "kestro/model/usage_label.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/remote/fetch_error.hpp"
#include "kestro/remote/remote_git.hpp"
#include "kestro/resolve/file_resolver_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::resolve {

// A usage being resolved, with the directory of the project declaring it
// when known; messages show it as `display_usage` labels it.
struct UsageInContext {
  InterchangeProjectUsage usage;
  std::optional<std::filesystem::path> project_dir;
  std::string label() const { return display_usage(usage, project_dir); }
  // The label as a quoted debug text.
  std::string debug() const;
};

// `Name { usage: "…", reason: "…" }`, the debug form of a variant that
// holds a usage and a reason text.
std::string debug_usage_reason(std::string_view name, const UsageInContext& usage, const std::string& reason);
// `Name { usage: "…" }`, and with the debug form of an error: `Name { usage:
// "…", source: … }`.
std::string debug_usage(std::string_view name, const UsageInContext& usage);
std::string debug_usage_source(std::string_view name, const UsageInContext& usage, const Error& source);

// The error of one of the resolvers the combined resolver runs; every
// variant shows the held error as its own. The remote chain fails only on
// its git member (the HTTP candidates' failures are skipped).
struct CombinedResolverVariants {
  struct File { FileResolverError err; };
  struct Local { LocalDirectoryEnvReadError err; };
  struct Remote { RemoteGitError err; };
  struct Index { IndexEnvError err; };
  using Sum = std::variant<File, Local, Remote, Index>;
};
class CombinedResolverError : public ErrorSum<CombinedResolverError, CombinedResolverVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const File& v) { return v.err.message(); }
  static std::string text_of(const Local& v) { return v.err.message(); }
  static std::string text_of(const Remote& v) { return v.err.message(); }
  static std::string text_of(const Index& v) { return v.err.message(); }
  static std::string debug_of(const File& v) { return "File(" + v.err.debug() + ")"; }
  static std::string debug_of(const Local& v) { return "Local(" + v.err.debug() + ")"; }
  static std::string debug_of(const Remote& v) { return "Remote(" + v.err.debug() + ")"; }
  static std::string debug_of(const Index& v) { return "Index(" + v.err.debug() + ")"; }
  static const Error* cause_of(const File& v) { return v.err.cause(); }
  static const Error* cause_of(const Local& v) { return v.err.cause(); }
  static const Error* cause_of(const Remote& v) { return v.err.cause(); }
  static const Error* cause_of(const Index& v) { return v.err.cause(); }
};

// The dependency provider failed to obtain a usage's candidates, their
// versions or their usages. `R` is the resolver's error, which is also the
// error of a candidate that arrives as an error (`ResolvedError`); `P` is
// the candidate project's read error (`VersionObtain`, `UsageObtain`);
// `InvalidResolvedVersion` holds the semantic-version parse error.
template <typename R, typename P>
struct RetrievalVariants {
  struct Resolution { R err; };
  struct NotFound { UsageInContext usage; std::string reason; };
  struct NoValidCandidates { UsageInContext usage; };
  struct UnsupportedUsageType { UsageInContext usage; std::string reason; };
  struct Unresolvable { UsageInContext usage; std::string reason; };
  struct ResolvedError { UsageInContext usage; R source; };
  struct InvalidProject { UsageInContext usage; ProjectValidationError source; };
  struct MissingVersion { UsageInContext usage; };
  struct MissingUsage { UsageInContext usage; };
  struct InvalidResolvedVersion { UsageInContext usage; semver::SemverError source; };
  struct VersionObtain { UsageInContext usage; P source; };
  struct UsageObtain { UsageInContext usage; P source; };
  using Sum = std::variant<Resolution, NotFound, NoValidCandidates, UnsupportedUsageType, Unresolvable, ResolvedError,
                           InvalidProject, MissingVersion, MissingUsage, InvalidResolvedVersion, VersionObtain,
                           UsageObtain>;

  static std::string text_of(const Resolution& v) { return "resolution error: " + v.err.message(); }
  static std::string text_of(const NotFound& v) {
    return fmt::format("project {} not found: {}", v.usage.label(), v.reason);
  }
  static std::string text_of(const NoValidCandidates& v) {
    return "no valid candidates found for project " + v.usage.label();
  }
  static std::string text_of(const UnsupportedUsageType& v) {
    return fmt::format("usage {} is of type not supported by this resolver: {}", v.usage.label(), v.reason);
  }
  static std::string text_of(const Unresolvable& v) {
    return fmt::format("usage {} is not resolvable: {}", v.usage.label(), v.reason);
  }
  static std::string text_of(const ResolvedError& v) { return resolved_to_error(v.usage); }
  static std::string text_of(const InvalidProject& v) { return resolved_to_error(v.usage); }
  static std::string text_of(const MissingVersion& v) {
    return fmt::format("usage {} resolved to a project that does not expose its version", v.usage.label());
  }
  static std::string text_of(const MissingUsage& v) {
    return fmt::format("usage {} resolved to a project that does not expose its usages", v.usage.label());
  }
  static std::string text_of(const InvalidResolvedVersion& v) {
    return fmt::format("usage {} resolved to a project that has an invalid version", v.usage.label());
  }
  static std::string text_of(const VersionObtain& v) {
    return "failed to obtain version of resolved usage " + v.usage.label();
  }
  static std::string text_of(const UsageObtain& v) {
    return "failed to obtain usage of resolved usage " + v.usage.label();
  }
  static std::string debug_of(const Resolution& v) { return "Resolution(" + v.err.debug() + ")"; }
  static std::string debug_of(const NotFound& v) { return debug_usage_reason("NotFound", v.usage, v.reason); }
  static std::string debug_of(const NoValidCandidates& v) { return debug_usage("NoValidCandidates", v.usage); }
  static std::string debug_of(const UnsupportedUsageType& v) {
    return debug_usage_reason("UnsupportedUsageType", v.usage, v.reason);
  }
  static std::string debug_of(const Unresolvable& v) { return debug_usage_reason("Unresolvable", v.usage, v.reason); }
  static std::string debug_of(const ResolvedError& v) { return debug_usage_source("ResolvedError", v.usage, v.source); }
  static std::string debug_of(const InvalidProject& v) { return debug_usage_source("InvalidProject", v.usage, v.source); }
  static std::string debug_of(const MissingVersion& v) { return debug_usage("MissingVersion", v.usage); }
  static std::string debug_of(const MissingUsage& v) { return debug_usage("MissingUsage", v.usage); }
  static std::string debug_of(const InvalidResolvedVersion& v) {
    return debug_usage_source("InvalidResolvedVersion", v.usage, v.source);
  }
  static std::string debug_of(const VersionObtain& v) { return debug_usage_source("VersionObtain", v.usage, v.source); }
  static std::string debug_of(const UsageObtain& v) { return debug_usage_source("UsageObtain", v.usage, v.source); }
  static const Error* cause_of(const ResolvedError& v) { return &v.source; }
  static const Error* cause_of(const InvalidProject& v) { return &v.source; }
  static const Error* cause_of(const InvalidResolvedVersion& v) { return &v.source; }
  static const Error* cause_of(const VersionObtain& v) { return &v.source; }
  static const Error* cause_of(const UsageObtain& v) { return &v.source; }

 private:
  static std::string resolved_to_error(const UsageInContext& usage) {
    return fmt::format("usage {} resolved to an error", usage.label());
  }
};
template <typename R, typename P>
class RetrievalError : public ErrorSum<RetrievalError<R, P>, RetrievalVariants<R, P>> {
 public:
  using ErrorSum<RetrievalError<R, P>, RetrievalVariants<R, P>>::ErrorSum;
};

// Resolving one IRI or usage for the info and versions commands failed.
struct ResolutionVariants {
  struct NoSemanticVersionsFound { std::vector<std::string> versions; };
  struct NoResolve { UsageInContext usage; std::string reason; };
  struct NotFound { UsageInContext usage; std::string reason; };
  struct UnsupportedUsage { UsageInContext usage; std::string reason; };
  struct Resolution { CombinedResolverError err; };
  using Sum = std::variant<NoSemanticVersionsFound, NoResolve, NotFound, UnsupportedUsage, Resolution>;
};
class ResolutionError : public ErrorSum<ResolutionError, ResolutionVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoSemanticVersionsFound& v);
  static std::string text_of(const NoResolve& v);
  static std::string text_of(const NotFound& v);
  static std::string text_of(const UnsupportedUsage& v);
  static std::string text_of(const Resolution&) { return "failure during resolution"; }
  static std::string debug_of(const NoSemanticVersionsFound& v);
  static std::string debug_of(const NoResolve& v) { return debug_usage_reason("NoResolve", v.usage, v.reason); }
  static std::string debug_of(const NotFound& v) { return debug_usage_reason("NotFound", v.usage, v.reason); }
  static std::string debug_of(const UnsupportedUsage& v) {
    return debug_usage_reason("UnsupportedUsage", v.usage, v.reason);
  }
  static std::string debug_of(const Resolution& v) { return "Resolution(" + v.err.debug() + ")"; }
  static const Error* cause_of(const Resolution& v) { return &v.err; }
};

}  // namespace kestro::resolve
