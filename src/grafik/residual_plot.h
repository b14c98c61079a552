// The residual plot: a picture of the common points in system II with their residual
// vectors drawn exaggerated, saved as a file from an off-screen page of the canvas.
#ifndef HELMERT2D_SRC_GRAFIK_RESIDUAL_PLOT_H
#define HELMERT2D_SRC_GRAFIK_RESIDUAL_PLOT_H

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace helmert2d::grafik {

/// A common point of the transformation with its residuals.
struct ResidualPoint {
  std::string name;
  double X, Y;    ///< system II (m): X northing-like, plotted up; Y easting-like, plotted right
  double vx, vy;  ///< residuals (m)
  bool flagged;   ///< in either outlier table
};

/// A point that was left out of the estimation, at its system II position (m).
struct LeftOutPoint {
  std::string name;
  double X, Y;
};

/// Everything the residual plot shows.
struct ResidualPlotData {
  std::vector<ResidualPoint> points;
  std::vector<LeftOutPoint> left_out;
  int n;      ///< number of common points of the estimate
  double mo;  ///< standard deviation of unit weight (m)
  double k;   ///< scale factor
};

/// Draws the 800 x 800 picture and saves it (PNG for a name ending in .png, otherwise
/// BMP), complete or absent. Returns true when written. The page is always off-screen:
/// no window opens, and the current window, its drawing state and the plot mapping are
/// as before the call.
bool save_residual_plot(const ResidualPlotData& data, const std::string& path);

/// As save_residual_plot, but writes the picture into `out` (PNG when `name` ends in
/// .png, otherwise BMP); true when the stream took every byte.
bool write_residual_plot(const ResidualPlotData& data, std::ostream& out, const std::string& name);

// ---- Helpers of the picture, exposed for testing ------------------------------------

/// Largest value 1, 2 or 5 times a power of ten that is at most `x`; 0 when x is not
/// a positive finite number.
double round_down_125(double x);

/// The value 1, 2 or 5 times a power of ten closest to `x` in ratio; 0 when x is not a
/// positive finite number.
double nearest_125(double x);

/// Grid step for a frame spanning `span` world units on each axis: the largest round
/// step giving at least 4 lines, which also gives at most 10. 0 for a span that is not
/// a positive finite number.
double grid_step(double span);

/// Round exaggeration of the residual vectors: the longest vector, `longest` metres,
/// drawn at `pixels_per_metre` times the factor, is about `target_pixels` long. 1 when
/// there is no vector to size.
double vector_factor(double longest, double pixels_per_metre, double target_pixels);

/// Inclusive pixel rectangle.
struct PixelBox {
  int left, top, right, bottom;
  bool overlaps(const PixelBox& o) const {
    return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
  }
  bool inside(const PixelBox& o) const {
    return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom;
  }
};

/// Places text labels beside their points so that no label covers an earlier one or a
/// blocked area (the point symbols), each inside the bounds. A label that finds no free
/// place is left out and counted.
class LabelPlacer {
 public:
  explicit LabelPlacer(const PixelBox& bounds) : bounds_(bounds) {}
  /// An area no label may cover.
  void block(const PixelBox& b) { blocked_.push_back(b); }
  /// Places a label of width by height pixels beside the point (x, y), at least `gap`
  /// pixels off it. Positions are tried in the corners first, starting with the one
  /// on the side of -east and -north (opposite the point's vector), then beside,
  /// above and below. Returns the box taken, or nothing when the label is left out.
  std::optional<PixelBox> place(int x, int y, int width, int height, int gap, double east = 0,
                                double north = 0);
  /// Number of labels left out so far.
  int left_out() const { return left_out_; }
  /// The labels placed so far.
  const std::vector<PixelBox>& placed() const { return placed_; }

 private:
  bool free(const PixelBox& b) const;
  PixelBox bounds_;
  std::vector<PixelBox> blocked_;
  std::vector<PixelBox> placed_;
  int left_out_ = 0;
};

/// `value` with the decimals that a round `step` needs (none for steps of 1 and more),
/// without a minus sign on zero.
std::string format_step_value(double value, double step);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_RESIDUAL_PLOT_H
