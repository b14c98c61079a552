// Coordinate files are read whole into memory and split at white space, or line by line
// at a delimiter, so that each file is read once however many points it pairs.
#include "coordinate_file.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

#include "digest/sha256.h"

namespace helmert2d {
namespace {

constexpr const char* kLabel[4] = {"name", "N", "E", "h"};
constexpr const char* kAliases[4] = {"name, point or id", "N, north, northing or x",
                                     "E, east, easting or y", "h, height, z or elev"};

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
  map.field = {-1, -1, -1, -1};
  for (std::size_t i = 0; i < names.size(); ++i) {
    Column c{};
    if (!column_of(trim_blanks(names[i]), c)) continue;
    int& field = map.field[index(c)];
    if (field >= 0) {
      return std::string(what) + " names " + kLabel[index(c)] + " twice: fields " +
             std::to_string(field + 1) + " and " + std::to_string(i + 1);
    }
    field = static_cast<int>(i);
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
  for (std::size_t c = 0; c < 4; ++c)
    if (map.field[c] == static_cast<int>(i)) return s + " (" + kLabel[c] + ")";
  return s;
}

// Reads the records of out.text line by line; the first line that cannot be read sets
// out.error and ends the reading with no records.
void read_lines(const CoordinateFormat& format, CoordinateFile& out) {
  textio::LineCursor lines(std::span<char>(out.text.data(), out.text.size()));
  std::span<char> line;
  int number = 0;
  std::vector<std::string_view> fields;
  const auto fail = [&](std::string what) {
    out.error = textio::LineError{number, std::move(what)};
    out.records.clear();
  };

  ColumnMap map = format.columns;
  if (format.header) {
    if (!lines.next(line, number)) return;
    if (format.auto_columns) {
      const auto split = textio::split_fields(line, format.delimiter, SIZE_MAX, fields);
      if (split.bad_field != 0) {
        return fail("header field " + std::to_string(split.bad_field) + ": " + split.problem);
      }
      if (std::string what = assign_columns(fields, "the header", map); !what.empty()) {
        return fail(std::move(what));
      }
    }
  }

  const std::size_t needed = map.needed();
  const auto name_field = static_cast<std::size_t>(map.field[index(Column::name)]);
  CoordinateRecord rec;
  double* const target[4] = {nullptr, &rec.first, &rec.second, &rec.third};
  while (lines.next(line, number)) {
    const auto split = textio::split_fields(line, format.delimiter, needed, fields);
    if (split.bad_field != 0)
      return fail(field_name(map, split.bad_field - 1) + ": " + split.problem);
    if (fields.size() < needed) {
      // The first missing field that holds a column.
      std::size_t missing = needed - 1;
      for (const int f : map.field)
        if (f >= 0 && static_cast<std::size_t>(f) >= fields.size())
          missing = std::min(missing, static_cast<std::size_t>(f));
      return fail(field_name(map, missing) + " is missing; the line has " +
                  std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields"));
    }
    rec.name = fields[name_field];
    if (rec.name.empty()) return fail(field_name(map, name_field) + " is empty");
    rec.third = 0.0;
    for (std::size_t c = 1; c < 4; ++c) {
      const int f = map.field[c];
      if (f < 0) continue;
      const std::string_view token = fields[static_cast<std::size_t>(f)];
      if (!textio::parse_number(token, *target[c], format.decimal_comma)) {
        return fail(field_name(map, static_cast<std::size_t>(f)) + " is not a number: '" +
                    textio::printable_token(token) + "'");
      }
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
      {"name", Column::name},      {"point", Column::name},  {"id", Column::name},
      {"n", Column::first},        {"north", Column::first}, {"northing", Column::first},
      {"x", Column::first},        {"e", Column::second},    {"east", Column::second},
      {"easting", Column::second}, {"y", Column::second},    {"h", Column::third},
      {"height", Column::third},   {"z", Column::third},     {"elev", Column::third},
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
  const int last = out.stop.stopped ? out.stop.line : std::numeric_limits<int>::max();
  out.other_lines = textio::count_other_lines(out.text, 4, last);
  return true;
}

bool read_coordinate_file(const std::string& path, const CoordinateFormat& format,
                          CoordinateFile& out, bool digest) {
  if (!format.line_mode) {
    if (!read_coordinate_file(path, out)) return false;
    // Plain reading leaves the text as it was read.
    if (digest) out.sha256 = digest::sha256_hex(out.text);
    return true;
  }
  out = CoordinateFile{};
  if (!textio::read_file(path, out.text)) return false;
  // Before the lines are read: quoted fields are unquoted in the text itself.
  if (digest) out.sha256 = digest::sha256_hex(out.text);
  out.records.reserve(out.text.size() / 32 + 1);
  read_lines(format, out);
  return true;
}

}  // namespace helmert2d
