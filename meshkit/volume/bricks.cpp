// The bricks: ECBrick8 (trilinear) on [0, 1]^3 and ECBrick20 (serendipity)
// on [-1, 1]^3; corner i has x from bit 2 of i, y from bit 1, z from bit 0.
#include "volume_extrapolation_tables.h"
#include "volume_members.h"

namespace Meshkit {

int ECBrick8::ShapeFunctions(const Coord3& p, double* n) const {
  const double x = p.x, y = p.y, z = p.z, xm = 1 - x, ym = 1 - y, zm = 1 - z;
  n[0] = xm * ym * zm;
  n[1] = xm * ym * z;
  n[2] = xm * y * zm;
  n[3] = xm * y * z;
  n[4] = x * ym * zm;
  n[5] = x * ym * z;
  n[6] = x * y * zm;
  n[7] = x * y * z;
  return 8;
}

int ECBrick8::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double x = p.x, y = p.y, z = p.z, xm = 1 - x, ym = 1 - y, zm = 1 - z;
  dn[0] = -ym * zm, dn[1] = -xm * zm, dn[2] = -xm * ym;
  dn[3] = -ym * z, dn[4] = -xm * z, dn[5] = xm * ym;
  dn[6] = -y * zm, dn[7] = xm * zm, dn[8] = -xm * y;
  dn[9] = -y * z, dn[10] = xm * z, dn[11] = xm * y;
  dn[12] = ym * zm, dn[13] = -x * zm, dn[14] = -x * ym;
  dn[15] = ym * z, dn[16] = -x * z, dn[17] = x * ym;
  dn[18] = y * zm, dn[19] = x * zm, dn[20] = -x * y;
  dn[21] = y * z, dn[22] = x * z, dn[23] = x * y;
  return 8;
}

// Corner (a, b, c): (1 + ax)(1 + by)(1 + cz)(ax + by + cz - 2) / 8; midside
// nodes (1 - s^2) times the two linear factors of the other coordinates, / 4.
// Nodes 8 to 11 lie on the z edges, 12 to 15 on the y edges, 16 to 19 on the
// x edges.
int ECBrick20::ShapeFunctions(const Coord3& p, double* n) const {
  const double x = p.x, y = p.y, z = p.z;
  const double xm = 1 - x, xp = 1 + x, ym = 1 - y, yp = 1 + y, zm = 1 - z, zp = 1 + z;
  const double xx = 1 - x * x, yy = 1 - y * y, zz = 1 - z * z;
  n[0] = 0.125 * xm * ym * zm * (-x - y - z - 2);
  n[1] = 0.125 * xm * ym * zp * (-x - y + z - 2);
  n[2] = 0.125 * xm * yp * zm * (-x + y - z - 2);
  n[3] = 0.125 * xm * yp * zp * (-x + y + z - 2);
  n[4] = 0.125 * xp * ym * zm * (x - y - z - 2);
  n[5] = 0.125 * xp * ym * zp * (x - y + z - 2);
  n[6] = 0.125 * xp * yp * zm * (x + y - z - 2);
  n[7] = 0.125 * xp * yp * zp * (x + y + z - 2);
  n[8] = 0.25 * xm * ym * zz;
  n[9] = 0.25 * xm * yp * zz;
  n[10] = 0.25 * xp * ym * zz;
  n[11] = 0.25 * xp * yp * zz;
  n[12] = 0.25 * xm * yy * zm;
  n[13] = 0.25 * xm * yy * zp;
  n[14] = 0.25 * xp * yy * zm;
  n[15] = 0.25 * xp * yy * zp;
  n[16] = 0.25 * xx * ym * zm;
  n[17] = 0.25 * xx * ym * zp;
  n[18] = 0.25 * xx * yp * zm;
  n[19] = 0.25 * xx * yp * zp;
  return 20;
}

// Corner (a, b, c): d/dx = a (1 + by)(1 + cz)(2ax + by + cz - 1) / 8, alike in
// y and z; midside (0, b, c): d/dx = -x (1 + by)(1 + cz) / 2, d/dy =
// b (1 - x^2)(1 + cz) / 4, d/dz = c (1 - x^2)(1 + by) / 4, alike for the others.
int ECBrick20::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double x = p.x, y = p.y, z = p.z;
  const double xm = 1 - x, xp = 1 + x, ym = 1 - y, yp = 1 + y, zm = 1 - z, zp = 1 + z;
  const double xx = 1 - x * x, yy = 1 - y * y, zz = 1 - z * z;
  dn[0] = -0.125 * ym * zm * (-2 * x - y - z - 1);
  dn[1] = -0.125 * xm * zm * (-x - 2 * y - z - 1);
  dn[2] = -0.125 * xm * ym * (-x - y - 2 * z - 1);
  dn[3] = -0.125 * ym * zp * (-2 * x - y + z - 1);
  dn[4] = -0.125 * xm * zp * (-x - 2 * y + z - 1);
  dn[5] = 0.125 * xm * ym * (-x - y + 2 * z - 1);
  dn[6] = -0.125 * yp * zm * (-2 * x + y - z - 1);
  dn[7] = 0.125 * xm * zm * (-x + 2 * y - z - 1);
  dn[8] = -0.125 * xm * yp * (-x + y - 2 * z - 1);
  dn[9] = -0.125 * yp * zp * (-2 * x + y + z - 1);
  dn[10] = 0.125 * xm * zp * (-x + 2 * y + z - 1);
  dn[11] = 0.125 * xm * yp * (-x + y + 2 * z - 1);
  dn[12] = 0.125 * ym * zm * (2 * x - y - z - 1);
  dn[13] = -0.125 * xp * zm * (x - 2 * y - z - 1);
  dn[14] = -0.125 * xp * ym * (x - y - 2 * z - 1);
  dn[15] = 0.125 * ym * zp * (2 * x - y + z - 1);
  dn[16] = -0.125 * xp * zp * (x - 2 * y + z - 1);
  dn[17] = 0.125 * xp * ym * (x - y + 2 * z - 1);
  dn[18] = 0.125 * yp * zm * (2 * x + y - z - 1);
  dn[19] = 0.125 * xp * zm * (x + 2 * y - z - 1);
  dn[20] = -0.125 * xp * yp * (x + y - 2 * z - 1);
  dn[21] = 0.125 * yp * zp * (2 * x + y + z - 1);
  dn[22] = 0.125 * xp * zp * (x + 2 * y + z - 1);
  dn[23] = 0.125 * xp * yp * (x + y + 2 * z - 1);
  dn[24] = -0.25 * ym * zz, dn[25] = -0.25 * xm * zz, dn[26] = -0.5 * z * xm * ym;
  dn[27] = -0.25 * yp * zz, dn[28] = 0.25 * xm * zz, dn[29] = -0.5 * z * xm * yp;
  dn[30] = 0.25 * ym * zz, dn[31] = -0.25 * xp * zz, dn[32] = -0.5 * z * xp * ym;
  dn[33] = 0.25 * yp * zz, dn[34] = 0.25 * xp * zz, dn[35] = -0.5 * z * xp * yp;
  dn[36] = -0.25 * yy * zm, dn[37] = -0.5 * y * xm * zm, dn[38] = -0.25 * xm * yy;
  dn[39] = -0.25 * yy * zp, dn[40] = -0.5 * y * xm * zp, dn[41] = 0.25 * xm * yy;
  dn[42] = 0.25 * yy * zm, dn[43] = -0.5 * y * xp * zm, dn[44] = -0.25 * xp * yy;
  dn[45] = 0.25 * yy * zp, dn[46] = -0.5 * y * xp * zp, dn[47] = 0.25 * xp * yy;
  dn[48] = -0.5 * x * ym * zm, dn[49] = -0.25 * xx * zm, dn[50] = -0.25 * xx * ym;
  dn[51] = -0.5 * x * ym * zp, dn[52] = -0.25 * xx * zp, dn[53] = 0.25 * xx * ym;
  dn[54] = -0.5 * x * yp * zm, dn[55] = 0.25 * xx * zm, dn[56] = -0.25 * xx * yp;
  dn[57] = -0.5 * x * yp * zp, dn[58] = 0.25 * xx * zp, dn[59] = 0.25 * xx * yp;
  return 20;
}

bool ECBrick8::IsInside(const Coord3& p, double t) const { return InsideUnitCube(p, t); }
bool ECBrick20::IsInside(const Coord3& p, double t) const { return InsideCube(p, t); }
Coord3 ECBrick8::ClampToElement(const Coord3& p) const { return ClampToUnitCube(p); }
Coord3 ECBrick20::ClampToElement(const Coord3& p) const { return ClampToCube(p); }

MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECBrick8, tables::kBrick8Topology)
MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECBrick20, tables::kBrick20Topology)
MESHKIT_EXTRAPOLATIONS(ECBrick8, 8, tables::kBrick8Matrices)
MESHKIT_EXTRAPOLATIONS(ECBrick20, 20, tables::kBrick20Matrices)

}  // namespace Meshkit
