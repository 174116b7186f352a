// Git checkouts: the one place that speaks to the git client library.
#include "kestro/remote/remote_git.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <system_error>

#include <git2.h>

#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

namespace {

using Fail = std::unexpected<RemoteGitError>;

void init_git_client() {
  static std::once_flag once;
  std::call_once(once, [] { git_libgit2_init(); });
}

// The git client's last error as an error value.
GitError git_failure() {
  const git_error* err = git_error_last();
  return GitError::Library{err && err->message ? err->message : "unknown git error"};
}

template <typename T, void (*Free)(T*)>
struct GitFree {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using GitPtr = std::unique_ptr<T, GitFree<T, Free>>;
using Repository = GitPtr<git_repository, git_repository_free>;
using Remote = GitPtr<git_remote, git_remote_free>;
using Commit = GitPtr<git_commit, git_commit_free>;
using Reference = GitPtr<git_reference, git_reference_free>;

// Removes everything an attempt left in the clone's directory, `.git`
// first, so that a failed clone is never taken for a finished one.
void clear_directory(const fs::path& dir) {
  std::error_code ec;
  fs::remove_all(dir / ".git", ec);
  for (const auto& entry : fs::directory_iterator(dir, ec)) fs::remove_all(entry.path(), ec);
}

bool is_inside(const fs::path& path, const fs::path& root) {
  auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return r == root.end();
}

}  // namespace

std::expected<GitUrl, GitError> parse_git_url(std::string_view text) {
  if (text.empty()) return std::unexpected(GitError::EmptyUrl{});
  if (text.find("://") != std::string_view::npos) {
    auto url = url::Url::parse(text);
    if (!url) return std::unexpected(GitError::InvalidUrl{std::move(url.error())});
    return GitUrl{url->href()};
  }
  if (text.find('\0') != std::string_view::npos)
    return std::unexpected(GitError::NulInUrl{});
  // The scp-like short form and local paths are held as written.
  return GitUrl{std::string(text)};
}

std::expected<RemoteGitProject, RemoteGitError> RemoteGitProject::create(std::string url) {
  auto temp_dir = OwnedTempDir::create();
  if (!temp_dir) return Fail(RemoteGitError::Io{std::move(temp_dir.error())});
  auto parsed = parse_git_url(url);
  if (!parsed) return Fail(RemoteGitError::UrlParse{std::move(url), std::move(parsed.error())});
  // The checkout root must be a UTF-8 path, as every path handed out is.
  auto root = canonicalize_utf8_path(temp_dir->path());
  if (!root) return Fail(RemoteGitError::Io{std::move(root.error())});
  return RemoteGitProject(std::move(*parsed), LocalSrcProject(std::move(*root)), std::move(*temp_dir));
}

std::expected<void, RemoteGitError> RemoteGitProject::ensure_cloned() const {
  const fs::path& root = checkout_.project_path;
  std::error_code ec;
  if (fs::is_directory(root / ".git", ec)) return {};
  init_git_client();
  auto failed = [&](RemoteGitError err) {
    clear_directory(root);
    return Fail(std::move(err));
  };
  auto clone_failed = [&] { return failed(RemoteGitError::Clone{url_.text, git_failure()}); };
  auto fetch_failed = [&] { return failed(RemoteGitError::Fetch{url_.text, git_failure()}); };
  auto checkout_failed = [&] { return failed(RemoteGitError::Checkout{root, git_failure()}); };

  // Prepare: a repository with a work tree and the remote, connected.
  git_repository* raw_repo = nullptr;
  if (git_repository_init(&raw_repo, root.c_str(), 0) != 0) return clone_failed();
  Repository repo(raw_repo);
  git_remote* raw_remote = nullptr;
  if (git_remote_create(&raw_remote, repo.get(), "origin", url_.text.c_str()) != 0) return clone_failed();
  Remote remote(raw_remote);
  git_remote_callbacks callbacks = GIT_REMOTE_CALLBACKS_INIT;
  if (git_remote_connect(remote.get(), GIT_DIRECTION_FETCH, &callbacks, nullptr, nullptr) != 0)
    return clone_failed();

  // Fetch: what the remote's HEAD names, and every branch. The client
  // cannot limit the history, so the whole history is transferred.
  const git_remote_head** heads = nullptr;
  std::size_t head_count = 0;
  if (git_remote_ls(&heads, &head_count, remote.get()) != 0) return fetch_failed();
  const git_oid* head_oid = nullptr;
  for (std::size_t i = 0; i < head_count; ++i)
    if (std::string_view(heads[i]->name) == "HEAD") head_oid = &heads[i]->oid;
  std::optional<git_oid> head = head_oid ? std::optional<git_oid>(*head_oid) : std::nullopt;
  std::string branch;
  git_buf default_branch = GIT_BUF_INIT;
  if (git_remote_default_branch(&default_branch, remote.get()) == 0) {
    std::string_view name(default_branch.ptr, default_branch.size);
    if (name.starts_with("refs/heads/")) branch = name.substr(11);
  }
  git_buf_dispose(&default_branch);
  git_fetch_options fetch = GIT_FETCH_OPTIONS_INIT;
  if (git_remote_download(remote.get(), nullptr, &fetch) != 0) return fetch_failed();
  if (git_remote_update_tips(remote.get(), &callbacks, 1, GIT_REMOTE_DOWNLOAD_TAGS_AUTO, nullptr) != 0)
    return fetch_failed();
  git_remote_disconnect(remote.get());

  // Check out the commit of the remote's HEAD (an empty repository has none
  // and leaves an empty work tree).
  if (head) {
    git_commit* raw_commit = nullptr;
    if (git_commit_lookup(&raw_commit, repo.get(), &*head) != 0) return checkout_failed();
    Commit commit(raw_commit);
    if (!branch.empty()) {
      git_reference* raw_ref = nullptr;
      if (git_branch_create(&raw_ref, repo.get(), branch.c_str(), commit.get(), 1) != 0) return checkout_failed();
      Reference ref(raw_ref);
      if (git_repository_set_head(repo.get(), git_reference_name(ref.get())) != 0) return checkout_failed();
    } else if (git_repository_set_head_detached(repo.get(), &*head) != 0) {
      return checkout_failed();
    }
    git_checkout_options options = GIT_CHECKOUT_OPTIONS_INIT;
    options.checkout_strategy = GIT_CHECKOUT_FORCE;
    if (git_checkout_head(repo.get(), &options) != 0) return checkout_failed();
  }
  return {};
}

RemoteGitProject::Result<std::filesystem::path> RemoteGitProject::checked_path(std::string_view path) const {
  auto resolved = checkout_.get_source_path(path);
  if (!resolved) return Fail(RemoteGitError::Path{std::move(resolved.error())});
  std::error_code ec;
  fs::path real = fs::canonical(*resolved, ec);
  // A path that does not resolve fails when it is opened, as in any source
  // directory.
  if (!ec && !is_inside(real, checkout_.project_path))
    return Fail(RemoteGitError::Io{FsIoError::OpenFile{
        *resolved, IoError::custom("a symbolic link leads outside the git checkout; it is not followed")}});
  return std::move(*resolved);
}

RemoteGitProject::Result<ProjectRecords> RemoteGitProject::get_project() const {
  if (auto cloned = ensure_cloned(); !cloned) return Fail(std::move(cloned.error()));
  for (const char* record : {".project.json", ".meta.json"})
    if (auto checked = checked_path(record); !checked) return Fail(std::move(checked.error()));
  auto records = read_local_src_project(checkout_);
  if (!records) return Fail(convert_project_error<RemoteGitError>(records.error()));
  return std::move(*records);
}

RemoteGitProject::Result<SourceReaderPtr> RemoteGitProject::read_source(std::string_view path) const {
  if (auto cloned = ensure_cloned(); !cloned) return Fail(std::move(cloned.error()));
  auto file = checked_path(path);
  if (!file) return Fail(std::move(file.error()));
  auto reader = FileSourceReader::open(*file);
  if (!reader) return Fail(RemoteGitError::Io{std::move(reader.error())});
  return SourceReaderPtr(std::move(*reader));
}

RemoteGitProject::Result<std::vector<Source>> RemoteGitProject::sources(const ProjectContext&) const {
  return std::vector<Source>{RemoteGitSource{url_.text}};
}

RemoteGitProject::Result<EnvProjectChecksum> RemoteGitProject::checksum_hex() const {
  auto records = get_project();
  if (!records) return Fail(std::move(records.error()));
  return source_checksum(canonical_checksum_of_records(*this, records->first, std::move(records->second)));
}

}  // namespace kestro::remote
