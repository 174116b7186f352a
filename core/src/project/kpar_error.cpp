#include "kestro/project/kpar_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::project {

std::string ZipArchiveError::message() const {
  auto zip = [&] { return zip_ ? zip_->message() : std::string(); };
  switch (kind_) {
    case Kind::ReadArchive: return fmt::format("failed to parse zip archive `{}`: {}", name_, zip());
    case Kind::FileMeta: return "failed to retrieve file from zip archive: " + zip();
    case Kind::NamedFileMeta: return "failed to retrieve file from zip archive: " + name_;
    case Kind::InvalidPath:
      return fmt::format(
          "zip archive path handling error: file `{}` in a zip archive is not contained in a directory", name_);
    case Kind::Write: return fmt::format("failed to write file `{}` to zip archive: {}", name_, zip());
    case Kind::Finish: return fmt::format("failed to finish creating zip archive at `{}`: {}", name_, zip());
  }
  return {};
}

std::string ZipArchiveError::debug() const {
  static constexpr const char* names[] = {"ReadArchive", "FileMeta", "NamedFileMeta", "InvalidPath", "Write", "Finish"};
  const char* name = names[static_cast<int>(kind_)];
  const std::string zip = zip_ ? zip_->debug() : std::string();
  switch (kind_) {
    case Kind::FileMeta: return fmt::format("{}({})", name, zip);
    case Kind::InvalidPath: return fmt::format("{}({})", name, debug_quote(name_));
    default: return fmt::format("{}({}, {})", name, debug_quote(name_), zip);
  }
}

std::string CompressionError::message() const {
  if (kind_ == Kind::SuggestFeature) return fmt::format("Compile kestro with feature {} to use {} compression", b_, a_);
  return a_;
}

std::string CompressionError::debug() const {
  if (kind_ == Kind::SuggestFeature)
    return fmt::format("SuggestFeature {{ compression: {}, feature: {} }}", debug_quote(a_), debug_quote(b_));
  return fmt::format("Invalid({})", debug_quote(a_));
}

std::expected<KparCompression, CompressionError> parse_compression(std::string_view name) {
  if (name == "STORED") return KparCompression::Stored;
  if (name == "DEFLATED") return KparCompression::Deflated;
  static constexpr std::pair<std::string_view, std::string_view> features[] = {
      {"XZ", "kpar-xz"}, {"ZSTD", "kpar-zstd"}, {"PPMD", "kpar-ppmd"}, {"BZIP2", "kpar-bzip2"}};
  for (auto [method, feature] : features)
    if (name == method) return std::unexpected(CompressionError::suggest_feature(std::string(name), std::string(feature)));
  return std::unexpected(CompressionError::invalid(fmt::format("Compression method `{}` is invalid", name)));
}

}  // namespace kestro::project
