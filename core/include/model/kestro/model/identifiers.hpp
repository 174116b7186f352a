// Project identifiers beyond the `pkg:kestro` parser: the identifier a
// project gets from its publisher and name, where a project lies in a
// package index, the field checks of the local index's add command, the
// digest text of version lists and the names of candidate directories in an
// environment.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/model/purl.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/iri_normalize.hpp"

namespace kestro::model {

// "pkg:kestro/{publisher}/{name}" from the normalised fields when both are
// valid; otherwise "urn:kestro:" with both raw fields encoded (RFC 3987
// iunreserved characters kept, every other byte as %XX).
std::string default_project_identifier(std::string_view publisher, std::string_view name);

// The place of a project in an index.
struct IndexProjectKey {
  // A valid `pkg:kestro` identifier's fields.
  struct Purl {
    std::string publisher;
    std::string name;
    friend bool operator==(const Purl&, const Purl&) = default;
  };
  // Any other IRI, by its canonical text.
  struct Iri {
    std::string canonical;
    friend bool operator==(const Iri&, const Iri&) = default;
  };
  std::variant<Purl, Iri> value;
  friend bool operator==(const IndexProjectKey&, const IndexProjectKey&) = default;
};

struct IndexIriVariants {
  struct Purl {
    std::string iri;
    PurlError source;
  };
  struct Canonicalize {
    std::string iri;
    iri::IriNormalizeError source;
  };
  using Sum = std::variant<Purl, Canonicalize>;
};

// Why an identifier has no place in an index: "malformed `pkg:kestro` IRI
// `{}`" or "cannot canonicalize IRI `{}` for `_iri` bucket"; the inner error
// is the cause.
class IndexIriError : public ErrorSum<IndexIriError, IndexIriVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Purl& v);
  static std::string text_of(const Canonicalize& v);
  static std::string debug_of(const Purl& v);
  static std::string debug_of(const Canonicalize& v);
  static const Error* cause_of(const Purl& v) { return &v.source; }
  static const Error* cause_of(const Canonicalize& v) { return &v.source; }
};

// A `pkg:kestro` identifier gives its publisher and name; any other IRI its
// canonical text.
std::expected<IndexProjectKey, IndexIriError> split_index_iri(std::string_view iri);

struct IndexFieldVariants {
  struct InvalidNameInProject {
    std::string name;
    std::string kpar_path;
  };
  struct InvalidPublisherInProject {
    std::string publisher;
    std::string kpar_path;
  };
  using Sum = std::variant<InvalidNameInProject, InvalidPublisherInProject>;
};

// The local index's refusal of a project field, with the raw value and the
// archive's path: "invalid name `{}` in .project.json of KPAR {}" (and
// "publisher").
class IndexFieldError : public ErrorSum<IndexFieldError, IndexFieldVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidNameInProject& v);
  static std::string text_of(const InvalidPublisherInProject& v);
  static std::string debug_of(const InvalidNameInProject& v);
  static std::string debug_of(const InvalidPublisherInProject& v);
};

std::expected<std::string, IndexFieldError> normalize_index_name(std::string_view name, std::string_view kpar_path);
std::expected<std::string, IndexFieldError> normalize_index_publisher(std::string_view publisher,
                                                                      std::string_view kpar_path);

// "sha256:" + the hexadecimal digest.
std::string format_sha256_digest(std::string_view hex);

// Candidate directory names stem + base, stem + "1_" + base, stem + "2_" +
// base, ...; the environment takes the first one not in use.
class EnvDirCandidates {
 public:
  EnvDirCandidates(std::string stem, std::string base);
  // The next candidate; valid until the next call.
  const std::string& next();

 private:
  std::string buffer_;
  std::uint32_t stem_len_;
  std::string base_;
  std::uint32_t counter_ = 0;
};

inline const std::string& next_env_dir_candidate(EnvDirCandidates& state) { return state.next(); }

}  // namespace kestro::model
