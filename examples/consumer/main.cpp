// Uses the library's critical values and mask writers: prints the t critical value of
// the component outlier test for 10 common points.
#include <iostream>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"

int main() {
  const int n = 10;
  std::cout << "t(" << 2 * n - 5 << ") =";
  frmt(std::cout, t_(0.05 / (2 * n), 2 * n - 5), "###.##");
  std::cout << "\n";
  return 0;
}
