// The plane transformation as a WKT2:2019 coordinate operation, and a CRS's WKT from
// PROJ's projinfo run as a child process (fork/exec through posix_spawnp with an
// argument vector, never a shell).
#include "wkt.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

extern char** environ;

namespace helmert2d {

AffineParameters affine_parameters(const AffineStep& s, AxisOrder source, AxisOrder target) {
  // The program's mapping w = L v + t with v = (x, y), w = (X, Y) northing-like first.
  // An easting-first source takes v swapped, which swaps the columns of L; an
  // easting-first target gives w swapped, which swaps the rows of L and t.
  double m11 = s.s11, m12 = s.s12, m21 = s.s21, m22 = s.s22, t1 = s.xoff, t2 = s.yoff;
  if (source == AxisOrder::EN) {
    std::swap(m11, m12);
    std::swap(m21, m22);
  }
  if (target == AxisOrder::EN) {
    std::swap(m11, m21);
    std::swap(m12, m22);
    std::swap(t1, t2);
  }
  return {t1, m11, m12, t2, m21, m22};
}

namespace {

constexpr const char* kMetre = "LENGTHUNIT[\"metre\",1]";

// `text` as WKT quoted text: in double quotes, each double quote doubled.
std::string quoted(const std::string& text) {
  std::string q = "\"";
  for (const char c : text) {
    q.push_back(c);
    if (c == '"') q.push_back('"');
  }
  q.push_back('"');
  return q;
}

// `wkt` with every line indented by `indent` and trailing white space removed.
std::string indented(const std::string& wkt, const std::string& indent) {
  std::string out;
  std::size_t pos = 0;
  const std::size_t end = wkt.find_last_not_of(" \t\r\n") + 1;
  while (pos < end) {
    std::size_t nl = wkt.find('\n', pos);
    if (nl == std::string::npos || nl > end) nl = end;
    if (!out.empty()) out += '\n';
    out += indent;
    out.append(wkt, pos, nl - pos);
    pos = nl + 1;
  }
  return out;
}

// A local engineering CRS with its two axes in `order`, in metres.
std::string engineering_crs(const WktCrs& crs, const std::string& in) {
  const char* north = "AXIS[\"northing (N)\",north,";
  const char* east = "AXIS[\"easting (E)\",east,";
  const bool en = crs.order == AxisOrder::EN;
  const std::string axis_in = in + "        ", unit_in = in + "            ";
  std::string s = in + "ENGCRS[" + quoted(crs.name) + ",\n";
  s += in + "    EDATUM[" + quoted(crs.name) + "],\n";
  s += in + "    CS[Cartesian,2],\n";
  s += axis_in + (en ? east : north) + "\n" + unit_in + "ORDER[1],\n" + unit_in + kMetre + "],\n";
  s += axis_in + (en ? north : east) + "\n" + unit_in + "ORDER[2],\n" + unit_in + kMetre + "]]";
  return s;
}

std::string crs_block(const char* keyword, const WktCrs& crs) {
  const std::string body =
      crs.wkt.empty() ? engineering_crs(crs, "        ") : indented(crs.wkt, "        ");
  return std::string("    ") + keyword + "[\n" + body + "],\n";
}

std::string parameter(const char* name, double value, bool length, int epsg_code) {
  std::string s = "    PARAMETER[\"";
  s += name;
  s += "\",";
  append_shortest(s, value + 0.0);  // + 0.0: no "-0"
  s += length ? ",\n        LENGTHUNIT[\"metre\",1],\n"
              : ",\n        SCALEUNIT[\"coefficient\",1],\n";
  s += "        ID[\"EPSG\",";
  s += std::to_string(epsg_code);
  s += "]],\n";
  return s;
}

}  // namespace

std::string coordinate_operation_wkt(const WktOperation& op) {
  const AffineParameters p = affine_parameters(op.step, op.source.order, op.target.order);
  for (const double v : {p.A0, p.A1, p.A2, p.B0, p.B1, p.B2}) {
    if (!std::isfinite(v)) return {};
  }
  std::string s = "COORDINATEOPERATION[" + quoted(op.name) + ",\n";
  s += crs_block("SOURCECRS", op.source);
  s += crs_block("TARGETCRS", op.target);
  s += "    METHOD[\"Affine parametric transformation\",\n        ID[\"EPSG\",9624]],\n";
  // The parameters' EPSG codes: A0 8623, A1 8624, A2 8625, B0 8639, B1 8640, B2 8641.
  s += parameter("A0", p.A0, true, 8623);
  s += parameter("A1", p.A1, false, 8624);
  s += parameter("A2", p.A2, false, 8625);
  s += parameter("B0", p.B0, true, 8639);
  s += parameter("B1", p.B1, false, 8640);
  s += parameter("B2", p.B2, false, 8641);
  if (std::isfinite(op.accuracy_m) && op.accuracy_m >= 0.0) {
    char buf[32];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, op.accuracy_m + 0.0, std::chars_format::general, 4);
    s += "    OPERATIONACCURACY[" + std::string(buf, r.ptr) + "],\n";
  }
  if (!op.remark.empty()) s += "    REMARK[" + quoted(op.remark) + "],\n";
  // The last element closes the operation instead of continuing it.
  s.erase(s.size() - 2);
  s += "]\n";
  return s;
}

namespace {

struct ChildOutput {
  int status = -1;  ///< exit status, -1 when it did not exit normally
  std::string out, err;
};

// Runs `argv` (argv[0] looked up in PATH) with standard input from /dev/null and both
// outputs captured. Returns 0, or the errno of why it could not be started.
int run_captured(const std::vector<std::string>& args, ChildOutput& result) {
  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) return errno;
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    const int e = errno;
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return e;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (spawned != 0) {
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    return spawned;
  }
  // Both outputs at once, so that neither pipe fills while the other is read.
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (const pollfd& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return 0;
}

// The first non-empty line of `text`, without projinfo's "input string: " lead.
std::string first_line(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  std::string line = text.substr(start, text.find_first_of("\r\n", start) - start);
  const std::string lead = "input string: ";
  if (line.rfind(lead, 0) == 0) line.erase(0, lead.size());
  return line;
}

// projinfo with `format` for `code`; an empty string on success, else why not.
std::string projinfo(const char* program, const char* format, const std::string& code,
                     std::string& out) {
  ChildOutput r;
  const int err = run_captured({program, "-o", format, "-q", code}, r);
  if (err != 0) {
    return std::string("PROJ's ") + program + " cannot be run (" + std::strerror(err) +
           "); it is needed for a CRS code";
  }
  if (r.status == 127 && r.out.empty()) {
    return std::string("PROJ's ") + program + " cannot be run; it is needed for a CRS code";
  }
  if (r.status != 0 || r.out.find_first_not_of(" \t\r\n") == std::string::npos) {
    const std::string why = first_line(r.err);
    return "PROJ does not know the CRS " + code + (why.empty() ? "" : " (" + why + ")");
  }
  out = std::move(r.out);
  return {};
}

}  // namespace

std::string lookup_crs(const std::string& code, WktCrs& crs, const char* program) {
  // A code is one argument: one that begins with '-' would be read as an option.
  if (code.empty() || code.front() == '-' || code.find_first_of("\r\n") != std::string::npos)
    return "\"" + code + "\" is not a CRS code (such as EPSG:32635)";
  std::string wkt, projjson;
  std::string why = projinfo(program, "WKT2:2019", code, wkt);
  if (why.empty()) why = projinfo(program, "PROJJSON", code, projjson);
  if (!why.empty()) return why;
  const nlohmann::json doc = nlohmann::json::parse(projjson, nullptr, false);
  const std::string not_plane =
      code + " is not a plane CRS with a north and an east axis in metres";
  if (!doc.is_object() || !doc.contains("coordinate_system")) return not_plane;
  const nlohmann::json& cs = doc["coordinate_system"];
  if (!cs.is_object() || cs.value("subtype", "") != "Cartesian" || !cs.contains("axis") ||
      !cs["axis"].is_array() || cs["axis"].size() != 2)
    return not_plane;
  std::string dir[2];
  for (int i = 0; i < 2; ++i) {
    const nlohmann::json& axis = cs["axis"][i];
    if (!axis.is_object() || axis.value("unit", nlohmann::json()) != "metre") return not_plane;
    dir[i] = axis.value("direction", "");
  }
  AxisOrder order;
  if (dir[0] == "north" && dir[1] == "east") {
    order = AxisOrder::NE;
  } else if (dir[0] == "east" && dir[1] == "north") {
    order = AxisOrder::EN;
  } else {
    return not_plane;
  }
  crs.wkt = indented(wkt, "");
  crs.order = order;
  const nlohmann::json name = doc.value("name", nlohmann::json());
  crs.name = name.is_string() ? name.get<std::string>() : code;
  return {};
}

}  // namespace helmert2d
