// Coordinate files are read whole into memory and split at white space, so that each
// file is read once however many points it pairs.
#include "coordinate_file.h"

namespace helmert2d {

bool read_coordinate_file(const std::string& path, CoordinateFile& out) {
  out = CoordinateFile{};
  if (!textio::read_file(path, out.text)) return false;
  out.records.reserve(out.text.size() / 32 + 1);

  textio::Tokenizer tokens(out.text);
  CoordinateRecord rec;
  double* const numbers[] = {&rec.first, &rec.second, &rec.third};
  textio::Token name;
  while (textio::read_record(tokens, name, numbers, out.stop)) {
    rec.name = name.text;
    out.records.push_back(rec);
  }
  return true;
}

}  // namespace helmert2d
