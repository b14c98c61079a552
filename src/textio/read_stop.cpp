// The note that a record file was read only up to a record that cannot be read whole.
#include <ostream>

#include "textio/textio.h"

namespace helmert2d::textio {

ReadStop stop_at(const Token& record, const Token& failed) {
  const Token& where = failed.empty() ? record : failed;
  return ReadStop{true, where.line, std::string(where.text)};
}

void report_stop(std::ostream& console, const std::string& file, const ReadStop& stop) {
  if (!stop.stopped) return;
  console << " ??? " << file << " line " << stop.line << ": reading stopped at '" << stop.token
          << "'; the records after it are ignored\n";
}

}  // namespace helmert2d::textio
