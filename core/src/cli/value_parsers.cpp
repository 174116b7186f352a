#include "kestro/cli/value_parsers.hpp"

#include <fmt/format.h>

#include "kestro/index/index_location.hpp"
#include "kestro/model/purl.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::cli {

std::vector<PossibleValue> dependency_sources_values() {
  return {
      {"none", "No dependency sources", {}, false},
      {"deps", "Dependency sources, excluding SysML v2/KerML standard libraries", {}, false},
      {"deps-std", "Dependency sources, including SysML v2/KerML standard libraries", {}, false},
      {"std", "Only standard-library dependency sources", {}, false},
  };
}

std::vector<PossibleValue> metamodel_kind_values() {
  auto help = [](std::string_view what, MetamodelKind kind) {
    std::string out = fmt::format("{} metamodel. Identifier: `", what);
    model::metamodel_base_iri(kind, out);
    return out + "<release>`";
  };
  return {
      {"sysml", help("SysML v2", MetamodelKind::SysML), {}, false},
      {"kerml", help("KerML", MetamodelKind::KerML), {}, false},
  };
}

std::vector<PossibleValue> metamodel_release_values() {
  return {{"20250201", "SysMLv2/KerML Release or Beta4", {}, false}};
}

std::vector<PossibleValue> trusted_publishing_values() {
  return {
      {"auto", "Use trusted publishing in supported CI environments", {}, false},
      {"always", "Require trusted publishing and fail outside supported CI environments", {}, false},
      {"never", "Disable trusted publishing and require explicitly configured publish credentials", {"false"}, false},
  };
}

std::vector<PossibleValue> kpar_compression_values() {
  return {
      {"stored", "Store the files as is", {}, false},
      {"deflated", "Compress the files using Deflate", {}, false},
  };
}

ValueParser parse_iri_arg() {
  return from_text([](std::string_view text) { return iri::Iri::parse(text); });
}

namespace {

ValueError invalid(std::string message) { return ValueError{ErrorKind::ValueValidation, std::move(message), {}}; }

}  // namespace

ValueParser parse_usage_iri_arg() {
  return [](const HelpStyles& styles, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    auto parsed = iri::Iri::parse(raw);
    if (parsed) return AnyValue::of(std::move(*parsed));
    std::string message;
    auto expanded = model::expand_purl_shorthand(raw);
    if (!expanded) {
      message = expanded.error().message();
    } else if (*expanded) {
      auto purl = iri::Iri::parse(**expanded);
      if (!purl) throw InternalError("a checked package identifier is no IRI: " + **expanded);
      return AnyValue::of(std::move(*purl));
    } else {
      message = parsed.error().message();
    }
    message += "\n" + HelpStyles::paint(styles.header, "hint:") + " if you wanted to use a path, use `--path` instead";
    return std::unexpected(invalid(std::move(message)));
  };
}

ValueParser parse_website_iri_arg() {
  return [](const HelpStyles&, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    auto parsed = iri::Iri::parse(raw);
    if (parsed) return AnyValue::of(std::move(*parsed));
    if (auto https = iri::Iri::parse("https://" + std::string(raw))) return AnyValue::of(std::move(*https));
    return std::unexpected(invalid(parsed.error().message()));
  };
}

ValueParser parse_version_req_arg() {
  return from_text([](std::string_view text) { return semver::VersionReq::parse(text); });
}

ValueParser parse_index_location_arg() {
  return from_text([](std::string_view text) { return index::parse_index_location(text); });
}

}  // namespace kestro::cli
