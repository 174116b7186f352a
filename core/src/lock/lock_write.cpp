#include "kestro/lock/lock.hpp"

#include <cstdint>
#include <limits>

#include <fmt/format.h>

#include "kestro/utils/toml_write.hpp"

namespace kestro::lock {
namespace {

void key_string(std::string& out, std::string_view key, std::string_view text) {
  out += key;
  out += " = ";
  out += toml::write_string(text);
}

void list_line(std::string& out, std::string_view key, const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  out += key;
  out += " = ";
  out += write_toml_multiline_array(texts);
  out += '\n';
}

std::expected<void, LockWriteError> key_size(std::string& out, std::uint64_t size, const std::string& name) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return std::unexpected(LockWriteError::SizeOutOfRange{name, size});
  out += ", kpar_size = ";
  out += std::to_string(size);
  return {};
}

// The inline table of a source; `name` only names the project in an error.
std::expected<std::string, LockWriteError> source_text(const Source& source, const std::string& name) {
  std::string out = "{ ";
  std::expected<void, LockWriteError> ok;
  auto kpar = [&](std::string_view key, const std::string& location, std::uint64_t size, const std::string& digest) {
    key_string(out, key, location);
    ok = key_size(out, size, name);
    out += ", ";
    key_string(out, "kpar_digest", digest);
  };
  std::visit(
      [&](const auto& s) {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, EditableSource>) {
          key_string(out, "editable", s.editable);
        } else if constexpr (std::is_same_v<S, LocalSrcSource>) {
          key_string(out, "src_path", s.src_path);
          out += ", ";
          key_string(out, "checksum", s.checksum);
        } else if constexpr (std::is_same_v<S, LocalKparSource>) {
          kpar("kpar_path", s.kpar_path, s.kpar_size, s.kpar_digest);
        } else if constexpr (std::is_same_v<S, RemoteKparSource>) {
          kpar("remote_kpar", s.remote_kpar, s.kpar_size, s.kpar_digest);
        } else if constexpr (std::is_same_v<S, IndexKparSource>) {
          kpar("index_kpar", s.index_kpar, s.kpar_size, s.kpar_digest);
        } else if constexpr (std::is_same_v<S, RemoteSrcSource>) {
          key_string(out, "remote_src", s.remote_src);
          out += ", ";
          key_string(out, "checksum", s.checksum);
        } else {
          static_assert(std::is_same_v<S, RemoteGitSource>);
          key_string(out, "remote_git", s.remote_git);
        }
      },
      source);
  if (!ok) return std::unexpected(std::move(ok.error()));
  out += " }";
  return out;
}

}  // namespace

std::string LockWriteError::text_of(const SizeOutOfRange& v) {
  return fmt::format("archive size {} of project `{}` is too large for a lockfile", v.size, v.name);
}

std::expected<std::string, LockWriteError> lock_source_to_toml(const Source& source) {
  return source_text(source, "");
}

std::expected<std::string, LockWriteError> lock_project_to_toml(const Project& project) {
  std::string out;
  if (project.publisher) {
    key_string(out, "publisher", *project.publisher);
    out += '\n';
  }
  key_string(out, "name", project.name);
  out += '\n';
  key_string(out, "version", project.version);
  out += '\n';
  list_line(out, "exports", project.exports);
  list_line(out, "identifiers", project.identifiers);
  list_line(out, "usages", project.usages);
  if (!project.sources.empty()) {
    std::vector<std::string> raw;
    raw.reserve(project.sources.size());
    for (const Source& s : project.sources) {
      auto text = source_text(s, project.name);
      if (!text) return std::unexpected(std::move(text.error()));
      raw.push_back(std::move(*text));
    }
    out += "sources = ";
    toml::append_multiline_array(out, raw);
    out += '\n';
  }
  return out;
}

std::expected<std::string, LockWriteError> serialize_lock(const Lock& lock) {
  std::string out(toml::kGeneratedFileHeader);
  key_string(out, "lock_version", lock.lock_version);
  out += '\n';
  for (const Project& p : lock.project) {
    auto table = lock_project_to_toml(p);
    if (!table) return std::unexpected(std::move(table.error()));
    out += "\n[[project]]\n";
    out += *table;
  }
  return out;
}

}  // namespace kestro::lock
