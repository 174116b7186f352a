// The TOML lexer and parser: one cursor over the document's bytes, building
// the node arena and the statement list in a single pass. Containers nest
// through bounded recursion (kMaxDepth levels, counted over tables, arrays
// and keys alike).
#include <string>
#include <unordered_map>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "toml_scalar.hpp"

namespace kestro::toml {

namespace {

// The controls that neither strings nor comments take as they stand.
bool is_control(char c) { return is_ascii_control(c) && c != '\t'; }

struct KeySegment {
  std::string text;
  Span span;
};

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Tables with more entries than this get a hash index for key lookups.
constexpr size_t kLinearLookup = 32;

}  // namespace

class Parser {
 public:
  explicit Parser(Document& doc) : doc_(doc), s_(doc.source_) {}
  bool run();
  Error take_error() {
    if (!error_) internal_error("TOML parser stopped without an error");
    return std::move(*error_);
  }

 private:
  bool eof() const { return pos_ >= s_.size(); }
  char at(size_t p) const { return p < s_.size() ? s_[p] : '\0'; }
  bool fail(std::string message, size_t begin, size_t length = 1) {
    if (!error_) error_.emplace(std::move(message), Span{begin, std::min(begin + length, s_.size())});
    return false;
  }

  void skip_ws() {
    while (pos_ < s_.size() && is_ascii_blank(s_[pos_])) ++pos_;
  }
  bool newline();
  bool comment();
  bool skip_ws_comments_newlines();
  bool line_end();

  bool key();
  bool header(Statement& st);
  bool key_value(NodeId table, size_t base, NodeId& value);
  NodeId value(NodeId parent, int depth);
  NodeId array(NodeId parent, int depth);
  NodeId inline_table(NodeId parent, int depth);
  NodeId string_node(NodeId parent, int depth);

  bool quoted_string(char q, bool multiline, Span& content, bool& raw);
  bool escape();
  bool string_char(bool& raw, size_t content_begin);
  void go_owned(bool& raw, size_t content_begin) {
    if (raw) buf_.assign(s_.substr(content_begin, pos_ - content_begin));
    raw = false;
  }

  NodeId new_node(Kind kind, uint8_t form, int depth, NodeId parent);
  std::vector<NodeId>& items(NodeId id) { return doc_.children_[doc_.nodes_[id].index].items; }
  std::vector<Entry>& entries(NodeId id) { return doc_.children_[doc_.nodes_[id].index].entries; }
  NodeId find(NodeId table, std::string_view key);
  void add_entry(NodeId table, const KeySegment& key, NodeId value);
  NodeId new_table(NodeId parent, TableForm form, const KeySegment& key);
  NodeId descend_header(NodeId table, const KeySegment& key);
  NodeId descend_dotted(NodeId table, const KeySegment& key);
  bool duplicate(const KeySegment& key) { return fail(fmt::format("duplicate key `{}`", key.text), key.span.begin, key.span.size()); }

  Document& doc_;
  std::string_view s_;
  size_t pos_ = 0;
  NodeId table_ = 0;
  std::vector<KeySegment> keys_;  // a stack: each key line uses the segments above its base
  std::string buf_;
  std::optional<Error> error_;
  std::unordered_map<NodeId, std::unordered_map<std::string, uint32_t, StringHash, std::equal_to<>>> index_;
};

bool Parser::run() {
  // About one value per 24 bytes in typical documents: one allocation for
  // most of them.
  doc_.nodes_.reserve(s_.size() / 24 + 16);
  new_node(Kind::Table, static_cast<uint8_t>(TableForm::Root), 0, kNoNode);
  if (s_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  size_t begin = 0;
  for (;;) {
    skip_ws();
    if (!eof() && s_[pos_] == '#' && !comment()) return false;
    if (eof()) break;
    char c = s_[pos_];
    if (c == '\n' || c == '\r') {
      if (!newline()) return fail("carriage return without line feed", pos_);
      continue;
    }
    Statement st{};
    if (c == '[') {
      if (!header(st)) return false;
    } else {
      const size_t key_begin = pos_;
      const size_t base = keys_.size();
      if (!key()) return false;
      st.kind = Statement::Kind::KeyValue;
      st.key = {key_begin, keys_.back().span.end};
      if (!key_value(table_, base, st.node)) return false;
    }
    if (!line_end()) return false;
    st.span = {begin, pos_};
    doc_.statements_.push_back(st);
    begin = pos_;
  }
  doc_.trailer_ = {begin, s_.size()};
  return true;
}

bool Parser::newline() {
  if (at(pos_) == '\n') {
    ++pos_;
    return true;
  }
  if (at(pos_) == '\r' && at(pos_ + 1) == '\n') {
    pos_ += 2;
    return true;
  }
  return false;
}

bool Parser::comment() {
  ++pos_;
  while (pos_ < s_.size()) {
    unsigned char c = static_cast<unsigned char>(s_[pos_]);
    if (c == '\n' || (c == '\r' && at(pos_ + 1) == '\n')) return true;
    if (c >= 0x80) {
      size_t len = utf8_sequence_length(s_, pos_);
      if (len == 0) return fail("invalid UTF-8", pos_);
      pos_ += len;
    } else if (is_control(static_cast<char>(c))) {
      return fail("control characters are not allowed in comments", pos_);
    } else {
      ++pos_;
    }
  }
  return true;
}

bool Parser::skip_ws_comments_newlines() {
  for (;;) {
    skip_ws();
    if (eof()) return true;
    char c = s_[pos_];
    if (c == '#') {
      if (!comment()) return false;
    } else if (c == '\n' || c == '\r') {
      if (!newline()) return fail("carriage return without line feed", pos_);
    } else {
      return true;
    }
  }
}

bool Parser::line_end() {
  skip_ws();
  if (!eof() && s_[pos_] == '#' && !comment()) return false;
  if (eof() || newline()) return true;
  return fail("expected newline or comment", pos_);
}

bool Parser::key() {
  for (;;) {
    KeySegment seg;
    const size_t begin = pos_;
    const char c = at(pos_);
    if (c == '"' || c == '\'') {
      Span content;
      bool raw = true;
      if (!quoted_string(c, false, content, raw)) return false;
      if (raw)
        seg.text.assign(s_.substr(content.begin, content.size()));
      else
        seg.text = buf_;
    } else if (is_bare_key_char(c) && !eof()) {
      while (pos_ < s_.size() && is_bare_key_char(s_[pos_])) ++pos_;
      seg.text.assign(s_.substr(begin, pos_ - begin));
    } else {
      return fail(eof() || c == '\n' || c == '\r' ? "expected a key" : "invalid key", pos_);
    }
    seg.span = {begin, pos_};
    keys_.push_back(std::move(seg));
    skip_ws();
    if (at(pos_) != '.' || eof()) return true;
    ++pos_;
    skip_ws();
  }
}

bool Parser::header(Statement& st) {
  const size_t open = pos_;
  const bool array_table = at(pos_ + 1) == '[';
  pos_ += array_table ? 2 : 1;
  skip_ws();
  const size_t base = keys_.size();
  if (!key()) return false;
  if (at(pos_) != ']' || eof()) return fail("expected `]` to close the table header", pos_);
  ++pos_;
  if (array_table) {
    if (at(pos_) != ']' || eof()) return fail("expected `]]` to close the array-of-tables header", pos_);
    ++pos_;
  }
  const Span span{open, pos_};
  NodeId table = doc_.root();
  for (size_t i = base; i + 1 < keys_.size(); ++i) {
    table = descend_header(table, keys_[i]);
    if (table == kNoNode) return false;
  }
  const KeySegment& last = keys_.back();
  const NodeId existing = find(table, last.text);
  if (array_table) {
    NodeId aot = existing;
    if (aot == kNoNode) {
      aot = new_node(Kind::Array, static_cast<uint8_t>(ArrayForm::OfTables), doc_.nodes_[table].depth + 1, table);
      if (aot == kNoNode) return false;
      add_entry(table, last, aot);
    } else if (doc_.nodes_[aot].kind != Kind::Array || doc_.nodes_[aot].array_form() != ArrayForm::OfTables) {
      return duplicate(last);
    }
    table = new_node(Kind::Table, static_cast<uint8_t>(TableForm::Header), doc_.nodes_[aot].depth + 1, aot);
    if (table == kNoNode) return false;
    items(aot).push_back(table);
  } else if (existing == kNoNode) {
    table = new_table(table, TableForm::Header, last);
    if (table == kNoNode) return false;
  } else {
    Node& n = doc_.nodes_[existing];
    if (n.kind != Kind::Table || n.table_form() != TableForm::Implicit) return duplicate(last);
    n.form = static_cast<uint8_t>(TableForm::Header);
    table = existing;
  }
  Node& t = doc_.nodes_[table];
  t.span = span;
  t.has_span = true;
  keys_.resize(base);
  table_ = table;
  st.kind = array_table ? Statement::Kind::ArrayTable : Statement::Kind::Table;
  st.key = span;
  st.node = table;
  return true;
}

// The key segments above `base` are on the stack; the cursor is after them.
// Reads `= value` and stores the value under the (dotted) key in `table`.
bool Parser::key_value(NodeId table, size_t base, NodeId& value_out) {
  if (at(pos_) != '=' || eof()) return fail("expected `=` after the key", pos_);
  ++pos_;
  skip_ws();
  for (size_t i = base; i + 1 < keys_.size(); ++i) {
    table = descend_dotted(table, keys_[i]);
    if (table == kNoNode) return false;
  }
  if (find(table, keys_.back().text) != kNoNode) return duplicate(keys_.back());
  const NodeId v = value(table, doc_.nodes_[table].depth + 1);
  if (v == kNoNode) return false;
  add_entry(table, keys_.back(), v);
  keys_.resize(base);
  value_out = v;
  return true;
}

NodeId Parser::value(NodeId parent, int depth) {
  if (eof()) return fail("expected a value", pos_), kNoNode;
  const char c = s_[pos_];
  if (c == '"' || c == '\'') return string_node(parent, depth);
  if (c == '[') return array(parent, depth);
  if (c == '{') return inline_table(parent, depth);
  detail::Scalar scalar;
  detail::ScanFailure failure;
  if (!detail::scan_scalar(s_, pos_, scalar, failure)) return fail(failure.message, failure.span.begin, failure.span.size()), kNoNode;
  const uint8_t form = scalar.kind == Kind::Datetime ? static_cast<uint8_t>(scalar.datetime) : 0;
  const NodeId id = new_node(scalar.kind, form, depth, parent);
  if (id == kNoNode) return kNoNode;
  Node& n = doc_.nodes_[id];
  if (scalar.kind == Kind::Integer) n.integer = scalar.integer;
  if (scalar.kind == Kind::Float) n.number = scalar.number;
  if (scalar.kind == Kind::Boolean) n.boolean = scalar.boolean;
  n.span = {pos_, scalar.end};
  n.has_span = true;
  pos_ = scalar.end;
  return id;
}

NodeId Parser::array(NodeId parent, int depth) {
  const NodeId id = new_node(Kind::Array, static_cast<uint8_t>(ArrayForm::Inline), depth, parent);
  if (id == kNoNode) return kNoNode;
  const size_t open = pos_++;
  for (;;) {
    if (!skip_ws_comments_newlines()) return kNoNode;
    if (eof()) return fail("unterminated array", open), kNoNode;
    if (s_[pos_] == ']') break;
    const NodeId v = value(id, depth + 1);
    if (v == kNoNode) return kNoNode;
    items(id).push_back(v);
    if (!skip_ws_comments_newlines()) return kNoNode;
    if (at(pos_) == ',' && !eof()) {
      ++pos_;
      continue;
    }
    if (at(pos_) == ']' && !eof()) break;
    return fail(eof() ? "unterminated array" : "expected `,` or `]`", eof() ? open : pos_), kNoNode;
  }
  ++pos_;
  doc_.nodes_[id].span = {open, pos_};
  doc_.nodes_[id].has_span = true;
  return id;
}

NodeId Parser::inline_table(NodeId parent, int depth) {
  const NodeId id = new_node(Kind::Table, static_cast<uint8_t>(TableForm::Inline), depth, parent);
  if (id == kNoNode) return kNoNode;
  const size_t open = pos_++;
  if (!skip_ws_comments_newlines()) return kNoNode;
  while (at(pos_) != '}' || eof()) {
    if (eof()) return fail("unterminated inline table", open), kNoNode;
    const size_t base = keys_.size();
    NodeId v;
    if (!key() || !key_value(id, base, v)) return kNoNode;
    if (!skip_ws_comments_newlines()) return kNoNode;
    if (at(pos_) == ',' && !eof()) {
      ++pos_;
      if (!skip_ws_comments_newlines()) return kNoNode;
    } else if (at(pos_) != '}' || eof()) {
      return fail(eof() ? "unterminated inline table" : "expected `,` or `}`", eof() ? open : pos_), kNoNode;
    }
  }
  ++pos_;
  doc_.nodes_[id].span = {open, pos_};
  doc_.nodes_[id].has_span = true;
  return id;
}

NodeId Parser::string_node(NodeId parent, int depth) {
  const size_t open = pos_;
  const char q = s_[pos_];
  const bool multiline = at(pos_ + 1) == q && at(pos_ + 2) == q;
  Span content;
  bool raw = true;
  if (!quoted_string(q, multiline, content, raw)) return kNoNode;
  const StringForm form = q == '"' ? (multiline ? StringForm::MultilineBasic : StringForm::Basic)
                                   : (multiline ? StringForm::MultilineLiteral : StringForm::Literal);
  const NodeId id = new_node(Kind::String, static_cast<uint8_t>(form), depth, parent);
  if (id == kNoNode) return kNoNode;
  Node& n = doc_.nodes_[id];
  n.span = {open, pos_};
  n.has_span = true;
  if (raw) {
    n.content = content;
  } else {
    n.owns_text = true;
    n.index = static_cast<uint32_t>(doc_.texts_.size());
    doc_.texts_.push_back(buf_);
  }
  return id;
}

// One plain character of a string body at the cursor (not a delimiter, not
// an escape). Line feeds are the caller's to allow.
bool Parser::string_char(bool& raw, size_t content_begin) {
  const unsigned char c = static_cast<unsigned char>(s_[pos_]);
  if (c == '\r') {
    if (at(pos_ + 1) != '\n') return fail("carriage return without line feed", pos_);
    go_owned(raw, content_begin);
    buf_ += '\n';
    pos_ += 2;
    return true;
  }
  size_t len = 1;
  if (c >= 0x80) {
    len = utf8_sequence_length(s_, pos_);
    if (len == 0) return fail("invalid UTF-8", pos_);
  } else if (is_control(static_cast<char>(c)) && c != '\n') {
    return fail("control characters are not allowed in strings", pos_);
  }
  if (!raw) buf_.append(s_.substr(pos_, len));
  pos_ += len;
  return true;
}

bool Parser::escape() {
  const size_t at_escape = pos_;
  const char e = at(pos_ + 1);
  char simple = 0;
  switch (e) {
    case 'b': simple = '\b'; break;
    case 't': simple = '\t'; break;
    case 'n': simple = '\n'; break;
    case 'f': simple = '\f'; break;
    case 'r': simple = '\r'; break;
    case 'e': simple = '\x1B'; break;
    case '"': simple = '"'; break;
    case '\\': simple = '\\'; break;
    default: break;
  }
  if (simple != 0) {
    buf_ += simple;
    pos_ += 2;
    return true;
  }
  const size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : e == 'U' ? 8 : 0;
  if (digits == 0) return fail("invalid escape sequence", at_escape, 2);
  uint32_t cp = 0;
  for (size_t i = 0; i < digits; ++i) {
    int h = hex_digit_value(at(pos_ + 2 + i));
    if (h < 0 || pos_ + 2 + i >= s_.size()) return fail("invalid escape sequence", at_escape, 2 + i + 1);
    cp = cp * 16 + static_cast<uint32_t>(h);
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return fail("invalid unicode escape: not a scalar value", at_escape, 2 + digits);
  append_utf8(buf_, cp);
  pos_ += 2 + digits;
  return true;
}

// A string whose opening quote `q` is at the cursor: basic (`"`, with
// escapes) or literal (`'`), one-line or multi-line.
bool Parser::quoted_string(char q, bool multiline, Span& content, bool& raw) {
  const size_t open = pos_;
  pos_ += multiline ? 3 : 1;
  if (multiline) newline();  // a line feed right after the delimiter is not part of the text
  const size_t begin = pos_;
  for (;;) {
    if (eof()) return fail("unterminated string", open, multiline ? 3 : 1);
    const char c = s_[pos_];
    if (c == q) {
      if (!multiline) {
        content = {begin, pos_};
        ++pos_;
        return true;
      }
      // Three to five quotes close the string, the first ones being text.
      size_t run = 0;
      while (pos_ + run < s_.size() && s_[pos_ + run] == q) ++run;
      const size_t text_quotes = run >= 3 ? run - 3 : run;
      if (run > 5) return fail("too many quotes at the end of a multi-line string", pos_, run);
      if (!raw) buf_.append(text_quotes, q);
      pos_ += run;
      if (run >= 3) {
        content = {begin, pos_ - 3};
        return true;
      }
    } else if (c == '\\' && q == '"') {
      go_owned(raw, begin);
      if (multiline) {
        // A backslash at the end of a line drops the line break and the
        // whitespace that follows it.
        size_t p = pos_ + 1;
        while (is_ascii_blank(at(p))) ++p;
        if (at(p) == '\n' || (at(p) == '\r' && at(p + 1) == '\n')) {
          pos_ = p;
          while (!eof() && (is_ascii_blank(s_[pos_]) || s_[pos_] == '\n' ||
                            (s_[pos_] == '\r' && at(pos_ + 1) == '\n')))
            pos_ += s_[pos_] == '\r' ? 2 : 1;
          continue;
        }
      }
      if (!escape()) return false;
    } else if (!multiline && (c == '\n' || c == '\r')) {
      return fail("unterminated string", open);
    } else if (!string_char(raw, begin)) {
      return false;
    }
  }
}

NodeId Parser::new_node(Kind kind, uint8_t form, int depth, NodeId parent) {
  if (depth > kMaxDepth) return fail("recursion limit exceeded", pos_), kNoNode;
  const NodeId id = static_cast<NodeId>(doc_.nodes_.size());
  Node& n = doc_.nodes_.emplace_back(kind);
  n.form = form;
  n.depth = static_cast<uint16_t>(depth);
  n.parent = parent;
  if (kind == Kind::Array || kind == Kind::Table) {
    n.index = static_cast<uint32_t>(doc_.children_.size());
    doc_.children_.emplace_back();
  }
  return id;
}

NodeId Parser::find(NodeId table, std::string_view key) {
  const auto& entries = this->entries(table);
  if (entries.size() <= kLinearLookup) {
    for (const Entry& e : entries)
      if (e.key == key) return e.value;
    return kNoNode;
  }
  const auto& index = index_[table];
  auto it = index.find(key);
  return it == index.end() ? kNoNode : entries[it->second].value;
}

void Parser::add_entry(NodeId table, const KeySegment& key, NodeId value) {
  auto& entries = this->entries(table);
  entries.push_back({key.text, key.span, value});
  if (entries.size() > kLinearLookup) {
    auto& index = index_[table];
    if (index.empty())
      for (uint32_t i = 0; i < entries.size(); ++i) index.emplace(entries[i].key, i);
    else
      index.emplace(key.text, static_cast<uint32_t>(entries.size() - 1));
  }
}

NodeId Parser::new_table(NodeId parent, TableForm form, const KeySegment& key) {
  const NodeId id = new_node(Kind::Table, static_cast<uint8_t>(form), doc_.nodes_[parent].depth + 1, parent);
  if (id != kNoNode) add_entry(parent, key, id);
  return id;
}

// A parent segment of a header key: any table but an inline one, or the
// last table of an array of tables; created when missing.
NodeId Parser::descend_header(NodeId table, const KeySegment& key) {
  const NodeId id = find(table, key.text);
  if (id == kNoNode) return new_table(table, TableForm::Implicit, key);
  const Node& n = doc_.nodes_[id];
  if (n.kind == Kind::Table && n.table_form() != TableForm::Inline) return id;
  if (n.kind == Kind::Array && n.array_form() == ArrayForm::OfTables) return items(id).back();
  return duplicate(key), kNoNode;
}

// A parent segment of a dotted key: only tables that no header defined and
// that are not inline may be extended.
NodeId Parser::descend_dotted(NodeId table, const KeySegment& key) {
  const NodeId id = find(table, key.text);
  if (id == kNoNode) return new_table(table, TableForm::Dotted, key);
  const Node& n = doc_.nodes_[id];
  if (n.kind == Kind::Table && (n.table_form() == TableForm::Implicit || n.table_form() == TableForm::Dotted))
    return id;
  return duplicate(key), kNoNode;
}

std::expected<Document, Error> parse(std::string source) {
  Document doc;
  doc.source_ = std::move(source);
  Parser parser(doc);
  if (!parser.run()) {
    Error e = parser.take_error();
    e.set_input(std::move(doc.source_));
    return std::unexpected(std::move(e));
  }
  return doc;
}

}  // namespace kestro::toml
