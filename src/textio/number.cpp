// Numbers of the record files: whole tokens in decimal form with the full stop, read
// without the locale.
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "textio/textio.h"

namespace helmert2d::textio {
namespace {

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the form [sign] digits [. digits] [e|E [sign] digits] with at least one
// mantissa digit; std::from_chars alone would also take "inf" and "nan".
bool decimal_form(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == s.size();
}

// A number too small for a double ("1e-400") is read as the nearest double, 0 or a
// subnormal, as "5e-324" is; one too large ("1e400") is not a number. std::from_chars
// reports both as out of range, so the C locale's strtod tells them apart.
bool nearest_tiny(std::string_view token, double& value) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (c_locale == static_cast<locale_t>(nullptr)) return false;
  const std::string text(token);
  const double v = strtod_l(text.c_str(), nullptr, c_locale);
  if (!(std::fabs(v) < 1.0)) return false;  // overflow: not a number
  value = v;
  return true;
}

}  // namespace

bool parse_number(std::string_view token, double& value) {
  if (!decimal_form(token)) return false;
  // std::from_chars takes no plus sign.
  if (token.front() == '+') token.remove_prefix(1);
  const auto res = std::from_chars(token.data(), token.data() + token.size(), value);
  if (res.ec == std::errc::result_out_of_range) return nearest_tiny(token, value);
  return res.ec == std::errc{} && res.ptr == token.data() + token.size();
}

}  // namespace helmert2d::textio
