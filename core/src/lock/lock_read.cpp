#include "kestro/lock/lock_read.hpp"

#include <array>

#include "kestro/utils/log.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_read.hpp"

namespace kestro::lock {
namespace {

using toml::Document;
using toml::NodeId;
using toml::Result;

constexpr std::array<std::string_view, 7> kProjectKeys = {"name",        "publisher", "version", "exports",
                                                          "identifiers", "usages",    "sources"};
constexpr std::array<std::string_view, 10> kSourceKeys = {"editable",  "src_path",    "checksum",   "kpar_path",
                                                          "kpar_size", "kpar_digest", "remote_kpar", "index_kpar",
                                                          "remote_src", "remote_git"};

template <size_t N>
bool known(const std::array<std::string_view, N>& keys, std::string_view key) {
  for (std::string_view k : keys)
    if (k == key) return true;
  return false;
}

// Stage 1 past the version check: a warning per key the format does not
// name, in document order.
void warn_unknown_keys(const Document& doc) {
  for (const toml::Entry& e : doc.entries(doc.root()))
    if (e.key != "lock_version" && e.key != "project")
      log::warn(kLockLogTarget, "unknown field `{}` in lockfile", e.key);
  const NodeId projects = doc.get(doc.root(), "project");
  if (projects == toml::kNoNode) return;
  const toml::Node& pn = doc.node(projects);
  if (pn.kind != toml::Kind::Array || pn.array_form() != toml::ArrayForm::OfTables) return;
  for (NodeId table : doc.items(projects)) {
    if (doc.node(table).kind != toml::Kind::Table) continue;
    const NodeId name = doc.get(table, "name");
    const std::string description = name == toml::kNoNode
                                        ? std::string("project without name")
                                        : fmt::format("project with name `{}`", doc.text(name));
    for (const toml::Entry& e : doc.entries(table)) {
      if (!known(kProjectKeys, e.key))
        log::warn(kLockLogTarget, "unknown field `{}` in {} in lockfile", e.key, description);
      const toml::Node& value = doc.node(e.value);
      if (e.key != "sources" || value.kind != toml::Kind::Array || value.array_form() != toml::ArrayForm::Inline)
        continue;
      for (NodeId source : doc.items(e.value)) {
        const toml::Node& sn = doc.node(source);
        if (sn.kind != toml::Kind::Table || sn.table_form() != toml::TableForm::Inline) continue;
        for (const toml::Entry& se : doc.entries(source))
          if (!known(kSourceKeys, se.key))
            log::warn(kLockLogTarget, "unknown field `{}` in source for {} in lockfile", se.key, description);
      }
    }
  }
}

// The text of `key` when the table holds it as a string.
const std::string_view* string_at(const Document& doc, NodeId table, std::string_view key, std::string_view& out) {
  const NodeId id = doc.get(table, key);
  if (id == toml::kNoNode || doc.node(id).kind != toml::Kind::String) return nullptr;
  out = doc.string_value(id);
  return &out;
}

// An archive size: an integer from 1 up.
bool size_at(const Document& doc, NodeId table, std::uint64_t& out) {
  const NodeId id = doc.get(table, "kpar_size");
  if (id == toml::kNoNode || doc.node(id).kind != toml::Kind::Integer) return false;
  const auto v = doc.node(id).integer.to_i64();
  if (!v || *v < 1) return false;
  out = static_cast<std::uint64_t>(*v);
  return true;
}

// The seven kinds tried in their fixed order; the first that fits wins.
Result<Source> read_source(const Document& doc, NodeId id) {
  if (doc.node(id).kind == toml::Kind::Table) {
    std::string_view a, b, c;
    std::uint64_t size = 0;
    auto s = [&](std::string_view key, std::string_view& out) { return string_at(doc, id, key, out) != nullptr; };
    if (s("editable", a)) return EditableSource{std::string(a)};
    if (s("src_path", a) && s("checksum", b)) return LocalSrcSource{std::string(a), std::string(b)};
    for (int kind = 0; kind < 3; ++kind) {
      constexpr std::string_view kKeys[] = {"kpar_path", "remote_kpar", "index_kpar"};
      if (!(s(kKeys[kind], a) && size_at(doc, id, size) && s("kpar_digest", c))) continue;
      if (kind == 0) return LocalKparSource{std::string(a), size, std::string(c)};
      if (kind == 1) return RemoteKparSource{std::string(a), size, std::string(c)};
      return IndexKparSource{std::string(a), size, std::string(c)};
    }
    if (s("remote_src", a) && s("checksum", b)) return RemoteSrcSource{std::string(a), std::string(b)};
    if (s("remote_git", a)) return RemoteGitSource{std::string(a)};
  }
  return std::unexpected(toml::Error("data did not match any variant of untagged enum Source"));
}

constexpr toml::RecordField kProjectFields[] = {{"publisher"},  {"name", true}, {"version", true}, {"exports"},
                                                {"identifiers"}, {"usages"},     {"sources"}};
constexpr toml::Record kProjectRecord{"struct Project", kProjectFields, 3};

Result<Project> read_project(const Document& doc, NodeId id) {
  Project p;
  auto r = toml::read_record(doc, id, kProjectRecord, [&](size_t field, NodeId value) -> Result<void> {
    switch (field) {
      case 0: return toml::store(p.publisher, toml::read_string(doc, value));
      case 1: return toml::store(p.name, toml::read_string(doc, value));
      case 2: return toml::store(p.version, toml::read_string(doc, value));
      case 3: return toml::store(p.exports, toml::read_strings(doc, value));
      case 4: return toml::store(p.identifiers, toml::read_strings(doc, value));
      case 5: return toml::store(p.usages, toml::read_strings(doc, value));
      default:
        return toml::read_sequence(doc, value, [&](NodeId item) -> Result<void> {
          auto s = read_source(doc, item);
          if (!s) return std::unexpected(std::move(s.error()));
          p.sources.push_back(std::move(*s));
          return {};
        });
    }
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return p;
}

constexpr toml::RecordField kLockFields[] = {{"lock_version", true}, {"project"}};
constexpr toml::Record kLockRecord{"struct Lock", kLockFields, 1};

Result<Lock> read_lock(const Document& doc) {
  Lock lock;
  auto r = toml::read_record(doc, doc.root(), kLockRecord, [&](size_t field, NodeId value) -> Result<void> {
    if (field == 0) {
      auto v = toml::read_string(doc, value);
      if (!v) return std::unexpected(std::move(v.error()));
      lock.lock_version = std::move(*v);
      return {};
    }
    return toml::read_sequence(doc, value, [&](NodeId item) -> Result<void> {
      auto p = read_project(doc, item);
      if (!p) return std::unexpected(std::move(p.error()));
      lock.project.push_back(std::move(*p));
      return {};
    });
  });
  if (!r) return std::unexpected(std::move(r.error()));
  return lock;
}

}  // namespace

std::expected<Lock, LockfileError> parse_lock(std::string_view text) {
  auto doc = toml::parse(std::string(text));
  if (!doc) return std::unexpected(LockfileError::TomlEdit{std::move(doc.error())});
  const NodeId version = doc->get(doc->root(), "lock_version");
  if (version == toml::kNoNode || doc->node(version).kind != toml::Kind::String)
    return std::unexpected(LockfileError::Version{std::nullopt});
  if (doc->string_value(version) != kLockVersion)
    return std::unexpected(LockfileError::Version{std::string(doc->string_value(version))});
  warn_unknown_keys(*doc);

  auto lock = read_lock(*doc);
  if (!lock) {
    lock.error().set_input(std::string(text));
    return std::unexpected(LockfileError::Toml{std::move(lock.error())});
  }
  if (auto v = validate_lock(*lock); !v) return std::unexpected(LockfileError::Validation{std::move(v.error())});
  return std::move(*lock);
}

}  // namespace kestro::lock
