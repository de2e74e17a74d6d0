// The operations SurfElemClass writes once for every surface class. Each
// reaches the class's own shape functions, derivatives and quadrature
// through virtual calls; sums run over nodes in node order, starting at 0.
#include <meshkit/surface/surface_element.h>

#include <cmath>

namespace Meshkit {
namespace {

// The largest node count of the surface family.
constexpr int kMaxNodes = 8;

}  // namespace

SurfElemClass::~SurfElemClass() = default;

Coord3 SurfElemClass::MapToGlobal(const Coord2& p, const double* nodeCoordinates) const {
  double n[kMaxNodes];
  const int count = ShapeFunctions2D(p, n);
  Coord3 x{0.0, 0.0, 0.0};
  for (int k = 0; k < count; ++k) {
    const double* node = nodeCoordinates + 3 * k;
    x.x += n[k] * node[0];
    x.y += n[k] * node[1];
    x.z += n[k] * node[2];
  }
  return x;
}

double SurfElemClass::InterpolateScalar(const Coord2& p, const double* field) const {
  double n[kMaxNodes];
  const int count = ShapeFunctions2D(p, n);
  double value = 0.0;
  for (int k = 0; k < count; ++k) value += n[k] * field[k];
  return value;
}

void SurfElemClass::SurfaceTangents(const double* nodeCoordinates, const Coord2& p,
                                    SurfaceFrame& frame) const {
  frame = SurfaceFrame{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
  double d[2 * kMaxNodes];
  const int count = ShapeDerivatives2D(p, d);
  Coord3& tr = frame.tangentR;
  Coord3& ts = frame.tangentS;
  for (int k = 0; k < count; ++k) {
    const double* node = nodeCoordinates + 3 * k;
    const double dr = d[2 * k];
    const double ds = d[2 * k + 1];
    tr.x += dr * node[0];
    tr.y += dr * node[1];
    tr.z += dr * node[2];
    ts.x += ds * node[0];
    ts.y += ds * node[1];
    ts.z += ds * node[2];
  }
  frame.normal =
      Coord3{tr.y * ts.z - tr.z * ts.y, tr.z * ts.x - tr.x * ts.z, tr.x * ts.y - tr.y * ts.x};
}

double SurfElemClass::AreaScale(const double* nodeCoordinates, const Coord2& p) const {
  SurfaceFrame frame;
  SurfaceTangents(nodeCoordinates, p, frame);
  const Coord3& n = frame.normal;
  return std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
}

double SurfElemClass::IntegrateScalar(const double* nodeCoordinates, const double* field) const {
  // Points start at (0, 0) and weights at 0, so a quadrature that writes
  // nothing gives 0 rather than whatever the stack held.
  Coord2 points[4] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
  double weights[4] = {0.0, 0.0, 0.0, 0.0};
  SurfaceQuadrature(points, weights);
  double sum = 0.0;
  for (int q = 0; q < 4; ++q) {
    const double area = AreaScale(nodeCoordinates, points[q]);
    const double f = InterpolateScalar(points[q], field);
    sum += (f * weights[q]) * area;
  }
  return sum;
}

int SurfElemClass::FaceCount() const { return 1; }

}  // namespace Meshkit
