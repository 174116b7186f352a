// A project kind of this layer behind the read interface that the lower
// layers' composite kinds hold (the HTTP candidate, the index entry): every
// operation is the kind's own, and each failure is the kind's error held
// whole, so code of this layer can look at the error itself again.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestro/resolve/composite_error.hpp"
#include "kestro/project/read_project.hpp"

namespace kestro::resolve {

template <typename P>
class HeldProject : public ReadProject<HeldError> {
 public:
  using Inner = typename P::error_type;
  explicit HeldProject(P project) : project_(std::move(project)) {}

  Result<ProjectRecords> get_project() const override { return held(project_.get_project()); }
  Result<SourceReaderPtr> read_source(std::string_view path) const override {
    return held(project_.read_source(path));
  }
  Result<std::vector<Source>> sources(const ProjectContext& context) const override {
    return held(project_.sources(context));
  }
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override { return held(project_.get_info()); }
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override {
    return held(project_.get_meta());
  }
  Result<std::optional<std::string>> version() const override { return held(project_.version()); }
  Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> usage() const override {
    return held(project_.usage());
  }
  bool is_known_unusable() const override { return project_.is_known_unusable(); }
  std::expected<std::optional<std::string>, CanonicalizationError<HeldError>> checksum_canonical_hex()
      const override {
    auto result = project_.checksum_canonical_hex();
    if (result) return std::move(*result);
    return std::unexpected(result.error().map_project_error([](const Inner& inner) { return hold(inner); }));
  }
  Result<EnvProjectChecksum> checksum_hex() const override { return held(project_.checksum_hex()); }

  const P& project() const { return project_; }

 private:
  static HeldError hold(Inner err) { return HeldError(make_error<Inner>(std::move(err))); }
  template <typename T>
  static Result<T> held(std::expected<T, Inner> result) {
    if (!result) return std::unexpected(hold(std::move(result.error())));
    return std::move(*result);
  }

  P project_;
};

template <typename P>
std::shared_ptr<const ReadProject<HeldError>> hold_project(P project) {
  return std::make_shared<const HeldProject<P>>(std::move(project));
}

// The error of kind `E` a held error holds; none when it holds another.
template <typename E>
const E* held_error_of(const HeldError& err) {
  return dynamic_cast<const E*>(&err.inner());
}

}  // namespace kestro::resolve
