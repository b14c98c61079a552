// The note that a record file was read only up to a record that cannot be read whole.
#include <ostream>
#include <string>

#include "textio/textio.h"

namespace helmert2d::textio {

ReadStop stop_at(const Token& record, const Token& failed) {
  const Token& where = failed.empty() ? record : failed;
  return ReadStop{true, where.line, std::string(where.text)};
}

std::string printable_token(std::string_view token) {
  constexpr std::size_t kShown = 40;
  static const char* const hex = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < token.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  if (token.size() > kShown) out += "...";
  return out;
}

void report_stop(std::ostream& console, const std::string& file, const ReadStop& stop) {
  if (!stop.stopped) return;
  console << " ??? " << file << " line " << stop.line << ": reading stopped at '"
          << printable_token(stop.token) << "'; ";
  if (stop.records_after == 0) {
    console << "the records after it are ignored\n";
  } else if (stop.records_after == 1) {
    console << "1 record after it is ignored\n";
  } else {
    console << stop.records_after << " records after it are ignored\n";
  }
}

FieldCount count_other_lines(std::string_view text, std::size_t expected, int last_line) {
  FieldCount r;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int line = 1;
  std::size_t fields = 0;
  bool in_token = false;
  auto end_line = [&] {
    if (fields != 0 && fields != expected) {
      if (r.lines == 0) {
        r.first_line = line;
        r.fields = fields;
      }
      ++r.lines;
    }
    fields = 0;
    ++line;
  };
  for (const char c : text) {
    if (line >= last_line) return r;
    if (c == '\n') {
      in_token = false;
      end_line();
    } else if (is_space(c)) {
      in_token = false;
    } else if (!in_token) {
      in_token = true;
      ++fields;
    }
  }
  if (line < last_line) end_line();
  return r;
}

int count_record_lines(std::string_view text, std::size_t numbers, int first_line) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int count = 0;
  int line = 1;
  std::size_t start = 0;
  while (start <= text.size() && line < first_line) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) return 0;
    start = nl + 1;
    ++line;
  }
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    Tokenizer fields(text.substr(start, nl - start));
    // The fields of the line, up to one more than a record has.
    std::size_t n = 0;
    bool numeric = true;
    for (Token t = fields.next(); !t.empty(); t = fields.next()) {
      double value = 0.0;
      if (n > 0 && !parse_number(t.text, value)) numeric = false;
      if (++n > numbers + 1 || !numeric) break;
    }
    if (numeric && n == numbers + 1) ++count;
    start = nl + 1;
  }
  return count;
}

void report_field_count(std::ostream& console, const std::string& file, const FieldCount& count) {
  if (count.lines == 0) return;
  console << " ??? " << file << " line " << count.first_line << " holds " << count.fields
          << " fields; a record is a name and three numbers, so the records may be read out "
             "of step ("
          << count.lines << (count.lines == 1 ? " line does" : " lines do") << ")\n";
}

}  // namespace helmert2d::textio
