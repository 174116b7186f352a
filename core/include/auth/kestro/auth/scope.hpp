// Which URLs a stored login applies to. An index location stands for a URL
// prefix, its scope; a login stores one glob per prefix it covers (the
// index the user named, the index root and the API root its discovery
// document announced), each prefix written literally and followed by "**".
// The prefix list is kept minimal: no prefix that another already covers.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "kestro/index/index_location.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::auth {

// The URL without its query; a fragment stays.
url::Url url_without_query(const url::Url& url);

// A base URL without its query; for a template, the URL of the prefix cut
// after its last `/`, the directory that holds every expansion.
std::string credential_scope_url(const IndexLocation& location);

// Adds `prefix` unless an entry is a prefix of it (byte for byte); entries
// that begin with `prefix` are removed, the others keep their order, and
// `prefix` goes last.
void add_scope_prefix(std::vector<std::string>& prefixes, std::string prefix);

// The glob that matches the text literally, then anything: each of
// `*?[]{}` as a one-character class, then "**".
std::string literal_prefix_glob(std::string_view prefix);

// The globs a login stores: the argument's scope, then (when discovery
// named them) the scope of the index root and the API root without its
// query, as a minimal prefix list in glob form.
std::vector<std::string> credential_globs_for_index(std::string_view scope, const IndexLocation* index_root = nullptr,
                                                    const url::Url* api_root = nullptr);

}  // namespace kestro::auth
