// The transformation run's plot: common points as red triangles, further points of the
// first file as blue circles, each with its name.
#include "helmert2d/grafik.h"

GrafikRunPlot::~GrafikRunPlot() {
  if (holding_) canvas_close_release();
}

void GrafikRunPlot::common_points(int n, const double* X, const double* Y,
                                  const std::string* name) {
  // The report is still being written: a window close waits until it is complete.
  canvas_close_hold();
  holding_ = true;
  opened_ = true;
  Grfk(n, X, Y, 600, 600, 675, 0, 1000, 1.3);
  const int red = COLOR(255, 0, 0);
  for (int i = 1; i <= n; ++i) {
    outtextxy(X[i], Y[i], name[i], red);
    Ucgen(SAG(Y[i]), YKR(X[i]), 7, red);
  }
}

void GrafikRunPlot::further_point(const std::string& name, double X, double Y) {
  outtextxy(X, Y, name, COLOR(0, 0, 255));
  circle(SAG(Y), YKR(X), 2);  // in the colour the label has just set
}

void GrafikRunPlot::report_finished() {
  if (holding_) {
    holding_ = false;
    canvas_close_release();
  }
}
