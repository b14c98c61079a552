// Coordinate files are read whole into memory and split at white space, or line by line
// at a delimiter, so that each file is read once however many points it pairs.
#include "coordinate_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <utility>

#include "digest/sha256.h"

namespace helmert2d {
namespace {

constexpr const char* kLabel[6] = {"name", "N", "E", "h", "sigma", "sigma_h"};
constexpr const char* kAliases[6] = {"name, point or id",     "N, north, northing or x",
                                     "E, east, easting or y", "h, height, z or elev",
                                     "sigma, sd or s",        "sigma_h or sd_h"};

std::size_t index(Column c) {
  return static_cast<std::size_t>(c);
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Sets the columns from the names of the fields, in field order. Returns an empty text,
// or what is wrong: a column named twice, or name, N or E not named. `what` names
// where the names come from ("--columns", "the header").
std::string assign_columns(const std::vector<std::string_view>& names, const char* what,
                           ColumnMap& map) {
  map.field = {-1, -1, -1, -1, -1, -1};
  map.label = {};
  // A delimiter at the end of the names closes no column.
  map.count = names.size();
  if (map.count > 1 && trim_blanks(names.back()).empty()) --map.count;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Column c{};
    const std::string_view label = trim_blanks(names[i]);
    if (!column_of(label, c)) continue;
    int& field = map.field[index(c)];
    if (field >= 0) {
      return std::string(what) + " names " + kLabel[index(c)] + " twice: fields " +
             std::to_string(field + 1) + " and " + std::to_string(i + 1);
    }
    field = static_cast<int>(i);
    map.label[index(c)] = label;
  }
  for (const Column c : {Column::name, Column::first, Column::second}) {
    if (map.field[index(c)] < 0) {
      return std::string(what) + " names no " + kLabel[index(c)] + " column (" +
             kAliases[index(c)] + ")";
    }
  }
  return {};
}

// "field 3 (N)" for the 0-based field `i`; "field 3" when it holds no column.
std::string field_name(const ColumnMap& map, std::size_t i) {
  std::string s = "field " + std::to_string(i + 1);
  for (std::size_t c = 0; c < map.field.size(); ++c)
    if (map.field[c] == static_cast<int>(i)) return s + " (" + kLabel[c] + ")";
  return s;
}

// True for a third value that a file leaves out: an empty field, NULL, NA or '-' (in
// any case).
bool absent_value(std::string_view token) {
  return token.empty() || token == "-" || equals_ignoring_case(token, "NULL") ||
         equals_ignoring_case(token, "NA");
}

// "--columns lists 4", "the header has 4" or "a record has 4 (name, N, E, h)": where
// the number of fields of a line comes from.
std::string columns_source(const CoordinateFormat& format, std::size_t count) {
  const std::string n = std::to_string(count);
  if (format.auto_columns) return "the header has " + n;
  if (format.columns_given) return "--columns lists " + n;
  return "a record has " + n + " (name, N, E, h)";
}

// Reads one split line as a record into `rec` by the columns of `map`; `sigma` is the
// file's sigma for a record without its own (0 for none). Returns an empty text, or what
// is wrong with the line.
std::string read_fields(const CoordinateFormat& format, const ColumnMap& map,
                        const std::vector<std::string_view>& fields, CoordinateRecord& rec,
                        double sigma, double sigma_h) {
  const std::size_t needed = map.needed();
  if (fields.size() < needed) {
    // The first missing field that holds a column.
    std::size_t missing = needed - 1;
    for (const int f : map.field)
      if (f >= 0 && static_cast<std::size_t>(f) >= fields.size())
        missing = std::min(missing, static_cast<std::size_t>(f));
    return field_name(map, missing) + " is missing; the line has " + std::to_string(fields.size()) +
           (fields.size() == 1 ? " field" : " fields");
  }
  // Every line holds as many fields as there are columns; a delimiter at its end (one
  // more, empty field) is allowed, as exports often write one.
  const bool trailing_delimiter = fields.size() == map.count + 1 && fields.back().empty();
  if (fields.size() != map.count && !trailing_delimiter) {
    return "the line has " + std::to_string(fields.size()) + " fields, but " +
           columns_source(format, map.count);
  }
  const auto name_field = static_cast<std::size_t>(map.field[index(Column::name)]);
  rec.name = fields[name_field];
  if (rec.name.empty()) return field_name(map, name_field) + " is empty";
  double* const target[6] = {nullptr,    &rec.first, &rec.second,
                             &rec.third, &rec.sigma, &rec.sigma_h};
  rec.third = 0.0;
  rec.sigma = sigma;
  rec.sigma_h = sigma_h;
  for (std::size_t c = 1; c < 6; ++c) {
    const int f = map.field[c];
    if (f < 0) continue;
    const std::string_view token = fields[static_cast<std::size_t>(f)];
    if (c == index(Column::third) && absent_value(token)) {
      // Passed through as absent: null in the JSON, an empty CSV field.
      rec.third = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    if (c == index(Column::sigma) && absent_value(token)) {
      if (sigma > 0.0) continue;  // the file's --sigma-* value
      return field_name(map, static_cast<std::size_t>(f)) +
             " is empty, and no --sigma-first or --sigma-second value stands in for it";
    }
    if (c == index(Column::sigma_h) && absent_value(token)) {
      if (sigma_h > 0.0) continue;  // the file's --sigma-h-* value
      return field_name(map, static_cast<std::size_t>(f)) +
             " is empty, and no --sigma-h-first or --sigma-h-second value stands in for it";
    }
    if (!textio::parse_number(token, *target[c], format.decimal_comma)) {
      return field_name(map, static_cast<std::size_t>(f)) + " is not a number: '" +
             textio::printable_token(token) + "'";
    }
  }
  // A weight needs a sigma that is a positive, finite number of metres.
  if (map.field[index(Column::sigma)] >= 0 && !(rec.sigma > 0.0 && std::isfinite(rec.sigma))) {
    return field_name(map, static_cast<std::size_t>(map.field[index(Column::sigma)])) +
           " must be a positive number of metres: '" +
           textio::printable_token(
               fields[static_cast<std::size_t>(map.field[index(Column::sigma)])]) +
           "'";
  }
  const int fh = map.field[index(Column::sigma_h)];
  if (fh >= 0 && !(rec.sigma_h > 0.0 && std::isfinite(rec.sigma_h))) {
    return field_name(map, static_cast<std::size_t>(fh)) +
           " must be a positive number of metres: '" +
           textio::printable_token(fields[static_cast<std::size_t>(fh)]) + "'";
  }
  return {};
}

// Reads the records of out.text line by line; the first line that cannot be read sets
// out.error and ends the reading with no records.
void read_lines(const CoordinateFormat& format, CoordinateFile& out, double sigma, double sigma_h) {
  textio::LineCursor lines(std::span<char>(out.text.data(), out.text.size()));
  std::span<char> line;
  int number = 0;
  std::vector<std::string_view> fields;
  const auto fail = [&](std::string what) {
    out.error = textio::LineError{number, std::move(what)};
    out.records.clear();
  };

  ColumnMap map = format.columns;
  CoordinateRecord rec;
  if (format.header) {
    if (!lines.next(line, number)) return;
    const auto split = textio::split_fields(line, format.delimiter, SIZE_MAX, fields);
    if (format.auto_columns) {
      if (split.bad_field != 0) {
        return fail("header field " + std::to_string(split.bad_field) + ": " + split.problem);
      }
      if (std::string what = assign_columns(fields, "the header", map); !what.empty()) {
        return fail(std::move(what));
      }
      out.columns = map;
    } else if (split.bad_field == 0 && read_fields(format, map, fields, rec, 1.0, 1.0).empty()) {
      // A header that reads as a record is more likely a point than a header.
      out.header_record = {number, std::string(rec.name)};
    }
  }

  // Every field is split, so that a line with more fields than columns is found.
  while (lines.next(line, number)) {
    const auto split = textio::split_fields(line, format.delimiter, SIZE_MAX, fields);
    if (split.bad_field != 0)
      return fail(field_name(map, split.bad_field - 1) + ": " + split.problem);
    if (std::string what = read_fields(format, map, fields, rec, sigma, sigma_h); !what.empty()) {
      return fail(std::move(what));
    }
    out.records.push_back(rec);
  }
}

}  // namespace

std::size_t ColumnMap::needed() const {
  return static_cast<std::size_t>(std::ranges::max(field) + 1);
}

bool column_of(std::string_view name, Column& column) {
  static constexpr std::pair<std::string_view, Column> kNames[] = {
      {"name", Column::name},       {"point", Column::name},   {"id", Column::name},
      {"n", Column::first},         {"north", Column::first},  {"northing", Column::first},
      {"x", Column::first},         {"e", Column::second},     {"east", Column::second},
      {"easting", Column::second},  {"y", Column::second},     {"h", Column::third},
      {"height", Column::third},    {"z", Column::third},      {"elev", Column::third},
      {"sigma", Column::sigma},     {"sd", Column::sigma},     {"s", Column::sigma},
      {"sigma_h", Column::sigma_h}, {"sd_h", Column::sigma_h},
  };
  for (const auto& [n, c] : kNames) {
    if (equals_ignoring_case(name, n)) {
      column = c;
      return true;
    }
  }
  return false;
}

std::string CoordinateFormat::set_delimiter(std::string_view value) {
  line_mode = true;
  if (value == "," || value == ";") {
    delimiter = value[0];
  } else if (value == "tab" || value == "\t") {
    delimiter = '\t';
  } else if (value == "space" || value == " ") {
    delimiter = textio::kBlanks;
  } else {
    return "--delimiter takes ',', ';', 'tab' or 'space', not '" + std::string(value) + "'";
  }
  return {};
}

std::string CoordinateFormat::set_columns(std::string_view list) {
  line_mode = true;
  columns_given = true;
  auto_columns = list == "auto";
  if (auto_columns) return {};
  std::vector<std::string_view> names;
  for (std::size_t start = 0;;) {
    const std::size_t comma = list.find(',', start);
    names.push_back(list.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return assign_columns(names, "--columns", columns);
}

std::string CoordinateFormat::check() const {
  if (decimal_comma && delimiter == ',') return "--decimal-comma needs a delimiter other than ','";
  if (auto_columns && !header) return "--columns auto needs --header";
  return {};
}

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
  if (out.stop.stopped)
    out.stop.records_after = textio::count_record_lines(out.text, 3, out.stop.line);
  const int last = out.stop.stopped ? out.stop.line : std::numeric_limits<int>::max();
  out.other_lines = textio::count_other_lines(out.text, 4, last);
  return true;
}

bool read_coordinate_file(const std::string& path, const CoordinateFormat& format,
                          CoordinateFile& out, bool digest, double sigma, double sigma_h) {
  if (!format.line_mode) {
    if (!read_coordinate_file(path, out)) return false;
    if (sigma > 0.0 || sigma_h > 0.0) {
      for (CoordinateRecord& r : out.records) r.sigma = sigma, r.sigma_h = sigma_h;
    }
    // Plain reading leaves the text as it was read.
    if (digest) out.sha256 = digest::sha256_hex(out.text);
    return true;
  }
  out = CoordinateFile{};
  if (!textio::read_file(path, out.text)) return false;
  // Before the lines are read: quoted fields are unquoted in the text itself.
  if (digest) out.sha256 = digest::sha256_hex(out.text);
  out.records.reserve(out.text.size() / 32 + 1);
  out.columns = format.columns;
  read_lines(format, out, sigma, sigma_h);
  return true;
}

}  // namespace helmert2d
