// One listed version of a project in an index as a project: version and
// usages from its `versions.json` entry (no request), the two records
// fetched together on first need and kept, and its files from the version's
// archive, downloaded and verified on first read. Used by one thread at a
// time.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/project/read_project.hpp"
#include "kestro/remote/kpar_download.hpp"
#include "kestro/remote/versions.hpp"

namespace kestro::remote {

struct IndexEntryVariants {
  struct Downloaded { RemoteKparError err; };
  struct Fetch { FetchJsonError err; };
  using Sum = std::variant<Downloaded, Fetch>;
};

// Reads exactly as the error it holds.
class IndexEntryError : public ErrorSum<IndexEntryError, IndexEntryVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Downloaded& v) { return v.err.message(); }
  static std::string text_of(const Fetch& v) { return v.err.message(); }
  static const Error* cause_of(const Downloaded& v) { return v.err.cause(); }
  static const Error* cause_of(const Fetch& v) { return v.err.cause(); }
};

class IndexEntryProject : public ReadProject<IndexEntryError> {
 public:
  using InfoMeta = std::pair<InterchangeProjectInfoRaw, InterchangeProjectMetadataRaw>;

  // Makes no request; Downloaded when the archive URL does not parse.
  static std::expected<IndexEntryProject, IndexEntryError> create(std::string_view archive_url, url::Url info_url,
                                                                  url::Url meta_url, ValidatedVersionEntry entry,
                                                                  http::Client client, auth::AuthPolicy policy);

  const IndexKparProject& archive() const { return archive_; }
  const ValidatedVersionEntry& entry() const { return entry_; }
  const url::Url& info_url() const { return info_url_; }
  const url::Url& meta_url() const { return meta_url_; }

  // Both records, fetched once (`.project.json` first) and kept.
  std::expected<std::shared_ptr<const InfoMeta>, IndexEntryError> fetch_index_entry_info_meta() const;

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // One `index_kpar` source from the entry; no request.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  // The entry's version and usages; no request.
  Result<std::optional<std::string>> version() const override;
  Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> usage() const override;
  // The entry's digest; no download.
  Result<EnvProjectChecksum> checksum_hex() const override;

 private:
  IndexEntryProject(IndexKparProject archive, ValidatedVersionEntry entry, url::Url info_url, url::Url meta_url)
      : archive_(std::move(archive)), entry_(std::move(entry)), info_url_(std::move(info_url)),
        meta_url_(std::move(meta_url)) {}

  IndexKparProject archive_;
  ValidatedVersionEntry entry_;
  url::Url info_url_;
  url::Url meta_url_;
  mutable std::shared_ptr<const InfoMeta> info_meta_;
};

}  // namespace kestro::remote
