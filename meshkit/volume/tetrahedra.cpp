// The tetrahedra: ECTetrahedral4 and ECTetrahedral10 on x, y, z >= 0,
// x + y + z <= 1, with d = 1 - x - y - z the fourth barycentric coordinate.
#include "volume_extrapolation_tables.h"
#include "volume_members.h"

namespace Meshkit {

int ECTetrahedral4::ShapeFunctions(const Coord3& p, double* n) const {
  n[0] = p.x;
  n[1] = p.y;
  n[2] = p.z;
  n[3] = 1 - p.x - p.y - p.z;
  return 4;
}

// Constant: the point is not read.
int ECTetrahedral4::ShapeDerivatives(const Coord3&, double* dn) const {
  dn[0] = 1, dn[1] = 0, dn[2] = 0;
  dn[3] = 0, dn[4] = 1, dn[5] = 0;
  dn[6] = 0, dn[7] = 0, dn[8] = 1;
  dn[9] = -1, dn[10] = -1, dn[11] = -1;
  return 4;
}

int ECTetrahedral10::ShapeFunctions(const Coord3& p, double* n) const {
  const double x = p.x, y = p.y, z = p.z, d = 1 - x - y - z;
  n[0] = x * (2 * x - 1);
  n[1] = y * (2 * y - 1);
  n[2] = z * (2 * z - 1);
  n[3] = d * (2 * d - 1);
  n[4] = 4 * x * y;
  n[5] = 4 * y * z;
  n[6] = 4 * x * z;
  n[7] = 4 * z * d;
  n[8] = 4 * y * d;
  n[9] = 4 * x * d;
  return 10;
}

int ECTetrahedral10::ShapeDerivatives(const Coord3& p, double* dn) const {
  const double x = p.x, y = p.y, z = p.z, d = 1 - x - y - z;
  dn[0] = 4 * x - 1, dn[1] = 0, dn[2] = 0;
  dn[3] = 0, dn[4] = 4 * y - 1, dn[5] = 0;
  dn[6] = 0, dn[7] = 0, dn[8] = 4 * z - 1;
  dn[9] = 1 - 4 * d, dn[10] = 1 - 4 * d, dn[11] = 1 - 4 * d;
  dn[12] = 4 * y, dn[13] = 4 * x, dn[14] = 0;
  dn[15] = 0, dn[16] = 4 * z, dn[17] = 4 * y;
  dn[18] = 4 * z, dn[19] = 0, dn[20] = 4 * x;
  dn[21] = -4 * z, dn[22] = -4 * z, dn[23] = 4 * (d - z);
  dn[24] = -4 * y, dn[25] = 4 * (d - y), dn[26] = -4 * y;
  dn[27] = 4 * (d - x), dn[28] = -4 * x, dn[29] = -4 * x;
  return 10;
}

bool ECTetrahedral4::IsInside(const Coord3& p, double t) const { return InsideTetrahedron(p, t); }
bool ECTetrahedral10::IsInside(const Coord3& p, double t) const { return InsideTetrahedron(p, t); }
Coord3 ECTetrahedral4::ClampToElement(const Coord3& p) const { return ClampToTetrahedron(p); }
Coord3 ECTetrahedral10::ClampToElement(const Coord3& p) const { return ClampToTetrahedron(p); }

MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECTetrahedral4, tables::kTetrahedral4Topology)
MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(ECTetrahedral10, tables::kTetrahedral10Topology)
MESHKIT_EXTRAPOLATIONS(ECTetrahedral4, 4, tables::kTetrahedral4Matrices)
MESHKIT_EXTRAPOLATIONS(ECTetrahedral10, 10, tables::kTetrahedral10Matrices)

}  // namespace Meshkit
