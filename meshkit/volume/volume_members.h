// Behaviour the volume element classes share, written once: domain tests
// and clamps and the table-driven topology operations (the extrapolations,
// alike in both families, are in shared/class_members.h). Internal to the
// library's sources.
#pragma once

#include <meshkit/volume/volume_classes.h>
#include "shared/class_members.h"
#include "volume_tables.h"

namespace Meshkit {

inline bool Within(double v, double lo, double hi) { return v >= lo && v <= hi; }
inline double Limit(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// x, y, z each in [-(1 + t), 1 + t].
inline bool InsideCube(const Coord3& p, double t) {
  return Within(p.x, -1 - t, 1 + t) && Within(p.y, -1 - t, 1 + t) && Within(p.z, -1 - t, 1 + t);
}
// x, y, z each in [-t, 1 + t].
inline bool InsideUnitCube(const Coord3& p, double t) {
  return Within(p.x, -t, 1 + t) && Within(p.y, -t, 1 + t) && Within(p.z, -t, 1 + t);
}
// x, y, z and 1 - x - y - z each in [-t, 1 + t].
inline bool InsideTetrahedron(const Coord3& p, double t) {
  return InsideUnitCube(p, t) && Within(1 - p.x - p.y - p.z, -t, 1 + t);
}
// x, y, 1 - x - y each in [-t, 1 + t], z in [zLow - t, 1 + t].
inline bool InsidePrism(const Coord3& p, double t, double zLow) {
  return Within(p.x, -t, 1 + t) && Within(p.y, -t, 1 + t) && Within(1 - p.x - p.y, -t, 1 + t) &&
         Within(p.z, zLow - t, 1 + t);
}

inline Coord3 ClampToCube(const Coord3& p) {
  return {Limit(p.x, -1, 1), Limit(p.y, -1, 1), Limit(p.z, -1, 1)};
}
inline Coord3 ClampToUnitCube(const Coord3& p) {
  return {Limit(p.x, 0, 1), Limit(p.y, 0, 1), Limit(p.z, 0, 1)};
}

// Limits each coordinate to [0, 1]; a point then beyond the face
// x + y + z = 1 moves to its nearest point on the triangle x + y + z = 1,
// x, y, z >= 0 (the Euclidean projection). The projection subtracts the
// same amount from every coordinate still positive; a coordinate that would
// go negative is set to 0 and the excess shared again by the others. Two
// rounds suffice for three coordinates, the third ends at a corner.
inline Coord3 ClampToTetrahedron(const Coord3& p) {
  Coord3 q = ClampToUnitCube(p);
  if (1 - q.x - q.y - q.z >= 0) return q;  // the inside test's own form
  double c[3] = {q.x, q.y, q.z};
  bool active[3] = {true, true, true};
  for (int round = 0; round < 3; ++round) {
    double sum = 0;
    int count = 0;
    for (int k = 0; k < 3; ++k) {
      if (active[k]) sum += c[k], ++count;
    }
    const double shift = (sum - 1) / count;
    bool dropped = false;
    for (int k = 0; k < 3; ++k) {
      if (!active[k]) continue;
      c[k] -= shift;
      if (c[k] < 0) c[k] = 0, active[k] = false, dropped = true;
    }
    if (!dropped) break;
  }
  return {c[0], c[1], c[2]};
}

// Limits x and y to [0, 1] and z to [zLow, 1]; a point then beyond the edge
// x + y = 1 moves to its nearest point on that edge, z unchanged. With x and
// y in [0, 1] the foot of the perpendicular, ((1 + x - y) / 2, (1 - x + y) / 2),
// already lies within the edge.
inline Coord3 ClampToPrism(const Coord3& p, double zLow) {
  Coord3 q = {Limit(p.x, 0, 1), Limit(p.y, 0, 1), Limit(p.z, zLow, 1)};
  if (1 - q.x - q.y >= 0) return q;
  const double x = 0.5 * (1 + q.x - q.y);
  return {x, 1 - x, q.z};
}

}  // namespace Meshkit

// The macros below write member definitions from the names of a class and
// of its tables, which cannot stand in parentheses there.
// NOLINTBEGIN(bugprone-macro-parentheses)

// The operations a class reads from its Topology table.
#define MESHKIT_VOLUME_TOPOLOGY_OPERATIONS(Class, topology)                        \
  Coord3 Class::CentrePoint() const { return topology.centre; }                    \
  int Class::FaceCount() const { return topology.faceCount; }                      \
  int Class::FaceNodeCount(int f) const { return topology.faceNodeCounts[f]; }     \
  int Class::FaceCornerCount(int f) const { return topology.faceCornerCounts[f]; } \
  const int* Class::FaceNodes(int f) const {                                       \
    return topology.faceNodes + f * topology.nodeRowLength;                        \
  }                                                                                \
  const int* Class::FaceCorners(int f) const {                                     \
    return topology.faceCorners + f * topology.cornerRowLength;                    \
  }                                                                                \
  void Class::ParentCorners(int node, int& first, int& second) const {             \
    ParentCornersOf(topology, node, first, second);                                \
  }

// NOLINTEND(bugprone-macro-parentheses)
