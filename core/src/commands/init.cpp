#include "kestro/commands/init.hpp"

#include "kestro/model/usage_label.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/semver.hpp"
#include "kestro/utils/spdx.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {
constexpr std::string_view kLogTarget = "kestro_core::commands::init";
}

std::expected<LocalSrcProject, InitError<LocalSrcError>> do_init(std::string name, std::optional<std::string> publisher,
                                                                  std::string version, bool no_semver,
                                                                  std::optional<std::string> license, bool no_spdx,
                                                                  const std::filesystem::path& path,
                                                                  const Clock& clock) {
  using Error = InitError<LocalSrcError>;
  if (!no_semver) {
    if (auto parsed = semver::Version::parse(version); !parsed)
      return std::unexpected(Error(typename Error::SemVerParse{version, parsed.error().message()}));
  }
  if (license && !no_spdx) {
    if (auto parsed = spdx::parse_expression(*license); !parsed)
      return std::unexpected(Error(typename Error::SPDXLicenseParse{*license, parsed.error().message()}));
  }
  log_status(kLogTarget, "Creating", fmt::format("interchange project `{}`", name));

  InterchangeProjectInfoRaw info;
  info.name = std::move(name);
  info.publisher = std::move(publisher);
  info.version = std::move(version);
  info.license = std::move(license);
  InterchangeProjectMetadataRaw meta = new_blank_metadata(clock());

  LocalSrcProject project(path);
  if (auto written = write_project_info(project, info, false); !written)
    return std::unexpected(Error(typename Error::Project{std::move(written.error())}));
  if (auto written = write_project_meta(project, meta, false); !written)
    return std::unexpected(Error(typename Error::Project{std::move(written.error())}));
  return project;
}

}  // namespace kestro::commands
