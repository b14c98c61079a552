// Geodetic coordinate conversions and the full-circle angle helper.
#ifndef HELMERT2D_DNSM_H
#define HELMERT2D_DNSM_H

/// Full-circle angle of the pair (x cosine-like, y sine-like): atan2(y, x) + 2 pi
/// reduced modulo 2 pi, in [0, 2 pi) radians.
double arctan(double x, double y);

#endif  // HELMERT2D_DNSM_H
