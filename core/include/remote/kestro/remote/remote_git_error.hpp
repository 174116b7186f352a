// The error of the git kind: its own failures (clone, address, fetch,
// checkout), each naming the git library's error, beside the shapes it
// shares with the other project kinds.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <filesystem>
#include <string>
#include <variant>

#include "kestro/project/git_error.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::remote {

// The error of a project read from a git checkout. The git client's errors
// appear inside the messages only, never as causes.
struct RemoteGitVariants : ProjectErrorShapes {
  struct Clone {
    std::string url;
    GitError git;
  };
  struct UrlParse {
    std::string url;
    GitError git;
  };
  struct Fetch {
    std::string url;
    GitError git;
  };
  struct Checkout {
    std::filesystem::path dir;
    GitError git;
  };
  using Sum = std::variant<Clone, UrlParse, Io, Path, Deserialize, Serialize, Fetch, Checkout, ImpossibleRelativePath,
                           MissingMeta, MissingInfoMeta, PublisherMismatch, NameMismatch, Other>;

  using ProjectErrorShapes::debug_of;
  using ProjectErrorShapes::text_of;
  static std::string text_of(const Clone& v);
  static std::string text_of(const UrlParse& v);
  static std::string text_of(const Fetch& v);
  static std::string text_of(const Checkout& v);
  static std::string debug_of(const Clone& v);
  static std::string debug_of(const UrlParse& v);
  static std::string debug_of(const Fetch& v);
  static std::string debug_of(const Checkout& v);
};
class RemoteGitError : public ErrorSum<RemoteGitError, RemoteGitVariants> {
 public:
  using ErrorSum::ErrorSum;
};

}  // namespace kestro::remote
