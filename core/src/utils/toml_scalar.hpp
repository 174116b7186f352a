// Scanners of the TOML scalars written without quotes: integers, floats,
// booleans and date-times. Internal to the TOML reader.
#pragma once

#include <string>
#include <string_view>

#include "kestro/utils/toml_document.hpp"

namespace kestro::toml::detail {

struct Scalar {
  Kind kind = Kind::Integer;
  DatetimeForm datetime = DatetimeForm::LocalDate;
  Integer integer;
  double number = 0;
  bool boolean = false;
  size_t end = 0;  // one past the scalar's last byte
};

struct ScanFailure {
  std::string message;
  Span span;
};

// Scans the unquoted scalar that starts at `text[pos]`. Stops at the first
// byte that cannot continue it; the caller checks what follows.
bool scan_scalar(std::string_view text, size_t pos, Scalar& out, ScanFailure& failure);

}  // namespace kestro::toml::detail
