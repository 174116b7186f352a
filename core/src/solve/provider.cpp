#include "kestro/solve/provider.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "kestro/utils/log.hpp"

namespace kestro::solve {

namespace {

constexpr std::string_view kTarget = "kestro_core::solve::pubgrub";

const semver::VersionReq& star() {
  static const semver::VersionReq kStar{};
  return kStar;
}

}  // namespace

std::uint64_t set_priority(const DiscreteHashSet& set) {
  return set.form() == DiscreteHashSet::Form::AllExcept ? 0 : set.numbers().size();
}

std::optional<std::uint64_t> choose_listed(const DiscreteHashSet& set) {
  std::optional<std::uint64_t> choice;
  if (!set.numbers().empty()) choice = set.numbers().front();
  if (log::enabled(log::Level::Debug, kTarget))
    log::debug(kTarget, "choosing version for request ({})", choice ? fmt::format("Some({})", *choice) : "None");
  return choice;
}

std::optional<std::uint64_t> choose_for_root() {
  log::debug(kTarget, "unknown version for request");
  return std::nullopt;
}

std::optional<std::uint64_t> choose_highest(const DependencyIdentifier::Target& target, const DiscreteHashSet& set,
                                            std::vector<PositionedVersion> candidates) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const PositionedVersion& a, const PositionedVersion& b) { return *a.version > *b.version; });
  for (const auto& c : candidates) {
    if (!set.contains(c.position)) continue;
    if (log::enabled(log::Level::Debug, kTarget))
      log::debug(kTarget, "chose version for {}: {}", target.usage.label(), c.version->to_string());
    return c.position;
  }
  if (log::enabled(log::Level::Debug, kTarget)) {
    std::string considered = "[";
    for (const auto& c : candidates)
      considered += fmt::format("{}({}, {})", considered.size() > 1 ? ", " : "", c.position, c.version->to_string());
    log::debug(kTarget, "no allowed versions for {}, considered: {}]", target.usage.label(), considered);
  }
  return std::nullopt;
}

DiscreteHashSet admitted_positions(const UsageInContext& usage, std::span<const semver::Version* const> versions,
                                   bool any_from_multi_version_source) {
  const auto* resource = std::get_if<ResourceUsageG<iri::Iri, semver::VersionReq>>(&usage.usage);
  if (!resource) return DiscreteHashSet::full();
  const semver::VersionReq* req = nullptr;
  if (resource->version_constraint) req = &*resource->version_constraint;
  else if (any_from_multi_version_source) req = &star();
  if (!req) return DiscreteHashSet::full();
  std::vector<std::uint64_t> admitted;
  for (std::uint64_t i = 0; i < versions.size(); ++i)
    if (req->matches(*versions[i])) admitted.push_back(i);
  return DiscreteHashSet::listed(std::move(admitted));
}

}  // namespace kestro::solve
