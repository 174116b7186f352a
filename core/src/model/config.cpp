// Reading and loading `kestro.toml`.
#include "kestro/model/config.hpp"


#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_read.hpp"

namespace kestro::model {

namespace {

using toml::Document;
using toml::NodeId;
using toml::Result;

Result<void> read_string_into(const Document& doc, NodeId id, std::string& out) {
  auto s = toml::read_string(doc, id);
  if (!s) return std::unexpected(std::move(s.error()));
  out = std::move(*s);
  return {};
}

template <typename T, typename F>
Result<void> read_list_into(const Document& doc, NodeId id, std::vector<T>& out, F&& read_element) {
  return toml::read_sequence(doc, id, [&](NodeId item) -> Result<void> {
    auto v = read_element(doc, item);
    if (!v) return std::unexpected(std::move(v.error()));
    out.push_back(std::move(*v));
    return {};
  });
}

Result<std::string> read_text(const Document& doc, NodeId id) { return toml::read_string(doc, id); }

constexpr toml::RecordField kIndexFields[] = {{"name"}, {"url", true}, {"default"}};
constexpr toml::Record kIndexRecord{"struct Index", kIndexFields, 3};

Result<Index> read_index(const Document& doc, NodeId id) {
  Index index;
  auto r = toml::read_record(doc, id, kIndexRecord, [&](size_t field, NodeId v) -> Result<void> {
    if (field == 0) return read_string_into(doc, v, index.name.emplace());
    if (field == 1) return read_string_into(doc, v, index.url);
    auto b = toml::read_bool(doc, v);
    if (!b) return std::unexpected(std::move(b.error()));
    index.default_ = *b;
    return {};
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return index;
}

constexpr toml::RecordField kProjectFields[] = {{"identifiers"}, {"sources"}};
constexpr toml::Record kProjectRecord{"struct ConfigProject", kProjectFields, 0};

Result<ConfigProject> read_project(const Document& doc, NodeId id) {
  ConfigProject project;
  auto r = toml::read_record(doc, id, kProjectRecord, [&](size_t field, NodeId v) -> Result<void> {
    if (field == 0) return read_list_into(doc, v, project.identifiers, read_text);
    return read_list_into(doc, v, project.sources, deserialize_override_source);
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return project;
}

}  // namespace

void Config::merge(Config other) {
  for (Index& i : other.index) index.push_back(std::move(i));
  for (ConfigProject& p : other.project) project.push_back(std::move(p));
}

std::expected<Config, toml::Error> parse_config_toml(std::string_view text) {
  auto doc = toml::parse(std::string(text));
  if (!doc) return std::unexpected(std::move(doc.error()));
  Config config;
  auto r = toml::read_members(*doc, doc->root(), [&](std::string_view key, NodeId v) -> Result<void> {
    if (key == "index") return read_list_into(*doc, v, config.index, read_index);
    if (key == "project") return read_list_into(*doc, v, config.project, read_project);
    return {};
  });
  if (!r) {
    r.error().set_input(doc->source());
    return std::unexpected(std::move(r.error()));
  }
  return config;
}

std::string ConfigLoadError::text_of(const Toml& v) {
  return fmt::format("failed to deserialize TOML file `{}`: {}", display_path(v.path), v.error.message());
}

std::expected<Config, ConfigLoadError> load_config_file(const fs::path& path) {
  auto regular = stat_is_regular_file(path);
  if (!regular) return std::unexpected(ConfigLoadError::Io{std::move(regular.error())});
  if (!*regular) return Config{};
  auto text = read_utf8_file(path);
  if (!text) return std::unexpected(ConfigLoadError::Io{std::move(text.error())});
  auto config = parse_config_toml(*text);
  if (!config) return std::unexpected(ConfigLoadError::Toml{path, std::move(config.error())});
  return std::move(*config);
}

}  // namespace kestro::model
