// Configured project sources: reading one from a TOML value and writing one
// as an inline table.
#include "kestro/model/override_source.hpp"

namespace kestro::model {

namespace {

constexpr OverrideSource::Kind kKinds[] = {
    OverrideSource::Kind::Editable,   OverrideSource::Kind::LocalSrc,  OverrideSource::Kind::LocalKpar,
    OverrideSource::Kind::RemoteKpar, OverrideSource::Kind::RemoteSrc, OverrideSource::Kind::RemoteGit,
};

}  // namespace

std::string_view OverrideSource::key(Kind kind) {
  switch (kind) {
    case Kind::Editable: return "editable";
    case Kind::LocalSrc: return "src_path";
    case Kind::LocalKpar: return "kpar_path";
    case Kind::RemoteKpar: return "remote_kpar";
    case Kind::RemoteSrc: return "remote_src";
    case Kind::RemoteGit: return "remote_git";
  }
  return {};
}

std::expected<OverrideSource, toml::Error> deserialize_override_source(const toml::Document& doc, toml::NodeId value) {
  // The whole value is taken once; every kind is matched against that tree.
  auto tree = toml::to_value(doc, value);
  if (!tree) return std::unexpected(std::move(tree.error()));
  for (OverrideSource::Kind kind : kKinds) {
    const toml::Value* text = tree->find(OverrideSource::key(kind));
    if (text != nullptr && text->as_string() != nullptr) return OverrideSource{kind, *text->as_string()};
  }
  return std::unexpected(toml::Error("data did not match any variant of untagged enum OverrideSource"));
}

toml::Value override_source_to_toml(const OverrideSource& source) {
  toml::Value table = toml::Value::table();
  table.set(std::string(OverrideSource::key(source.kind)), toml::Value::string(source.text));
  return table;
}

}  // namespace kestro::model
