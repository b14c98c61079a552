// Output files that are complete or absent: written under a temporary name in the
// target's folder and renamed over the target only when every byte is written.
#ifndef HELMERT2D_SRC_TEXTIO_OUTPUT_FILE_H
#define HELMERT2D_SRC_TEXTIO_OUTPUT_FILE_H

#include <fstream>
#include <string>
#include <vector>

namespace helmert2d::textio {

/// One output file, handled by what its name stands for once links are followed. A
/// regular file or a name that does not exist yet is written to "NAME.XXXXXX" in the
/// folder NAME resolves to (NAME cut short when that would pass the limit on a name's
/// length) and renamed over NAME by commit(); a target that is not a regular file (a
/// FIFO, a device such as /dev/full, a terminal, a socket) is written directly, and a
/// regular file that the process already holds open (its standard output redirected
/// to a file, named as /dev/stdout) is appended to.
/// Until commit() the old file, if any, stays untouched; the destructor (and a
/// SIGINT, SIGTERM or SIGHUP, see install_cleanup_on_signals) removes the temporary.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Creates the temporary (or opens the target directly); false when it cannot.
  bool open(const std::string& path);
  /// The stream to write into (classic locale, a large buffer).
  std::ostream& stream() { return stream_; }
  bool is_open() const { return stream_.is_open(); }
  /// Flushes the stream into the file; false when a byte could not be written. Lets a
  /// caller see that every one of several files is whole before it commits any.
  bool flush();
  /// Flushes and closes the stream and renames the temporary over the target. False,
  /// with the temporary removed and the target untouched, when anything failed.
  bool commit();
  /// Closes and removes the temporary without touching the target.
  void abandon();

 private:
  std::string target_;
  std::string temp_;  ///< empty when the target is written directly
  std::vector<char> buffer_;
  std::ofstream stream_;
  int slot_ = -1;  ///< entry in the signal cleanup list
};

/// Makes SIGINT, SIGTERM and SIGHUP remove the open temporaries before the process
/// ends with the signal's usual status, and ignores SIGPIPE and SIGXFSZ, so that a
/// write to a closed pipe or past the file-size limit fails like one to a full disk.
/// Safe to call more than once.
void install_cleanup_on_signals();

/// Registers a temporary file name for removal on those signals; returns its slot, or
/// -1 when the list is full. unregister_temporary(slot) takes it off again.
int register_temporary(const std::string& path);
void unregister_temporary(int slot);

}  // namespace helmert2d::textio

#endif  // HELMERT2D_SRC_TEXTIO_OUTPUT_FILE_H
