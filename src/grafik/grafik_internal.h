// Helpers shared by the plot frames.
#ifndef HELMERT2D_SRC_GRAFIK_INTERNAL_H
#define HELMERT2D_SRC_GRAFIK_INTERNAL_H

namespace helmert2d::grafik {

/// Truncates toward zero to an int, clamping to the int range (NaN gives 0).
int to_int(double v);

/// Sets the mapping globals for the frame (L, R, T, B in pixels) and the world
/// extremes: centre of the extremes at the centre of the frame, the larger extent
/// fitted and the scale divided by `shrink`. Points all at one place get 1 pixel per
/// world unit.
void set_mapping(int L, int R, int T, int B, double Hmin, double Hmax, double Vmin, double Vmax,
                 double shrink);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_INTERNAL_H
