// Reading of the boundary routines' input files (displacement files and polygon
// files), and the routines that work on files already read, so that a program reads
// each of its input files once.
#ifndef HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H
#define HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H

#include <ostream>
#include <string>
#include <vector>

#include "textio/textio.h"

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
  textio::ReadStop stop;
};

/// Reads `path` into `out`. Returns false, with `out` empty, when the file cannot be
/// opened or read (missing, unreadable, a folder).
bool read_displacement_file(const std::string& path, DisplacementFile& out);

/// One polygon of a polygon file: its vertices (A[k], B[k]), k = 0..m-1. The name is
/// read and dropped.
struct Polygon {
  std::vector<double> A, B;
};

/// A polygon file read up to the first vertex count that is not a positive whole
/// number or the first polygon cut short.
struct PolygonFile {
  std::vector<Polygon> polygons;
  textio::ReadStop stop;
};

/// Reads `path` into `out`. Returns false, with `out` empty, when the file cannot be
/// opened or read (missing, unreadable, a folder).
bool read_polygon_file(const std::string& path, PolygonFile& out);

/// B2_Ciz on a displacement file already read; `file` is its name for the notice of a
/// file without a point.
void B2_Ciz(const DisplacementFile& in, const std::string& file, int color, std::ostream& out);

/// Gecerlimi on a polygon file already read: true when (a, b) lies inside none of its
/// polygons.
bool Gecerlimi(double a, double b, const PolygonFile& in);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_BOUNDARY_FILES_H
