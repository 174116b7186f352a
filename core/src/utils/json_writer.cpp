#include "kestro/utils/json_writer.hpp"

#include <charconv>
#include <cmath>

#include <fmt/format.h>

namespace kestro::json {

std::string format_float(double value) {
  // Shortest round-trip digits in scientific form: "d.ddde±x".
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  std::string out;
  if (!sci.empty() && sci[0] == '-') {
    out += '-';
    sci.remove_prefix(1);
  }
  size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos))
    if (c != '.') digits += c;
  std::string_view exp_text = sci.substr(e_pos + 1);
  if (exp_text.starts_with('+')) exp_text.remove_prefix(1);
  int exp = 0;
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exp);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (digits == "0") return out + "0.0";
  // value = 0.digits * 10^kk
  int length = static_cast<int>(digits.size());
  int kk = exp + 1;
  int k = kk - length;
  if (k >= 0 && kk <= 16) {
    out += digits;
    out.append(static_cast<size_t>(k), '0');
    out += ".0";
  } else if (kk > 0 && kk <= 16) {
    out += digits.substr(0, static_cast<size_t>(kk));
    out += '.';
    out += digits.substr(static_cast<size_t>(kk));
  } else if (kk > -5 && kk <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-kk), '0');
    out += digits;
  } else if (length == 1) {
    out += digits;
    out += 'e';
    out += std::to_string(kk - 1);
  } else {
    out += digits[0];
    out += '.';
    out += digits.substr(1);
    out += 'e';
    out += std::to_string(kk - 1);
  }
  return out;
}

void Writer::newline_indent() {
  out_ += '\n';
  out_.append(levels_.size() * 2, ' ');
}

void Writer::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.empty) out_ += ',';
  level.empty = false;
  if (style_ == Style::Pretty) newline_indent();
}

void Writer::begin_object() {
  before_value();
  out_ += '{';
  levels_.push_back(Level{});
}

void Writer::key(std::string_view k) {
  Level& level = levels_.back();
  if (!level.empty) out_ += ',';
  level.empty = false;
  if (style_ == Style::Pretty) newline_indent();
  write_escaped(k);
  out_ += style_ == Style::Pretty ? ": " : ":";
  after_key_ = true;
}

void Writer::end_object() {
  bool empty = levels_.back().empty;
  levels_.pop_back();
  if (style_ == Style::Pretty && !empty) newline_indent();
  out_ += '}';
}

void Writer::begin_array() {
  before_value();
  out_ += '[';
  levels_.push_back(Level{});
}

void Writer::end_array() {
  bool empty = levels_.back().empty;
  levels_.pop_back();
  if (style_ == Style::Pretty && !empty) newline_indent();
  out_ += ']';
}

void Writer::write_escaped(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  out_ += '"';
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    const char* esc = nullptr;
    switch (c) {
      case '"': esc = "\\\""; break;
      case '\\': esc = "\\\\"; break;
      case '\b': esc = "\\b"; break;
      case '\f': esc = "\\f"; break;
      case '\n': esc = "\\n"; break;
      case '\r': esc = "\\r"; break;
      case '\t': esc = "\\t"; break;
      default:
        if (c >= 0x20) continue;
    }
    out_.append(text.substr(run, i - run));
    run = i + 1;
    if (esc) {
      out_ += esc;
    } else {
      out_ += "\\u00";
      out_ += hex[c >> 4];
      out_ += hex[c & 0xF];
    }
  }
  out_.append(text.substr(run));
  out_ += '"';
}

void Writer::string(std::string_view text) {
  before_value();
  write_escaped(text);
}

void Writer::boolean(bool b) {
  before_value();
  out_ += b ? "true" : "false";
}

void Writer::null() {
  before_value();
  out_ += "null";
}

void Writer::u64(std::uint64_t u) {
  before_value();
  out_ += fmt::format("{}", u);
}

void Writer::i64(std::int64_t i) {
  before_value();
  out_ += fmt::format("{}", i);
}

void Writer::f64(double f) {
  before_value();
  out_ += std::isfinite(f) ? format_float(f) : "null";
}

void Writer::value(const Value& v) {
  struct Visitor {
    Writer& w;
    void operator()(const Null&) { w.null(); }
    void operator()(bool b) { w.boolean(b); }
    void operator()(std::uint64_t u) { w.u64(u); }
    void operator()(std::int64_t i) { w.i64(i); }
    void operator()(double f) { w.f64(f); }
    void operator()(const std::string& s) { w.string(s); }
    void operator()(const Array& a) {
      w.begin_array();
      for (const auto& e : a) w.value(e);
      w.end_array();
    }
    void operator()(const Object& o) {
      w.begin_object();
      for (const auto& [k, e] : o.members()) {
        w.key(k);
        w.value(e);
      }
      w.end_object();
    }
  };
  std::visit(Visitor{*this}, v.v);
}

}  // namespace kestro::json
