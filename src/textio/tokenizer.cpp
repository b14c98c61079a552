// Tokens of a record file and the records of a word and numbers built from them.
#include "textio/textio.h"

namespace helmert2d::textio {

Tokenizer::Tokenizer(std::string_view text) : text_(text) {
  if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);  // UTF-8 byte-order mark
}

bool read_numbers(Tokenizer& tokens, const Token& record, std::span<double* const> numbers,
                  ReadStop& stop) {
  for (double* number : numbers) {
    const Token t = tokens.next();
    if (!parse_number(t.text, *number)) {
      stop = stop_at(record, t);
      return false;
    }
  }
  return true;
}

bool read_record(Tokenizer& tokens, Token& word, std::span<double* const> numbers, ReadStop& stop) {
  word = tokens.next();
  return !word.empty() && read_numbers(tokens, word, numbers, stop);
}

}  // namespace helmert2d::textio
