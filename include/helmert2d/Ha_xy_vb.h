// The transformation run: reads two coordinate files, pairs their points by name,
// estimates the plane similarity transformation from system I into system II by least
// squares, tests scale and outliers, and writes the report.
#ifndef HELMERT2D_HA_XY_VB_H
#define HELMERT2D_HA_XY_VB_H

#include <iosfwd>
#include <string>

/// Banner texts of the program and its reports.
extern const char* const isim;   ///< coder line
extern const char* const tarih;  ///< date line

/// Receives the plot steps of the run while the final coordinate list is written.
/// The run works without one (no plot); the program attaches the plot window.
class RunPlot {
 public:
  virtual ~RunPlot() = default;
  /// Opens the plot: the n common points with their system-II coordinates
  /// X (first, northing-like, m) and Y (second, easting-like, m), lists 1-based
  /// (entry 0 unused), and marks and names them.
  virtual void common_points(int n, const double* X, const double* Y, const std::string* name) = 0;
  /// Draws one further point of the first file, transformed into system II (m).
  virtual void further_point(const std::string& name, double X, double Y) = 0;
  /// Called once the report is written (successfully or not), before the run's outputs
  /// are put in place.
  virtual void report_finished() {}
};

/// Runs the transformation of the points of file1 (system I) into the system of
/// file2 (system II) and writes the report into outFile. Console messages go to
/// standard output. Returns 0 when the run completes, 1 when an input file cannot be
/// opened, the report cannot be created or written, or no transformation can be
/// computed.
int HAxy(const char* file1, const char* file2, const char* outFile);

/// As above, with the console stream and an optional plot given explicitly.
int HAxy(const char* file1, const char* file2, const char* outFile, std::ostream& console,
         RunPlot* plot);

#endif  // HELMERT2D_HA_XY_VB_H
