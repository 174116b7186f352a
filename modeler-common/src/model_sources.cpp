#include "kestro/modeler/model_sources.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include <fmt/format.h>

#include "kestro/modeler/config_discovery.hpp"
#include "kestro/modeler/ignore_walk.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::modeler {

namespace {

using Fail = std::unexpected<ModelSourceError>;

constexpr std::string_view kUserWideSource = "a user-wide plovik.toml configuration (no project-level plovik.toml was found)";

bool is_model_file_name(const fs::path& path) {
  std::string_view name(path.native());
  name.remove_prefix(name.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = name.substr(dot + 1);
  return extension == "sysml" || extension == "kerml";
}

std::expected<fs::path, IoError> current_dir() {
  std::error_code ec;
  fs::path dir = fs::current_path(ec);
  if (ec) return std::unexpected(IoError::from_errno(ec.value()));
  return dir;
}

std::expected<fs::path, ModelSourceError> current_dir_for_plan() {
  auto dir = current_dir();
  if (!dir) return Fail(ModelSourceError::CanonicalizePath{".", dir.error().message()});
  return std::move(*dir);
}

// A path that canonicalised: a regular file is taken as its canonical
// path, a directory is walked, anything else is passed over.
std::expected<void, ModelSourceError> take_existing(const fs::path& canonical, std::vector<fs::path>& files) {
  struct ::stat st;
  if (!stat_path(canonical, st)) return {};
  if (S_ISREG(st.st_mode)) {
    files.push_back(canonical);
    return {};
  }
  if (S_ISDIR(st.st_mode)) return collect_directory(canonical, files);
  return {};
}

// A path text that did not canonicalise: an include entry that does not
// exist waits for the end; anything else ends the resolution.
std::expected<void, ModelSourceError> miss(const SourceLabel& label, std::string_view path_text, IoError io,
                                           std::vector<DeferredMiss>& misses) {
  if (!label.is_positional() && io.is_not_found()) {
    misses.push_back({label.text(path_text), std::move(io)});
    return {};
  }
  return Fail(ModelSourceError::Canonicalize{label.text(path_text), std::move(io)});
}

// The files a glob takes in below its canonical walk root, depth first.
// Reads no ignore files: hidden names are left out only by the pattern.
std::expected<void, ModelSourceError> walk_glob(const fs::path& root, const CompiledGlob& glob,
                                                std::vector<fs::path>& files) {
  std::vector<fs::path> stack{root};
  while (!stack.empty()) {
    const fs::path dir = std::move(stack.back());
    stack.pop_back();
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(dir.c_str()), ::closedir);
    if (!listing) return Fail(ModelSourceError::CollectDirectory{root, os_error_text(errno)});
    while (true) {
      errno = 0;
      const dirent* entry = ::readdir(listing.get());
      if (entry == nullptr) {
        if (errno != 0) return Fail(ModelSourceError::CollectDirectory{root, os_error_text(errno)});
        break;
      }
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      fs::path path = dir / name;
      struct ::stat st;
      if (::lstat(path.c_str(), &st) != 0) return Fail(ModelSourceError::FileType{path, IoError::last()});
      if (S_ISDIR(st.st_mode)) {
        if (glob_matches_under_root(root, glob, path, true)) stack.push_back(std::move(path));
        continue;
      }
      if (!is_model_file_name(path) || !glob_matches_under_root(root, glob, path, false)) continue;
      if (S_ISLNK(st.st_mode)) {
        files.push_back(std::move(path));
        continue;
      }
      auto canonical = real_path(path);
      if (!canonical) return Fail(ModelSourceError::CanonicalizePath{path, canonical.error().message()});
      files.push_back(std::move(*canonical));
    }
  }
  return {};
}

std::expected<void, ModelSourceError> expand_one(const std::string& pattern, const SourceLabel& label,
                                                 std::vector<fs::path>& files, std::vector<DeferredMiss>& misses) {
  if (auto canonical = real_path(pattern)) return take_existing(*canonical, files);
  auto translated = glob_to_regex(pattern);
  if (!translated) return Fail(ModelSourceError::InvalidGlob{std::move(translated.error())});
  if (const auto* literal = std::get_if<std::string>(&*translated)) {
    auto canonical = real_path(*literal);
    if (!canonical) return miss(label, *literal, std::move(canonical.error()), misses);
    return take_existing(*canonical, files);
  }
  const auto& glob = std::get<CompiledGlob>(*translated);
  const std::string root_text = glob.walk_root ? glob.root : std::string(".");
  auto root = real_path(root_text);
  if (!root) return miss(label, root_text, std::move(root.error()), misses);
  return walk_glob(*root, glob, files);
}

bool path_less(const fs::path& a, const fs::path& b) { return compare_paths(a.native(), b.native()) < 0; }
bool path_equal(const fs::path& a, const fs::path& b) { return compare_paths(a.native(), b.native()) == 0; }

void sort_unique(std::vector<fs::path>& files) {
  std::ranges::stable_sort(files, path_less);
  files.erase(std::unique(files.begin(), files.end(), path_equal), files.end());
}

}  // namespace

std::string SourceLabel::text(std::string_view path) const {
  if (std::holds_alternative<Positional>(kind)) return fmt::format("positional pattern {}", path);
  if (std::holds_alternative<IncludeOption>(kind))
    return fmt::format("`include` entry {} from --include / plovik.include setting", path);
  return fmt::format("`include` entry {} from {}", path, std::get<ConfigFile>(kind).source);
}

std::string ModelSourceError::text_of(const CollectDirectory& v) {
  return fmt::format("failed to collect sysml and kerml files for directory {}: {}", display_path(v.dir), v.walk_error);
}
std::string ModelSourceError::text_of(const FileType& v) {
  return fmt::format("failed to get file type for path {}: {}", display_path(v.path), v.io.message());
}
std::string ModelSourceError::text_of(const CanonicalizePath& v) {
  return fmt::format("failed to canonicalize path {}: {}", display_path(v.path), v.reason);
}
std::string ModelSourceError::text_of(const Canonicalize& v) {
  return fmt::format("failed to canonicalize {}: {}", v.label, v.io.message());
}
std::string ModelSourceError::text_of(const InvalidGlob& v) {
  return fmt::format("invalid glob pattern {}: {}", v.glob.pattern, v.glob.message);
}

std::expected<SourcePlan, ModelSourceError> load_source_config(const ModelSourceRequest& request) {
  std::optional<DiscoveredConfig> found;
  if (request.config) {
    auto loaded = load_explicit_config(*request.config);
    if (!loaded) return Fail(ModelSourceError::CanonicalizePath{*request.config, loaded.error().message()});
    found = std::move(*loaded);
  } else {
    auto cwd = current_dir_for_plan();
    if (!cwd) return Fail(std::move(cwd.error()));
    auto discovered = discover_config(*cwd);
    if (!discovered) return Fail(ModelSourceError::CanonicalizePath{"plovik.toml", discovered.error().message()});
    found = std::move(*discovered);
  }
  SourcePlan plan{request.patterns, request.include, request.exclude, {SourceLabel::IncludeOption{}}};
  if (!found) return plan;
  const PlovikConfig& config = found->config;
  if (request.include.empty() && config.include) {
    fs::path base;
    if (found->project_dir) {
      base = *found->project_dir;
    } else {
      auto cwd = current_dir_for_plan();
      if (!cwd) return Fail(std::move(cwd.error()));
      base = std::move(*cwd);
    }
    plan.include.clear();
    for (const auto& entry : *config.include) plan.include.push_back(resolve_include_entry(base, entry));
    plan.include_label.kind = SourceLabel::ConfigFile{found->project_file ? display_path(*found->project_file)
                                                                           : std::string(kUserWideSource)};
  }
  if (request.exclude.empty() && config.exclude) plan.exclude = *config.exclude;
  return plan;
}

std::string resolve_include_entry(const fs::path& base_dir, std::string_view entry) {
  if (entry.starts_with('/')) return std::string(entry);
  std::string out = utf8_lossy(base_dir.native());
  if (!out.ends_with('/')) out += '/';
  out += entry;
  return out;
}

std::expected<void, ModelSourceError> expand_source_patterns(const std::vector<std::string>& patterns,
                                                             const SourceLabel& label, std::vector<fs::path>& files,
                                                             std::vector<DeferredMiss>& misses) {
  for (const auto& pattern : patterns)
    if (auto done = expand_one(pattern, label, files, misses); !done) return done;
  return {};
}

std::expected<void, ModelSourceError> collect_directory(const fs::path& dir, std::vector<fs::path>& files) {
  auto walked = walk_unignored(dir);
  if (!walked) return Fail(ModelSourceError::CollectDirectory{dir, std::move(walked.error())});
  for (auto& entry : *walked) {
    if (!is_model_file_name(entry.path)) continue;
    if (entry.kind == WalkedKind::Symlink) {
      files.push_back(std::move(entry.path));
    } else if (entry.kind == WalkedKind::File) {
      auto canonical = real_path(entry.path);
      if (!canonical) return Fail(ModelSourceError::CanonicalizePath{entry.path, canonical.error().message()});
      files.push_back(std::move(*canonical));
    }
  }
  return {};
}

std::expected<void, ModelSourceError> apply_exclusions(const std::vector<std::string>& exclude,
                                                       std::vector<fs::path>& files) {
  if (exclude.empty()) return {};
  std::vector<std::string> patterns;
  for (std::string_view text : exclude) {
    if (text.size() > 1 && text.starts_with("./")) text.remove_prefix(2);
    while (text.ends_with('/')) text.remove_suffix(1);
    patterns.emplace_back(text);
  }
  auto set = build_exclusion_set(patterns);
  if (!set) return Fail(ModelSourceError::InvalidGlob{std::move(set.error())});
  std::erase_if(files, [&](const fs::path& file) { return !exclusion_keeps(*set, file); });
  return {};
}

std::expected<CollectedFiles, ModelSourceError> collect_model_files(const SourcePlan& plan) {
  CollectedFiles out;
  if (auto done = expand_source_patterns(plan.patterns, {SourceLabel::Positional{}}, out.from_patterns, out.misses);
      !done)
    return Fail(std::move(done.error()));
  if (auto done = expand_source_patterns(plan.include, plan.include_label, out.from_include, out.misses); !done)
    return Fail(std::move(done.error()));
  for (auto* list : {&out.from_patterns, &out.from_include}) {
    if (auto done = apply_exclusions(plan.exclude, *list); !done) return Fail(std::move(done.error()));
    sort_unique(*list);
  }
  std::erase_if(out.from_include, [&](const fs::path& file) {
    return std::ranges::binary_search(out.from_patterns, file, path_less);
  });
  return out;
}

std::vector<fs::path> merge_source_lists(std::vector<fs::path> first, std::vector<fs::path> second) {
  first.insert(first.end(), std::make_move_iterator(second.begin()), std::make_move_iterator(second.end()));
  sort_unique(first);
  return first;
}

std::expected<std::vector<fs::path>, ModelSourceError> resolve_model_files(const ModelSourceRequest& request) {
  auto plan = load_source_config(request);
  if (!plan) return Fail(std::move(plan.error()));
  auto collected = collect_model_files(*plan);
  if (!collected) return Fail(std::move(collected.error()));
  if (!collected->misses.empty()) {
    DeferredMiss& first = collected->misses.front();
    return Fail(ModelSourceError::Canonicalize{std::move(first.label), std::move(first.io)});
  }
  return merge_source_lists(std::move(collected->from_patterns), std::move(collected->from_include));
}

}  // namespace kestro::modeler
