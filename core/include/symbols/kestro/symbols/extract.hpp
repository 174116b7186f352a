// The names one SysML v2 or KerML file declares at its top level: at most a
// short name (`<name>`) and a declared name per top-level statement, found by
// a light walk of each statement with the keyword table of the language.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestro/symbols/statements.hpp"

namespace kestro::symbols {

// What a keyword does to the walk of a statement.
enum class KeywordKind : std::uint8_t {
  Skip = 0,               // consumed and ignored
  References = 1,         // a comma-separated list of qualified names follows, skipped
  BracketReferences = 2,  // the same, with an optional `[...]` group before the list
  Stop = 3,               // the rest of the statement is ignored
};

enum class Language { SysML, KerML };

// `SysML` for "sysml" and `KerML` for "kerml" in any ASCII case; nothing for
// any other text. Applied to a file's extension without the dot.
std::optional<Language> parse_language_identifier(std::string_view text);

// From a word to its kind; a token matches only when its text equals the
// word byte for byte.
class KeywordMap {
 public:
  explicit KeywordMap(std::vector<std::pair<std::string_view, KeywordKind>> words);
  std::optional<KeywordKind> find(std::string_view word) const;
  std::size_t size() const { return words_.size(); }

 private:
  std::vector<std::pair<std::string_view, KeywordKind>> words_;  // sorted by word
};

// The fixed keyword table of a language, built once.
const KeywordMap& build_keyword_map(Language language);

// The names of the statements in order, the short name of a statement before
// its declared name, duplicates kept. The first statement that cannot be
// walked fails the whole extraction with `Parse`.
std::expected<std::vector<std::string>, ExtractError> extract_statement_names(std::string_view text,
                                                                               const std::vector<Statement>& statements,
                                                                               const KeywordMap& keywords);

// Grouping, then the walk with the language's keywords.
std::expected<std::vector<std::string>, ExtractError> extract_sysml_symbols(std::string_view text);
std::expected<std::vector<std::string>, ExtractError> extract_kerml_symbols(std::string_view text);

// An extraction failure with the path of the file it concerns.
struct FileExtractError {
  std::string path;
  ExtractError error;
};

// The KerML extraction when `kerml` is set, else the SysML one; a failure
// carries a copy of `path`.
std::expected<std::vector<std::string>, FileExtractError> extract_file_symbols(std::string_view path,
                                                                               std::string_view text, bool kerml);

}  // namespace kestro::symbols
