// Full-circle angle from a cosine-like and a sine-like component.
#include <cmath>

#include "helmert2d/dnsm.h"

double arctan(double x, double y) {
  const double two_pi = 6.283185307179586;
  return std::fmod(std::atan2(y, x) + two_pi, two_pi);
}
