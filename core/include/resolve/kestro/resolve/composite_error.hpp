// Errors of the composite project kinds. Each variant says which inner kind
// failed and shows that kind's error exactly: its text, its cause and so its
// whole chain. Which kind failed is visible only to code that inspects the
// variant.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <variant>

#include "kestro/project/project_error.hpp"
#include "kestro/project/tagged_error.hpp"
#include "kestro/remote/http_project.hpp"
#include "kestro/remote/index_entry.hpp"
#include "kestro/remote/remote_git_error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::resolve {

// The error of a remote candidate: the HTTP project's or the git project's.
struct HttpOrGitProjectVariants : TaggedShapes {
  using HTTPRead = Tagged<"HTTPRead", HttpProjectError>;
  using GitRead = Tagged<"GitRead", RemoteGitError>;
  using Sum = std::variant<HTTPRead, GitRead>;
};
class HttpOrGitProjectError : public ErrorSum<HttpOrGitProjectError, HttpOrGitProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a configured source's project, one variant per kind. The
// remote kinds' variants (`RemoteSrc`, `RemoteKpar`, `IndexKpar`, between
// `LocalKpar` and `RemoteGit`) join with those kinds.
struct SourceProjectVariants : TaggedShapes {
  using Editable = Tagged<"Editable", LocalSrcError>;
  using LocalSrc = Tagged<"LocalSrc", LocalSrcError>;
  using LocalKpar = Tagged<"LocalKpar", LocalKparError>;
  using RemoteGit = Tagged<"RemoteGit", RemoteGitError>;
  using Sum = std::variant<Editable, LocalSrc, LocalKpar, RemoteGit>;
};
class SourceProjectError : public ErrorSum<SourceProjectError, SourceProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a project found by the combined resolver, one variant per
// kind.
struct CombinedProjectVariants : TaggedShapes {
  using FileProject = Tagged<"FileProject", LocalPathProjectError>;
  using RemoteProject = Tagged<"RemoteProject", HttpOrGitProjectError>;
  using IndexProject = Tagged<"IndexProject", IndexEntryError>;
  using CachedRemoteProject = Tagged<"CachedRemoteProject", LocalSrcError>;
  using CachedIndexProject = Tagged<"CachedIndexProject", LocalSrcError>;
  using DanglingLocalProject = Tagged<"DanglingLocalProject", LocalSrcError>;
  // The lock sources of a cached kind come from its origin (the remote or
  // index candidate), whose failure (a source tree's checksum computed again
  // over HTTP, say) is reported with the origin's error, never swallowed.
  using CachedRemoteOrigin = Tagged<"CachedRemoteProject", HttpOrGitProjectError>;
  using CachedIndexOrigin = Tagged<"CachedIndexProject", IndexEntryError>;
  using Sum = std::variant<FileProject, RemoteProject, IndexProject, CachedRemoteProject, CachedIndexProject,
                           DanglingLocalProject, CachedRemoteOrigin, CachedIndexOrigin>;
};
class CombinedProjectError : public ErrorSum<CombinedProjectError, CombinedProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// The error of a pair of resolvers asked in priority order: the side that
// failed, holding its error.
template <typename H, typename L>
struct PriorityVariants : TaggedShapes {
  using Higher = Tagged<"Higher", H>;
  using Lower = Tagged<"Lower", L>;
  using Sum = std::variant<Higher, Lower>;
};
template <typename H, typename L>
class PriorityError : public ErrorSum<PriorityError<H, L>, PriorityVariants<H, L>> {
 public:
  using ErrorSum<PriorityError<H, L>, PriorityVariants<H, L>>::ErrorSum;
};

}  // namespace kestro::resolve
