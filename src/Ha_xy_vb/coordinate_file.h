// Reading of the coordinate files: plain records of a name and three numbers separated
// by white space, or one record per line with delimited fields in any column order.
#ifndef HELMERT2D_SRC_COORDINATE_FILE_H
#define HELMERT2D_SRC_COORDINATE_FILE_H

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "textio/line_fields.h"
#include "textio/textio.h"

namespace helmert2d {

/// One complete record: name, the two coordinates (m) and the third number (passed
/// through, not used by the transformation; NaN when a line-mode file leaves it out).
/// The name views the file's text held by CoordinateFile.
struct CoordinateRecord {
  std::string_view name;
  double first = 0.0;
  double second = 0.0;
  double third = 0.0;
  /// The a-priori standard deviation of both coordinates (m, > 0): from the file's sigma
  /// column, else the file's --sigma-* value; 0 when neither gives one.
  double sigma = 0.0;
  /// The a-priori standard deviation of the height (m, > 0): from the file's sigma_h
  /// column, else the file's --sigma-h-* value; 0 when neither gives one.
  double sigma_h = 0.0;
};

/// What a field of a line holds: the name, the first (northing-like) or second
/// (easting-like) coordinate, the third number, or the point's a-priori standard
/// deviation (m) for both coordinates.
enum class Column { name, first, second, third, sigma, sigma_h };

/// The 0-based fields of the columns in a line; -1 for an absent third number, sigma or
/// sigma_h.
struct ColumnMap {
  std::array<int, 6> field{0, 1, 2, 3, -1, -1};  ///< indexed by Column
  /// The names the columns were given (--columns or the header), as written, indexed by
  /// Column; all empty for the default columns.
  std::array<std::string, 6> label;
  /// The fields of a line: the length of the --columns list, of the header with
  /// --columns auto (a delimiter at the end closing no field), 4 by default.
  std::size_t count = 4;
  /// Fields a line needs: one past the last column used.
  std::size_t needed() const;
  /// Whether the easting-like column comes before the northing-like one ("EN").
  bool easting_first() const { return field[2] < field[1]; }
  /// Whether a field holds the points' sigma.
  bool has_sigma() const { return field[4] >= 0; }
  /// Whether a field holds the points' height sigma.
  bool has_sigma_h() const { return field[5] >= 0; }
};

/// A coordinate file read whole. Plain files: reading stops at the first record that
/// cannot be read whole; `stop` then tells where. Line mode: reading ends at the first
/// line that cannot be read; `error` then tells which, and the records are not to be used.
struct CoordinateFile {
  std::string text;
  std::vector<CoordinateRecord> records;
  textio::ReadStop stop;
  textio::LineError error;
  /// Plain files: the lines before the stop with other than the four fields of a
  /// record, counted while the file is read (on the reading thread).
  textio::FieldCount other_lines;
  /// Line mode with --header (not --columns auto): the header line when it reads whole
  /// as a record, so that skipping it may have lost a point.
  struct HeaderRecord {
    int line = 0;      ///< 1-based; 0 when the header does not read as a record
    std::string name;  ///< the name it would have given the point
  } header_record;
  /// The columns the file was read by: the default for plain files, --columns, or in
  /// line mode with --columns auto those its header named.
  ColumnMap columns;
  /// SHA-256 of the bytes read (64 lower-case hex digits), when it was asked for.
  std::string sha256;
};

/// How the coordinate files are written. By default they are plain (white space, no
/// order of lines); any of the options below switches to line mode: one record per
/// line, blank lines and '#' lines skipped, a line that cannot be read is an error: a
/// field that should be a number is not one, the name is empty, or the line holds another
/// number of fields than there are columns, or a sigma is not a positive number. An empty
/// third value, NULL, NA or '-' (in any case) is an absent third value, read as NaN; an
/// absent sigma takes the file's --sigma-* value, and is an error without one.
struct CoordinateFormat {
  bool line_mode = false;
  char delimiter = textio::kBlanks;  ///< ',', ';', '\t' or kBlanks (runs of blanks)
  bool header = false;               ///< the first record line is a header, skipped
  bool auto_columns = false;         ///< the header's names choose the columns
  bool decimal_comma = false;        ///< numbers use the comma as decimal mark
  ColumnMap columns;                 ///< name, N, E, h unless --columns says otherwise
  bool columns_given = false;        ///< --columns was given

  /// The option values: --delimiter C and --columns LIST. Each returns an empty text, or
  /// what is wrong with the value.
  std::string set_delimiter(std::string_view value);
  std::string set_columns(std::string_view list);
  /// What is wrong with the options together (empty when they fit).
  std::string check() const;
};

/// The column a column or header name stands for (case-insensitive): name, point, id;
/// n, north, northing, x; e, east, easting, y; h, height, z, elev; sigma, sd, s;
/// sigma_h, sd_h. False
/// for any other name, whose field is ignored.
bool column_of(std::string_view name, Column& column);

/// Reads `path` into `out`. Returns false when the file cannot be opened or read
/// (missing, unreadable, a folder).
bool read_coordinate_file(const std::string& path, CoordinateFile& out);

/// Reads `path` in `format`: plain files as above, otherwise line by line; an error of
/// a line leaves `error` set (and still returns true). With `digest`, `out.sha256` is
/// set to the SHA-256 of the bytes read. `sigma` (m; 0 for none) is the sigma of every
/// record that has none of its own (no sigma column, or an absent value in it);
/// `sigma_h` the same for the height's sigma (the sigma_h column).
bool read_coordinate_file(const std::string& path, const CoordinateFormat& format,
                          CoordinateFile& out, bool digest = false, double sigma = 0.0,
                          double sigma_h = 0.0);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_COORDINATE_FILE_H
