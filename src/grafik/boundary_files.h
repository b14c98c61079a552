// Reading of the boundary routines' input files: displacement files and polygon files.
#ifndef HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H
#define HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H

#include <string>
#include <vector>

namespace helmert2d::grafik {

/// One complete record of a displacement file: the point name, its Cartesian
/// coordinates X, Y, Z and displacement components dX, dY, dZ (m). The eighth field is
/// read and dropped.
struct DisplacementRecord {
  std::string name;
  double X = 0.0, Y = 0.0, Z = 0.0;
  double dX = 0.0, dY = 0.0, dZ = 0.0;
};

/// A displacement file read up to the first record that cannot be read whole.
struct DisplacementFile {
  std::vector<DisplacementRecord> records;
  bool stopped_early = false;  ///< unread non-blank text remains after the last record
  int stop_line = 0;           ///< 1-based line of the token where reading stopped
  std::string stop_token;      ///< that token
};

/// Reads `path` into `out` (a UTF-8 byte-order mark is skipped). Returns false, with
/// `out` empty, when the file cannot be opened or read (missing, unreadable, a
/// directory).
bool read_displacement_file(const std::string& path, DisplacementFile& out);

/// Reads a whole file into `text`; false when it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string& text);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H
