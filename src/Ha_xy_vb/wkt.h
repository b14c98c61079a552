// The estimated plane transformation as a WKT2:2019 coordinate operation with the
// method "Affine parametric transformation" (EPSG method 9624), which PROJ reads
// (`projinfo @FILE`, `cct @FILE`), and the look-up of a CRS's WKT through PROJ's
// projinfo program.
//
// The method maps the source CRS's coordinates (XS, YS), in the order of its axes, to
// the target CRS's (XT, YT), in the order of its axes:
//   XT = A0 + A1 XS + A2 YS,   YT = B0 + B1 XS + B2 YS
// (A0, B0 in metres, A1 .. B2 coefficients; PROJ's affine step with xoff = A0, s11 = A1,
// s12 = A2, yoff = B0, s21 = B1, s22 = B2). The parameters are written for the axes
// actually written on each side:
//   - a local engineering CRS (no CRS given) has the file's own axis order, so that
//     `cct @FILE` takes the first file's two columns as they stand and gives the
//     second file's two columns as they stand;
//   - a CRS given by its WKT has its own axis order (WGS 84 / UTM zone 35N: easting,
//     northing), whatever the file's, so `cct @FILE` takes and gives coordinates in
//     the order of the CRSs' axes.
#ifndef HELMERT2D_SRC_HA_XY_VB_WKT_H
#define HELMERT2D_SRC_HA_XY_VB_WKT_H

#include <string>

#include "models.h"
#include "result_files.h"

namespace helmert2d {

/// One side of the operation.
struct WktCrs {
  /// Name of the local engineering CRS written when `wkt` is empty (for example the
  /// file's name); a double quote in it is written doubled, as WKT quotes it.
  std::string name;
  /// The order of the side's two coordinates: the file's column order for a local
  /// engineering CRS; the CRS's own axis order when `wkt` is set (lookup_crs sets it).
  AxisOrder order = AxisOrder::NE;
  /// A CRS's WKT2:2019 text (for example from lookup_crs), written as it stands with
  /// every line indented; empty for a local engineering CRS with axes "northing (N)"
  /// and "easting (E)" in metres in `order`.
  std::string wkt;
};

/// What the coordinate operation holds.
struct WktOperation {
  std::string name;  ///< the operation's name (double quotes written doubled)
  /// The program's own mapping, northing-like coordinate first in both systems:
  /// X = s11 x + s12 y + xoff, Y = s21 x + s22 y + yoff (x, X northing-like; m), as
  /// affine_step gives it for every model. Reordered here for the axes written.
  AffineStep step;
  /// OPERATIONACCURACY (m), written with 4 significant digits; left out when it is
  /// not finite or negative (for example with no degree of freedom).
  double accuracy_m = 0.0;
  WktCrs source, target;  ///< system I (the first file) and system II (the second)
  std::string remark;     ///< a REMARK when not empty (double quotes written doubled)
};

/// The operation's six parameters for the axes written: A0, A1, A2, B0, B1, B2 (A0, B0
/// in m). `source`, `target`: the axis order of each side as written.
struct AffineParameters {
  double A0 = 0, A1 = 1, A2 = 0, B0 = 0, B1 = 0, B2 = 1;
};
AffineParameters affine_parameters(const AffineStep& step, AxisOrder source, AxisOrder target);

/// The WKT2:2019 COORDINATEOPERATION, ending with a newline; parameters in their
/// shortest text that reads back as the same double. Empty when a coefficient is not
/// finite (no operation can be written then).
std::string coordinate_operation_wkt(const WktOperation& op);

/// Looks `code` up with PROJ's projinfo (run without a shell, as
/// `projinfo -o WKT2:2019 -q CODE` and `projinfo -o PROJJSON -q CODE`; `program` is the
/// program run, found through PATH). On success sets crs.wkt to the CRS's WKT2:2019
/// text, crs.order to its axis order and crs.name to its name, and returns an empty
/// string. Otherwise returns why, one line without prefix, and leaves `crs` as it was:
/// projinfo cannot be run, PROJ does not know the code, or the CRS is not a plane one
/// with a north and an east axis in metres (a geographic, compound or foot-based CRS).
std::string lookup_crs(const std::string& code, WktCrs& crs, const char* program = "projinfo");

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_WKT_H
