// The resolver of usages that name something on the local file system: a
// directory or KPAR path declared relative to the declaring project, or a
// `file:` URL. It only decides where to look: whether a directory holds a
// project or a file is an archive is found out when the candidate is read.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestro/project/local_kpar.hpp"
#include "kestro/resolve/file_resolver_error.hpp"
#include "kestro/resolve/outcome.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::resolve {

inline constexpr const char* kNoBasePath = "cannot resolve relative path usage without a base path";

// The path a `file:` URL names on this system: the host empty or
// `localhost`, the path's segments percent-decoded. FailedPathExtract for
// any other host or an opaque path; InvalidPath when the decoded bytes are
// not UTF-8.
std::expected<std::filesystem::path, FileResolverError> file_url_to_path(const url::Url& url);

class FileResolver : public Resolver<LocalPathProject, FileResolverError> {
 public:
  using Outcome = ResolutionOutcome<LocalPathProject>;
  // Without directories every path is accepted; with a list (even an empty
  // one) a path must lie inside one of them.
  explicit FileResolver(std::optional<std::vector<std::string>> allowed_directories = std::nullopt)
      : allowed_directories_(std::move(allowed_directories)) {}

  // `dir` and `kparPath` usages: one candidate at the canonical path, with
  // the usage's publisher and name expected (`NotFound` when the path does
  // not exist; `Unresolvable` without a base path or outside the allowed
  // directories). Resource usages with a `file:` IRI: a source directory,
  // then an archive whose project root is found by scanning, both at the
  // URL's path, which need not exist. Anything else: `UnsupportedUsageType`.
  std::expected<Outcome, FileResolverError> resolve(const UsageInContext& usage) override;

  // The usage path joined to the base path and canonicalised, then checked
  // against the allowed directories; a refusal or absence as the outcome.
  using PathOutcome = std::variant<std::filesystem::path, Outcome>;
  std::expected<PathOutcome, FileResolverError> resolve_usage_path(const std::filesystem::path& base,
                                                                   const std::string& usage_path) const;
  // The path unchanged when it lies inside an allowed directory (compared
  // component by component after canonicalising both), else the refusal.
  std::expected<PathOutcome, FileResolverError> check_allowed_directories(const std::filesystem::path& path) const;

  const std::optional<std::vector<std::string>>& allowed_directories() const { return allowed_directories_; }

 private:
  std::optional<std::vector<std::string>> allowed_directories_;
};

}  // namespace kestro::resolve
