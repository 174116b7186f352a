// `pkg:kestro` package identifiers: "pkg:kestro/" + publisher + "/" + name,
// whose two fields follow fixed naming rules, and those field rules
// themselves (normalisation and validity).
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/utils/error.hpp"

namespace kestro::model {

// Which field rules apply: names also take `.` as a separator.
enum class PurlField { Publisher, Name };

// A malformed `pkg:kestro` identifier. Every variant keeps the identifier
// exactly as written.
class PurlError : public Error {
 public:
  enum class Kind { WrongShape, InvalidPublisher, InvalidName, NotNormalized };

  static PurlError wrong_shape(std::string purl, std::size_t segments);
  static PurlError invalid_publisher(std::string purl, std::string publisher);
  static PurlError invalid_name(std::string purl, std::string name);
  static PurlError not_normalized(std::string purl, std::string norm_publisher, std::string norm_name);

  Kind kind() const { return kind_; }
  const std::string& purl() const { return purl_; }
  // WrongShape: the number of `/`-separated segments after "pkg:kestro/".
  std::size_t segments() const { return segments_; }
  // InvalidPublisher: the segment as written; NotNormalized: the normalised one.
  const std::string& publisher() const { return publisher_; }
  // InvalidName: the segment as written; NotNormalized: the normalised one.
  const std::string& name() const { return name_; }

  std::string message() const override;
  std::string debug() const override;
  friend bool operator==(const PurlError& a, const PurlError& b) {
    return a.kind_ == b.kind_ && a.purl_ == b.purl_ && a.segments_ == b.segments_ && a.publisher_ == b.publisher_ &&
           a.name_ == b.name_;
  }

 private:
  PurlError(Kind kind, std::string purl) : kind_(kind), purl_(std::move(purl)) {}
  Kind kind_;
  std::string purl_;
  std::size_t segments_ = 0;
  std::string publisher_;
  std::string name_;
};

// The two fields of a well-formed identifier, borrowed from the text.
struct KestroPurl {
  std::string_view publisher;
  std::string_view name;
  friend bool operator==(const KestroPurl&, const KestroPurl&) = default;
};

// ASCII upper-case letters lower-cased and each blank turned into `-`; every
// other byte unchanged.
std::string normalize_purl_field(std::string_view field);

// Whether the field, once normalised, is 3 to 50 bytes of lower-case ASCII
// letters and digits, with single separators (`-`, and `.` for names)
// between them.
bool is_valid_purl_field(std::string_view field, PurlField kind);

// nullopt when the text is no `pkg:kestro` identifier (shorter than 11
// bytes, or not `pkg` in any letter case followed by exactly ":kestro/");
// otherwise publisher and name, both valid and already normalised, or the
// PurlError that says what is wrong.
std::expected<std::optional<KestroPurl>, PurlError> parse_kestro_purl(std::string_view text);

}  // namespace kestro::model
