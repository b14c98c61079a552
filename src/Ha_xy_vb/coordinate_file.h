// Reading of the plain-text coordinate files: records of a name and three numbers.
#ifndef HELMERT2D_SRC_COORDINATE_FILE_H
#define HELMERT2D_SRC_COORDINATE_FILE_H

#include <string>
#include <string_view>
#include <vector>

#include "textio/textio.h"

namespace helmert2d {

/// One complete record: name, the two coordinates (m) and the third number (passed
/// through, not used by the transformation). The name views the file's text held by
/// CoordinateFile.
struct CoordinateRecord {
  std::string_view name;
  double first = 0.0;
  double second = 0.0;
  double third = 0.0;
};

/// A coordinate file read whole. Reading stops at the first record that cannot be read
/// whole; `stop` then tells where.
struct CoordinateFile {
  std::string text;
  std::vector<CoordinateRecord> records;
  textio::ReadStop stop;
};

/// Reads `path` into `out`. Returns false when the file cannot be opened or read
/// (missing, unreadable, a folder).
bool read_coordinate_file(const std::string& path, CoordinateFile& out);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_COORDINATE_FILE_H
