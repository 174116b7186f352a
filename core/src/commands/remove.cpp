#include "kestro/commands/remove.hpp"

#include <algorithm>

#include "kestro/model/purl.hpp"
#include "kestro/model/usage_label.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/semver.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {

constexpr std::string_view kLogTarget = "kestro_core::commands::remove";

using RError = RemoveError<LocalSrcError>;

// The outcome for the matched usage object, edited in place.
UsageConstraintOutcome edit_constraint(json::Object& usage, std::string matched,
                                       const std::optional<std::string>& constraint) {
  UsageConstraintOutcome outcome{std::move(matched), true, false, std::nullopt, std::nullopt};
  const json::Value* current = usage.find("versionConstraint");
  if (current && current->as_string()) outcome.old_constraint = *current->as_string();
  if (!constraint) {
    if (outcome.old_constraint) {
      remove_version_constraint(usage);
      outcome.changed = true;
    }
    return outcome;
  }
  outcome.new_constraint = constraint;
  if (outcome.old_constraint == constraint) return outcome;
  usage.insert_or_assign("versionConstraint", json::Value(*constraint));
  outcome.changed = true;
  return outcome;
}

}  // namespace

std::expected<std::vector<InterchangeProjectUsageRaw>, RemoveError<LocalSrcError>> do_remove(
    const LocalSrcProject& project, std::string_view identifier) {
  log_status(kLogTarget, "Removing", fmt::format("`{}` from usages", identifier));
  auto records = read_local_src_project(project);
  if (!records) return std::unexpected(RError(RError::Project{std::move(records.error())}));
  auto& info = records->first;
  if (!info) return std::unexpected(RError(RError::MissingInfo{}));

  std::vector<InterchangeProjectUsageRaw> removed;
  std::vector<InterchangeProjectUsageRaw> kept;
  for (auto& usage : info->usage) {
    const auto* resource = std::get_if<ResourceUsageRaw>(&usage);
    (resource && resource->resource == identifier ? removed : kept).push_back(std::move(usage));
  }
  if (!removed.empty()) {
    info->usage = std::move(kept);
    if (auto written = write_project_info(project, *info, true); !written)
      return std::unexpected(RError(RError::Project{std::move(written.error())}));
    return removed;
  }
  for (const auto& usage : kept) {
    if (std::holds_alternative<ResourceUsageRaw>(usage)) continue;
    if (declared_usage_identifier(usage) == identifier)
      return std::unexpected(RError(RError::UsageIsTyped{std::string(identifier), usage_kind_name(usage)}));
  }
  return std::unexpected(RError(RError::UsageNotFound{std::string(identifier)}));
}

std::vector<UsageMatch> match_usages(const json::Array& usages, std::string_view identifier) {
  std::vector<UsageMatch> matches;
  UsageMatchCursor cursor{usages};
  while (auto match = match_usage_identifier(cursor, identifier)) matches.push_back(std::move(*match));
  return matches;
}

std::expected<UsageConstraintOutcome, UsageConstraintError> set_usage_constraint_in_document(
    json::Value& document, std::string_view identifier, const std::optional<std::string>& constraint) {
  auto expanded = expand_purl_shorthand(identifier);
  if (!expanded) {
    return std::unexpected(UsageConstraintError::MalformedUsage{ProjectValidationError(
        ProjectValidationError::MalformedUsageKestroPurl{std::string(identifier), std::move(expanded.error())})});
  }
  std::string matched = expanded->value_or(std::string(identifier));
  if (constraint) {
    if (auto req = semver::VersionReq::parse(*constraint); !req)
      return std::unexpected(UsageConstraintError::InvalidConstraint{*constraint, std::move(req.error())});
  }
  auto* root = std::get_if<json::Object>(&document.v);
  if (root == nullptr) return std::unexpected(UsageConstraintError::NotAnObject{});
  UsageConstraintOutcome not_found{matched, false, false, std::nullopt, std::nullopt};
  auto usage = std::find_if(root->members().begin(), root->members().end(),
                            [](const auto& member) { return member.first == "usage"; });
  if (usage == root->members().end()) return not_found;
  auto* usages = std::get_if<json::Array>(&usage->second.v);
  if (usages == nullptr) return std::unexpected(UsageConstraintError::UsageNotAnArray{});

  auto matches = match_usages(*usages, matched);
  if (matches.empty()) return not_found;
  bool any_plain = std::any_of(matches.begin(), matches.end(), [](const UsageMatch& m) { return !m.kind; });
  if (!any_plain) return std::unexpected(UsageConstraintError::UsageCannotHoldConstraint{matched, *matches.front().kind});
  if (matches.size() > 1) return std::unexpected(UsageConstraintError::Ambiguous{matched, matches.size()});
  auto& object = std::get<json::Object>((*usages)[matches.front().position].v);
  return edit_constraint(object, std::move(matched), constraint);
}

std::expected<UsageConstraintOutcome, SetUsageConstraintError> do_set_usage_constraint(
    const LocalSrcProject& project, std::string_view identifier, const std::optional<std::string>& constraint) {
  using Error = SetUsageConstraintError;
  auto fail = [](LocalSrcError err) { return std::unexpected(Error(Error::Project{std::move(err)})); };
  const std::filesystem::path path = project_info_path(project.project_path);
  auto text = read_utf8_file(path);
  if (!text) return fail(LocalSrcError::Io{std::move(text.error())});
  json::Reader reader(*text);
  auto parsed = reader.read_value();
  if (parsed) {
    if (auto end = reader.end(); !end) parsed = std::unexpected(std::move(end.error()));
  }
  if (!parsed) return fail(LocalSrcError::Deserialize{display_path(path), std::move(parsed.error())});

  json::Value document = json::normalized(*parsed);
  const json::Value before = document;
  auto outcome = set_usage_constraint_in_document(document, identifier, constraint);
  if (!outcome) return std::unexpected(Error(Error::Edit{std::move(outcome.error())}));
  if (json::same_json(before, document)) return std::move(*outcome);

  json::Writer writer(json::Writer::Style::Pretty);
  writer.value(document);
  std::string bytes = writer.take();
  bytes += '\n';
  if (auto written = write_file_atomic(path, bytes); !written) return fail(LocalSrcError::Io{std::move(written.error())});
  return std::move(*outcome);
}

}  // namespace kestro::commands
