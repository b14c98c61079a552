// Pairing of the two coordinate files by point name: the common points of one estimate,
// the points left out of it, and the console's notes about names that did not pair.
#ifndef HELMERT2D_SRC_HA_XY_VB_PAIRING_H
#define HELMERT2D_SRC_HA_XY_VB_PAIRING_H

#include <functional>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "coordinate_file.h"
#include "run_result.h"

namespace helmert2d {

/// Names of common points left out of an estimate (--exclude, data snooping).
using NameSet = std::set<std::string, std::less<>>;

/// What pairing found beside the common points, for the console's input notes. The
/// names view the files' text.
struct PairingNotes {
  std::vector<std::string_view> unmatched;   ///< names of the second file without a partner
  std::vector<std::string_view> repeated_1;  ///< names that occur more than once in file 1
  std::vector<std::string_view> repeated_2;  ///< ... in file 2
};

/// The points of one estimate.
struct Pairing {
  CommonPoints points;                 ///< the common points, in the second file's order
  std::vector<LeftOutPoint> left_out;  ///< pairings of the names left out, same order
  std::vector<char> is_common;         ///< per record of the first file: 1 when common
};

/// Pairs the records by name in the order of the second file: for each of its records,
/// every record of the first file with the same name, in file order. Records of the
/// second file whose name is in `left_out` are passed over, as if the file did not hold
/// them; their pairings go to Pairing::left_out instead (misclosures not yet set). With
/// `notes`, also collects the names that did not pair or occur more than once. With
/// `weighted`, every common point gets the weight 1 / (sigma_II^2 + sigma_I^2) of its two
/// records' sigmas (a file without sigmas counts as exact: 0); with `weighted_h`, the
/// weight of its height the same way from the records' sigma_h (CommonPoints::weight_h).
Pairing pair_points(const CoordinateFile& first, const CoordinateFile& second,
                    const NameSet& left_out, PairingNotes* notes = nullptr, bool weighted = false,
                    bool weighted_h = false);

/// A list of names for one console line: the first ten, then how many more.
std::string name_list(const std::vector<std::string_view>& names);

/// Writes the input notes: names of the second file without a partner, names that occur
/// more than once in either file, and names that pair only when case is ignored. Each
/// list shows its first ten names, then how many more.
void write_input_notes(std::ostream& console, const std::string& file1, const std::string& file2,
                       const CoordinateFile& first, PairingNotes& notes);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_PAIRING_H
