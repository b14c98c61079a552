// Plots on the drawing canvas: the plot frame with its world-to-pixel mapping, point
// symbols and labels, and the plot of the transformation run.
//
// World coordinates are plane coordinates (m). The first coordinate (V, northing-like)
// is plotted upward, the second (H, easting-like) to the right. Point arrays are
// 1-based: element 0 is unused (poligon uses it as scratch).
#ifndef HELMERT2D_GRAFIK_H
#define HELMERT2D_GRAFIK_H

#include <memory>
#include <string>

#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/canvas.h"

// ---- Mapping state, set by the plot frames -----------------------------------------

extern int Xekrn_M;    ///< pixel column of the frame's centre
extern int Yekrn_M;    ///< pixel row of the frame's centre
extern double Xarz_M;  ///< world H shown at the centre column (m)
extern double Yarz_M;  ///< world V shown at the centre row (m)
extern double Olck;    ///< scale (pixels per world unit), the same on both axes

/// Pixel column of world coordinate h: Xekrn_M + round1((h - Xarz_M) * Olck).
int SAG(double h);
/// Pixel row of world coordinate v: Yekrn_M - round1((v - Yarz_M) * Olck).
int YKR(double v);
/// Pixel length of world length d: round1(Olck * d).
int OLCK(double d);

// ---- Plot frame ---------------------------------------------------------------------

/// Opens the window "GRAFIK" of width by height pixels at screen position (left, top),
/// draws the frame, the grid crosses every `step` world units, ticks and axis labels,
/// and a red triangle at each of the n points (V[1..n] vertical, H[1..n] horizontal),
/// with the points spread over 1/shrink of the frame. Sets the mapping state. Points
/// all at one place (or n below 2) are centred at 1 pixel per world unit.
void Grfk(int n, const double* V, const double* H, int width, int height, int left, int top,
          int step, double shrink);

/// Sorts v[1..n] in place into descending order (exchange sort).
void SrLVktr(int n, double* v);

// ---- Symbols and labels ---------------------------------------------------------------

/// Filled triangle, apex up, centred on pixel (x, y), about `size` pixels wide, in
/// `color` with a black outline. Leaves the colour black and the fill solid in `color`.
void Ucgen(int x, int y, int size, int color);
/// Circle of `radius` pixels around the world point (h, v), in `color`.
void Daire(int h, int v, int radius, int color);
/// Closed polygon through the world points (H[i], V[i]), i = 1..n, in `color`;
/// H[0] and V[0] receive the last point.
void poligon(int n, double* H, double* V, int color);
/// Writes a number or a text at pixel (x, y) through the canvas text stream.
void SayiYaz(int x, int y, int value);
void SayiYaz(int x, int y, double value);
void YaziYaz(int x, int y, const char* text);
void YaziYaz(int x, int y, const std::string& text);
/// Writes `text` in `color` so that it ends at the pixel column of world h and its
/// cells' bottom lies on the pixel row of world v (v first, h second). Leaves the
/// justification right and bottom.
void outtextxy(double v, double h, const std::string& text, int color);

// ---- The transformation run's plot ------------------------------------------------------

/// Draws the run's points in the window "GRAFIK" (600 by 600 pixels at (675, 0)): the
/// common points as red triangles with red names, the further points as blue circles
/// with blue names. Holds window closing until the report is complete. The frame is
/// drawn at once; the points are collected (a drawing thread of their own measures the
/// further points' names while the run goes on writing its report) and drawn in order
/// by report_finished, leaving out those that later names cover wholly. Nothing else
/// may draw on the canvas between common_points and report_finished.
class GrafikRunPlot : public RunPlot {
 public:
  GrafikRunPlot();
  ~GrafikRunPlot() override;
  GrafikRunPlot(const GrafikRunPlot&) = delete;
  GrafikRunPlot& operator=(const GrafikRunPlot&) = delete;
  void common_points(int n, const double* X, const double* Y, const std::string* name) override;
  void further_point(const std::string& name, double X, double Y) override;
  void report_finished() override;
  /// Whether the plot was opened (the run reached its final list).
  bool opened() const { return opened_; }

 private:
  struct Drawer;
  void drain();
  bool opened_ = false;
  bool holding_ = false;
  std::unique_ptr<Drawer> drawer_;
};

// ---- Named-point plot, boundary drawing and point-in-polygon tests -----------------------
// (declared below this line)

#include <ostream>
#include <vector>

// Displacement exaggeration of the named-point plot. A displacement d (m) is drawn as
// a world vector d * HataOlck * HataKat long; the scale bar shows hat_cm (m) and is
// labelled with hata.
extern double HataKat;    ///< multiplier of the displacement scale (1.3)
extern double HataOlck;   ///< world units drawn per unit of displacement (500000)
extern const char* hata;  ///< label of the scale bar ("3cm")
extern double hat_cm;     ///< displacement shown by the scale bar: HataKat * 0.03 (m)

/// Named-point plot: opens the window "GRAFIK" as high as the screen and half as wide
/// plus 160 pixels, draws a black frame with ticks and labels every 50000 world units,
/// grey grid crosses, and for each of the n points (1-based arrays) its name
/// names[i], the displacement vector (dV[i], dH[i]) exaggerated by HataOlck * HataKat
/// in blue with its two components in dark green, a circle of 3 pixels in `color`, and
/// a 3 cm scale bar. V and H are the vertical (first) and horizontal (second)
/// coordinates; the points are spread over 1/shrink of the frame. Sets the mapping
/// state like the plot frame; 0 or 1 points or points all at one place are centred at
/// 1 pixel per world unit.
void Grfk(int n, const std::string* names, const double* V, const double* H, const double* dV,
          const double* dH, int color, double shrink);

/// Sorts v[1..n] in place into ascending order (exchange sort).
void SrLVktr1(int n, double* v);

/// Reads the displacement file `file` (records: name, X, Y, Z, dX, dY, dZ and an unused
/// number, metres, separated by white space) until the first record that cannot be
/// read whole. Converts each point and its displaced position on the ellipsoid (a, b)
/// (m) to Gauss-Krueger coordinates about the central meridian of the 3-degree zone of
/// the first point, with 500000 m added to y. Outputs, from index 1 (index 0 unused):
/// name, x, y (m), ellipsoidal height h (m) and the displacements dx, dy, dh (m) of
/// the projected position; count receives the number of points. The vectors are
/// resized to count + 1. Writes "  NktSys :" count "     DOM :" and the central
/// meridian in degrees ("-" when there is no point) as one line to `out`. A missing or
/// unreadable file reads as an empty one.
void B3_B2(const std::string& file, double a, double b, int& count, std::vector<std::string>& name,
           std::vector<double>& x, std::vector<double>& y, std::vector<double>& h,
           std::vector<double>& dx, std::vector<double>& dy, std::vector<double>& dh,
           std::ostream& out);
/// As above, writing to standard output.
void B3_B2(const std::string& file, double a, double b, int& count, std::vector<std::string>& name,
           std::vector<double>& x, std::vector<double>& y, std::vector<double>& h,
           std::vector<double>& dx, std::vector<double>& dy, std::vector<double>& dh);

/// Lists the points of the displacement file `file` with their displacements in
/// centimetres and the signed horizontal displacement vS (negative when the point
/// moved toward the projection origin), then the rows of the largest and the smallest
/// vS, to `out`; then draws the named-point plot with names and circles in `color`.
/// A file without a point gives the header, the closing rule and a notice.
void B2_Ciz(const std::string& file, int color, std::ostream& out);
void B2_Ciz(const std::string& file, int color);

/// Lists the points of the displacement file `file` without vS and summary to `out`
/// and draws their displacement vectors in blue on the plot already open (its mapping
/// unchanged). `color` becomes the current colour when there is a point.
void B2_Ciz1(const std::string& file, int color, std::ostream& out);
void B2_Ciz1(const std::string& file, int color);

/// Crossing-number point-in-polygon test (W. R. Franklin's PNPOLY): 1 when (a, b)
/// lies inside the polygon of the m vertices (A[k], B[k]), k = 0..m-1 (0-based),
/// otherwise 0. Edges with equal B at both ends never count; points on the lower or
/// left edges count as inside, those on the upper or right edges as outside.
int pnpoly(int m, const double* A, const double* B, double a, double b);

/// True when (a, b) lies inside none of the polygons of the polygon file `file`
/// (each: vertex count, name, then count pairs of coordinates in the order of (a, b)),
/// false as soon as one polygon contains it; later polygons do not matter. Reading ends
/// at a count that is not a positive whole number or at a polygon cut short. A missing
/// file gives true.
bool Gecerlimi(double a, double b, const std::string& file);

#endif  // HELMERT2D_GRAFIK_H
