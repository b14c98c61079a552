// Test support: a small transformation job of seven local points, four of them common,
// in millimetre agreement, for tests that need any valid run.
#ifndef HELMERT2D_TESTS_SUPPORT_SMALL_JOB_H
#define HELMERT2D_TESTS_SUPPORT_SMALL_JOB_H

#include "support/temp_dir.h"

namespace testsupport {

inline constexpr const char* kLocal =
    "A 1000 1000 0\nB 1000 3000 0\nC 2000 1000 0\nD 2000 3000 0\n"
    "E 1500 2000 0\nF 1200 1600 0\nG 1800 2600 0\n";
inline constexpr const char* kNational =
    "A 11000.004 21000.002 0\nB 10999.997 23000.001 0\nC 12000.001 20999.996 0\n"
    "D 11999.998 22999.999 0\n";

/// The closing line of the report's final list, the last line of a complete report.
inline constexpr const char* kFinalRule =
    "   === ==== ============ ============   ============= ============ \n";

/// A test directory holding the job as local.txt and national.txt.
struct SmallJobDir : TempDir {
  SmallJobDir() {
    write("local.txt", kLocal);
    write("national.txt", kNational);
  }
};

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_SMALL_JOB_H
