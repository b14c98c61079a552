// The estimate of a run: the points paired by name, the --exclude names left out, data
// snooping, and the solution of the points that are left.
#ifndef HELMERT2D_SRC_HA_XY_VB_ESTIMATE_H
#define HELMERT2D_SRC_HA_XY_VB_ESTIMATE_H

#include <iosfwd>
#include <vector>

#include "coordinate_file.h"
#include "result_files.h"
#include "run.h"
#include "run_result.h"

namespace helmert2d {

/// What the estimate of a run gives.
struct Estimate {
  int status = 0;                   ///< 2 when an --exclude name is no common point
  Solved solved = Solved::too_few;  ///< whether the transformation was computed
  RunResult result;                 ///< points, points left out, solution and tests
  std::vector<char> is_common;      ///< per record of the first file: 1 when common
  std::vector<SnoopStep> snooping;  ///< data snooping's steps, in order
};

/// Pairs the two files (writing the input notes), leaves out the --exclude names (a
/// name that is no common point: one console line and status 2) and, with --snoop, the
/// points that data snooping rejects one by one (a console line each), and solves the
/// points that are left. The points left out carry the step that left them out; their
/// misclosures are not yet set.
Estimate estimate(const RunRequest& request, const CoordinateFile& first,
                  const CoordinateFile& second, std::ostream& console);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_ESTIMATE_H
