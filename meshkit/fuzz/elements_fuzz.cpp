// Decodes the bytes into calls of the volume element classes: arbitrary
// points (NaNs and infinities included), face and node numbers within their
// documented ranges and value lists of any length. Checks that nothing reads
// or writes outside its tables or arrays, that clamped points are inside and
// that shape functions sum to one wherever they are finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <meshkit/meshkit.h>

namespace {

const Meshkit::ElemClass* const kElements[8] = {
    &Meshkit::kTetrahedral4, &Meshkit::kTetrahedral10, &Meshkit::kPyramid5, &Meshkit::kPyramid13,
    &Meshkit::kWedge6,       &Meshkit::kWedge15,       &Meshkit::kBrick8,   &Meshkit::kBrick20};

struct Reader {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  double Double() {
    double v = 0;
    if (size >= sizeof v) {
      std::memcpy(&v, data, sizeof v);
      data += sizeof v, size -= sizeof v;
    }
    return v;
  }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  while (in.size > 0) {
    const Meshkit::ElemClass& e = *kElements[in.Byte() % 8];
    const Meshkit::Coord3 p = {in.Double(), in.Double(), in.Double()};
    double n[20], dn[60];
    const int nodes = e.ShapeFunctions(p, n);
    Check(e.ShapeDerivatives(p, dn) == nodes);
    double sum = 0;
    for (int i = 0; i < nodes; ++i) sum += n[i];
    const bool moderate = std::fabs(p.x) < 1e3 && std::fabs(p.y) < 1e3 && std::fabs(p.z) < 1e3;
    if (moderate) Check(std::fabs(sum - 1) < 1e-6);
    const Meshkit::Coord3 q = e.ClampToElement(p);
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
      Check(e.IsInside(q, 1e-12));
    }
    e.IsInside(p, in.Double());
    const int f = in.Byte() % e.FaceCount();
    const int* row = e.FaceNodes(f);
    for (int j = 0; j < e.FaceNodeCount(f); ++j) Check(row[j] >= 0 && row[j] < nodes);
    const int* corners = e.FaceCorners(f);
    for (int j = 0; j < e.FaceCornerCount(f); ++j) Check(corners[j] >= 0 && corners[j] < nodes);
    int first, second;
    const int node = in.Byte() - 128;  // -128 to 127
    e.ParentCorners(node, first, second);
    if (node >= 0 && node < nodes) Check(first >= 0 && first < nodes && second < nodes);
    Meshkit::List<double> values, out;
    Meshkit::List<Meshkit::Tensor9> tensors, tensorsOut;
    const int count = in.Byte() % 70;
    for (int j = 0; j < count; ++j) {
      values.Append(in.Double());
      tensors.Append(Meshkit::Tensor9{{values[j], 1, 2, 3, 4, 5, 6, 7, 8}});
    }
    e.ExtrapolateScalar(values, out);
    e.ExtrapolateTensor9(tensors, tensorsOut);
    Check(out.Count() == 0 || out.Count() == nodes);
    Check(tensorsOut.Count() == out.Count());
  }
  return 0;
}
