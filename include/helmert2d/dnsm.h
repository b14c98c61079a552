// Geodetic coordinate conversions on a rotational ellipsoid, and the full-circle angle
// helper.
//
// Angles (latitude B, longitude L, central meridian L0) are in radians; lengths (the
// semi-axes a and b, Cartesian X, Y, Z, height h, plane x, y) are in metres, or in
// whatever unit a and b are given in. The ellipsoid is never fixed here: every
// conversion takes its semi-major axis a and semi-minor axis b first.
//
// The plane coordinates are those of the Gauss-Krueger (transverse Mercator)
// projection with scale 1 on the central meridian and no false easting or northing:
// x is the northing-like distance along the central meridian, y the distance from it,
// positive to the east.
#ifndef HELMERT2D_DNSM_H
#define HELMERT2D_DNSM_H

/// Full-circle angle of the pair (x cosine-like, y sine-like): atan2(y, x) + 2 pi
/// reduced modulo 2 pi, in [0, 2 pi) radians.
double arctan(double x, double y);

/// Central meridian (radians) of the projection zone that holds longitude L (radians).
/// zone_width 6 gives the 6-degree zones with meridians 3, 9, 15, ... degrees; any other
/// width gives the 3-degree zones with meridians 0, 3, 6, ... degrees. The degree value
/// is truncated toward zero to a zone and only corrected upward, so longitudes west of
/// Greenwich are not rounded to their nearest meridian.
double DilimOrta(int zone_width, double L);

/// Cartesian (X, Y, Z) to geographic coordinates: latitude B in (-pi/2, pi/2), longitude
/// L in [0, 2 pi) (western longitudes come out between pi and 2 pi) and ellipsoidal
/// height h. Closed formula with the parametric latitude as auxiliary angle (Bowring
/// 1976, one step, no iteration). A point on the polar axis (X = Y = 0), where the
/// formula is undefined, gives B = +-pi/2 (the sign of Z; +pi/2 at the centre), L = 0
/// and h = |Z| - b. Within 0.06 degrees of a pole h is taken along Z, where p / cos B
/// would lose its digits.
void XYZ_BLh(double a, double b, double X, double Y, double Z, double& B, double& L, double& h);

/// Geographic (B, L, h) to Cartesian coordinates X, Y, Z (outputs).
void BLh_XYZ(double a, double b, double B, double L, double h, double& X, double& Y, double& Z);

/// Gauss-Krueger projection of (B, L) about the central meridian L0: outputs x
/// (northing-like) and y (easting-like, 0 on L0). Meridian arc by the series in the
/// third flattening n (Helmert), coordinates by the series in l cos B up to its
/// eighth power. The longitude difference l = L - L0 is first reduced into (-pi, pi],
/// so L and L0 may be given in [0, 2 pi) or in (-pi, pi] alike, across the 0 and the
/// 180 degree meridian.
void BL_xy(double a, double b, double L0, double B, double L, double& x, double& y);

/// Inverse of BL_xy: (x, y) about the central meridian L0 to latitude B and longitude L
/// (outputs). Footpoint latitude by the series in n, then the series in y / N up to the
/// eighth power. A footpoint at a pole, where the series are undefined, gives
/// B = +-pi/2 and L = L0.
void xy_BL(double a, double b, double L0, double x, double y, double& B, double& L);

/// Gaussian mean radius of curvature sqrt(M N) at latitude B (radians), in the unit of
/// a and b.
double Rgauss(double a, double b, double B);

#endif  // HELMERT2D_DNSM_H
