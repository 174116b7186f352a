// A project kept in a git repository, read through a checkout made on first
// need into a private temporary directory. A checkout is untrusted input: a
// symbolic link in it that leads outside the checkout is never followed.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/project/local_src.hpp"
#include "kestro/project/git_error.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/remote/remote_git_error.hpp"
#include "kestro/utils/temp_dir.hpp"

namespace kestro::remote {

// A repository address: a URL with a scheme (held in its serialised form),
// the scp-like short form `[user@]host:path`, or a local path (both held as
// written).
struct GitUrl {
  std::string text;
};

// Classifies and checks `text`; the error is the parser's.
std::expected<GitUrl, GitError> parse_git_url(std::string_view text);

class RemoteGitProject : public ReadProject<RemoteGitError> {
 public:
  // Creates the temporary directory, then parses the URL (deleting the
  // directory when it does not parse); nothing is fetched. Io or UrlParse.
  static std::expected<RemoteGitProject, RemoteGitError> create(std::string url);

  RemoteGitProject(RemoteGitProject&&) = default;
  RemoteGitProject& operator=(RemoteGitProject&&) = default;

  const GitUrl& url() const { return url_; }
  // The work tree, read as a source directory rooted at the canonical path of
  // the temporary directory.
  const LocalSrcProject& checkout() const { return checkout_; }

  // Clones into the temporary directory unless it holds a `.git` directory.
  // Preparing, fetching and checking out are separate steps (Clone, Fetch,
  // Checkout); a failure removes what the attempt wrote, so the next call
  // tries again from the start.
  std::expected<void, RemoteGitError> ensure_cloned() const;

  Result<ProjectRecords> get_project() const override;
  // The checked-out file; a path whose links lead outside the checkout is
  // refused with Io naming it.
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // One `remote_git` source; never clones, never fails.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  // The source checksum of the work tree, its files read as read_source
  // reads them.
  Result<EnvProjectChecksum> checksum_hex() const override;

 private:
  RemoteGitProject(GitUrl url, LocalSrcProject checkout, OwnedTempDir temp_dir)
      : url_(std::move(url)), checkout_(std::move(checkout)), temp_dir_(std::move(temp_dir)) {}
  // The platform path of a checkout file, refused when it resolves outside.
  Result<std::filesystem::path> checked_path(std::string_view path) const;

  GitUrl url_;
  LocalSrcProject checkout_;
  OwnedTempDir temp_dir_;
};

}  // namespace kestro::remote
