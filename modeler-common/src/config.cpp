#include "kestro/modeler/config.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/text.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_read.hpp"

namespace kestro::modeler {

std::string ConfigError::text_of(const ReadFailed& v) {
  return fmt::format("failed to read {}: {}", display_path(v.path), v.io.message());
}
std::string ConfigError::text_of(const ParseFailed& v) {
  return fmt::format("failed to parse {}: {}", display_path(v.path), v.error.message());
}
std::string ConfigError::text_of(const ProjectConfigDisappeared& v) {
  return fmt::format("project config at {} disappeared between discovery and load", display_path(v.path));
}
std::string ConfigError::text_of(const NotFound& v) {
  return fmt::format("config file not found: {}", display_path(v.path));
}
std::string ConfigError::debug_of(const ReadFailed& v) {
  return fmt::format("ReadFailed({}, {})", debug_quote(display_path(v.path)), v.io.message());
}
std::string ConfigError::debug_of(const ParseFailed& v) {
  return fmt::format("ParseFailed({}, {})", debug_quote(display_path(v.path)), debug_quote(v.error.message()));
}
std::string ConfigError::debug_of(const ProjectConfigDisappeared& v) {
  return fmt::format("ProjectConfigDisappeared({})", debug_quote(display_path(v.path)));
}
std::string ConfigError::debug_of(const NotFound& v) {
  return fmt::format("NotFound({})", debug_quote(display_path(v.path)));
}

std::string_view soundness_tier_text(SoundnessTier tier) {
  switch (tier) {
    case SoundnessTier::Project: return "project";
    case SoundnessTier::External: return "external";
    case SoundnessTier::All: return "all";
  }
  return {};
}

namespace {

using toml::Document;
using toml::NodeId;
using toml::Result;

bool key_less(const toml::Value::Member& m, std::string_view key) { return m.key < key; }

// Orders the members of every table in `value` by key. Recursion is bounded
// by the reader's nesting limit.
void order_tables(toml::Value& value) {
  if (toml::Value::Table* table = value.as_table()) {
    std::ranges::stable_sort(*table, {}, &toml::Value::Member::key);
    for (toml::Value::Member& m : *table) order_tables(m.value);
  } else if (toml::Value::Array* items = value.as_array()) {
    for (toml::Value& item : *items) order_tables(item);
  }
}

Result<TomlTable> read_table(const Document& doc, NodeId id) {
  if (doc.node(id).kind != toml::Kind::Table) return std::unexpected(toml::invalid_type(doc, id, "a map"));
  auto value = toml::to_value(doc, id);
  if (!value) return std::unexpected(std::move(value.error()));
  order_tables(*value);
  return std::move(*value->as_table());
}

constexpr toml::RecordField kLspFields[] = {{"edit"}};
constexpr toml::Record kLspRecord{"struct LspConfig", kLspFields, 0};

Result<LspConfig> read_lsp(const Document& doc, NodeId id) {
  LspConfig lsp;
  auto r = toml::read_record(doc, id, kLspRecord, [&](size_t, NodeId v) -> Result<void> {
    return toml::store(lsp.edit, toml::read_string(doc, v));
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return lsp;
}

Result<PlovikConfig> parse_config(std::string text) {
  auto doc = toml::parse(std::move(text));
  if (!doc) return std::unexpected(std::move(doc.error()));
  PlovikConfig config;
  auto r = toml::read_members(*doc, doc->root(), [&](std::string_view key, NodeId v) -> Result<void> {
    if (key == "include") return toml::store(config.include, toml::read_strings(*doc, v));
    if (key == "exclude") return toml::store(config.exclude, toml::read_strings(*doc, v));
    if (key == "viz") return toml::store(config.viz, read_table(*doc, v));
    if (key == "std") return toml::store(config.std_dir, toml::read_string(*doc, v));
    if (key == "kestro-dir") return toml::store(config.kestro_dir, toml::read_string(*doc, v));
    if (key == "lsp") return toml::store(config.lsp, read_lsp(*doc, v));
    return {};
  });
  if (!r) {
    r.error().set_input(doc->source());
    return std::unexpected(std::move(r.error()));
  }
  return config;
}

// A later value of a replacing key, when it has one.
template <typename T>
void replace_if_present(std::optional<T>& earlier, std::optional<T>&& later) {
  if (later) earlier = std::move(later);
}

}  // namespace

void merge_toml_value(toml::Value& base, toml::Value overlay) {
  toml::Value::Table* base_table = base.as_table();
  toml::Value::Table* overlay_table = overlay.as_table();
  if (base_table && overlay_table)
    merge_toml_tables(*base_table, std::move(*overlay_table));
  else
    base = std::move(overlay);
}

void merge_toml_tables(TomlTable& base, TomlTable overlay) {
  for (toml::Value::Member& m : overlay) {
    auto at = std::lower_bound(base.begin(), base.end(), std::string_view(m.key), key_less);
    if (at != base.end() && at->key == m.key)
      merge_toml_value(at->value, std::move(m.value));
    else
      base.insert(at, std::move(m));
  }
}

void PlovikConfig::merge(PlovikConfig later) {
  replace_if_present(include, std::move(later.include));
  if (later.exclude) {
    if (exclude)
      std::ranges::move(*later.exclude, std::back_inserter(*exclude));
    else
      exclude = std::move(later.exclude);
  }
  if (later.viz) {
    if (viz)
      merge_toml_tables(*viz, std::move(*later.viz));
    else
      viz = std::move(later.viz);
  }
  replace_if_present(std_dir, std::move(later.std_dir));
  replace_if_present(kestro_dir, std::move(later.kestro_dir));
  if (later.lsp) {
    if (lsp)
      replace_if_present(lsp->edit, std::move(later.lsp->edit));
    else
      lsp = std::move(later.lsp);
  }
}

std::expected<std::optional<PlovikConfig>, ConfigError> read_config_file(const fs::path& path) {
  auto text = read_utf8_file(path);
  if (!text) {
    if (text.error().io().is_not_found()) return std::nullopt;
    return std::unexpected(ConfigError::ReadFailed{path, text.error().io()});
  }
  auto config = parse_config(std::move(*text));
  if (!config) return std::unexpected(ConfigError::ParseFailed{path, std::move(config.error())});
  return std::move(*config);
}

}  // namespace kestro::modeler
