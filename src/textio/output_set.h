// Every output of a run in one place: each written to a temporary and put in place
// together with the others at the end, or none of them.
#ifndef HELMERT2D_SRC_TEXTIO_OUTPUT_SET_H
#define HELMERT2D_SRC_TEXTIO_OUTPUT_SET_H

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "output_file.h"

namespace helmert2d::textio {

/// How an output's failure reads on the console.
enum class OutputKind {
  text,    ///< " ??? LABEL NAME is not opened" or "... could not be written completely"
  picture  ///< " ??? LABEL NAME is not written"
};

/// The outputs a run was asked for, by the names the user gave, in the order their
/// failures are looked for. Each is written to a temporary (see OutputFile) and put in
/// place by commit() together with the others: every output that was written, or none
/// of them. An output whose name is not a regular file (a FIFO, a device, a file the
/// process already writes, such as /dev/stdout) is written directly and cannot be taken
/// back when another output fails.
class OutputSet {
 public:
  /// Adds an output named `path` (nothing for an empty name). Outputs are found by
  /// their names, which check_names makes sure are distinct.
  /// `label` names its kind in console lines ("Output file", "Plot file"). The first
  /// output added is the run's report.
  void add(const std::string& label, const std::string& path, OutputKind kind);

  /// Whether an output of that name was added.
  bool has(const std::string& path) const;

  /// True when no output is the same file as an input or as another output (links and
  /// other spellings of a name followed). Otherwise false after one console line:
  /// " ??? LABEL NAME is the same file as " and "an input file" (the report and an
  /// input), "an input or report file" (another output and an input or the report), or
  /// "the output file OTHER".
  bool check_names(const std::vector<std::string>& inputs, std::ostream& console) const;

  /// Creates the temporary of output `path` (added now if it was not); its stream, or
  /// null after one console line when it cannot be created (commit() then fails
  /// without a second line).
  std::ostream* open(const std::string& path, std::ostream& console);

  /// The stream of output `path` once opened; null for an output not opened or none.
  std::ostream* stream(const std::string& path);

  /// Marks output `path` as failed: its writer could not complete it. commit() then
  /// names it and puts no output in place.
  void fail(const std::string& path);

  /// Drops output `path`: the run does not write it; its temporary is removed.
  void drop(const std::string& path);

  /// Drops every output: the run ends without any.
  void drop_all();

  /// Puts every output that was opened (and not dropped) in place, or none of them:
  /// when one was marked failed or cannot be written whole, every temporary is removed,
  /// one console line names the first such output, and the result is 1. Otherwise
  /// returns `status`.
  int commit(int status, std::ostream& console);

  /// Ends a run that ran out of memory: drops every output and writes one console
  /// line, " ??? Out of memory: label NAME is not written" for the first output opened
  /// (or added), " ??? Out of memory" without any. Returns 1.
  int out_of_memory(std::ostream& console);

 private:
  struct Output {
    std::string label;
    std::string path;
    OutputKind kind = OutputKind::text;
    std::unique_ptr<OutputFile> file;  ///< set once opened
    bool failed = false;
    bool told = false;  ///< its failure is on the console already
  };
  Output* find(const std::string& path);
  static void tell_failure(const Output& out, std::ostream& console);
  std::vector<Output> outputs_;
};

}  // namespace helmert2d::textio

#endif  // HELMERT2D_SRC_TEXTIO_OUTPUT_SET_H
