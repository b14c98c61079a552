// Reading of plain-text record files: whole files, white-space separated tokens with
// their line numbers, numbers written with the full stop whatever the locale, and the
// note that reading stopped before the end of a file.
//
// The record files of the programs (coordinate, displacement and polygon files) all
// read through these pieces, so they agree on white space, the byte-order mark, the
// form of a number, what "cannot be read" means and how an early stop is reported.
#ifndef HELMERT2D_SRC_TEXTIO_TEXTIO_H
#define HELMERT2D_SRC_TEXTIO_TEXTIO_H

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace helmert2d::textio {

// ---- Files ----------------------------------------------------------------------------

/// Reads the whole file `path` into `text`; pipes and devices are read to their end, so
/// each file is read exactly once. Returns false, with `text` empty, when the file
/// cannot be opened or read: missing, unreadable, or a folder.
bool read_file(const std::string& path, std::string& text);

/// True when `a` and `b` name the same file: the same device and inode when both
/// exist, otherwise the same resolved path, with symbolic links followed even when
/// their target does not exist yet. Empty names name no file.
bool same_file(const std::string& a, const std::string& b);

/// The absolute path that writing to `name` would create or replace: symbolic links
/// followed (also dangling ones), "." and ".." resolved. Empty when it cannot be told.
std::filesystem::path resolve_links(const std::string& name);

// ---- Tokens -----------------------------------------------------------------------------

/// The white space of the "C" locale: blank, tab, line feed, carriage return, vertical
/// tab and form feed.
constexpr bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

/// A token of a text and the 1-based line it stands on. The text views the tokenized
/// text; it is empty at the end of the text.
struct Token {
  std::string_view text;
  int line = 0;
  bool empty() const { return text.empty(); }
};

/// Splits a text at white space, counting lines. A UTF-8 byte-order mark at the start
/// of the text is skipped, and a carriage return before a line feed is white space, so
/// CRLF line ends need nothing special.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text);

  /// The next token; an empty token (on the last line) at the end of the text.
  Token next() {
    while (pos_ < text_.size() && is_space(text_[pos_])) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !is_space(text_[pos_])) ++pos_;
    return Token{text_.substr(start, pos_ - start), line_};
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

// ---- Numbers ----------------------------------------------------------------------------

/// Parses a whole token as a decimal number with the full stop, independent of the
/// locale: [sign] digits [. digits] [e|E [sign] digits] with at least one mantissa
/// digit ("12", "-1.5", "+2e3", ".5", "5."). "inf", "nan", hexadecimal forms, partly
/// numeric tokens and values beyond the range of double are not numbers.
bool parse_number(std::string_view token, double& value);

// ---- Where reading stopped ----------------------------------------------------------------

/// Where the reading of a record file stopped before the end of its text: at the first
/// record that cannot be read whole.
struct ReadStop {
  bool stopped = false;  ///< non-blank text remains unread after the last record
  int line = 0;          ///< 1-based line of the token where reading stopped
  std::string token;     ///< that token
  /// Records ignored for the stop that would be read whole: lines from the stop's line
  /// to the end that hold a record on their own (see count_record_lines); 0 when not
  /// counted.
  int records_after = 0;
};

/// The stop at a record that cannot be read whole because of the token `failed`. When
/// the text ended within the record (`failed` empty), the record cut short is what is
/// lost, so the stop names the record's first token `record`.
ReadStop stop_at(const Token& record, const Token& failed);

/// Writes the console line of a stop, when there is one:
/// " ??? FILE line N: reading stopped at 'TOKEN'; the records after it are ignored",
/// or, when `stop.records_after` is K > 0, "...; K records after it are ignored" ("1
/// record ... is ignored"). TOKEN shows at most 40 bytes, bytes that are not printable
/// ASCII as \xNN.
void report_stop(std::ostream& console, const std::string& file, const ReadStop& stop);

/// A token made safe for one console line: at most 40 bytes, each byte that is not
/// printable ASCII written as \xNN, "..." when cut.
std::string printable_token(std::string_view token);

/// Lines whose number of fields differs from the number a record has.
struct FieldCount {
  int lines = 0;           ///< how many non-blank lines hold another number of fields
  int first_line = 0;      ///< 1-based number of the first of them
  std::size_t fields = 0;  ///< how many fields that line holds
};

/// Counts the non-blank lines before line `last_line` (1-based; a byte-order mark
/// skipped) that hold a number of white-space separated fields other than `expected`.
FieldCount count_other_lines(std::string_view text, std::size_t expected, int last_line);

/// Writes, when there are such lines, the one console line
/// " ??? FILE line N holds K fields; a record is a name and three numbers, so the
/// records may be read out of step (M lines do)".
void report_field_count(std::ostream& console, const std::string& file, const FieldCount& count);

/// Counts the lines from line `first_line` (1-based; a byte-order mark skipped) to the
/// end of `text` that hold a record on their own: exactly 1 + `numbers` white-space
/// separated fields, of which all but the first are numbers (parse_number).
int count_record_lines(std::string_view text, std::size_t numbers, int first_line);

// ---- Records ------------------------------------------------------------------------------

/// Reads `numbers.size()` numbers of the record that begins with the token `record`,
/// storing them through the pointers. Returns true when all were read; otherwise false
/// with `stop` set by stop_at, and the values stored are not to be used.
bool read_numbers(Tokenizer& tokens, const Token& record, std::span<double* const> numbers,
                  ReadStop& stop);

/// Reads one record of a word followed by `numbers.size()` numbers. Returns true when
/// the record was read whole. Returns false at the end of the text (`stop` untouched)
/// and at a record that cannot be read whole (`stop` set by stop_at).
bool read_record(Tokenizer& tokens, Token& word, std::span<double* const> numbers, ReadStop& stop);

}  // namespace helmert2d::textio

#endif  // HELMERT2D_SRC_TEXTIO_TEXTIO_H
