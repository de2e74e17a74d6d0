// Constant tables of the surface element classes: node positions, face rows,
// parent corners, centre points and the four-point quadratures (the
// extrapolation matrices are in surface_extrapolation_tables.h). Only the
// surface element sources and their tests read these; callers reach them
// through the classes' operations.
#pragma once

#include <meshkit/surface/surface_records.h>

namespace Meshkit {
namespace surface_tables {

// Node positions in natural coordinates, node k where shape function k is 1:
// the triangle's corners with the last at the origin (as in the volume
// tetrahedra), then the midpoints of edges 0-1, 1-2 and 2-0. The 3-node
// triangle uses the first three.
inline constexpr Coord2 kTriangleNodes[6] = {{1.0, 0.0}, {0.0, 1.0}, {0.0, 0.0},
                                             {0.5, 0.5}, {0.0, 0.5}, {0.5, 0.0}};

// The square's corners counter-clockwise from (-1, -1), then the midpoints of
// edges 0-1, 1-2, 2-3 and 3-0. The 4-node quadrilateral uses the first four.
inline constexpr Coord2 kQuadrilateralNodes[8] = {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0},
                                                  {-1.0, 1.0},  {0.0, -1.0}, {1.0, 0.0},
                                                  {0.0, 1.0},   {-1.0, 0.0}};

// The one face of every surface element lists its nodes 0, 1, ..., n - 1 and
// its corners 0, 1, ..., c - 1: each row is a prefix of this one, unpadded.
inline constexpr int kCountingRow[8] = {0, 1, 2, 3, 4, 5, 6, 7};

// Corners on either side of each midside node, midside nodes in order
// (6-node triangle: nodes 3, 4, 5; 8-node quadrilateral: nodes 4 to 7).
inline constexpr int kTriangle6Parents[3][2] = {{0, 1}, {1, 2}, {2, 0}};
inline constexpr int kQuadrilateral8Parents[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};

// Reference points. Not the triangle's centroid (1/3, 1/3) and, for the
// 4-node quadrilateral, not the square's centre: these are the values the
// classes have always reported.
inline constexpr Coord2 kTriangleCentre = {0.5, 0.5};
inline constexpr Coord2 kQuadrilateral4Centre = {0.5, 0.5};
inline constexpr Coord2 kQuadrilateral8Centre = {0.0, 0.0};

// Four-point rule on the triangle (degree 3, one negative weight): the
// centroid and the three points with barycentric coordinates (0.6, 0.2, 0.2).
// The decimals are the stored ones, not 1/3 and 25/96 to full precision.
inline constexpr Coord2 kTriangleQuadraturePoints[4] = {
    {0.333333333333333, 0.333333333333333}, {0.6, 0.2}, {0.2, 0.6}, {0.2, 0.2}};
inline constexpr double kTriangleQuadratureWeights[4] = {-0.28125, 0.260416666666667,
                                                         0.260416666666667, 0.260416666666667};

// 2-by-2 Gauss-Legendre rule on the square, g = 1/sqrt(3) as stored.
inline constexpr double kGauss2 = 0.577350269189626;
inline constexpr Coord2 kQuadrilateralQuadraturePoints[4] = {
    {-kGauss2, -kGauss2}, {kGauss2, -kGauss2}, {-kGauss2, kGauss2}, {kGauss2, kGauss2}};
inline constexpr double kQuadrilateralQuadratureWeights[4] = {1.0, 1.0, 1.0, 1.0};

// The topology of one class: its node count and positions, its corner count
// (the one face's rows are prefixes of kCountingRow), the parent corners of
// its midside nodes (none for the linear classes) and its reference point.
struct SurfaceTopology {
  int nodeCount;
  const Coord2* nodes;
  int cornerCount;
  int firstMidside;
  int midsideCount;
  const int (*parents)[2];
  Coord2 centre;
};

inline constexpr SurfaceTopology kTriangle3Topology = {3,       kTriangleNodes, 3, 3, 0,
                                                       nullptr, kTriangleCentre};
inline constexpr SurfaceTopology kTriangle6Topology = {
    6, kTriangleNodes, 3, 3, 3, kTriangle6Parents, kTriangleCentre};
inline constexpr SurfaceTopology kQuadrilateral4Topology = {4,       kQuadrilateralNodes,  4, 4, 0,
                                                            nullptr, kQuadrilateral4Centre};
inline constexpr SurfaceTopology kQuadrilateral8Topology = {
    8, kQuadrilateralNodes, 4, 4, 4, kQuadrilateral8Parents, kQuadrilateral8Centre};

}  // namespace surface_tables
}  // namespace Meshkit
