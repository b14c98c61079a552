// The world-to-pixel mapping of the plots: the frame it is fitted to, the world extent
// of the points and the fitting itself. SAG, YKR and OLCK (public) read the result.
#ifndef HELMERT2D_SRC_GRAFIK_MAPPING_H
#define HELMERT2D_SRC_GRAFIK_MAPPING_H

namespace helmert2d::grafik {

/// Truncates toward zero to an int, clamping to the int range (NaN gives 0).
int to_int(double v);

/// Edges of a plot frame in pixels: left, right, top and bottom.
struct Frame {
  int L, R, T, B;
};

/// Smallest and largest world coordinates of a plot's points.
struct Extremes {
  double Hmin, Hmax, Vmin, Vmax;
};

/// Extremes of the points (V[1..n], H[1..n]); all zero when n < 1, so that a plot
/// without points is centred on the world origin.
Extremes extremes(int n, const double* V, const double* H);

/// Sets the mapping globals for the frame and the world extremes: centre of the
/// extremes at the centre of the frame, the larger extent fitted and the scale divided
/// by `shrink`. Points all at one place get 1 pixel per world unit.
void set_mapping(const Frame& f, const Extremes& e, double shrink);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_MAPPING_H
