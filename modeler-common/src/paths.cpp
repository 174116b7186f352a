#include "kestro/modeler/paths.hpp"

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::modeler {

std::string PathError::text_of(const CanonicalizeParent& v) {
  return fmt::format("failed to canonicalize parent path `{}`: {}", display_path(v.parent), v.io.message());
}
std::string PathError::text_of(const NoFileName& v) {
  return fmt::format("path {} has no file name", display_path(v.path));
}
std::string PathError::text_of(const CurrentDir& v) {
  return fmt::format("failed to get current directory: {}", v.io.message());
}
std::string PathError::text_of(const CanonicalizeCurrentDir& v) {
  return fmt::format("failed to canonicalize current directory: {}", v.io.message());
}
std::string PathError::debug_of(const CanonicalizeParent& v) {
  return fmt::format("CanonicalizeParent({}, {})", debug_quote(display_path(v.parent)), v.io.message());
}
std::string PathError::debug_of(const NoFileName& v) {
  return fmt::format("NoFileName({})", debug_quote(display_path(v.path)));
}
std::string PathError::debug_of(const CurrentDir& v) { return fmt::format("CurrentDir({})", v.io.message()); }
std::string PathError::debug_of(const CanonicalizeCurrentDir& v) {
  return fmt::format("CanonicalizeCurrentDir({})", v.io.message());
}

namespace {

// The last two significant parts of a path (the second-to-last may be
// missing), in the sense of for_each_significant_part.
struct LastParts {
  std::optional<PathPart> before_last;
  std::optional<PathPart> last;
};

LastParts last_parts(std::string_view path) {
  LastParts out;
  for_each_significant_part(path, [&](const PathPart& p) {
    out.before_last = out.last;
    out.last = p;
  });
  return out;
}

std::expected<fs::path, IoError> current_dir() {
  std::string buffer(256, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::unexpected(IoError::last());
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return fs::path(std::move(buffer));
}

}  // namespace

std::optional<std::string_view> lexical_parent(std::string_view path) {
  const LastParts parts = last_parts(path);
  if (!parts.last || parts.last->kind == PathPart::Kind::Root) return std::nullopt;
  if (!parts.before_last) return path.substr(0, 0);
  const PathPart& p = *parts.before_last;
  return path.substr(0, static_cast<std::size_t>(p.text.data() - path.data()) + p.text.size());
}

std::optional<std::string_view> file_name(std::string_view path) {
  const LastParts parts = last_parts(path);
  if (!parts.last || parts.last->kind != PathPart::Kind::Name) return std::nullopt;
  return parts.last->text;
}

std::expected<fs::path, PathError> canonical_current_dir() {
  auto cwd = current_dir();
  if (!cwd) return std::unexpected(PathError::CurrentDir{std::move(cwd.error())});
  auto canonical = real_path(*cwd);
  if (!canonical) return std::unexpected(PathError::CanonicalizeCurrentDir{std::move(canonical.error())});
  return std::move(*canonical);
}

std::expected<fs::path, PathError> canonicalize_keep_last(const fs::path& path) {
  const std::string_view text = path.native();
  fs::path dir;
  if (const auto parent = lexical_parent(text); parent && !parent->empty()) {
    auto canonical = real_path(fs::path(*parent));
    if (!canonical) return std::unexpected(PathError::CanonicalizeParent{fs::path(*parent), std::move(canonical.error())});
    dir = std::move(*canonical);
  } else {
    auto cwd = canonical_current_dir();
    if (!cwd) return std::unexpected(std::move(cwd.error()));
    dir = std::move(*cwd);
  }
  const auto name = file_name(text);
  if (!name) return std::unexpected(PathError::NoFileName{path});
  return dir / *name;
}

}  // namespace kestro::modeler
