// Fuzz target for the surface element classes: the bytes choose a class, a
// natural point, node coordinates, a nodal field, node and face numbers and
// an integration-point count with its values, and every operation is called
// with outputs exactly as large as the counts announce (so an out-of-bounds
// write shows up under the sanitizers). Checks what must hold for any input:
// the two names of an operation agree, clamped points are inside, and the
// output lists hold one value per node.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <meshkit/meshkit.h>

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Stops with the failed condition's line, for the crash report.
#define CHECK(holds)                                                             \
  do {                                                                           \
    if (!(holds)) {                                                              \
      std::fprintf(stderr, "surface_fuzz: check failed at line %d\n", __LINE__); \
      std::abort();                                                              \
    }                                                                            \
  } while (false)

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <class T, class Fill>
void Extrapolate(const Meshkit::SurfElemClass& e, int nodes, int m, Fill fill,
                 void (Meshkit::SurfElemClass::*op)(const Meshkit::List<T>&, Meshkit::List<T>&)
                     const) {
  Meshkit::List<T> in, out;
  for (int j = 0; j < m; ++j) in.Append(fill(j));
  for (int j = 0; j < m % 11; ++j) out.Append(fill(j));
  (e.*op)(in, out);
  CHECK(out.Count() == nodes);
  CHECK(in.Count() == m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes bytes(data, size);
  const Meshkit::SurfElemClass* all[] = {&Meshkit::kTriangle3, &Meshkit::kTriangle6,
                                         &Meshkit::kQuadrilateral4, &Meshkit::kQuadrilateral8};
  const Meshkit::SurfElemClass& e = *all[bytes.Byte() % 4];
  const Meshkit::Coord2 p{bytes.Double(), bytes.Double()};
  const double tolerance = bytes.Double();

  double probe[8];
  const int nodes = e.ShapeFunctions(p, probe);
  const int corners = e.CornerShapeFunctions(p, probe);
  CHECK(nodes >= 3 && nodes <= 8 && corners >= 3 && corners <= nodes);

  // Outputs sized exactly by the announced counts.
  std::vector<double> n(nodes), n2(nodes), c(corners), d3(3 * nodes), d2(2 * nodes), dd(3 * nodes);
  CHECK(e.ShapeFunctions(p, n.data()) == nodes);
  CHECK(e.ShapeFunctions2D(p, n2.data()) == nodes);
  e.CornerShapeFunctions(p, c.data());
  for (int k = 0; k < nodes; ++k) d3[3 * k + 2] = 0.5 + k;
  e.ShapeDerivatives(p, d3.data());
  e.ShapeDerivatives2D(p, d2.data());
  e.ShapeSecondDerivatives(p, dd.data());
  for (int k = 0; k < nodes; ++k) {
    CHECK(SameBits(n[k], n2[k]));
    CHECK(SameBits(d3[3 * k], d2[2 * k]) && SameBits(d3[3 * k + 1], d2[2 * k + 1]));
    CHECK(d3[3 * k + 2] == 0.5 + k);
  }

  CHECK(e.IsInside(p, tolerance) == e.IsInside2D(p, tolerance));
  const Meshkit::Coord2 q = e.ClampToElement2D(p);
  const Meshkit::Coord3 q3 = e.ClampToElement(p);
  CHECK(SameBits(q.r, q3.x) && SameBits(q.s, q3.y) && q3.z == 0.0);
  if (q.r == q.r && q.s == q.s) CHECK(e.IsInside(q, 0.0));
  e.IsAtNode(p);
  e.CentrePoint();

  const int node = bytes.Byte() - 128;  // -128 to 127
  e.NodeCoordinates(node);
  int first = 0, second = 0;
  e.ParentCorners(node, first, second);
  CHECK(first == node || (first >= 0 && first < corners));
  CHECK(second == node || (second >= 0 && second < corners));
  const int face = bytes.Byte() - 128;
  CHECK(e.FaceCount() == 1 && e.FaceNodeCount(face) == nodes && e.FaceCornerCount(face) == corners);
  CHECK(e.FaceNodes(face)[nodes - 1] == nodes - 1 &&
        e.FaceCorners(face)[corners - 1] == corners - 1);

  std::vector<double> xyz(3 * nodes), field(nodes);
  for (double& v : xyz) v = bytes.Double();
  for (double& v : field) v = bytes.Double();
  e.MapToGlobal(p, xyz.data());
  e.InterpolateScalar(p, field.data());
  Meshkit::SurfaceFrame frame;
  e.SurfaceTangents(xyz.data(), p, frame);
  e.AreaScale(xyz.data(), p);
  e.IntegrateScalar(xyz.data(), field.data());

  const int m = bytes.Byte() % 16;
  const double seed = bytes.Double();
  using Meshkit::SurfElemClass;
  Extrapolate<double>(
      e, nodes, m, [&](int j) { return seed + j; }, &SurfElemClass::ExtrapolateScalar);
  Extrapolate<Meshkit::Coord3>(
      e, nodes, m,
      [&](int j) {
        return Meshkit::Coord3{seed, 1.0 * j, -seed};
      },
      &SurfElemClass::ExtrapolateVector);
  Extrapolate<Meshkit::Tensor6>(
      e, nodes, m,
      [&](int j) {
        return Meshkit::Tensor6{{seed, 1.0 * j, 0, 0, 0, seed}};
      },
      &SurfElemClass::ExtrapolateTensor6);
  Extrapolate<Meshkit::Tensor9>(
      e, nodes, m,
      [&](int j) {
        return Meshkit::Tensor9{{seed, 1.0 * j, 0, 0, 0, 0, 0, 0, seed}};
      },
      &SurfElemClass::ExtrapolateTensor9);
  return 0;
}
