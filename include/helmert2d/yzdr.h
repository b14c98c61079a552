// Report formatting: mask-driven number writers, banner writers, rounding helpers
// and matrix printing.
//
// A format mask such as "########0.000" gives the field width (its length) and the
// number of decimals (the characters after its last '.'); '#' and '0' are mere
// placeholders. Every writer right-aligns its value in the field (with the stream's
// fill and adjustment, which the writers never change) and leaves the stream with:
//   - the fixed-point flag cleared,
//   - the precision at the decimals used (so a later plain insertion of a double
//     prints that many significant digits in general notation),
//   - the field width consumed (0).
// A value wider than its field is written whole; nothing is ever cut.
//
// The stream parameters take any std::ostream (a report std::ofstream, a
// std::ostringstream, ...). Numbers always use the full stop when the stream has the
// classic locale, which is what the report uses.
#ifndef HELMERT2D_YZDR_H
#define HELMERT2D_YZDR_H

#include <ostream>
#include <string>

// ---- Mask-driven writers ----------------------------------------------------------

/// Field width of a mask: its length in characters.
int mask_width(const char* mask);
/// Decimals of a mask: the characters after its last '.', 0 when it has none.
int mask_decimals(const char* mask);

/// Writes `value` in fixed notation with the mask's decimals, right-aligned in its width.
void frmt(std::ostream& os, double value, const char* mask);
/// As above; the float is widened to double.
void frmt(std::ostream& os, float value, const char* mask);
/// Writes the integer right-aligned in the mask's width; a '.' in the mask has no effect.
void frmt(std::ostream& os, int value, const char* mask);
/// Writes the text right-aligned in the mask's width (a longer text is written whole).
/// The width counts characters when the text is valid UTF-8, bytes otherwise.
void frmt(std::ostream& os, std::string value, const char* mask);
/// Writes the text right-aligned in the mask's width, counted as for a std::string.
void frmt(std::ostream& os, const char* text, const char* mask);
/// Writes `lead` unchanged, then `value` as frmt(os, value, mask).
void frmt(std::ostream& os, const char* lead, double value, const char* mask);
/// Writes `lead` unchanged, then `value` as frmt(os, value, mask).
void frmt(std::ostream& os, const char* lead, int value, const char* mask);
/// Fixed notation with `decimals` decimals, right-aligned in `width` characters.
void frmt(std::ostream& os, double value, int width, int decimals);

/// Console variants (standard output).
void frmt(double value, int width, int decimals);
void frmt(double value, const char* mask);
void frmt(int value, const char* mask);
void frmtE(double value, const char* mask);
void frmtE(int value, const char* mask);
void frmtE(const char* text, const char* mask);

/// Banner line end: the text, blanks up to 40 characters, then "*\n".
void frmt1(std::ostream& os, const char* text);

// ---- Rounding ---------------------------------------------------------------------

/// Rounds to a whole number, halves away from zero (2.5 -> 3, -2.5 -> -3,
/// -2.4 -> -2). Meaningful within the range of a 32-bit signed integer.
double round1(double x);
/// Rounds x to n decimals: round1(x * 10^n) / 10^n.
double yuvarla(double x, int n);

// ---- Banner -----------------------------------------------------------------------

/// Writes the program banner with the coder and date texts to standard output.
void OK_(const char* coder, const char* date);
/// Writes the program banner into `os` and returns it (left open).
std::ostream& OK_(std::ostream& os, const char* coder, const char* date);

// ---- Matrix printing --------------------------------------------------------------
// Tables of 1-based row-pointer matrices: a newline, the title centred over the
// columns (pad = width / 2 - length / 2 spaces on either side, none when negative),
// a rule of '=' as wide as cols x mask length, the rows with every element through
// frmt with the mask, and a closing rule. The mode "Ucg" (exact, case-sensitive)
// prints the upper triangle only, blanking the cells below the diagonal.

/// Writes A[1..rows][1..cols] as a titled table.
void PrntMtrs(std::ostream& os, int rows, int cols, const char* title, const double* const* A,
              const char* mask, const char* mode);
/// Writes A[1..rows][1..cols] with the vector b[1..rows] two spaces to its right, each
/// with its own title and mask.
void PrntMtrsVktr(std::ostream& os, int rows, int cols, const char* title, const double* const* A,
                  const char* mask, const char* title2, const double* b, const char* mask2,
                  const char* mode);

#endif  // HELMERT2D_YZDR_H
