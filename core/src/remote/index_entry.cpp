// Index entry projects: records fetched once as a pair, files from the
// version's verified archive.
#include "kestro/remote/index_entry.hpp"

namespace kestro::remote {

namespace {

using Fail = std::unexpected<IndexEntryError>;

// A record that a 404 fails like every other status outside 2xx.
template <typename T>
std::expected<T, IndexEntryError> fetch_record(const IndexKparProject& archive, const url::Url& url,
                                               json::Result<T> (*parse)(std::string_view)) {
  auto record = fetch_index_json(archive.client(), archive.policy(), url, parse, FetchMode::RequirePresent);
  if (!record) return Fail(IndexEntryError::Fetch{std::move(record.error())});
  return std::move(**record);
}

}  // namespace

std::expected<IndexEntryProject, IndexEntryError> IndexEntryProject::create(std::string_view archive_url,
                                                                            url::Url info_url, url::Url meta_url,
                                                                            ValidatedVersionEntry entry,
                                                                            http::Client client,
                                                                            auth::AuthPolicy policy) {
  auto archive =
      IndexKparProject::create(archive_url, std::move(client), std::move(policy), entry.kpar_size, entry.kpar_digest);
  if (!archive) return Fail(IndexEntryError::Downloaded{std::move(archive.error())});
  return IndexEntryProject(std::move(*archive), std::move(entry), std::move(info_url), std::move(meta_url));
}

std::expected<std::shared_ptr<const IndexEntryProject::InfoMeta>, IndexEntryError>
IndexEntryProject::fetch_index_entry_info_meta() const {
  if (info_meta_) return info_meta_;
  auto info = fetch_record(archive_, info_url_, model::parse_project_info);
  if (!info) return Fail(std::move(info.error()));
  auto meta = fetch_record(archive_, meta_url_, model::parse_project_meta);
  if (!meta) return Fail(std::move(meta.error()));
  info_meta_ = std::make_shared<const InfoMeta>(std::move(*info), std::move(*meta));
  return info_meta_;
}

IndexEntryProject::Result<ProjectRecords> IndexEntryProject::get_project() const {
  auto pair = fetch_index_entry_info_meta();
  if (!pair) return Fail(std::move(pair.error()));
  return ProjectRecords((*pair)->first, (*pair)->second);
}

IndexEntryProject::Result<std::optional<InterchangeProjectInfoRaw>> IndexEntryProject::get_info() const {
  auto pair = fetch_index_entry_info_meta();
  if (!pair) return Fail(std::move(pair.error()));
  return std::optional<InterchangeProjectInfoRaw>((*pair)->first);
}

IndexEntryProject::Result<std::optional<InterchangeProjectMetadataRaw>> IndexEntryProject::get_meta() const {
  auto pair = fetch_index_entry_info_meta();
  if (!pair) return Fail(std::move(pair.error()));
  return std::optional<InterchangeProjectMetadataRaw>((*pair)->second);
}

IndexEntryProject::Result<SourceReaderPtr> IndexEntryProject::read_source(std::string_view path) const {
  auto reader = archive_.read_source(path);
  if (!reader) return Fail(IndexEntryError::Downloaded{std::move(reader.error())});
  return std::move(*reader);
}

IndexEntryProject::Result<std::vector<Source>> IndexEntryProject::sources(const ProjectContext&) const {
  return std::vector<Source>{IndexKparSource{archive_.url().href(), entry_.kpar_size, entry_.kpar_digest}};
}

IndexEntryProject::Result<std::optional<std::string>> IndexEntryProject::version() const {
  return std::optional<std::string>(entry_.version.to_string());
}

IndexEntryProject::Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> IndexEntryProject::usage() const {
  return std::optional<std::vector<InterchangeProjectUsageRaw>>(entry_.usage);
}

IndexEntryProject::Result<EnvProjectChecksum> IndexEntryProject::checksum_hex() const {
  return EnvProjectChecksum::kpar(entry_.kpar_digest);
}

}  // namespace kestro::remote
