// The pyramids: bricks on [-1, 1]^3 with one face collapsed into the apex
// (node 4). ECPyramid5 has its base on x = +1 and its apex face x = -1;
// ECPyramid13 its base on y = -1 and its apex face y = +1. Neither has an
// extrapolation.
#include "volume_members.h"

namespace Meshkit {

// Nodes 0 to 3 are the trilinear brick functions of the base corners; node 4
// is the sum of the four functions of the face x = -1, which is (1 - x) / 2.
int ECPyramid5::ShapeFunctions(const Coord3& p, double* n) const {
  const double xp = 0.125 * (1 + p.x), ym = 1 - p.y, yp = 1 + p.y, zm = 1 - p.z, zp = 1 + p.z;
  n[0] = xp * ym * zm;
  n[1] = xp * yp * zm;
  n[2] = xp * yp * zp;
  n[3] = xp * ym * zp;
  n[4] = 0.5 * (1 - p.x);
  return 5;
}

int ECPyramid5::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double xp = 0.125 * (1 + p.x), ym = 1 - p.y, yp = 1 + p.y, zm = 1 - p.z, zp = 1 + p.z;
  dn[0] = 0.125 * ym * zm, dn[1] = -xp * zm, dn[2] = -xp * ym;
  dn[3] = 0.125 * yp * zm, dn[4] = xp * zm, dn[5] = -xp * yp;
  dn[6] = 0.125 * yp * zp, dn[7] = xp * zp, dn[8] = xp * yp;
  dn[9] = 0.125 * ym * zp, dn[10] = -xp * zp, dn[11] = xp * ym;
  dn[12] = -0.5, dn[13] = 0, dn[14] = 0;
  return 5;
}

// Nodes 0 to 3 and 5 to 12 are the serendipity brick functions of the base
// corners, base edges and vertical (y) edges; node 4 is the sum of the eight
// functions of the face y = +1, which is y (1 + y) / 2.
int ECPyramid13::ShapeFunctions(const Coord3& p, double* n) const {
  const double x = p.x, y = p.y, z = p.z;
  const double xm = 1 - x, xp = 1 + x, ym = 1 - y, zm = 1 - z, zp = 1 + z;
  const double xx = 1 - x * x, yy = 1 - y * y, zz = 1 - z * z;
  n[0] = 0.125 * xm * ym * zm * (-x - y - z - 2);
  n[1] = 0.125 * xp * ym * zm * (x - y - z - 2);
  n[2] = 0.125 * xp * ym * zp * (x - y + z - 2);
  n[3] = 0.125 * xm * ym * zp * (-x - y + z - 2);
  n[4] = 0.5 * y * (1 + y);
  n[5] = 0.25 * xx * ym * zm;
  n[6] = 0.25 * xp * ym * zz;
  n[7] = 0.25 * xx * ym * zp;
  n[8] = 0.25 * xm * ym * zz;
  n[9] = 0.25 * xm * yy * zm;
  n[10] = 0.25 * xp * yy * zm;
  n[11] = 0.25 * xp * yy * zp;
  n[12] = 0.25 * xm * yy * zp;
  return 13;
}

int ECPyramid13::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double x = p.x, y = p.y, z = p.z;
  const double xm = 1 - x, xp = 1 + x, ym = 1 - y, zm = 1 - z, zp = 1 + z;
  const double xx = 1 - x * x, yy = 1 - y * y, zz = 1 - z * z;
  // Corner (a, -1, c): d/dx = a/8 (1 - y)(1 + cz)(2ax - y + cz - 1), and alike.
  dn[0] = -0.125 * ym * zm * (-2 * x - y - z - 1);
  dn[1] = -0.125 * xm * zm * (-x - 2 * y - z - 1);
  dn[2] = -0.125 * xm * ym * (-x - y - 2 * z - 1);
  dn[3] = 0.125 * ym * zm * (2 * x - y - z - 1);
  dn[4] = -0.125 * xp * zm * (x - 2 * y - z - 1);
  dn[5] = -0.125 * xp * ym * (x - y - 2 * z - 1);
  dn[6] = 0.125 * ym * zp * (2 * x - y + z - 1);
  dn[7] = -0.125 * xp * zp * (x - 2 * y + z - 1);
  dn[8] = 0.125 * xp * ym * (x - y + 2 * z - 1);
  dn[9] = -0.125 * ym * zp * (-2 * x - y + z - 1);
  dn[10] = -0.125 * xm * zp * (-x - 2 * y + z - 1);
  dn[11] = 0.125 * xm * ym * (-x - y + 2 * z - 1);
  dn[12] = 0, dn[13] = y + 0.5, dn[14] = 0;
  dn[15] = -0.5 * x * ym * zm, dn[16] = -0.25 * xx * zm, dn[17] = -0.25 * xx * ym;
  dn[18] = 0.25 * ym * zz, dn[19] = -0.25 * xp * zz, dn[20] = -0.5 * z * xp * ym;
  dn[21] = -0.5 * x * ym * zp, dn[22] = -0.25 * xx * zp, dn[23] = 0.25 * xx * ym;
  dn[24] = -0.25 * ym * zz, dn[25] = -0.25 * xm * zz, dn[26] = -0.5 * z * xm * ym;
  dn[27] = -0.25 * yy * zm, dn[28] = -0.5 * y * xm * zm, dn[29] = -0.25 * xm * yy;
  dn[30] = 0.25 * yy * zm, dn[31] = -0.5 * y * xp * zm, dn[32] = -0.25 * xp * yy;
  dn[33] = 0.25 * yy * zp, dn[34] = -0.5 * y * xp * zp, dn[35] = 0.25 * xp * yy;
  dn[36] = -0.25 * yy * zp, dn[37] = -0.5 * y * xm * zp, dn[38] = 0.25 * xm * yy;
  return 13;
}

bool ECPyramid5::IsInside(const Coord3& p, double t) const { return InsideCube(p, t); }
bool ECPyramid13::IsInside(const Coord3& p, double t) const { return InsideCube(p, t); }
Coord3 ECPyramid5::ClampToElement(const Coord3& p) const { return ClampToCube(p); }
Coord3 ECPyramid13::ClampToElement(const Coord3& p) const { return ClampToCube(p); }

MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECPyramid5, tables::kPyramid5Topology)
MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECPyramid13, tables::kPyramid13Topology)
MESHKIT_NO_EXTRAPOLATION(ECPyramid5)
MESHKIT_NO_EXTRAPOLATION(ECPyramid13)

}  // namespace Meshkit
