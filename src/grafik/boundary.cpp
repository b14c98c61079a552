// Boundary displacement listings: reading three-dimensional displacement files into
// projected coordinates, the console listings and the displacement plots.
#include <cmath>
#include <iostream>
#include <string_view>

#include "boundary_files.h"
#include "helmert2d/dnsm.h"
#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"
#include "textio/textio.h"

namespace helmert2d::grafik {

bool read_displacement_file(const std::string& path, DisplacementFile& out) {
  out = DisplacementFile{};
  std::string text;
  if (!textio::read_file(path, text)) return false;
  textio::Tokenizer tokens(text);
  DisplacementRecord rec;
  double unused = 0.0;
  double* const numbers[] = {&rec.X, &rec.Y, &rec.Z, &rec.dX, &rec.dY, &rec.dZ, &unused};
  textio::Token name;
  while (textio::read_record(tokens, name, numbers, out.stop)) {
    rec.name = std::string(name.text);
    out.records.push_back(rec);
  }
  return true;
}

}  // namespace helmert2d::grafik

namespace {

using helmert2d::grafik::DisplacementFile;

constexpr double kDegPerRad = 57.29577951308232;
// Ellipsoid of the boundary listings: semi-major and semi-minor axis (m).
constexpr double kListingA = 6378137.0;
constexpr double kListingB = 6356752.31425;

// Projected position and height of a Cartesian point about the central meridian L0.
struct Projected {
  double x, y, h;
};

Projected project(double a, double b, double L0, double X, double Y, double Z) {
  double B = 0.0, L = 0.0, h = 0.0, x = 0.0, y = 0.0;
  XYZ_BLh(a, b, X, Y, Z, B, L, h);
  BL_xy(a, b, L0, B, L, x, y);
  return {x, y + 500000.0, h};
}

// Central meridian of the 3-degree zone that holds the longitude L in [0, 2 pi). A
// point within 1.5 degrees west of Greenwich falls in the zone about 360 degrees,
// which is the zone about 0 degrees and is named so.
double zone_meridian(double L) {
  const double L0 = DilimOrta(3, L);
  return std::round(L0 * kDegPerRad) == 360.0 ? 0.0 : L0;
}

// A displacement file that cannot be read reads as one without records.
DisplacementFile read_or_empty(const std::string& file) {
  DisplacementFile in;
  helmert2d::grafik::read_displacement_file(file, in);
  return in;
}

// B3_B2 on a displacement file already read.
void project_points(const DisplacementFile& in, double a, double b, int& count,
                    std::vector<std::string>& name, std::vector<double>& x, std::vector<double>& y,
                    std::vector<double>& h, std::vector<double>& dx, std::vector<double>& dy,
                    std::vector<double>& dh, std::ostream& out) {
  count = static_cast<int>(in.records.size());
  const std::size_t size = in.records.size() + 1;
  name.assign(size, std::string());
  for (auto* v : {&x, &y, &h, &dx, &dy, &dh}) v->assign(size, 0.0);

  double L0 = 0.0;
  for (int i = 1; i <= count; ++i) {
    const auto& r = in.records[i - 1];
    name[i] = r.name;
    if (i == 1) {
      double B = 0.0, L = 0.0, hh = 0.0;
      XYZ_BLh(a, b, r.X, r.Y, r.Z, B, L, hh);
      L0 = zone_meridian(L);
    }
    const Projected p = project(a, b, L0, r.X, r.Y, r.Z);
    const Projected q = project(a, b, L0, r.X + r.dX, r.Y + r.dY, r.Z + r.dZ);
    x[i] = p.x;
    y[i] = p.y;
    h[i] = p.h;
    dx[i] = q.x - p.x;
    dy[i] = q.y - p.y;
    dh[i] = q.h - p.h;
  }

  out << "  NktSys :" << count << "     DOM :";
  if (count == 0) {
    out << "-";  // no point, so no zone
  } else {
    out.unsetf(std::ios::floatfield);
    out << L0 * kDegPerRad;
  }
  out << "\n";
}

// The working lists of a listing, 1-based.
struct Points {
  int count = 0;
  std::vector<std::string> name;
  std::vector<double> x, y, h, dx, dy, dh;
  void read(const DisplacementFile& in, std::ostream& out) {
    project_points(in, kListingA, kListingB, count, name, x, y, h, dx, dy, dh, out);
  }
};

const char* const kRuleS =
    " ========  ==========  ==========  ========  ======  ======  ======  ======";
const char* const kHeadS =
    "    NN     Yukari[m]    Saga [m]     h [m]   vx[cm]  vy[cm]  vh[cm]  vS[cm]";
const char* const kRule = " ========  ==========  ==========  ========  ======  ======  ======";
const char* const kHead = "    NN     Yukari[m]    Saga [m]     h [m]   vx[cm]  vy[cm]  vh[cm]";

// One listing row without vS: name, x, y, h and the displacements in centimetres.
void write_row(std::ostream& out, const Points& p, int i) {
  frmt(out, p.name[i], "#########");
  frmt(out, p.x[i], "#########.##");
  frmt(out, p.y[i], "#########.##");
  frmt(out, p.h[i], "######.###");
  frmt(out, p.dx[i] * 100.0, "####.###");
  frmt(out, p.dy[i] * 100.0, "####.###");
  frmt(out, p.dh[i] * 100.0, "####.###");
}

// Signed horizontal displacement (cm): negative when the displaced point lies nearer
// to the origin of the stored coordinates than the point itself.
double signed_shift_cm(const Points& p, int i) {
  const double vS = 100.0 * std::hypot(p.dx[i], p.dy[i]);
  const double change = std::hypot(p.x[i] + p.dx[i], p.y[i] + p.dy[i]) - std::hypot(p.x[i], p.y[i]);
  return change < 0.0 ? -vS : vS;
}

void write_summary_row(std::ostream& out, const Points& p, int i, double vS) {
  frmt(out, i, "####");
  write_row(out, p, i);
  frmt(out, vS, "####.###");
}

}  // namespace

void B3_B2(const std::string& file, double a, double b, int& count, std::vector<std::string>& name,
           std::vector<double>& x, std::vector<double>& y, std::vector<double>& h,
           std::vector<double>& dx, std::vector<double>& dy, std::vector<double>& dh,
           std::ostream& out) {
  project_points(read_or_empty(file), a, b, count, name, x, y, h, dx, dy, dh, out);
}

void B3_B2(const std::string& file, double a, double b, int& count, std::vector<std::string>& name,
           std::vector<double>& x, std::vector<double>& y, std::vector<double>& h,
           std::vector<double>& dx, std::vector<double>& dy, std::vector<double>& dh) {
  B3_B2(file, a, b, count, name, x, y, h, dx, dy, dh, std::cout);
}

namespace helmert2d::grafik {

void B2_Ciz(const DisplacementFile& in, const std::string& file, int color, std::ostream& out) {
  Points p;
  p.read(in, out);

  out << kRuleS << "\n" << kHeadS << "\n" << kRuleS << "\n";
  // The summary rows start from the first point, so they always name a real point.
  int imax = 1, imin = 1;
  double vmax = 0.0, vmin = 0.0;
  for (int i = 1; i <= p.count; ++i) {
    const double vS = signed_shift_cm(p, i);
    write_row(out, p, i);
    frmt(out, vS, "####.###");
    out << "\n";
    if (i == 1 || vS >= vmax) imax = i, vmax = vS;
    if (i == 1 || vS <= vmin) imin = i, vmin = vS;
  }
  out << kRuleS << "\n";
  if (p.count == 0) {
    out << " No point in " << file << "\n";
  } else {
    out << "\n MAX \n";
    write_summary_row(out, p, imax, vmax);
    out << "\n MIN \n";
    write_summary_row(out, p, imin, vmin);
    out << "\n";
  }
  out.flush();

  Grfk(p.count, p.name.data(), p.x.data(), p.y.data(), p.dx.data(), p.dy.data(), color, 1.21);
  settextstyle(2, 0, 5);
  settextjustify(0, 3);  // left; the canvas takes vertical 3 as bottom
  setcolor(COLOR(255, 0, 0));
}

}  // namespace helmert2d::grafik

void B2_Ciz(const std::string& file, int color, std::ostream& out) {
  helmert2d::grafik::B2_Ciz(read_or_empty(file), file, color, out);
}

void B2_Ciz(const std::string& file, int color) {
  B2_Ciz(file, color, std::cout);
}

void B2_Ciz1(const std::string& file, int color, std::ostream& out) {
  Points p;
  p.read(read_or_empty(file), out);

  out << kRule << "\n" << kHead << "\n" << kRule << "\n";
  for (int i = 1; i <= p.count; ++i) {
    write_row(out, p, i);
    out << "\n";
  }
  out << kRule << "\n";
  out.flush();

  setlinestyle(0, 0, 2);
  settextstyle(0, 0, 1);
  if (p.count > 0) {
    setcolor(color);
    settextjustify(2, 0);
  }
  const double k = HataOlck * HataKat;
  for (int i = 1; i <= p.count; ++i) {
    setcolor(COLOR(0, 0, 255));
    line(SAG(p.y[i]), YKR(p.x[i]), SAG(p.y[i] + p.dy[i] * k), YKR(p.x[i] + p.dx[i] * k));
  }
}

void B2_Ciz1(const std::string& file, int color) {
  B2_Ciz1(file, color, std::cout);
}
