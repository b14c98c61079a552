// Machine-readable results of a run: a JSON document, the final list as CSV and a
// PROJ pipeline. Writers only format a computed RunResult.
#ifndef HELMERT2D_SRC_HA_XY_VB_RESULT_FILES_H
#define HELMERT2D_SRC_HA_XY_VB_RESULT_FILES_H

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "run_result.h"

namespace helmert2d {

/// One step of iterative data snooping: the point left out and the state after it.
struct SnoopStep {
  std::string name;       ///< the point left out
  double T = 0.0;         ///< its pair test value before it was left out
  double c = 0.0;         ///< the pair test's critical value then
  double mo_after = 0.0;  ///< mo of the estimate without it (m)
};

/// Records of an input file ignored because its reading stopped before them.
struct IgnoredRecords {
  std::string file;  ///< the file name as given
  int line = 0;      ///< 1-based line where reading stopped
  int count = 0;     ///< lines from there on that would have been read as records
};

/// The order of a file's two coordinates: northing-like first ("NE", the program's own
/// order and that of plain files) or easting-like first ("EN").
enum class AxisOrder { NE, EN };

/// "NE" or "EN".
const char* axis_order_name(AxisOrder order);

/// What identifies a run beside its results.
struct RunIdentity {
  std::string version;                ///< program version
  std::string first, second, report;  ///< the file names as given
  std::string time_utc;               ///< start of the run, ISO 8601 UTC
  bool exact_quantiles = false;       ///< the report used exact critical values
  /// The JSON carries the model, the global test and the check-point RMS
  /// (extended_results).
  bool extended = false;
  /// The JSON's and CSV's rows carry each common point's quality figures: --quality, or
  /// weights. They add about a third to the JSON, so another model alone does not.
  bool quality_rows = false;
  std::vector<std::string> excluded;    ///< names left out before the estimation
  std::vector<SnoopStep> snooping;      ///< data snooping steps, in order
  std::vector<IgnoredRecords> ignored;  ///< per input file whose records were ignored

  /// The order of the first and the second file's coordinate columns.
  AxisOrder first_order = AxisOrder::NE, second_order = AxisOrder::NE;
  /// In line mode with named columns: the second file's names of its name, northing-like
  /// and easting-like columns, which head the CSV's columns; all empty otherwise.
  std::array<std::string, 3> second_names;
};

/// The current time as ISO 8601 UTC, for example "2026-12-08T04:30:00Z".
std::string utc_timestamp();

/// Writes the JSON document of the run into `json` and the final list as RFC 4180 CSV
/// into `csv`, each when set. JSON numbers are written in their shortest form that reads
/// back as the same double; values that are not finite are null. The CSV has the header
/// name,X,Y,third,role,vx,vy,flagged (vx, vy, flagged empty for further points; an
/// excluded point has its misclosure in vx, vy); with `id.second_names` set, the name,
/// coordinate and residual columns take the second file's names and its order instead
/// (Point,Easting,Northing,third,role,vEasting,vNorthing,flagged). The rows of the two
/// files are formatted side by side, so that values they share are formatted once.
void write_result_files(std::ostream* json, std::ostream* csv, const RunResult& result,
                        const RunIdentity& id);

/// The JSON document up to and including the opening of its list of points.
void write_json_head(std::ostream& out, const RunResult& result, const RunIdentity& id);

class TextSink;
/// `s` as a JSON string: escaped, and each byte that is not part of valid UTF-8 written
/// as the lone surrogate U+DC00 + byte ("\udc80" .. "\udcff"), so the bytes can be told
/// back ("surrogateescape").
void write_json_string(TextSink& out, std::string_view s);

/// A PROJ pipeline that maps the first file's coordinates, in that file's column order,
/// into system II in the second file's column order as the run does: one affine step
/// with the full-precision parameters, with an axis swap before it when the first file
/// is EN and after it when the second is. With `vertical` (--heights), the height
/// model's affine step on the third coordinate follows the plane's step, before the
/// trailing axis swap.
std::string proj_pipeline(const AffineStep& step, AxisOrder first = AxisOrder::NE,
                          AxisOrder second = AxisOrder::NE, const VerticalStep* vertical = nullptr);

/// The run's warnings, each one line without its prefix: a fit far better mirrored, a
/// scale far from 1. The console gives them as " warning: TEXT", the JSON as a list.
std::vector<std::string> run_warnings(const RunResult& result);

/// Appends the shortest decimal text that reads back as the same double; appends
/// nothing and returns false when `v` is not finite.
bool append_shortest(std::string& out, double v);

/// Shortest decimal text that reads back as the same double ("null" when not finite).
std::string json_number(double v);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_RESULT_FILES_H
