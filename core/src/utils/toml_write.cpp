#include "kestro/utils/toml_write.hpp"

#include <cmath>
#include <vector>

#include <fmt/format.h>

#include "kestro/utils/json_writer.hpp"

namespace kestro::toml {

namespace {

struct Traits {
  bool double_quote = false;
  bool single_quote = false;
  bool backslash = false;
  bool line_feed = false;
  bool control = false;  // other than tab and line feed
  bool three_double = false;
  bool three_single = false;
};

Traits traits_of(std::string_view text) {
  Traits t;
  size_t dq = 0, sq = 0;
  for (unsigned char c : text) {
    dq = c == '"' ? dq + 1 : 0;
    sq = c == '\'' ? sq + 1 : 0;
    t.double_quote |= c == '"';
    t.single_quote |= c == '\'';
    t.backslash |= c == '\\';
    t.line_feed |= c == '\n';
    t.control |= is_ascii_control(static_cast<char>(c)) && c != '\t' && c != '\n';
    t.three_double |= dq >= 3;
    t.three_single |= sq >= 3;
  }
  return t;
}

// Basic-string body: every character that needs it escaped. In the
// multi-line form line feeds stay and only a third `"` in a row is escaped.
void append_escaped(std::string& out, std::string_view text, bool multiline) {
  size_t quotes = 0;
  for (unsigned char c : text) {
    if (c == '"') {
      if (!multiline || quotes == 2) {
        out += "\\\"";
        quotes = 0;
      } else {
        out += '"';
        ++quotes;
      }
      continue;
    }
    quotes = 0;
    switch (c) {
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += multiline ? "\n" : "\\n"; break;
      default:
        if (is_ascii_control(static_cast<char>(c)))
          out += fmt::format("\\u{:04X}", c);
        else
          out += static_cast<char>(c);
    }
  }
}

std::string quoted(std::string_view open, std::string_view text, bool leading_line_feed, bool escape,
                   bool multiline) {
  std::string out(open);
  if (leading_line_feed) out += '\n';
  if (escape)
    append_escaped(out, text, multiline);
  else
    out += text;
  out += open;
  return out;
}

std::string write_float(double f) {
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f < 0 ? "-inf" : "inf";
  return json::format_float(f);
}

}  // namespace

std::string write_string(std::string_view text) {
  const Traits t = traits_of(text);
  if (!t.double_quote && !t.backslash && !t.line_feed && !t.control) return quoted("\"", text, false, true, false);
  if (!t.single_quote && !t.line_feed && !t.control) return quoted("'", text, false, false, false);
  if (!t.control && !t.backslash && !t.three_double) return quoted("\"\"\"", text, t.line_feed, true, true);
  if (!t.control && !t.three_single) return quoted("'''", text, t.line_feed, false, true);
  if (t.line_feed) return quoted("\"\"\"", text, true, true, true);
  return quoted("\"", text, false, true, false);
}

std::string write_key(std::string_view key) {
  bool bare = !key.empty();
  for (char c : key) bare &= is_bare_key_char(c);
  if (bare) return std::string(key);
  const Traits t = traits_of(key);
  if (!t.single_quote && !t.line_feed && !t.control && (t.double_quote || t.backslash))
    return quoted("'", key, false, false, false);
  return quoted("\"", key, false, true, false);
}

std::string write_inline(const Value& value) {
  std::string out;
  struct Frame {
    const Value* value;
    size_t next;
  };
  std::vector<Frame> stack;
  auto open = [&](const Value& v) {
    switch (v.kind()) {
      case Kind::String: out += write_string(*v.as_string()); break;
      case Kind::Integer: out += v.as_integer()->to_string(); break;
      case Kind::Float: out += write_float(*v.as_float()); break;
      case Kind::Boolean: out += *v.as_bool() ? "true" : "false"; break;
      case Kind::Datetime: out += v.as_datetime()->text; break;
      case Kind::Array:
        if (v.as_array()->empty()) {
          out += "[]";
        } else {
          out += '[';
          stack.push_back({&v, 0});
        }
        break;
      case Kind::Table:
        if (v.as_table()->empty()) {
          out += "{}";
        } else {
          out += "{ ";
          stack.push_back({&v, 0});
        }
        break;
    }
  };
  open(value);
  while (!stack.empty()) {
    const Value& v = *stack.back().value;
    const size_t i = stack.back().next++;
    if (const Value::Array* items = v.as_array()) {
      if (i == items->size()) {
        out += ']';
        stack.pop_back();
        continue;
      }
      if (i > 0) out += ", ";
      open((*items)[i]);
    } else {
      const Value::Table& members = *v.as_table();
      if (i == members.size()) {
        out += " }";
        stack.pop_back();
        continue;
      }
      if (i > 0) out += ", ";
      out += write_key(members[i].key);
      out += " = ";
      open(members[i].value);
    }
  }
  return out;
}

void append_multiline_array(std::string& out, std::span<const std::string> raw_elements) {
  out += "[\n";
  for (const std::string& e : raw_elements) {
    out += "    ";
    out += e;
    out += ",\n";
  }
  out += ']';
}

std::string write_toml_multiline_array(std::span<const std::string> elements) {
  std::vector<std::string> raw;
  raw.reserve(elements.size());
  for (const std::string& e : elements) raw.push_back(write_string(e));
  std::string out;
  append_multiline_array(out, raw);
  return out;
}

}  // namespace kestro::toml
