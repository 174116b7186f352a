// Readable names for directories: the name an IRI is shown under and the
// short form of a version text. Both keep letters of any script, fold case,
// normalise to NFC and turn punctuation into single separators, so that the
// result is safe and short as part of a directory name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kestro/utils/iri.hpp"

namespace kestro {

// Characters that are cut from the ends of a name: ASCII other than letters
// and digits (controls and DEL included), the C1 controls, White_Space and
// Default_Ignorable_Code_Point characters.
bool is_name_trimmable(char32_t cp);

// Characters that separate like punctuation although they are not ASCII:
// U+FFFD and the Bidi_Control characters.
bool is_name_marker(char32_t cp);

// Full case folding (the default mapping, not the Turkic one), then NFC.
// Invalid UTF-8 reads as U+FFFD.
std::string fold_case_nfc(std::string_view text);

// The longest prefix of `text` of at most `max_bytes` that ends on a UTF-8
// character boundary.
std::string_view cut_at_char_boundary(std::string_view text, std::size_t max_bytes);

// `text` without the trimmable characters at its start (when `start`) and at
// its end.
std::string_view trim_name(std::string_view text, bool start = true);

// Appends a percent-encoded IRI component decoded leniently: each escape
// gives a byte, bytes are collected until they form one UTF-8 character
// (appended) or cannot (dropped, the breaking byte judged again on its own);
// bytes still pending when plain text follows or the component ends are
// dropped. Plain text is appended as it stands.
void append_percent_decoded(std::string& out, std::string_view component);

// The readable name of an IRI that is already normalised and is no package
// identifier: the host (its `xn--` labels decoded from Punycode) and `-`,
// the percent-decoded path (a `urn:kestro:` IRI without its `kestro:`), a
// trailing `.kpar` in any case removed, then `-` and the query when there is
// one; that text trimmed, white space runs turned into `_`, `/` and `:` into
// `.`, other punctuation runs into one `-` (a lone `-`, `.` or `_` stays),
// case-folded, NFC, cut to 120 bytes and trimmed at the end; "project" when
// nothing is left.
std::string iri_display_text(const iri::Iri& normalized);

// The short form of a version text: trimmed, case-folded, NFC; letters and
// digits kept, every run of punctuation (and of Bidi_Control or U+FFFD
// characters) one `.` when it starts with a `.`, else one `-`; cut to 30
// bytes and trimmed at the end. May be empty.
std::string version_slug(std::string_view version);

}  // namespace kestro
