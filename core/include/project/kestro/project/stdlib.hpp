// The standard libraries known without network access, keyed by the
// location at which each is published as a KPAR archive.
#pragma once

#include "kestro/project/namespace.hpp"

#include <string>
#include <unordered_map>
#include <vector>

#include "kestro/model/records.hpp"
#include "kestro/project/memory.hpp"

namespace kestro::project {

struct StandardLibraryEntry {
  std::string location;
  InterchangeProjectInfoRaw info;
  InterchangeProjectMetadataRaw meta;
};

// The ten libraries' records, freshly parsed, in table order.
std::vector<StandardLibraryEntry> standard_library_entries();

// Location to candidate projects: ten keys, one in-memory project each,
// holding both records and no files. A new, independent table per call.
std::unordered_map<std::string, std::vector<InMemoryProject>> standard_library_projects();

}  // namespace kestro::project
