#include <iostream>
#include "helmert2d/Ha_xy_vb.h"
const char* const isim = "PhD. Eskin VARO";
const char* const tarih = "2002, Velmora University /Turkey";
int HAxy(const char* file1, const char* file2, const char* outFile) {
  return HAxy(file1, file2, outFile, std::cout, nullptr);
}
int HAxy(const char*, const char*, const char*, std::ostream&, RunPlot*) { return 1; }
