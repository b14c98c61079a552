// The program banner, written to the console and at the head of every report.
#include <iostream>

#include "helmert2d/yzdr.h"

std::ostream& OK_(std::ostream& os, const char* coder, const char* date) {
  os << "\n ******************************************************\n";
  os << " *                VELMORA UNIVERSITY                  *\n";
  os << " *         DEPARTMENT of GEOMATIC ENGINEERING         *\n";
  os << " *  CODED BY: ";
  frmt1(os, coder);
  os << " *  DATE    : ";
  frmt1(os, date);
  os << " ******************************************************\n";
  return os;
}

void OK_(const char* coder, const char* date) {
  OK_(std::cout, coder, date);
  std::cout.flush();
}
