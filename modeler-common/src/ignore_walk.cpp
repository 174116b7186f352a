#include "kestro/modeler/ignore_walk.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include <fmt/format.h>
#include <git2.h>

#include "kestro/modeler/ignore_rules.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::modeler {

namespace {

struct Repository {
  fs::path root;
  IgnoreFile exclude;  // info/exclude
  IgnoreFile global;
};

// The ignore files of one directory, linked to those of its parent.
struct Layer {
  std::shared_ptr<const Layer> parent;
  fs::path dir;
  IgnoreFile dot_ignore;
  IgnoreFile gitignore;
  std::shared_ptr<const Repository> repo;  // the repository the `.gitignore` belongs to
};

struct Frame {
  fs::path dir;
  std::shared_ptr<const Layer> layers;
  std::shared_ptr<const Repository> repo;
};

bool entry_exists(const fs::path& path) {
  struct ::stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool is_repository_root(const fs::path& dir) { return entry_exists(dir / ".git") || entry_exists(dir / ".jj"); }

// An ignore file's patterns; a missing file has none.
std::expected<IgnoreFile, std::string> read_ignore_file(const fs::path& path) {
  auto content = read_file(path);
  if (content) return IgnoreFile::parse(*content);
  if (content.error().io().is_not_found()) return IgnoreFile();
  // A `.gitignore` that is a directory, or a path through a file, is no
  // ignore file.
  const int code = content.error().io().code();
  if (code == EISDIR || code == ENOTDIR) return IgnoreFile();
  return std::unexpected(content.error().message());
}

std::string trimmed_line(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The directory holding a repository's shared files (`info/exclude`,
// `config`): `.git` itself, or where a `.git` file's "gitdir:" line and the
// linked directory's `commondir` file lead. None for a repository without
// git data of its own.
std::optional<fs::path> git_common_dir(const fs::path& root) {
  const fs::path dot_git = root / ".git";
  struct ::stat st;
  if (::stat(dot_git.c_str(), &st) != 0) return std::nullopt;
  if (S_ISDIR(st.st_mode)) return dot_git;
  auto content = read_file(dot_git);
  if (!content) return std::nullopt;
  const std::string line = trimmed_line(std::move(*content));
  if (!line.starts_with("gitdir:")) return std::nullopt;
  std::string_view target(line);
  target.remove_prefix(7);
  while (target.starts_with(' ')) target.remove_prefix(1);
  const fs::path gitdir = root / fs::path(std::string(target));
  auto common = read_file(gitdir / "commondir");
  if (!common) return gitdir;
  return gitdir / fs::path(trimmed_line(std::move(*common)));
}

std::optional<std::string> env_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

void init_git_library() {
  static std::once_flag once;
  std::call_once(once, [] { git_libgit2_init(); });
}

struct ConfigFree {
  void operator()(git_config* c) const { git_config_free(c); }
};

// `core.excludesFile` as written in git's configuration files, read in the
// order git reads them so that the last one that sets it wins.
std::optional<std::string> configured_excludes_file(const std::optional<fs::path>& repo_config) {
  init_git_library();
  git_config* raw = nullptr;
  if (git_config_new(&raw) != 0) return std::nullopt;
  std::unique_ptr<git_config, ConfigFree> config(raw);
  auto add = [&](const fs::path& path, git_config_level_t level) {
    if (entry_exists(path)) git_config_add_file_ondisk(config.get(), path.c_str(), level, nullptr, 0);
  };
  if (!env_value("GIT_CONFIG_NOSYSTEM")) {
    git_buf system = GIT_BUF_INIT;
    if (git_config_find_system(&system) == 0) add(system.ptr, GIT_CONFIG_LEVEL_SYSTEM);
    git_buf_dispose(&system);
  }
  const auto home = env_value("HOME");
  if (const auto global = env_value("GIT_CONFIG_GLOBAL")) {
    add(*global, GIT_CONFIG_LEVEL_GLOBAL);
  } else {
    if (const auto xdg = env_value("XDG_CONFIG_HOME"))
      add(fs::path(*xdg) / "git/config", GIT_CONFIG_LEVEL_XDG);
    else if (home)
      add(fs::path(*home) / ".config/git/config", GIT_CONFIG_LEVEL_XDG);
    if (home) add(fs::path(*home) / ".gitconfig", GIT_CONFIG_LEVEL_GLOBAL);
  }
  if (repo_config) add(*repo_config, GIT_CONFIG_LEVEL_LOCAL);
  git_buf value = GIT_BUF_INIT;
  std::optional<std::string> out;
  if (git_config_get_string_buf(&value, config.get(), "core.excludesFile") == 0) out = std::string(value.ptr, value.size);
  git_buf_dispose(&value);
  return out;
}

// The path as text below `dir`, written "a/b"; `path` lies below `dir`.
std::string_view below(const fs::path& dir, const fs::path& path) {
  std::string_view rest(path.native());
  rest.remove_prefix(dir.native().size());
  while (rest.starts_with('/')) rest.remove_prefix(1);
  return rest;
}

bool is_ignored(const Layer* layer, const Repository* repo, const fs::path& path, bool is_dir) {
  for (; layer != nullptr; layer = layer->parent.get()) {
    const std::string_view relative = below(layer->dir, path);
    IgnoreVerdict verdict = layer->dot_ignore.match(relative, is_dir);
    if (verdict == IgnoreVerdict::None && repo != nullptr && layer->repo.get() == repo)
      verdict = layer->gitignore.match(relative, is_dir);
    if (verdict != IgnoreVerdict::None) return verdict == IgnoreVerdict::Ignore;
  }
  if (repo == nullptr) return false;
  const std::string_view relative = below(repo->root, path);
  IgnoreVerdict verdict = repo->exclude.match(relative, is_dir);
  if (verdict == IgnoreVerdict::None) verdict = repo->global.match(relative, is_dir);
  return verdict == IgnoreVerdict::Ignore;
}

class Walker {
 public:
  std::expected<std::vector<WalkedEntry>, std::string> run(const fs::path& start) {
    auto first = start_frame(start);
    if (!first) return std::unexpected(std::move(first.error()));
    std::vector<Frame> stack{std::move(*first)};
    while (!stack.empty()) {
      Frame frame = std::move(stack.back());
      stack.pop_back();
      if (auto listed = list(frame, stack); !listed) return std::unexpected(std::move(listed.error()));
    }
    return std::move(found_);
  }

 private:
  // The frame of the start directory, with the ignore files of every
  // directory from the file-system root down to it.
  std::expected<Frame, std::string> start_frame(const fs::path& start) {
    std::vector<fs::path> chain;
    for (fs::path dir = start;; dir = dir.parent_path()) {
      chain.push_back(dir);
      if (dir == dir.parent_path() || dir.empty()) break;
    }
    Frame frame{start, nullptr, nullptr};
    for (const auto& dir : chain)
      if (is_repository_root(dir)) {
        auto repo = open_repository(dir);
        if (!repo) return std::unexpected(std::move(repo.error()));
        frame.repo = std::move(*repo);
        break;
      }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const bool in_repo = frame.repo && is_within(it->native(), frame.repo->root.native());
      auto layer = read_layer(*it, frame.layers, in_repo ? frame.repo : nullptr);
      if (!layer) return std::unexpected(std::move(layer.error()));
      frame.layers = std::move(*layer);
    }
    return frame;
  }

  std::expected<std::shared_ptr<const Repository>, std::string> open_repository(const fs::path& root) {
    auto repo = std::make_shared<Repository>();
    repo->root = root;
    const auto common = git_common_dir(root);
    if (common) {
      auto exclude = read_ignore_file(*common / "info" / "exclude");
      if (!exclude) return std::unexpected(std::move(exclude.error()));
      repo->exclude = std::move(*exclude);
    }
    if (const auto global = global_excludes_file(common ? std::optional(*common / "config") : std::nullopt)) {
      fs::path file = *global;
      if (file.is_relative()) file = root / file;
      auto patterns = read_ignore_file(file);
      if (!patterns) return std::unexpected(std::move(patterns.error()));
      repo->global = std::move(*patterns);
    }
    return repo;
  }

  // The layer of `dir`: its own ignore files over `parent`; `parent` itself
  // when `dir` has none.
  static std::expected<std::shared_ptr<const Layer>, std::string> read_layer(const fs::path& dir,
                                                                             std::shared_ptr<const Layer> parent,
                                                                             std::shared_ptr<const Repository> repo) {
    auto dot_ignore = read_ignore_file(dir / ".ignore");
    if (!dot_ignore) return std::unexpected(std::move(dot_ignore.error()));
    IgnoreFile gitignore;
    if (repo) {
      auto read = read_ignore_file(dir / ".gitignore");
      if (!read) return std::unexpected(std::move(read.error()));
      gitignore = std::move(*read);
    }
    if (dot_ignore->empty() && gitignore.empty()) return parent;
    return std::make_shared<const Layer>(Layer{std::move(parent), dir, std::move(*dot_ignore), std::move(gitignore), std::move(repo)});
  }

  std::expected<void, std::string> list(const Frame& frame, std::vector<Frame>& stack) {
    auto fail = [&](const fs::path& path) {
      return std::unexpected(fmt::format("failed to read directory {}: {}", display_path(path), os_error_text(errno)));
    };
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(frame.dir.c_str()), ::closedir);
    if (!dir) return fail(frame.dir);
    while (true) {
      errno = 0;
      const dirent* entry = ::readdir(dir.get());
      if (entry == nullptr) {
        if (errno != 0) return fail(frame.dir);
        break;
      }
      const std::string_view name(entry->d_name);
      if (name.starts_with('.')) continue;  // hidden, and `.` and `..`
      fs::path path = frame.dir / name;
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) {
        struct ::stat st;
        if (::lstat(path.c_str(), &st) != 0) {
          if (errno == ENOENT) continue;  // gone since the listing
          return std::unexpected(fmt::format("failed to read file type of {}: {}", display_path(path), os_error_text(errno)));
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
      }
      const bool is_dir = type == DT_DIR;
      if (is_ignored(frame.layers.get(), frame.repo.get(), path, is_dir)) continue;
      if (!is_dir) {
        found_.push_back({std::move(path), type == DT_REG ? WalkedKind::File
                                           : type == DT_LNK ? WalkedKind::Symlink
                                                            : WalkedKind::Other});
        continue;
      }
      Frame child{path, frame.layers, frame.repo};
      if (is_repository_root(path)) {
        auto repo = open_repository(path);
        if (!repo) return std::unexpected(std::move(repo.error()));
        child.repo = std::move(*repo);
      }
      auto layer = read_layer(path, frame.layers, child.repo);
      if (!layer) return std::unexpected(std::move(layer.error()));
      child.layers = std::move(*layer);
      stack.push_back(std::move(child));
    }
    return {};
  }

  std::vector<WalkedEntry> found_;
};

}  // namespace

std::optional<fs::path> global_excludes_file(const std::optional<fs::path>& repo_config) {
  const auto home = env_value("HOME");
  if (auto configured = configured_excludes_file(repo_config)) {
    if (configured->starts_with("~/")) {
      if (!home) return std::nullopt;
      return fs::path(*home) / configured->substr(2);
    }
    return fs::path(*configured);
  }
  if (const auto xdg = env_value("XDG_CONFIG_HOME")) return fs::path(*xdg) / "git/ignore";
  if (home) return fs::path(*home) / ".config/git/ignore";
  return std::nullopt;
}

std::expected<std::vector<WalkedEntry>, std::string> walk_unignored(const fs::path& start) {
  return Walker().run(start);
}

}  // namespace kestro::modeler
