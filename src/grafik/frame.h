// The plot frame shared by both plots: window, frame lines, grid crosses and axis
// labels, drawn through the mapping that set_mapping fitted to the frame.
#ifndef HELMERT2D_SRC_GRAFIK_FRAME_H
#define HELMERT2D_SRC_GRAFIK_FRAME_H

#include <vector>

#include "mapping.h"

namespace helmert2d::grafik {

/// Opens the window "GRAFIK" of width by height pixels at screen position (left, top)
/// and clears it to white.
void open_plot_window(int width, int height, int left, int top);

/// Draws the four frame lines, two pixels wide, in `color`.
void draw_frame(const Frame& f, int color);

/// One grid line: its index (from 1), world value and pixel position.
struct GridLine {
  int index;
  double value;
  int pixel;
};

/// The grid lines inside the frame: columns left to right, rows bottom to top.
struct Grid {
  std::vector<GridLine> columns, rows;
};

/// How many grid lines are counted from the left and bottom frame edges.
enum class GridCount {
  /// All lines that span the frame; with lines closer than a pixel only the last line
  /// of each pixel is kept, so the work is bounded by the frame.
  kWholeFrame,
  /// At most one line per pixel of the frame's extent (plus two). With lines closer
  /// than a pixel the crosses stop short of the right and top frame edges.
  kOnePerPixel,
};

/// Grid lines every `step` world units (step > 0) from the multiples of step nearest
/// toward zero to the world values at the left and bottom frame edges, with the mapping
/// already set.
Grid grid_lines(const Frame& f, int step, GridCount count);

/// Grey crosses with arms of 5 pixels at every column and row of the grid.
void draw_grid(const Grid& g);

/// Text settings of the labels along one axis. A justification of -1 keeps the one in
/// force, and with it the anchoring computed for the earlier text direction.
struct LabelText {
  int font, direction, size;
  int hjust = -1, vjust = -1;
};

/// Where and how the axis labels are written.
struct AxisLabels {
  LabelText rows;     ///< labels of the grid rows, along the vertical axis
  int row_x;          ///< their column
  int row_dy;         ///< their row, relative to the grid row
  LabelText columns;  ///< labels of the grid columns, along the horizontal axis
  int column_dy;      ///< their row, relative to the bottom frame edge
};

/// Ticks on both frame edges and the world value of every grid row and column, in
/// black. Rows are labelled only when the column of the smallest H is not left of the
/// frame, columns only when the row of the largest V is not above it.
void draw_axis_labels(const Frame& f, const Grid& g, const Extremes& e, const AxisLabels& style);

/// Size (pixels) of the triangles Grfk draws at its points.
inline constexpr int kFrameTriangle = 3;

/// Grfk without its triangles: the window, frame, mapping, grid and axis labels, and
/// the colour red, solid thin lines and the default font left for the points. Grfk
/// then draws, for each point i, setcolor(red) and
/// Ucgen(SAG(H[i]), YKR(V[i]), kFrameTriangle, red).
void draw_point_frame(int n, const double* V, const double* H, int width, int height, int left,
                      int top, int step, double shrink);

}  // namespace helmert2d::grafik

#endif  // HELMERT2D_SRC_GRAFIK_FRAME_H
