#include "kestro/model/index_documents.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::model {

namespace {

constexpr json::Field kConfigFields[] = {{"index_root", false, true}, {"api_root", false, true}};
constexpr json::Field kIndexFields[] = {{"projects", true}};
constexpr json::Field kProjectFields[] = {{"iri", true}, {"status", false, true}};
constexpr json::Field kVersionsFields[] = {{"versions", true}};
constexpr json::Field kEntryFields[] = {
    {"version", true}, {"usage", true}, {"kpar_size", true}, {"kpar_digest", true}, {"status", false, true}};

// A unit variant given as its text, or as an object holding the text as its
// only key with a null value.
json::Result<size_t> read_status(json::Reader& r, std::span<const std::string_view> names, std::string_view expected) {
  auto lookup = [&](const std::string& text) -> json::Result<size_t> {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == text) return i;
    return std::unexpected(r.fix(json::JsonError(fmt::format("unknown variant `{}`, expected {}", text, expected))));
  };
  auto c = r.peek_ws();
  if (!c) return std::unexpected(r.peek_error("EOF while parsing a value"));
  if (*c == '"') {
    auto s = r.read_string();
    if (!s) return std::unexpected(s.error());
    return lookup(*s);
  }
  if (*c != '{') return std::unexpected(r.peek_error("expected value"));
  if (auto e = r.enter(); !e) return std::unexpected(e.error());
  r.eat();
  auto visit = [&]() -> json::Result<size_t> {
    auto s = r.read_string("variant identifier");
    if (!s) return std::unexpected(s.error());
    auto idx = lookup(*s);
    if (!idx) return idx;
    if (auto e = r.map_colon(); !e) return std::unexpected(e.error());
    auto null = r.read_null();
    if (!null) return std::unexpected(null.error());
    if (!*null) return std::unexpected(r.invalid_type("unit"));
    auto end = r.peek_ws();
    if (!end) return std::unexpected(r.error("EOF while parsing an object"));
    if (*end != '}') return std::unexpected(r.error("expected value"));
    r.eat();
    return idx;
  };
  auto result = visit();
  r.leave();
  return result;
}

json::Result<std::uint64_t> read_nonzero_u64(json::Reader& r) {
  auto n = r.read_number("a nonzero u64");
  if (!n) return std::unexpected(n.error());
  switch (n->kind) {
    case json::Number::Kind::U64:
      if (n->u != 0) return n->u;
      [[fallthrough]];
    case json::Number::Kind::I64:
      return std::unexpected(
          r.fix(json::JsonError(fmt::format("invalid value: {}, expected a nonzero u64", json::describe_number(*n)))));
    case json::Number::Kind::F64: break;
  }
  return std::unexpected(
      r.fix(json::JsonError(fmt::format("invalid type: {}, expected a nonzero u64", json::describe_number(*n)))));
}

constexpr std::string_view kProjectStatusNames[] = {"available", "removed"};
constexpr std::string_view kVersionStatusNames[] = {"available", "yanked", "removed"};

json::Result<IndexJson> read_index_json(json::Reader& r) {
  IndexJson index;
  auto res = json::read_record(r, "struct IndexJson", kIndexFields, [&](size_t, json::Reader& rd) -> json::Result<void> {
    return json::read_seq(rd, "a sequence", [&](json::Reader& e) -> json::Result<void> {
      auto p = deserialize_index_project(e);
      if (!p) return std::unexpected(p.error());
      index.projects.push_back(std::move(*p));
      return {};
    });
  });
  if (!res) return std::unexpected(res.error());
  return index;
}

json::Result<VersionsJson> read_versions_json(json::Reader& r) {
  VersionsJson versions;
  auto res =
      json::read_record(r, "struct VersionsJson", kVersionsFields, [&](size_t, json::Reader& rd) -> json::Result<void> {
        return json::read_seq(rd, "a sequence", [&](json::Reader& e) -> json::Result<void> {
          auto v = deserialize_version_entry(e);
          if (!v) return std::unexpected(v.error());
          versions.versions.push_back(std::move(*v));
          return {};
        });
      });
  if (!res) return std::unexpected(res.error());
  return versions;
}

// Opens, reads and parses a list document; empty content is the empty
// document.
template <typename T, typename F>
std::expected<T, IndexFileError> read_list_file(const std::filesystem::path& path, bool create, F&& read) {
  auto opened = open_fd(path, O_RDWR | (create ? O_CREAT : 0), 0666);
  if (!opened) {
    const IoError& io = opened.error();
    FsIoError fs_err(FsIoError::OpenFile{path, io});
    if (io.is_not_found()) return std::unexpected(IndexFileError::NotFound{std::move(fs_err)});
    return std::unexpected(IndexFileError::Io{std::move(fs_err)});
  }
  auto content = read_fd(opened->get());
  if (content && !is_valid_utf8(*content)) content = std::unexpected(IoError::custom("stream did not contain valid UTF-8"));
  if (!content) return std::unexpected(IndexFileError::Io{FsIoError::ReadFile{path, content.error()}});
  if (content->empty()) return T{};
  auto doc = json::parse_document<T>(*content, read);
  if (!doc) return std::unexpected(IndexFileError::Json{path, std::move(doc.error())});
  return std::move(*doc);
}

}  // namespace

std::string_view version_status_name(VersionStatus status) {
  switch (status) {
    case VersionStatus::Available: return "Available";
    case VersionStatus::Yanked: return "Yanked";
    case VersionStatus::Removed: return "Removed";
  }
  return "";
}

json::Result<IndexConfigRaw> parse_index_config(std::string_view text) {
  return json::parse_document<IndexConfigRaw>(text, [](json::Reader& r) -> json::Result<IndexConfigRaw> {
    IndexConfigRaw config;
    auto res = json::read_record(r, "struct IndexConfigRaw", kConfigFields,
                                 [&](size_t i, json::Reader& rd) -> json::Result<void> {
                                   return json::assign(rd.read_optional_string(), i == 0 ? config.index_root : config.api_root);
                                 });
    if (!res) return std::unexpected(res.error());
    return config;
  });
}

json::Result<IndexProject> deserialize_index_project(json::Reader& reader) {
  IndexProject project;
  auto res = json::read_record(reader, "struct IndexProject", kProjectFields,
                               [&](size_t i, json::Reader& rd) -> json::Result<void> {
                                 if (i == 0) return json::assign(rd.read_string(), project.iri);
                                 auto s = read_status(rd, kProjectStatusNames, "`available` or `removed`");
                                 if (!s) return std::unexpected(s.error());
                                 project.status = static_cast<IndexProjectStatus>(*s);
                                 return {};
                               });
  if (!res) return std::unexpected(res.error());
  return project;
}

json::Result<VersionEntry> deserialize_version_entry(json::Reader& reader) {
  VersionEntry entry;
  auto res = json::read_record(
      reader, "struct VersionEntry", kEntryFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
        switch (i) {
          case 0: return json::assign(rd.read_string(), entry.version);
          case 1: return json::assign(deserialize_usage_list(rd), entry.usage);
          case 2: return json::assign(read_nonzero_u64(rd), entry.kpar_size);
          case 3: return json::assign(rd.read_string(), entry.kpar_digest);
          default: {
            auto s = read_status(rd, kVersionStatusNames, "one of `available`, `yanked`, `removed`");
            if (!s) return std::unexpected(s.error());
            entry.status = static_cast<VersionStatus>(*s);
            return {};
          }
        }
      });
  if (!res) return std::unexpected(res.error());
  return entry;
}

json::Result<IndexJson> parse_index_json_text(std::string_view text) {
  return json::parse_document<IndexJson>(text, read_index_json);
}

json::Result<VersionsJson> parse_versions_json_text(std::string_view text) {
  return json::parse_document<VersionsJson>(text, read_versions_json);
}

const std::filesystem::path& IndexFileError::path() const {
  return visit([](const auto& v) -> const std::filesystem::path& {
    if constexpr (requires { v.fs; })
      return v.fs.path();
    else
      return v.path;
  });
}

std::string IndexFileError::text_of(const Json& v) {
  return fmt::format("failed to parse `{}`: {}", display_path(v.path), v.json.message());
}

std::expected<IndexJson, IndexFileError> parse_index_json(const std::filesystem::path& path) {
  return read_list_file<IndexJson>(path, false, read_index_json);
}

std::expected<VersionsJson, IndexFileError> parse_versions_json(const std::filesystem::path& path) {
  return read_list_file<VersionsJson>(path, true, read_versions_json);
}

std::string to_pretty_json(const IndexJson& index) {
  json::Writer w(json::Writer::Style::Pretty);
  w.begin_object();
  w.key("projects");
  w.begin_array();
  for (const auto& p : index.projects) {
    w.begin_object();
    w.member("iri", p.iri);
    if (p.status == IndexProjectStatus::Removed) w.member("status", "removed");
    w.end_object();
  }
  w.end_array();
  w.end_object();
  return w.take() + '\n';
}

std::string to_pretty_json(const VersionsJson& versions) {
  json::Writer w(json::Writer::Style::Pretty);
  w.begin_object();
  w.key("versions");
  w.begin_array();
  for (const auto& v : versions.versions) {
    w.begin_object();
    w.member("version", v.version);
    w.key("usage");
    w.begin_array();
    for (const auto& u : v.usage) serialize_usage(u, w);
    w.end_array();
    w.key("kpar_size");
    w.u64(v.kpar_size);
    w.member("kpar_digest", v.kpar_digest);
    if (v.status != VersionStatus::Available) w.member("status", kVersionStatusNames[static_cast<size_t>(v.status)]);
    w.end_object();
  }
  w.end_array();
  w.end_object();
  return w.take() + '\n';
}

}  // namespace kestro::model
