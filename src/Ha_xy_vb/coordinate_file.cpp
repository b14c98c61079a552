// Coordinate files are read whole into memory and split at white space, so that each
// file is read once however many points it pairs.
#include "coordinate_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>

namespace helmert2d {
namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the form [sign] digits [. digits] [e|E [sign] digits] with at least one
// mantissa digit; returns false for anything else.
bool decimal_form(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == s.size();
}

// Reads the whole file through POSIX calls, refusing directories.
bool slurp(const std::string& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  text.clear();
  if (S_ISREG(st.st_mode) && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    text.append(buf, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}
  // Next white-space-delimited token; empty at the end of the text.
  std::string_view next() {
    while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !is_space(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  std::size_t offset_of(std::string_view token) const {
    return static_cast<std::size_t>(token.data() - text_.data());
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool eq = fs::equivalent(a, b, ec);
    if (!ec) return eq;
  }
  const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
  if (ec) return false;
  const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return !ec && pa == pb;
}

bool parse_number(std::string_view token, double& value) {
  if (!decimal_form(token)) return false;
  if (token.front() == '+') token.remove_prefix(1);
  const auto res = std::from_chars(token.data(), token.data() + token.size(), value);
  return res.ec == std::errc{} && res.ptr == token.data() + token.size();
}

bool read_coordinate_file(const std::string& path, CoordinateFile& out) {
  out = CoordinateFile{};
  if (!slurp(path, out.text)) return false;
  std::string_view text = out.text;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte-order mark
  out.records.reserve(text.size() / 32 + 1);

  Tokenizer tok(text);
  for (;;) {
    const std::string_view name = tok.next();
    if (name.empty()) return true;
    std::string_view failed;
    CoordinateRecord rec{name, 0.0, 0.0, 0.0};
    const std::string_view f1 = tok.next();
    if (!parse_number(f1, rec.first)) {
      failed = f1;
    } else {
      const std::string_view f2 = tok.next();
      if (!parse_number(f2, rec.second)) {
        failed = f2;
      } else {
        const std::string_view f3 = tok.next();
        if (!parse_number(f3, rec.third)) failed = f3;
      }
    }
    if (failed.data() == nullptr) {
      out.records.push_back(rec);
      continue;
    }
    // A record that cannot be read whole ends the reading. At the end of the text the
    // incomplete record itself is what is lost, so it is named.
    const std::string_view where = failed.empty() ? name : failed;
    const std::size_t offset = tok.offset_of(where);
    out.stopped_early = true;
    out.stop_token = std::string(where);
    out.stop_line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
    return true;
  }
}

}  // namespace helmert2d
