#include "kestro/utils/json_reader.hpp"

#include <cstring>
#include <vector>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::json {

namespace {

constexpr const char* kEofValue = "EOF while parsing a value";
constexpr const char* kEofList = "EOF while parsing a list";
constexpr const char* kEofObject = "EOF while parsing an object";
constexpr const char* kEofString = "EOF while parsing a string";
constexpr const char* kControlInString = "control character (\\u0000-\\u001F) found while parsing a string";

bool is_ws(unsigned char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

}  // namespace

std::string JsonError::message() const {
  if (!has_position()) return text_;
  return fmt::format("{} at line {} column {}", text_, line_, column_);
}

Value Number::to_value() const {
  switch (kind) {
    case Kind::U64: return Value(u);
    case Kind::I64: return Value(i);
    case Kind::F64: return Value(f);
  }
  return Value();
}

std::string describe_number(const Number& n) {
  switch (n.kind) {
    case Number::Kind::U64: return fmt::format("integer `{}`", n.u);
    case Number::Kind::I64: return fmt::format("integer `{}`", n.i);
    case Number::Kind::F64: return fmt::format("floating point `{}`", format_float(n.f));
  }
  return {};
}

std::string describe_value(const Value& v) {
  struct Visitor {
    std::string operator()(const Null&) const { return "null"; }
    std::string operator()(bool b) const { return fmt::format("boolean `{}`", b); }
    std::string operator()(std::uint64_t u) const { return fmt::format("integer `{}`", u); }
    std::string operator()(std::int64_t i) const { return fmt::format("integer `{}`", i); }
    std::string operator()(double f) const { return fmt::format("floating point `{}`", format_float(f)); }
    std::string operator()(const std::string& s) const { return "string " + debug_quote(s); }
    std::string operator()(const Array&) const { return "sequence"; }
    std::string operator()(const Object&) const { return "map"; }
  };
  return std::visit(Visitor{}, v.v);
}

std::string struct_with_elements(std::string_view record, size_t count) {
  return fmt::format("{} with {} element{}", record, count, count == 1 ? "" : "s");
}

std::pair<size_t, size_t> Reader::position_of(size_t index) const {
  size_t line = 1;
  size_t line_start = 0;
  for (size_t k = 0; k < index; ++k) {
    if (in_[k] == '\n') {
      ++line;
      line_start = k + 1;
    }
  }
  return {line, index - line_start};
}

JsonError Reader::error(std::string text) const {
  auto [line, col] = position_of(pos_);
  return JsonError(std::move(text), line, col);
}

JsonError Reader::peek_error(std::string text) const {
  auto [line, col] = position_of(std::min(pos_ + 1, in_.size()));
  return JsonError(std::move(text), line, col);
}

JsonError Reader::fix(JsonError e) const {
  if (e.has_position()) return e;
  return error(e.text());
}

std::optional<unsigned char> Reader::peek_ws() {
  while (pos_ < in_.size()) {
    unsigned char c = static_cast<unsigned char>(in_[pos_]);
    if (!is_ws(c)) return c;
    ++pos_;
  }
  return std::nullopt;
}

Result<void> Reader::end() {
  if (peek_ws()) return std::unexpected(peek_error("trailing characters"));
  return {};
}

Result<void> Reader::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofValue));
    char c = in_[pos_++];
    if (c != expected) return std::unexpected(error("expected ident"));
  }
  return {};
}

Result<Value> Reader::parse_literal() {
  char first = in_[pos_++];
  Result<void> rest = first == 'n' ? parse_ident("ull") : first == 't' ? parse_ident("rue") : parse_ident("alse");
  if (!rest) return std::unexpected(rest.error());
  if (first == 'n') return Value(Null{});
  return Value(first == 't');
}

JsonError Reader::invalid_type(std::string_view expected) {
  auto c = peek_ws();
  auto found = [&](std::string what) {
    return fix(JsonError(fmt::format("invalid type: {}, expected {}", what, expected)));
  };
  if (!c) return peek_error(kEofValue);
  switch (*c) {
    case 'n':
    case 't':
    case 'f': {
      auto literal = parse_literal();
      if (!literal) return literal.error();
      return found(describe_value(*literal));
    }
    case '-': {
      eat();
      auto n = parse_number_body(false);
      if (!n) return n.error();
      return found(describe_number(*n));
    }
    case '"': {
      eat();
      auto s = parse_string_body();
      if (!s) return s.error();
      return found("string " + debug_quote(*s));
    }
    case '[': return found("sequence");
    case '{': return found("map");
    default:
      if (is_ascii_digit(*c)) {
        auto n = parse_number_body(true);
        if (!n) return n.error();
        return found(describe_number(*n));
      }
      return peek_error("expected value");
  }
}

Result<bool> Reader::skip_plain_run() {
  // Eight bytes at a time while none of them stops the run: a byte equal to
  // a quote or a backslash, or below 0x20, sets the high bit of its lane in
  // `stop` (a lane above a true hit may be set too, which only ends the fast
  // loop where the byte loop takes over anyway).
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const char* data = in_.data();
  const size_t size = in_.size();
  std::uint64_t seen = 0;
  while (pos_ + 8 <= size) {
    std::uint64_t w;
    std::memcpy(&w, data + pos_, 8);
    const std::uint64_t quote = w ^ (kOnes * '"');
    const std::uint64_t backslash = w ^ (kOnes * '\\');
    const std::uint64_t stop =
        (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((w - kOnes * 0x20) & ~w)) & kHigh;
    if (stop != 0) break;
    seen |= w;
    pos_ += 8;
  }
  while (pos_ < size) {
    unsigned char c = static_cast<unsigned char>(data[pos_]);
    if (c == '"' || c == '\\' || c < 0x20) return (seen & kHigh) != 0;
    seen |= c;
    ++pos_;
  }
  return std::unexpected(error(kEofString));
}

Result<std::string> Reader::parse_string_body() {
  auto view = parse_string_view();
  if (!view) return std::unexpected(view.error());
  return std::string(*view);
}

Result<std::string_view> Reader::parse_string_view() {
  std::string* out = nullptr;  // set at the first escape
  size_t run_start = pos_;
  for (;;) {
    // Take the longest run without escapes or control characters at once;
    // only a run holding a byte beyond ASCII needs its UTF-8 checked.
    auto non_ascii = skip_plain_run();
    if (!non_ascii) return std::unexpected(non_ascii.error());
    std::string_view run = in_.substr(run_start, pos_ - run_start);
    if (*non_ascii && !is_valid_utf8(run)) return std::unexpected(error("invalid unicode code point"));
    unsigned char c = static_cast<unsigned char>(in_[pos_++]);
    if (c == '"') {
      if (out == nullptr) return run;
      out->append(run);
      return std::string_view(*out);
    }
    if (out == nullptr) {
      out = &unescaped_;
      out->clear();
    }
    out->append(run);
    if (c != '\\') return std::unexpected(error(kControlInString));
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    char e = in_[pos_++];
    switch (e) {
      case '"': *out += '"'; break;
      case '\\': *out += '\\'; break;
      case '/': *out += '/'; break;
      case 'b': *out += '\b'; break;
      case 'f': *out += '\f'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'u': {
        auto first = parse_hex4();
        if (!first) return std::unexpected(first.error());
        uint32_t cp = *first;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return std::unexpected(error("lone leading surrogate in hex escape"));
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          if (pos_ >= in_.size() || in_[pos_] != '\\') {
            if (pos_ < in_.size()) ++pos_;
            return std::unexpected(error("unexpected end of hex escape"));
          }
          ++pos_;
          if (pos_ >= in_.size() || in_[pos_] != 'u') {
            if (pos_ < in_.size()) ++pos_;
            return std::unexpected(error("unexpected end of hex escape"));
          }
          ++pos_;
          auto second = parse_hex4();
          if (!second) return std::unexpected(second.error());
          if (*second < 0xDC00 || *second > 0xDFFF) return std::unexpected(error("lone leading surrogate in hex escape"));
          cp = 0x10000 + ((cp - 0xD800) << 10) + (*second - 0xDC00);
        }
        append_utf8(*out, cp);
        break;
      }
      default: return std::unexpected(error("invalid escape"));
    }
    run_start = pos_;
  }
}

Result<uint32_t> Reader::parse_hex4() {
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    int h = hex_digit_value(in_[pos_++]);
    if (h < 0) return std::unexpected(error("invalid escape"));
    v = v * 16 + static_cast<uint32_t>(h);
  }
  return v;
}

Result<void> Reader::skip_string_body() {
  // A string that is passed over only has to be well-formed JSON: its bytes
  // and the code points of its escapes (lone surrogates included) are not
  // judged, since nothing is made of them.
  for (;;) {
    if (auto e = skip_plain_run(); !e) return std::unexpected(e.error());
    unsigned char c = static_cast<unsigned char>(in_[pos_++]);
    if (c == '"') return {};
    if (c != '\\') return std::unexpected(error(kControlInString));
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    switch (in_[pos_++]) {
      case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't': break;
      case 'u':
        if (auto h = parse_hex4(); !h) return std::unexpected(h.error());
        break;
      default: return std::unexpected(error("invalid escape"));
    }
  }
}

Result<Number> Reader::parse_number_body(bool positive, bool syntax_only) {
  size_t start = positive ? pos_ : pos_ - 1;
  auto peek = [&]() -> int { return pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_]) : -1; };
  auto is_digit = [](int c) { return c >= 0 && is_ascii_digit(static_cast<char>(c)); };
  if (pos_ >= in_.size()) return std::unexpected(error(kEofValue));  // a lone `-`
  int c0 = static_cast<unsigned char>(in_[pos_++]);
  std::uint64_t significand = 0;
  bool overflow = false;
  if (c0 == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error("invalid number"));
  } else if (c0 >= '1' && c0 <= '9') {
    significand = static_cast<std::uint64_t>(c0 - '0');
    while (is_digit(peek())) {
      std::uint64_t d = static_cast<std::uint64_t>(peek() - '0');
      if (!overflow && (significand > (UINT64_MAX - d) / 10)) overflow = true;
      if (!overflow) significand = significand * 10 + d;
      ++pos_;
    }
  } else {
    return std::unexpected(error("invalid number"));
  }
  bool is_float = overflow;
  if (peek() == '.') {
    ++pos_;
    if (!is_digit(peek())) return std::unexpected(peek() < 0 ? peek_error(kEofValue) : peek_error("invalid number"));
    while (is_digit(peek())) ++pos_;
    is_float = true;
  }
  if (peek() == 'e' || peek() == 'E') {
    ++pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    if (!is_digit(peek())) return std::unexpected(peek() < 0 ? peek_error(kEofValue) : peek_error("invalid number"));
    while (is_digit(peek())) ++pos_;
    is_float = true;
  }
  Number n{};
  if (!is_float) {
    if (positive) {
      n.kind = Number::Kind::U64;
      n.u = significand;
    } else if (significand == 0 || significand > static_cast<std::uint64_t>(INT64_MAX) + 1) {
      // -0 and values below i64's range become floats.
      n.kind = Number::Kind::F64;
      n.f = -static_cast<double>(significand);
    } else {
      n.kind = Number::Kind::I64;
      n.i = static_cast<std::int64_t>(0 - significand);
    }
    return n;
  }
  if (syntax_only) return Number{Number::Kind::F64};
  auto f = parse_decimal_double(in_.substr(start, pos_ - start));
  if (!f) return std::unexpected(error("number out of range"));
  n.kind = Number::Kind::F64;
  n.f = *f;
  return n;
}

Result<std::string> Reader::read_string(std::string_view expected) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  if (*c != '"') return std::unexpected(invalid_type(expected));
  eat();
  return parse_string_body();
}

Result<bool> Reader::read_null() {
  auto c = peek_ws();
  if (!c || *c != 'n') return false;
  auto literal = parse_literal();
  if (!literal) return std::unexpected(literal.error());
  return true;
}

Result<std::optional<std::string>> Reader::read_optional_string() {
  auto null = read_null();
  if (!null) return std::unexpected(null.error());
  if (*null) return std::optional<std::string>();
  auto s = read_string();
  if (!s) return std::unexpected(s.error());
  return std::optional<std::string>(std::move(*s));
}

Result<bool> Reader::read_bool() {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  if (*c != 't' && *c != 'f') return std::unexpected(invalid_type("a boolean"));
  auto literal = parse_literal();
  if (!literal) return std::unexpected(literal.error());
  return std::get<bool>(literal->v);
}

Result<std::optional<bool>> Reader::read_optional_bool() {
  auto null = read_null();
  if (!null) return std::unexpected(null.error());
  if (*null) return std::optional<bool>();
  auto b = read_bool();
  if (!b) return std::unexpected(b.error());
  return std::optional<bool>(*b);
}

Result<Number> Reader::read_number(std::string_view expected) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  if (*c == '-') {
    eat();
    return parse_number_body(false);
  }
  if (is_ascii_digit(*c)) return parse_number_body(true);
  return std::unexpected(invalid_type(expected));
}

Result<void> Reader::enter() {
  if (--remaining_depth_ == 0) {
    ++remaining_depth_;
    return std::unexpected(peek_error("recursion limit exceeded"));
  }
  return {};
}

Result<void> Reader::begin_seq(std::string_view expected) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  if (*c != '[') return std::unexpected(invalid_type(expected));
  if (auto e = enter(); !e) return e;
  eat();
  return {};
}

Result<bool> Reader::seq_next(bool& first) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofList));
  if (*c == ']') return false;
  if (first) {
    first = false;
    return true;
  }
  if (*c != ',') return std::unexpected(peek_error("expected `,` or `]`"));
  eat();
  auto d = peek_ws();
  if (!d) return std::unexpected(peek_error(kEofValue));
  if (*d == ']') return std::unexpected(peek_error("trailing comma"));
  return true;
}

Result<void> Reader::end_seq() {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofList));
  if (*c == ']') {
    eat();
    return {};
  }
  if (*c == ',') {
    eat();
    auto d = peek_ws();
    if (d && *d == ']') return std::unexpected(peek_error("trailing comma"));
  }
  return std::unexpected(peek_error("trailing characters"));
}

Result<void> Reader::begin_map(std::string_view expected) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  if (*c != '{') return std::unexpected(invalid_type(expected));
  if (auto e = enter(); !e) return e;
  eat();
  return {};
}

Result<std::optional<std::string_view>> Reader::map_next_key_view(bool& first) {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofObject));
  if (*c == '}') return std::optional<std::string_view>();
  if (first) {
    first = false;
  } else {
    if (*c != ',') return std::unexpected(peek_error("expected `,` or `}`"));
    eat();
    c = peek_ws();
    if (!c) return std::unexpected(peek_error(kEofValue));
  }
  if (*c == '}') return std::unexpected(peek_error("trailing comma"));
  if (*c != '"') return std::unexpected(peek_error("key must be a string"));
  eat();
  auto key = parse_string_view();
  if (!key) return std::unexpected(key.error());
  return std::optional<std::string_view>(*key);
}

Result<std::optional<std::string>> Reader::map_next_key(bool& first) {
  auto key = map_next_key_view(first);
  if (!key) return std::unexpected(key.error());
  if (!*key) return std::optional<std::string>();
  return std::optional<std::string>(std::string(**key));
}

Result<void> Reader::map_colon() {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofObject));
  if (*c != ':') return std::unexpected(peek_error("expected `:`"));
  eat();
  return {};
}

Result<void> Reader::end_map() {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofObject));
  if (*c == '}') {
    eat();
    return {};
  }
  if (*c == ',') return std::unexpected(peek_error("trailing comma"));
  return std::unexpected(peek_error("trailing characters"));
}

Result<Value> Reader::read_value() {
  auto c = peek_ws();
  if (!c) return std::unexpected(peek_error(kEofValue));
  switch (*c) {
    case 'n':
    case 't':
    case 'f': return parse_literal();
    case '"': {
      eat();
      auto s = parse_string_body();
      if (!s) return std::unexpected(s.error());
      return Value(std::move(*s));
    }
    case '[': {
      Array items;
      auto r = read_seq(*this, "any value", [&](Reader& self) -> Result<void> {
        auto v = self.read_value();
        if (!v) return std::unexpected(v.error());
        items.push_back(std::move(*v));
        return {};
      });
      if (!r) return std::unexpected(r.error());
      return Value(std::move(items));
    }
    case '{': {
      Object members;
      auto r = read_map(*this, "any value", [&](std::string key, Reader& self) -> Result<void> {
        auto v = self.read_value();
        if (!v) return std::unexpected(v.error());
        members.push_back(std::move(key), std::move(*v));
        return {};
      });
      if (!r) return std::unexpected(r.error());
      return Value(std::move(members));
    }
    default: {
      if (*c == '-' || is_ascii_digit(*c)) {
        auto n = read_number("any value");
        if (!n) return std::unexpected(n.error());
        return n->to_value();
      }
      return std::unexpected(peek_error("expected value"));
    }
  }
}

Result<void> Reader::skip_value() {
  // An explicit stack of open brackets: hostile nesting cannot exhaust the
  // call stack here.
  std::vector<char> open;
  bool at_value = true;  // expecting a value (else a separator or a close)
  for (;;) {
    auto c = peek_ws();
    if (at_value) {
      if (!c) return std::unexpected(peek_error(kEofValue));
      switch (*c) {
        case 'n':
        case 't':
        case 'f':
          if (auto literal = parse_literal(); !literal) return std::unexpected(literal.error());
          break;
        case '"':
          eat();
          if (auto e = skip_string_body(); !e) return e;
          break;
        case '[': {
          eat();
          auto d = peek_ws();
          if (d && *d == ']') {
            eat();
            break;
          }
          open.push_back('[');
          continue;
        }
        case '{': {
          eat();
          auto d = peek_ws();
          if (d && *d == '}') {
            eat();
            break;
          }
          open.push_back('{');
          if (!d) return std::unexpected(peek_error(kEofObject));
          if (*d != '"') return std::unexpected(peek_error("key must be a string"));
          eat();
          if (auto e = skip_string_body(); !e) return e;
          if (auto e = map_colon(); !e) return e;
          continue;
        }
        default:
          if (*c == '-' || is_ascii_digit(*c)) {
            // Any well-formed number, also one beyond the range of a double.
            if (*c == '-') eat();
            auto n = parse_number_body(*c != '-', true);
            if (!n) return std::unexpected(n.error());
            break;
          }
          return std::unexpected(peek_error("expected value"));
      }
      at_value = false;
    }
    if (open.empty()) return {};
    // After a value inside a container: a separator or the closing bracket.
    c = peek_ws();
    char kind = open.back();
    if (!c) return std::unexpected(peek_error(kind == '[' ? kEofList : kEofObject));
    if ((kind == '[' && *c == ']') || (kind == '{' && *c == '}')) {
      eat();
      open.pop_back();
      continue;
    }
    if (*c != ',') return std::unexpected(peek_error(kind == '[' ? "expected `,` or `]`" : "expected `,` or `}`"));
    eat();
    auto d = peek_ws();
    if (!d) return std::unexpected(peek_error(kEofValue));
    if ((kind == '[' && *d == ']') || (kind == '{' && *d == '}')) return std::unexpected(peek_error("trailing comma"));
    if (kind == '{') {
      if (*d != '"') return std::unexpected(peek_error("key must be a string"));
      eat();
      if (auto e = skip_string_body(); !e) return e;
      if (auto e = map_colon(); !e) return e;
    }
    at_value = true;
  }
}

size_t count_members(const Reader& r) {
  Reader probe = r;
  size_t count = 0;
  if (!probe.begin_map("a map")) return 0;
  bool first = true;
  for (;;) {
    auto key = probe.map_next_key_view(first);
    if (!key) return 0;
    if (!*key) return count;
    if (!probe.map_colon() || !probe.skip_value()) return 0;
    ++count;
  }
}

Result<std::vector<std::string>> read_string_list(Reader& r) {
  std::vector<std::string> out;
  auto res = read_seq(r, "a sequence", [&](Reader& rd) -> Result<void> {
    auto s = rd.read_string();
    if (!s) return std::unexpected(s.error());
    out.push_back(std::move(*s));
    return {};
  });
  if (!res) return std::unexpected(res.error());
  return out;
}

Result<void> read_record(Reader& r, std::string_view record, std::span<const Field> fields, FieldReader read_field) {
  if (fields.size() > kMaxRecordFields) internal_error("a record with more fields than the reader tracks");
  auto c = r.peek_ws();
  if (!c) return std::unexpected(r.peek_error(kEofValue));
  if (*c == '[') {
    if (auto e = r.enter(); !e) return e;
    r.eat();
    auto visit = [&]() -> Result<void> {
      bool first = true;
      for (size_t i = 0; i < fields.size(); ++i) {
        auto more = r.seq_next(first);
        if (!more) return std::unexpected(more.error());
        if (!*more) {
          if (fields[i].positional_default) continue;
          return std::unexpected(JsonError(
              fmt::format("invalid length {}, expected {}", i, struct_with_elements(record, fields.size()))));
        }
        if (auto e = read_field(i, r); !e) return e;
      }
      return {};
    };
    auto ret = visit();
    auto end = r.end_seq();
    r.leave();
    if (!ret) return std::unexpected(r.fix(ret.error()));
    return end;
  }
  if (*c == '{') {
    if (auto e = r.enter(); !e) return e;
    r.eat();
    auto visit = [&]() -> Result<void> {
      std::uint64_t seen = 0;  // bit i: field i was read
      bool first = true;
      for (;;) {
        auto key = r.map_next_key_view(first);
        if (!key) return std::unexpected(key.error());
        if (!*key) break;
        size_t idx = fields.size();
        for (size_t i = 0; i < fields.size(); ++i) {
          if (fields[i].name == **key) {
            idx = i;
            break;
          }
        }
        if (idx < fields.size() && (seen >> idx & 1) != 0)
          return std::unexpected(JsonError(fmt::format("duplicate field `{}`", fields[idx].name)));
        if (auto e = r.map_colon(); !e) return e;
        if (idx == fields.size()) {
          if (auto e = r.skip_value(); !e) return e;
          continue;
        }
        seen |= std::uint64_t{1} << idx;
        if (auto e = read_field(idx, r); !e) return e;
      }
      for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].required && (seen >> i & 1) == 0)
          return std::unexpected(JsonError(fmt::format("missing field `{}`", fields[i].name)));
      return {};
    };
    auto ret = visit();
    auto end = r.end_map();
    r.leave();
    if (!ret) return std::unexpected(r.fix(ret.error()));
    return end;
  }
  return std::unexpected(r.invalid_type(record));
}

}  // namespace kestro::json
