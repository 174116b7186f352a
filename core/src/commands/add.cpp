#include "kestro/commands/add.hpp"

#include <type_traits>

#include "kestro/model/usage_label.hpp"
#include "kestro/model/usage_match.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {

constexpr std::string_view kLogTarget = "kestro_core::commands::add";
// The indent of a warning's continuation lines.
constexpr std::string_view kIndent = "         ";

using Error = AddError<LocalSrcError>;

// The usage as `.project.json` stores it: a resource's constraint in its
// canonical text (a bare version read as a caret requirement).
InterchangeProjectUsageRaw stored_form(const InterchangeProjectUsageRaw& raw, const InterchangeProjectUsage& valid) {
  InterchangeProjectUsageRaw out = raw;
  if (auto* resource = std::get_if<ResourceUsageRaw>(&out)) {
    const auto& checked = std::get<0>(valid);
    resource->version_constraint.reset();
    if (checked.version_constraint) resource->version_constraint = checked.version_constraint->to_string();
  }
  return out;
}

// The constraint table for a resource already declared. True when the
// existing usage changed.
bool merge_constraint(ResourceUsageRaw& existing, const ResourceUsageRaw& added) {
  const std::string& iri = added.resource;
  const auto& now = existing.version_constraint;
  const auto& wanted = added.version_constraint;
  if (!wanted && !now) {
    log::warn(kLogTarget, "ignoring usage `{}`,\n{}since it is already present", iri, kIndent);
    return false;
  }
  if (!wanted) {
    log::warn(kLogTarget,
              "ignoring usage `{}`\n{}without a version constraint, since it is already present with\n{}version "
              "constraint `{}`",
              iri, kIndent, kIndent, *now);
    return false;
  }
  if (!now) {
    log::warn(kLogTarget,
              "usage `{}` is already present,\n{}but without a version constraint; version constraint\n{}`{}` will "
              "be added to it",
              iri, kIndent, kIndent, *wanted);
    existing.version_constraint = wanted;
    return true;
  }
  if (*now == *wanted) {
    log::warn(kLogTarget,
              "ignoring usage `{}` with version constraint\n{}`{}`, since it is already present with identical "
              "version constraint",
              iri, kIndent, *wanted);
    return false;
  }
  log::warn(kLogTarget,
            "usage `{}` is already present, but with version\n{}constraint `{}`; new version constraint\n{}`{}` will "
            "be added to the existing ones; this may\n{}result in failed version resolution or conflicting symbol "
            "errors",
            iri, kIndent, *now, kIndent, *wanted, kIndent);
  existing.version_constraint = *now + ", " + *wanted;
  return true;
}

// The merge of step "same kind": whether the usage list changed, or none
// when no existing usage takes the new one.
std::optional<bool> merge_into_existing(std::vector<InterchangeProjectUsageRaw>& usages,
                                        const InterchangeProjectUsageRaw& added) {
  return std::visit(
      [&](const auto& a) -> std::optional<bool> {
        using U = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<U, UnknownUsage>) {
          return std::nullopt;
        } else {
          for (auto& usage : usages) {
            auto* e = std::get_if<U>(&usage);
            if (e == nullptr) continue;
            if constexpr (std::is_same_v<U, ResourceUsageRaw>) {
              if (e->resource == a.resource) return merge_constraint(*e, a);
            } else if constexpr (std::is_same_v<U, DirectoryUsageRaw>) {
              if (upsert_path_usage("path", e->dir, e->publisher, e->name, a.dir, a.publisher, a.name)) return true;
            } else {
              if (upsert_path_usage("file", e->kpar_path, e->publisher, e->name, a.kpar_path, a.publisher, a.name))
                return true;
            }
          }
          return std::nullopt;
        }
      },
      added);
}

}  // namespace

bool upsert_path_usage(std::string_view label, std::string& path, std::string& publisher, std::string& name,
                       const std::string& new_path, const std::string& new_publisher, const std::string& new_name) {
  if (publisher == new_publisher && name == new_name) {
    log::warn(kLogTarget, "usage `{}`/`{}` is already present;\n{}it will be updated to point to `{}`", publisher, name,
              kIndent, new_path);
    path = new_path;
    return true;
  }
  if (path == new_path) {
    log::warn(kLogTarget, "existing usage `{}`/`{}` already points to {}\n            {}`{}`; existing usage will be overwritten",
              publisher, name, label, kIndent, path);
    publisher = new_publisher;
    name = new_name;
    return true;
  }
  return false;
}

std::expected<bool, AddError<LocalSrcError>> do_add(const LocalSrcProject& project,
                                                    const InterchangeProjectUsageRaw& usage) {
  auto valid = validate_usage(usage);
  if (!valid) return std::unexpected(Error(Error::Validation{std::move(valid.error())}));
  InterchangeProjectUsageRaw added = stored_form(usage, *valid);
  log_status(kLogTarget, "Adding", "usage: " + display_declared_usage(usage));

  auto records = read_local_src_project(project);
  if (!records) return std::unexpected(Error(Error::Project{std::move(records.error())}));
  auto& info = records->first;
  if (!info) return std::unexpected(Error(Error::MissingInfo{"project is missing the interchange project information"}));

  auto merged = merge_into_existing(info->usage, added);
  if (merged && !*merged) return false;
  if (!merged) {
    if (auto identifier = declared_usage_identifier(added)) {
      for (const auto& existing : info->usage) {
        if (declared_usage_identifier(existing) == identifier)
          return std::unexpected(
              Error(Error::DuplicateIdentifier{*identifier, usage_kind_name(existing), usage_kind_name(added)}));
      }
    }
    info->usage.push_back(std::move(added));
  }
  if (auto written = write_project_info(project, *info, true); !written)
    return std::unexpected(Error(Error::Project{std::move(written.error())}));
  return true;
}

}  // namespace kestro::commands
