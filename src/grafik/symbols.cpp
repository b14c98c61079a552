// Point symbols and labels at pixel or world positions.
#include "helmert2d/grafik.h"

void Ucgen(int x, int y, int size, int color) {
  const int hh = static_cast<int>(size * 1.7320508075688772 / 4);
  const int q = size / 2;
  const int pts[6] = {x, y - hh, x + q, y + hh, x - q, y + hh};
  setcolor(color);
  setfillstyle(1, color);
  fillpoly(3, pts);
  setcolor(COLOR(0, 0, 0));
  line(pts[0], pts[1], pts[2], pts[3]);
  line(pts[2], pts[3], pts[4], pts[5]);
  line(pts[4], pts[5], pts[0], pts[1]);
}

void Daire(int h, int v, int radius, int color) {
  setcolor(color);
  circle(SAG(h), YKR(v), radius);
}

void poligon(int n, double* H, double* V, int color) {
  setcolor(color);
  H[0] = H[n];
  V[0] = V[n];
  for (int i = 1; i <= n; ++i) line(SAG(H[i - 1]), YKR(V[i - 1]), SAG(H[i]), YKR(V[i]));
}

void SayiYaz(int x, int y, int value) {
  canvasout << value;
  outstreamxy(x, y, canvasout);
}

void SayiYaz(int x, int y, double value) {
  canvasout << value;
  outstreamxy(x, y, canvasout);
}

void YaziYaz(int x, int y, const char* text) {
  canvasout << text;
  outstreamxy(x, y, canvasout);
}

void YaziYaz(int x, int y, const std::string& text) {
  canvasout << text;
  outstreamxy(x, y, canvasout);
}

void outtextxy(double v, double h, const std::string& text, int color) {
  const int px = SAG(h);
  const int py = YKR(v);
  setcolor(color);
  settextjustify(2, 0);
  outtextxy(px, py, text);
}
