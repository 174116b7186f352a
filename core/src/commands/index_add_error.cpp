#include "kestro/commands/index_add_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/shell_quote.hpp"

namespace kestro::commands {

namespace {

constexpr const char* kProjectFile = ".project.json";

// Ends every suggestion that asks for a change in the original project.
constexpr const char* kRebuildTail = "\nand then rebuild the KPAR before adding it to the index";

constexpr const char* kNamingRules =
    "no need to specify the IRI, as it will be derived from\nthe project publisher and name if both follow Kestro "
    "naming rules, which are:\n- between 3 and 50 ASCII characters long\n- starts and ends with a letter or "
    "number\n- may contain single spaces or hyphens (`-`); name can in addition contain dots";

constexpr const char* kPublisherRules =
    "publisher has to follow the following rules:\n- between 3 and 50 ASCII characters long\n- starts and ends with "
    "a letter or number\n- may contain single spaces or hyphens (`-`)\nset the publisher that follows the above "
    "rules with:\n                kestro info publisher --set <publisher>";

constexpr const char* kNameRules =
    "name has to follow the following rules:\n- between 3 and 50 ASCII characters long\n- starts and ends with a "
    "letter or number\n- may contain single spaces, dots or hyphens (`-`)\nset the name that follows the above "
    "rules with:\n                kestro info name --set <name>";

}  // namespace

std::string IndexAddError::text_of(const IndexRootNotFound& v) {
  return fmt::format("index root directory `{}` not found", v.index_root);
}
std::string IndexAddError::text_of(const NotAnIndex&) {
  return "current directory is not an index as it doesn't have index.json file; make sure you run `kestro index "
         "init` in this directory before adding any packages";
}
std::string IndexAddError::text_of(const CleanupFailed& v) {
  return fmt::format("adding version failed; cleanup also unsuccessful (error {})", v.cleanup.message());
}
std::string IndexAddError::text_of(const InvalidJsonFile& v) {
  return fmt::format("patching json `{}` failed as the current contents are invalid", v.path);
}
std::string IndexAddError::text_of(const MissingInfo& v) {
  return fmt::format("{} file is missing from KPAR `{}`", kProjectFile, v.kpar);
}
std::string IndexAddError::text_of(const MissingMeta& v) {
  return fmt::format("{} file is missing from the KPAR `{}`", ".meta.json", v.kpar);
}
std::string IndexAddError::text_of(const InvalidKpar& v) { return fmt::format("KPAR `{}` is invalid", v.kpar); }
std::string IndexAddError::text_of(const BuildMetadata& v) {
  return fmt::format("Version {} is not allowed to have build metadata in (from {} in KPAR `{}`)", v.version,
                     kProjectFile, v.kpar);
}
std::string IndexAddError::text_of(const NameDiffers& v) {
  return fmt::format("{} specifies project name {}, which must be the same as normalized name {} from {}", v.iri,
                     v.field, v.normalized, kProjectFile);
}
std::string IndexAddError::text_of(const PublisherDiffers& v) {
  return fmt::format(
      "{} specifies project publisher {}, which must be the same as normalized publisher {} from {} (if the latter "
      "is present)",
      v.iri, v.field, v.normalized, kProjectFile);
}
std::string IndexAddError::text_of(const IriNeedsPublisher& v) {
  return fmt::format(
      "IRI {} is of the form pkg:kestro/<publisher>/<name>, but that's only allowed for projects which specify "
      "publisher in {}",
      v.iri, kProjectFile);
}
std::string IndexAddError::text_of(const IriUnclear&) {
  return fmt::format(
      "project iri is unclear, either it must be provided, or {} needs to specify publisher (in which case the iri "
      "would be pkg:kestro/<publisher>/<name>)",
      kProjectFile);
}
std::string IndexAddError::text_of(const ProjectRemoved& v) {
  return fmt::format("project {} is removed so no new version can be added", v.iri);
}
std::string IndexAddError::text_of(const ProjectTwice& v) {
  return fmt::format("two projects with iri {} found in {}", v.iri, "index.json");
}
std::string IndexAddError::text_of(const InvalidVersion& v) {
  return fmt::format("`{}` contains invalid semantic version {}", v.path, v.version);
}
// The closing backtick after the path is missing in the text users know.
std::string IndexAddError::text_of(const DuplicateVersion& v) {
  return fmt::format("file `{} contains duplicate version {}", v.path, v.version);
}
std::string IndexAddError::text_of(const VersionExists& v) {
  return fmt::format("{} version {} already exists", v.iri, v.version);
}
std::string IndexAddError::text_of(const VersionYanked& v) {
  return fmt::format(
      "{} version {} is yanked so it cannot be added again; yanked version can only stay yanked or be removed", v.iri,
      v.version);
}
std::string IndexAddError::text_of(const VersionRemoved& v) {
  return fmt::format("{} version {} is removed so it cannot be added again; removed version can only stay removed",
                     v.iri, v.version);
}
std::string IndexAddError::text_of(const NotAtRoot& v) {
  return fmt::format(
      "archive `{}` does not contain a project at its root,\nthe project is at `{}` within the archive;\nproject "
      "must be at the root of the archive",
      v.kpar, v.dir);
}

std::optional<std::string> index_add_suggestion(const IndexAddError& err) {
  using E = IndexAddError;
  if (const auto* v = err.get_if<E::IndexRootNotFound>())
    return fmt::format("before adding packages, create a new index at `{}` with:\nkestro index init --index-root {}",
                       v->index_root, shell_quote(v->index_root));
  if (err.holds<E::InvalidJsonFile>()) return std::string(kInvalidIndexJsonSuggestion);
  if (const auto* v = err.get_if<E::BuildMetadata>())
    return fmt::format("remove the build metadata by running in the original project:\nkestro info version --set {}{}",
                       v->proposal, kRebuildTail);
  if (const auto* v = err.get_if<E::InvalidField>())
    return fmt::format("{}{}", v->err.holds<IndexFieldError::InvalidNameInProject>() ? kNameRules : kPublisherRules,
                       kRebuildTail);
  if (err.holds<E::NameDiffers>() || err.holds<E::PublisherDiffers>()) return std::string(kNamingRules);
  if (const auto* v = err.get_if<E::IriNeedsPublisher>())
    return fmt::format("set a project publisher with:\nkestro info publisher --set {}{}", v->publisher, kRebuildTail);
  if (err.holds<E::IriUnclear>())
    return fmt::format("set a project publisher with:\nkestro info publisher --set <publisher>{}", kRebuildTail);
  if (const auto* v = err.get_if<E::NotAtRoot>())
    return fmt::format(
        "to fix this, rebuild the kpar with kestro:\nif you have access to the original project, run:\n"
        "                kestro build\nif not, clone and rebuild the project by running in an empty directory:\n"
        "                kestro clone {}\nkestro build\nand then try adding the built KPAR to the index",
        shell_quote(v->kpar));
  return std::nullopt;
}

}  // namespace kestro::commands
