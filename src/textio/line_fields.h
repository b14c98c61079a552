// Record files with one record per line and delimited fields, as instruments and GIS
// packages export them: comma, semicolon or tab separated values (RFC 4180 quoting) or
// fields separated by runs of blanks, with comment lines and an optional header line.
//
// Unlike the white-space reader of textio.h, a line that cannot be read is an error
// naming the line and the field; reading never stops at it silently.
#ifndef HELMERT2D_SRC_TEXTIO_LINE_FIELDS_H
#define HELMERT2D_SRC_TEXTIO_LINE_FIELDS_H

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace helmert2d::textio {

/// The delimiter that stands for runs of blanks (spaces and tabs).
constexpr char kBlanks = ' ';

/// Walks the record lines of a text: a UTF-8 byte-order mark at the start is skipped,
/// so are blank lines and lines whose first non-blank character is '#'; a carriage
/// return before the line feed is not part of the line.
class LineCursor {
 public:
  explicit LineCursor(std::span<char> text);

  /// The next record line and its 1-based number; false at the end of the text.
  bool next(std::span<char>& line, int& number);

 private:
  std::span<char> text_;
  std::size_t pos_ = 0;
  int line_ = 0;
};

/// What split_fields made of a line.
struct SplitResult {
  std::size_t bad_field = 0;      ///< 1-based field that cannot be read, 0 when all could
  const char* problem = nullptr;  ///< what is wrong with it
};

/// Splits `line` into at most `max_fields` fields separated by `delimiter` (',', ';',
/// '\t', or kBlanks for runs of blanks) and appends them to `fields` (cleared first).
/// Blanks around an unquoted field are not part of it. A field that begins with '"' is
/// quoted (RFC 4180): it may hold the delimiter, "" stands for one quote, and it ends on
/// its line. Quoted fields are unquoted in place, so the views point into `line`.
SplitResult split_fields(std::span<char> line, char delimiter, std::size_t max_fields,
                         std::vector<std::string_view>& fields);

/// parse_number of textio.h; with `decimal_comma` the decimal mark is a comma instead of
/// the full stop ("12,5"), and a full stop makes the token no number.
bool parse_number(std::string_view token, double& value, bool decimal_comma);

/// A line of a record file that cannot be read.
struct LineError {
  int line = 0;      ///< 1-based; 0 when there is no error
  std::string what;  ///< what is wrong, naming the field
  explicit operator bool() const { return line != 0; }
};

/// Writes the console line " ??? FILE line N: WHAT" when there is an error.
void report_line_error(std::ostream& console, const std::string& file, const LineError& error);

}  // namespace helmert2d::textio

#endif  // HELMERT2D_SRC_TEXTIO_LINE_FIELDS_H
