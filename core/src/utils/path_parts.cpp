#include "kestro/utils/path_parts.hpp"

namespace kestro {

namespace {

bool is_dot(std::string_view s, std::size_t& pos) {
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    return true;
  }
  return false;
}

bool is_encoded_dot(std::string_view s, std::size_t& pos) {
  if (pos + 3 <= s.size() && s[pos] == '%' && s[pos + 1] == '2' && (s[pos + 2] == 'e' || s[pos + 2] == 'E')) {
    pos += 3;
    return true;
  }
  return false;
}

}  // namespace

PathPart::Kind dot_kind(std::string_view part, DotSpelling spelling) {
  if (spelling == DotSpelling::Plain) {
    if (part == ".") return PathPart::Kind::Current;
    if (part == "..") return PathPart::Kind::Parent;
    return PathPart::Kind::Name;
  }
  std::size_t pos = 0;
  int dots = 0;
  while (dots < 2 && (is_dot(part, pos) || is_encoded_dot(part, pos))) ++dots;
  if (pos != part.size() || dots == 0) return PathPart::Kind::Name;
  return dots == 1 ? PathPart::Kind::Current : PathPart::Kind::Parent;
}

PathParts::iterator::iterator(std::string_view path, DotSpelling spelling, std::size_t next)
    : path_(path), spelling_(spelling), next_(next) {
  if (path_.empty()) {
    next_ = npos;
    return;
  }
  if (path_.front() == '/') {
    part_ = {PathPart::Kind::Root, path_.substr(0, 1), true};
    next_ = 1;
    return;
  }
  advance();
  part_.leading = true;
}

void PathParts::iterator::advance() {
  if (next_ == npos || next_ > path_.size()) {
    next_ = npos;
    return;
  }
  std::size_t end = path_.find('/', next_);
  if (end == std::string_view::npos) end = path_.size();
  const std::string_view text = path_.substr(next_, end - next_);
  part_ = {text.empty() ? PathPart::Kind::Empty : dot_kind(text, spelling_), text, false};
  next_ = end + 1;
}

PathParts::iterator PathParts::begin() const { return iterator(path_, spelling_, 0); }

std::optional<PathFault> path_fault(std::string_view path, PathPolicy policy) {
  using K = PathPart::Kind;
  const bool needs_name =
      policy == PathPolicy::Relative || policy == PathPolicy::ProjectRelative || policy == PathPolicy::ArchiveEntry;
  if (path.empty()) return needs_name ? std::optional(PathFault::EmptyPart) : std::nullopt;
  if (policy == PathPolicy::ArchiveEntry && path.find('\0') != std::string_view::npos) return PathFault::Nul;
  const DotSpelling spelling = policy == PathPolicy::RemoteSegment ? DotSpelling::PercentEncoded : DotSpelling::Plain;
  long depth = 0;
  for (const PathPart& p : PathParts(path, spelling)) {
    switch (p.kind) {
      case K::Root:
        if (policy != PathPolicy::RemoteSegment) return PathFault::Absolute;
        break;
      case K::Empty:
        if (policy == PathPolicy::Relative || policy == PathPolicy::ProjectRelative) return PathFault::EmptyPart;
        break;
      case K::Current:
        if (policy == PathPolicy::ProjectRelative || policy == PathPolicy::RemoteSegment ||
            (policy == PathPolicy::NormalBelowRoot && p.leading))
          return PathFault::Current;
        break;
      case K::Parent:
        if (policy == PathPolicy::ProjectRelative || policy == PathPolicy::RemoteSegment ||
            policy == PathPolicy::NormalBelowRoot)
          return PathFault::Parent;
        if ((policy == PathPolicy::BelowRoot || policy == PathPolicy::ArchiveEntry) && --depth < 0)
          return PathFault::Escapes;
        break;
      case K::Name: ++depth; break;
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string_view>> names_below_root(std::string_view path) {
  std::vector<std::string_view> names;
  for (const PathPart& p : PathParts(path)) {
    if (p.kind == PathPart::Kind::Name) {
      names.push_back(p.text);
    } else if (p.kind == PathPart::Kind::Parent) {
      if (names.empty()) return std::nullopt;
      names.pop_back();
    }
  }
  return names;
}

namespace {

// The significant parts of a path, one at a time.
class SignificantParts {
 public:
  explicit SignificantParts(std::string_view path) : parts_(path), it_(parts_.begin()) {}
  const PathPart* next() {
    for (; it_ != parts_.end(); ++it_) {
      if (it_->kind == PathPart::Kind::Empty || (it_->kind == PathPart::Kind::Current && !it_->leading)) continue;
      current_ = *it_++;
      return &current_;
    }
    return nullptr;
  }

 private:
  PathParts parts_;
  PathParts::iterator it_;
  PathPart current_{};
};

std::strong_ordering compare_bytes(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare orders as unsigned bytes
  return c < 0 ? std::strong_ordering::less : c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
}

}  // namespace

std::strong_ordering compare_paths(std::string_view a, std::string_view b) {
  SignificantParts pa(a), pb(b);
  for (;;) {
    const PathPart* ca = pa.next();
    const PathPart* cb = pb.next();
    if (!ca || !cb) return (ca != nullptr) <=> (cb != nullptr);
    if (auto k = ca->kind <=> cb->kind; k != 0) return k;
    if (ca->kind == PathPart::Kind::Name)
      if (auto n = compare_bytes(ca->text, cb->text); n != 0) return n;
  }
}

bool is_within(std::string_view path, std::string_view dir) {
  SignificantParts pp(path), pd(dir);
  while (const PathPart* d = pd.next()) {
    const PathPart* p = pp.next();
    if (!p || p->kind != d->kind || p->text != d->text) return false;
  }
  return true;
}

}  // namespace kestro
