#include "kestro/env/install_location.hpp"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "kestro/model/purl.hpp"
#include "kestro/utils/display_name.hpp"
#include "kestro/utils/iri_normalize.hpp"
#include "kestro/utils/path_parts.hpp"

namespace kestro::env {
namespace {

// The first and the last name of a relative path, when it has names.
struct FirstAndLast {
  std::string_view first;
  std::string_view last;
};
std::optional<FirstAndLast> first_and_last_names(std::string_view path) {
  std::optional<FirstAndLast> out;
  bool leading = true;
  for (const PathPart& part : PathParts(path)) {
    if (part.kind == PathPart::Kind::Empty || (part.kind == PathPart::Kind::Current && !part.leading)) continue;
    if (leading) out = FirstAndLast{part.text, part.text};
    leading = false;
    if (out) out->last = part.text;
  }
  return out;
}

// Whether an entry under `lib` ends in `name`. An entry whose last part is
// `..` or `.` ends in no name and clashes with none.
bool clashes(const EnvProject& entry, std::string_view name) {
  auto parts = first_and_last_names(entry.path);
  return parts && parts->first == "lib" && parts->last == name;
}

}  // namespace

std::string iri_display_name(const iri::Iri& iri) {
  // Normalising a parsed IRI fails only for a host UTS 46 refuses; the name
  // is then made from the IRI as written.
  std::optional<iri::Iri> normalized;
  if (auto canonical = iri::canonicalize_iri(iri.as_str()))
    if (auto parsed = iri::Iri::parse(*canonical)) normalized = std::move(*parsed);
  const iri::Iri& source = normalized ? *normalized : iri;
  if (auto purl = parse_kestro_purl(source.as_str()); purl && *purl)
    return fmt::format("{}-{}", (*purl)->publisher, (*purl)->name);
  return iri_display_text(source);
}

bool is_under_env_lib(const EnvProject& entry) {
  auto parts = first_and_last_names(entry.path);
  return parts && parts->first == "lib";
}

std::string choose_env_project_path(std::span<const EnvProject> entries, const iri::Iri& iri,
                                    std::string_view version) {
  const std::string base = iri_display_name(iri) + "_";
  const std::string slug = version_slug(version);
  auto taken = [&](std::string_view name) {
    return std::ranges::any_of(entries, [&](const EnvProject& e) { return clashes(e, name); });
  };
  std::string name = base + slug;
  for (unsigned long k = 1; taken(name); ++k) name = fmt::format("{}{}_{}", base, k, slug);
  return "lib/" + name;
}

}  // namespace kestro::env
