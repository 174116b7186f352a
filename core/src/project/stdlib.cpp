// The ten standard libraries of the KerML and SysML v2 release 20250201,
// known without network access: their records as text (kept as files under
// core/data/stdlib), read with the same reader as files on disk.
#include "kestro/project/stdlib.hpp"

#include "kestro/utils/error.hpp"

namespace kestro::project {

namespace {

struct StdlibText {
  const char* location;
  const char* info;
  const char* meta;
};

// Row order: the order in which the table is built. The rows are made at
// build time from the records under core/data/stdlib.
constexpr StdlibText kTexts[] = {
#include "kestro/project/stdlib_table.inc"
};

}  // namespace

std::vector<StandardLibraryEntry> standard_library_entries() {
  std::vector<StandardLibraryEntry> entries;
  entries.reserve(std::size(kTexts));
  for (const auto& t : kTexts) {
    auto info = parse_project_info(t.info);
    auto meta = parse_project_meta(t.meta);
    if (!info || !meta) internal_error(std::string("defective standard-library record for ") + t.location);
    entries.push_back(StandardLibraryEntry{t.location, std::move(*info), std::move(*meta)});
  }
  return entries;
}

std::unordered_map<std::string, std::vector<InMemoryProject>> standard_library_projects() {
  std::unordered_map<std::string, std::vector<InMemoryProject>> table;
  for (auto& e : standard_library_entries())
    table[e.location].push_back(InMemoryProject({}, std::move(e.info), std::move(e.meta)));
  return table;
}

}  // namespace kestro::project
