// The report sections, written from a computed run; they compute nothing.
#ifndef HELMERT2D_SRC_REPORT_SECTIONS_H
#define HELMERT2D_SRC_REPORT_SECTIONS_H

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "pool/block_pool.h"
#include "run_result.h"

namespace helmert2d {

void write_input_listing(std::ostream& report, const CommonPoints& cp);
/// Writes the parameter block of the run's model.
void write_parameters(std::ostream& report, const RunResult& result);
/// Writes the residual table of the common points.
void write_residuals(std::ostream& report, const CommonPoints& cp, const Solution& sol);
/// Writes [vx2+vy2], f and mo, then the scale tests (the similarity; a line why not for
/// the other models) and the outlier tests (a run with f > 1).
void write_statistics(std::ostream& report, const RunResult& result);
/// Writes the head of the final list and the rows of the common points.
void write_final_list_head(std::ostream& report, const CommonPoints& cp);
/// Writes the final list's rows of the further points, numbered on from the n common
/// points. `written(first, last)`, when set, is called on the calling thread, in order,
/// once the rows of further[first, last) are in the report.
void write_further_rows(std::ostream& report, int n, const std::vector<FurtherPoint>& further,
                        const RowsWritten& written);
void write_final_list_end(std::ostream& report);
/// Writes the height fit of a run with --heights after the final list: the model, its
/// parameters with standard deviations, mo_h, f_h, the points left out of the height fit,
/// and a table of the common points' heights, residuals, redundancy numbers, test values
/// and leave-one-out residuals.
void write_heights(std::ostream& report, const RunResult& result);
/// Writes the run record after the final list: program, time, the input files with their
/// digests, the options, the global test (weights), and the misclosures of the points
/// left out (mm).
void write_run_record(std::ostream& report, const RunRecord& record,
                      const std::vector<LeftOutPoint>& left_out);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_REPORT_SECTIONS_H
