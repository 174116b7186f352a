#include "kestro/project/kpar_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::project {

std::string ZipArchiveError::text_of(const ReadArchive& v) {
  return fmt::format("failed to parse zip archive `{}`: {}", v.path, v.zip.message());
}
std::string ZipArchiveError::text_of(const FileMeta& v) {
  return "failed to retrieve file from zip archive: " + v.zip.message();
}
std::string ZipArchiveError::text_of(const NamedFileMeta& v) {
  return "failed to retrieve file from zip archive: " + v.name;
}
std::string ZipArchiveError::text_of(const InvalidPath& v) {
  return fmt::format("zip archive path handling error: file `{}` in a zip archive is not contained in a directory",
                     v.name);
}
std::string ZipArchiveError::text_of(const Write& v) {
  return fmt::format("failed to write file `{}` to zip archive: {}", v.path, v.zip.message());
}
std::string ZipArchiveError::text_of(const Finish& v) {
  return fmt::format("failed to finish creating zip archive at `{}`: {}", v.path, v.zip.message());
}

std::string ZipArchiveError::debug_named(const char* variant, const std::string& name, const zip::ZipError& zip) {
  return fmt::format("{}({}, {})", variant, debug_quote(name), zip.debug());
}
std::string ZipArchiveError::debug_of(const FileMeta& v) { return fmt::format("FileMeta({})", v.zip.debug()); }
std::string ZipArchiveError::debug_of(const InvalidPath& v) {
  return fmt::format("InvalidPath({})", debug_quote(v.name));
}

std::string CompressionError::text_of(const SuggestFeature& v) {
  return fmt::format("Compile kestro with feature {} to use {} compression", v.feature, v.compression);
}
std::string CompressionError::debug_of(const SuggestFeature& v) {
  return fmt::format("SuggestFeature {{ compression: {}, feature: {} }}", debug_quote(v.compression),
                     debug_quote(v.feature));
}
std::string CompressionError::debug_of(const Invalid& v) { return fmt::format("Invalid({})", debug_quote(v.text)); }

std::expected<KparCompression, CompressionError> parse_compression(std::string_view name) {
  if (name == "STORED") return KparCompression::Stored;
  if (name == "DEFLATED") return KparCompression::Deflated;
  static constexpr std::pair<std::string_view, std::string_view> features[] = {
      {"XZ", "kpar-xz"}, {"ZSTD", "kpar-zstd"}, {"PPMD", "kpar-ppmd"}, {"BZIP2", "kpar-bzip2"}};
  for (auto [method, feature] : features)
    if (name == method)
      return std::unexpected(CompressionError::SuggestFeature{std::string(name), std::string(feature)});
  return std::unexpected(CompressionError::Invalid{fmt::format("Compression method `{}` is invalid", name)});
}

}  // namespace kestro::project
