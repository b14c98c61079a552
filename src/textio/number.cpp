// Numbers of the record files: whole tokens in decimal form with the full stop, read
// without the locale.
#include <charconv>
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

}  // namespace

bool parse_number(std::string_view token, double& value) {
  if (!decimal_form(token)) return false;
  // std::from_chars takes no plus sign.
  if (token.front() == '+') token.remove_prefix(1);
  const auto res = std::from_chars(token.data(), token.data() + token.size(), value);
  return res.ec == std::errc{} && res.ptr == token.data() + token.size();
}

}  // namespace helmert2d::textio
