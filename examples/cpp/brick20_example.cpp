// A native caller of the element library: a 20-node brick's shape functions
// at a point, the nodes of one of its faces, and a stress field known at the
// 27 points of the 3 x 3 x 3 Gauss rule extrapolated to the nodes.
//
// Build against the CMake target Meshkit::meshkit; the program prints what it
// computed and exits with 1 should any result be off.
#include <cmath>
#include <cstdio>

#include <meshkit/meshkit.h>

int main() {
  const Meshkit::ElemClass& brick = Meshkit::kBrick20;

  // Shape functions at a natural point; they sum to 1.
  double n[20];
  const int nodes = brick.ShapeFunctions({0.25, -0.5, 0.75}, n);
  double sum = 0;
  for (int i = 0; i < nodes; ++i) sum += n[i];
  std::printf("%d shape functions at (0.25, -0.5, 0.75), N0 = %.6f, sum = %.15f\n", nodes, n[0],
              sum);

  // The faces: corner nodes first, then the midside nodes.
  for (int f = 0; f < brick.FaceCount(); ++f) {
    const int* row = brick.FaceNodes(f);
    std::printf("face %d:", f);
    for (int j = 0; j < brick.FaceNodeCount(f); ++j) std::printf(" %d", row[j]);
    std::printf("\n");
  }

  // A stress field linear in x, sampled at the 27 Gauss points (first
  // coordinate fastest), comes back exactly at the nodes.
  const double g[3] = {-std::sqrt(0.6), 0, std::sqrt(0.6)};
  Meshkit::List<Meshkit::Tensor6> atPoints, atNodes;
  for (int iz = 0; iz < 3; ++iz) {
    for (int iy = 0; iy < 3; ++iy) {
      for (int ix = 0; ix < 3; ++ix) {
        const double sxx = 100 + 50 * g[ix];
        atPoints.Append(Meshkit::Tensor6{{sxx, 0, 0, 0, 0, 0}});
      }
    }
  }
  brick.ExtrapolateTensor6(atPoints, atNodes);
  double worst = 0;
  // Node x coordinates: corners from bit 2, midside nodes 8-15 at x = -1 or +1,
  // 16-19 at x = 0.
  const double nodeX[20] = {-1, -1, -1, -1, 1, 1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, 0, 0, 0, 0};
  for (int i = 0; i < atNodes.Count(); ++i) {
    worst = std::fmax(worst, std::fabs(atNodes[i].c[0] - (100 + 50 * nodeX[i])));
  }
  std::printf("sxx at node 0 = %.6f, node 7 = %.6f, largest deviation %.2e\n", atNodes[0].c[0],
              atNodes[7].c[0], worst);
  return std::fabs(sum - 1) < 1e-12 && atNodes.Count() == 20 && worst < 1e-9 ? 0 : 1;
}
