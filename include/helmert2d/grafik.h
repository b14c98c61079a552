// Plots on the drawing canvas: the plot frame with its world-to-pixel mapping, point
// symbols and labels, and the plot of the transformation run.
//
// World coordinates are plane coordinates (m). The first coordinate (V, northing-like)
// is plotted upward, the second (H, easting-like) to the right. Point arrays are
// 1-based: element 0 is unused (poligon uses it as scratch).
#ifndef HELMERT2D_GRAFIK_H
#define HELMERT2D_GRAFIK_H

#include <string>

#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/canvas.h"

// ---- Mapping state, set by the plot frames -----------------------------------------

extern int Xekrn_M;     ///< pixel column of the frame's centre
extern int Yekrn_M;     ///< pixel row of the frame's centre
extern double Xarz_M;   ///< world H shown at the centre column (m)
extern double Yarz_M;   ///< world V shown at the centre row (m)
extern double Olck;     ///< scale (pixels per world unit), the same on both axes

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
/// with blue names. Holds window closing until the report is complete.
class GrafikRunPlot : public RunPlot {
 public:
  ~GrafikRunPlot() override;
  void common_points(int n, const double* X, const double* Y, const std::string* name) override;
  void further_point(const std::string& name, double X, double Y) override;
  void report_finished() override;
  /// Whether the plot was opened (the run reached its final list).
  bool opened() const { return opened_; }

 private:
  bool opened_ = false;
  bool holding_ = false;
};

// ---- Named-point plot, boundary drawing and point-in-polygon tests -----------------------
// (declared below this line)

#endif  // HELMERT2D_GRAFIK_H
