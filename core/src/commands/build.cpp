#include "kestro/commands/build.hpp"

#include <fmt/format.h>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

std::expected<std::optional<std::string>, FsIoError> include_optional_file(const std::filesystem::path& project_dir,
                                                                          std::string_view name,
                                                                          std::string_view kind) {
  const auto path = project_dir / std::filesystem::path(std::string(name));
  auto text = read_utf8_file(path);
  if (!text) {
    if (text.error().io().is_not_found()) return std::nullopt;
    return std::unexpected(std::move(text.error()));
  }
  log_status(kBuildLogTarget, "Including", fmt::format("{} from `{}`", kind, display_path(path)));
  return std::move(*text);
}

}  // namespace kestro::commands
