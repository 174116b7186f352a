// The standard libraries known without network access, keyed by the
// location at which each is published as a KPAR archive.
#pragma once

#include <string>
#include <vector>

#include "kestro/model/records.hpp"

namespace kestro {

struct StandardLibraryEntry {
  std::string location;
  InterchangeProjectInfoRaw info;
  InterchangeProjectMetadataRaw meta;
};

// The ten libraries' records, freshly parsed, in table order.
std::vector<StandardLibraryEntry> standard_library_entries();

}  // namespace kestro
