// Lines, delimited fields and decimal-comma numbers of line-oriented record files.
#include "textio/line_fields.h"

#include <cstring>
#include <ostream>

#include "textio/textio.h"

namespace helmert2d::textio {
namespace {

constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

LineCursor::LineCursor(std::span<char> text) : text_(text) {
  if (std::string_view(text_.data(), text_.size()).starts_with("\xEF\xBB\xBF")) pos_ = 3;
}

bool LineCursor::next(std::span<char>& line, int& number) {
  while (pos_ < text_.size()) {
    char* const start = text_.data() + pos_;
    const std::size_t rest = text_.size() - pos_;
    const auto* nl = static_cast<char*>(std::memchr(start, '\n', rest));
    std::size_t len = nl != nullptr ? static_cast<std::size_t>(nl - start) : rest;
    pos_ += nl != nullptr ? len + 1 : len;
    ++line_;
    if (len > 0 && start[len - 1] == '\r') --len;
    std::size_t first = 0;
    while (first < len && is_blank(start[first])) ++first;
    if (first == len || start[first] == '#') continue;
    line = std::span<char>(start, len);
    number = line_;
    return true;
  }
  return false;
}

SplitResult split_fields(std::span<char> line, char delimiter, std::size_t max_fields,
                         std::vector<std::string_view>& fields) {
  fields.clear();
  char* p = line.data();
  char* const end = p + line.size();
  // A tab delimiter is never a blank around a field.
  const auto blank = [delimiter](char c) { return c == ' ' || (c == '\t' && delimiter != '\t'); };
  while (fields.size() < max_fields) {
    while (p != end && blank(*p)) ++p;
    if (delimiter == kBlanks && p == end) break;
    const std::size_t number = fields.size() + 1;
    if (p != end && *p == '"') {
      // Unquote in place: the text written never overtakes the text read.
      char* w = p;
      char* r = p + 1;
      for (;;) {
        if (r == end) return {number, "its quote is not closed on the line"};
        if (*r == '"') {
          if (r + 1 != end && r[1] == '"') {
            *w++ = '"';
            r += 2;
            continue;
          }
          ++r;
          break;
        }
        *w++ = *r++;
      }
      fields.emplace_back(p, static_cast<std::size_t>(w - p));
      p = r;
      while (p != end && blank(*p)) ++p;
      if (p == end) break;
      if (delimiter == kBlanks) {
        if (!is_blank(p[-1])) return {number, "text follows its closing quote"};
        continue;
      }
      if (*p != delimiter) return {number, "text follows its closing quote"};
      ++p;
      if (p == end) {
        // A delimiter at the end of the line closes one more, empty field.
        if (fields.size() < max_fields) fields.emplace_back();
        break;
      }
      continue;
    }
    char* q = p;
    if (delimiter == kBlanks) {
      while (q != end && !is_blank(*q)) ++q;
      fields.emplace_back(p, static_cast<std::size_t>(q - p));
    } else {
      auto* d = static_cast<char*>(std::memchr(p, delimiter, static_cast<std::size_t>(end - p)));
      q = d != nullptr ? d : end;
      const char* e = q;
      while (e != p && blank(e[-1])) --e;
      fields.emplace_back(p, static_cast<std::size_t>(e - p));
      if (q == end) break;
      ++q;
      if (q == end) {
        if (fields.size() < max_fields) fields.emplace_back();
        break;
      }
    }
    p = q;
  }
  return {};
}

bool parse_number(std::string_view token, double& value, bool decimal_comma) {
  if (!decimal_comma) return parse_number(token, value);
  // Copy with the comma as full stop; a token with a full stop is no number.
  char buf[64];
  if (token.size() > sizeof buf) {
    std::string copy(token);
    for (char& c : copy) {
      if (c == '.') return false;
      if (c == ',') c = '.';
    }
    return parse_number(copy, value);
  }
  for (std::size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (c == '.') return false;
    buf[i] = c == ',' ? '.' : c;
  }
  return parse_number(std::string_view(buf, token.size()), value);
}

void report_line_error(std::ostream& console, const std::string& file, const LineError& error) {
  if (error) console << " ??? " << file << " line " << error.line << ": " << error.what << "\n";
}

}  // namespace helmert2d::textio
