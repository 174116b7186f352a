// The TOML reader: parses a document (TOML 1.0 with the 1.1 additions:
// newlines, comments and a trailing comma in inline tables, `\e` and `\xHH`
// escapes, times without seconds) into a concrete syntax tree that keeps the
// document's text. Comments take any character but the controls other than
// tab (U+0000 to U+0008, U+000A to U+001F, U+007F); a line feed or CRLF ends
// them.
//
// Two views of one parse:
// - the logical tree: tables with their entries in document order, arrays,
//   scalars; every value written in the text carries the byte span of its
//   text, so messages can point at it and an edit can replace it;
// - the statements: the document cut into consecutive pieces, one per key
//   line or table header, each holding the blank lines and comments before
//   it and the rest of its line. Printing them in order gives the text back.
//
// Nesting (tables, arrays, inline tables, dotted keys and header keys
// together) is limited to `kMaxDepth` levels, so nothing that walks a tree
// recurses without bound.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/toml_error.hpp"

namespace kestro::toml {

inline constexpr int kMaxDepth = 128;

// A byte that may stand in a bare key: A-Z, a-z, 0-9, `_` and `-`.
constexpr bool is_bare_key_char(char c) { return is_ascii_alnum(c) || c == '_' || c == '-'; }

using NodeId = uint32_t;
inline constexpr NodeId kNoNode = UINT32_MAX;

// An integer of the signed or unsigned 128-bit range.
struct Integer {
  uint64_t low = 0;  // the magnitude, in two halves
  uint64_t high = 0;
  bool negative = false;

  static Integer make(unsigned __int128 magnitude, bool negative);
  static Integer from_i64(int64_t v);
  unsigned __int128 magnitude() const { return (static_cast<unsigned __int128>(high) << 64) | low; }
  std::optional<int64_t> to_i64() const;
  std::optional<uint64_t> to_u64() const;
  std::string to_string() const;
  bool operator==(const Integer&) const = default;
};

enum class Kind : uint8_t { String, Integer, Float, Boolean, Datetime, Array, Table };

enum class StringForm : uint8_t { Basic, Literal, MultilineBasic, MultilineLiteral };

enum class TableForm : uint8_t {
  Root,
  Header,    // opened by a [header] or [[header]] line; span: the header
  Implicit,  // created as a parent by a header's key; no span
  Dotted,    // created by a dotted key; no span
  Inline,    // { ... }; span: the braces and everything between
};

enum class ArrayForm : uint8_t {
  Inline,    // [ ... ]; span: the brackets and everything between
  OfTables,  // the elements of [[header]] lines; no span
};

enum class DatetimeForm : uint8_t { OffsetDateTime, LocalDateTime, LocalDate, LocalTime };

struct Entry {
  std::string key;  // decoded
  Span key_span;    // the key's segment as written, quotes included
  NodeId value;
};

// One value. Plain data: children and decoded texts live in the document's
// side tables.
struct Node {
  Kind kind;
  uint8_t form = 0;  // StringForm, TableForm, ArrayForm or DatetimeForm
  bool has_span = false;
  bool owns_text = false;  // strings: the decoded text is held apart
  uint16_t depth = 0;
  NodeId parent = kNoNode;
  Span span;
  union {
    Integer integer;
    double number;
    bool boolean;
    Span content;    // strings that need no decoding: their text in the source
    uint32_t index;  // arrays and tables: their children; strings: the decoded text
  };

  explicit Node(Kind k) : kind(k), integer() {}
  TableForm table_form() const { return static_cast<TableForm>(form); }
  ArrayForm array_form() const { return static_cast<ArrayForm>(form); }
};

// One piece of the document: the trivia before it (blank lines, comments),
// a key line or a table header, and the rest of its line through the line
// feed.
struct Statement {
  enum class Kind : uint8_t { KeyValue, Table, ArrayTable };
  Kind kind;
  Span span;   // the whole piece
  Span key;    // the key as written, or the header with its brackets
  NodeId node; // the value of a key line, or the table a header opens
};

class Document {
 public:
  const std::string& source() const { return source_; }
  NodeId root() const { return 0; }
  const Node& node(NodeId id) const { return nodes_[id]; }
  size_t node_count() const { return nodes_.size(); }
  const std::vector<Statement>& statements() const { return statements_; }
  // The trivia after the last statement.
  Span trailer() const { return trailer_; }

  // The elements of an array, the entries of a table (in document order).
  std::span<const NodeId> items(NodeId id) const;
  std::span<const Entry> entries(NodeId id) const;
  // The value of `key` in a table, or kNoNode.
  NodeId get(NodeId table, std::string_view key) const;
  // A value's text exactly as written (empty for values without a span).
  std::string_view text(NodeId id) const;
  // The decoded text of a string node; the text of a date-time node.
  std::string_view string_value(NodeId id) const;
  // The keys from the root to a value; array positions are left out.
  std::vector<std::string> key_path(NodeId id) const;

  // Replaces the text of a value that has a span. Only the printed text
  // changes; every other byte is kept. A replacement inside an already
  // replaced value is a programming error.
  void replace_value_text(NodeId id, std::string text);
  // The document's text: the statements and the trailer in order, with the
  // replacements applied.
  std::string to_string() const;

 private:
  friend class Parser;
  friend std::expected<Document, Error> parse(std::string source);
  struct Patch {
    Span span;
    std::string text;
  };
  struct Children {
    std::vector<NodeId> items;
    std::vector<Entry> entries;
  };
  std::string source_;
  std::vector<Node> nodes_;
  std::vector<Children> children_;
  std::vector<std::string> texts_;
  std::vector<Statement> statements_;
  Span trailer_;
  std::vector<Patch> patches_;  // sorted, disjoint
};

}  // namespace kestro::toml
