// The candidates an index offers for a project: the available versions of
// its validated list, newest first, and the index entry project of one
// version. Nothing is downloaded here.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/remote/index_entry.hpp"
#include "kestro/remote/versions.hpp"

namespace kestro::remote {

// The canonical texts of the list's available versions in list order; each
// skipped yanked or removed version is logged at debug level.
class SkipRetiredVersion {
 public:
  SkipRetiredVersion(VersionList list, std::string iri) : list_(std::move(list)), iri_(std::move(iri)) {}
  std::optional<std::string> next();

 private:
  VersionList list_;
  std::string iri_;
  std::size_t at_ = 0;
};

// A version text, or an error met while enumerating.
using VersionItem = std::expected<std::string, IndexEnvError>;

// The index entry project of the listed version `item` names; a yanked
// version named this way is still a candidate, a removed one is not.
std::expected<IndexEntryProject, IndexEnvError> index_project_candidates(VersionItem item, const IndexEnvironment& env,
                                                                         std::string_view iri);

}  // namespace kestro::remote
