// The mask writers' fields appended to a std::string instead of written to a stream,
// so that the rows of a large table can be formatted on several threads and written in
// order. Each function appends exactly what the matching frmt writes to a stream for
// which plain_field_stream() holds, filled with that stream's fill character.
#ifndef HELMERT2D_SRC_YZDR_FIELD_TEXT_H
#define HELMERT2D_SRC_YZDR_FIELD_TEXT_H

#include <ostream>
#include <string>
#include <string_view>

namespace helmert2d::fields {

/// True when frmt on `os` pads before the value and formats numbers in the classic
/// locale without sign, point, case or base flags: then its fields do not depend on
/// the stream state that earlier fields leave behind, and the append functions below
/// reproduce them.
bool plain_field_stream(std::ostream& os);

/// As frmt(os, value, width, decimals).
void append_fixed(std::string& out, double value, int width, int decimals, char fill = ' ');
/// As frmt(os, value, mask) for an int with a mask of `width` characters.
void append_int(std::string& out, int value, int width, char fill = ' ');
/// As frmt(os, text, mask) with a mask of `width` characters.
void append_text(std::string& out, std::string_view text, int width, char fill = ' ');

}  // namespace helmert2d::fields

#endif  // HELMERT2D_SRC_YZDR_FIELD_TEXT_H
