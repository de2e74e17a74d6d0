// The wedges: the unit triangle x, y >= 0, x + y <= 1 (L = 1 - x - y) times
// an interval in z. ECWedge6 has z in [0, 1] and node 0 at x = 1;
// ECWedge15 has z in [-1, 1] and node 0 at the origin of the triangle.
#include "volume_extrapolation_tables.h"
#include "volume_members.h"

namespace Meshkit {

int ECWedge6::ShapeFunctions(const Coord3& p, double* n) const {
  const double l = 1 - p.x - p.y, zm = 1 - p.z;
  n[0] = p.x * zm;
  n[1] = p.y * zm;
  n[2] = l * zm;
  n[3] = p.x * p.z;
  n[4] = p.y * p.z;
  n[5] = l * p.z;
  return 6;
}

int ECWedge6::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double l = 1 - p.x - p.y, zm = 1 - p.z;
  dn[0] = zm, dn[1] = 0, dn[2] = -p.x;
  dn[3] = 0, dn[4] = zm, dn[5] = -p.y;
  dn[6] = -zm, dn[7] = -zm, dn[8] = -l;
  dn[9] = p.z, dn[10] = 0, dn[11] = p.x;
  dn[12] = 0, dn[13] = p.z, dn[14] = p.y;
  dn[15] = -p.z, dn[16] = -p.z, dn[17] = l;
  return 6;
}

// Corners: s/2 [(1 -+ z)(2s - 1) - q] with s one of L, y, x and q = 1 - z^2;
// triangle edges 2 s s' (1 -+ z); vertical edges q s.
int ECWedge15::ShapeFunctions(const Coord3& p, double* n) const {
  const double x = p.x, y = p.y, l = 1 - x - y;
  const double zm = 1 - p.z, zp = 1 + p.z, q = 1 - p.z * p.z;
  n[0] = 0.5 * l * (zm * (2 * l - 1) - q);
  n[1] = 0.5 * y * (zm * (2 * y - 1) - q);
  n[2] = 0.5 * x * (zm * (2 * x - 1) - q);
  n[3] = 0.5 * l * (zp * (2 * l - 1) - q);
  n[4] = 0.5 * y * (zp * (2 * y - 1) - q);
  n[5] = 0.5 * x * (zp * (2 * x - 1) - q);
  n[6] = 2 * l * y * zm;
  n[7] = 2 * x * y * zm;
  n[8] = 2 * x * l * zm;
  n[9] = 2 * l * y * zp;
  n[10] = 2 * x * y * zp;
  n[11] = 2 * x * l * zp;
  n[12] = q * l;
  n[13] = q * y;
  n[14] = q * x;
  return 15;
}

// Corner derivatives: d/ds = [(1 -+ z)(4s - 1) - q] / 2 (negated in x and y
// for s = L), d/dz = s [-+(2s - 1) + 2z] / 2.
int ECWedge15::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double x = p.x, y = p.y, z = p.z, l = 1 - x - y;
  const double zm = 1 - z, zp = 1 + z, q = 1 - z * z;
  const double l0 = -0.5 * (zm * (4 * l - 1) - q), l3 = -0.5 * (zp * (4 * l - 1) - q);
  dn[0] = l0, dn[1] = l0, dn[2] = 0.5 * l * (1 - 2 * l + 2 * z);
  dn[3] = 0, dn[4] = 0.5 * (zm * (4 * y - 1) - q), dn[5] = 0.5 * y * (1 - 2 * y + 2 * z);
  dn[6] = 0.5 * (zm * (4 * x - 1) - q), dn[7] = 0, dn[8] = 0.5 * x * (1 - 2 * x + 2 * z);
  dn[9] = l3, dn[10] = l3, dn[11] = 0.5 * l * (2 * l - 1 + 2 * z);
  dn[12] = 0, dn[13] = 0.5 * (zp * (4 * y - 1) - q), dn[14] = 0.5 * y * (2 * y - 1 + 2 * z);
  dn[15] = 0.5 * (zp * (4 * x - 1) - q), dn[16] = 0, dn[17] = 0.5 * x * (2 * x - 1 + 2 * z);
  dn[18] = -2 * y * zm, dn[19] = 2 * (l - y) * zm, dn[20] = -2 * l * y;
  dn[21] = 2 * y * zm, dn[22] = 2 * x * zm, dn[23] = -2 * x * y;
  dn[24] = 2 * (l - x) * zm, dn[25] = -2 * x * zm, dn[26] = -2 * x * l;
  dn[27] = -2 * y * zp, dn[28] = 2 * (l - y) * zp, dn[29] = 2 * l * y;
  dn[30] = 2 * y * zp, dn[31] = 2 * x * zp, dn[32] = 2 * x * y;
  dn[33] = 2 * (l - x) * zp, dn[34] = -2 * x * zp, dn[35] = 2 * x * l;
  dn[36] = -q, dn[37] = -q, dn[38] = -2 * z * l;
  dn[39] = 0, dn[40] = q, dn[41] = -2 * z * y;
  dn[42] = q, dn[43] = 0, dn[44] = -2 * z * x;
  return 15;
}

bool ECWedge6::IsInside(const Coord3& p, double t) const { return InsidePrism(p, t, 0); }
bool ECWedge15::IsInside(const Coord3& p, double t) const { return InsidePrism(p, t, -1); }
Coord3 ECWedge6::ClampToElement(const Coord3& p) const { return ClampToPrism(p, 0); }
Coord3 ECWedge15::ClampToElement(const Coord3& p) const { return ClampToPrism(p, -1); }

MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECWedge6, tables::kWedge6Topology)
MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECWedge15, tables::kWedge15Topology)
MESHKIT_EXTRAPOLATIONS(ECWedge6, 6, tables::kWedge6Matrices)
MESHKIT_NO_EXTRAPOLATION(ECWedge15)

}  // namespace Meshkit
