// Instants in RFC 3339 text: a lenient parser and the UTC formatter.
//
// The parser takes an RFC 3339 date-time with a UTC offset, and also:
// - the basic form without `-` and `:` separators (date, time and offset
//   each in either form);
// - `T`, `t` or a blank between date and time;
// - `Z`, `z`, or a numeric offset `+HH:MM` / `+HHMM` (or `-`);
// - a year written as a sign and six digits, at most 9999 either way
//   (`-000000` is refused);
// - trailing bracketed annotations as in RFC 9557 (`[Europe/Paris]`,
//   `[!u-ca=iso8601]`), which are checked and ignored.
// The date must exist, hours run from 00 to 23, a leap second 60 is read as
// 59, the fraction has 1 to 9 digits after `.`, an offset is required, and
// nothing may follow. The offset only places the instant; it is not kept.
// The instant must fall within the years 0000 to 9999 in UTC, the years the
// formatter writes with four digits: `9999-12-31T23:59:59-00:01` is refused.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "kestro/utils/calendar.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::time {

class Rfc3339Error : public MessageError {
 public:
  explicit Rfc3339Error(std::string text) : MessageError(std::move(text)) {}
};

std::expected<Timestamp, Rfc3339Error> parse_rfc3339(std::string_view text);

// "YYYY-MM-DDTHH:MM:SS[.f]Z" in UTC; the fraction only when the instant has
// one, without trailing zeros. An instant outside the years 0000-9999 (which
// the parser never returns) has its year written as a sign and six digits.
std::string format_rfc3339_utc(Timestamp t);

}  // namespace kestro::time
