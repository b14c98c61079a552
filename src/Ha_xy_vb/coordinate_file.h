// Reading of the plain-text coordinate files: records of a name and three numbers.
#ifndef HELMERT2D_SRC_COORDINATE_FILE_H
#define HELMERT2D_SRC_COORDINATE_FILE_H

#include <string>
#include <string_view>
#include <vector>

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
/// whole; `stopped_early` then tells where.
struct CoordinateFile {
  std::string text;
  std::vector<CoordinateRecord> records;
  bool stopped_early = false;  ///< unread non-blank text remains after the last record
  int stop_line = 0;           ///< 1-based line of the token where reading stopped
  std::string stop_token;      ///< that token
};

/// Reads `path` into `out`. Returns false when the file cannot be opened or read
/// (missing, unreadable, a directory).
bool read_coordinate_file(const std::string& path, CoordinateFile& out);

/// True when `a` and `b` name the same file: the same device and inode when both
/// exist, otherwise the same resolved path. Empty names name no file.
bool same_file(const std::string& a, const std::string& b);

/// Parses a whole token as a decimal number with the full stop ("12", "-1.5", "+2e3",
/// ".5"); "inf", "nan", hexadecimal forms and partly numeric tokens are not numbers.
bool parse_number(std::string_view token, double& value);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_COORDINATE_FILE_H
