// Behaviour the surface element classes share, written once: the
// table-driven topology operations (the extrapolations, alike in both
// families, are in shared/class_members.h). Internal to the library's
// sources.
#pragma once

#include <meshkit/surface/surface_classes.h>
#include "shared/class_members.h"
#include "surface_tables.h"

namespace Meshkit {

// The natural position of a node of the table; (0, 0) for any other number.
inline Coord2 NodeOf(const surface_tables::SurfaceTopology& t, int node) {
  return node >= 0 && node < t.nodeCount ? t.nodes[node] : Coord2{0.0, 0.0};
}

// Exact comparison with the table's node positions.
inline bool AtNodeOf(const surface_tables::SurfaceTopology& t, const Coord2& p) {
  for (int k = 0; k < t.nodeCount; ++k) {
    if (p.r == t.nodes[k].r && p.s == t.nodes[k].s) return true;
  }
  return false;
}

}  // namespace Meshkit

// The macro below writes member definitions from the names of a class and
// of its table, which cannot stand in parentheses there.
// NOLINTBEGIN(bugprone-macro-parentheses)

// The operations a class reads from its SurfaceTopology table; its one face
// is the element itself, whatever face number is passed.
#define MESHKIT_SURFACE_TOPOLOGY_OPERATIONS(Class, topology)                        \
  Coord2 Class::NodeCoordinates(int node) const { return NodeOf(topology, node); }  \
  bool Class::IsAtNode(const Coord2& p) const { return AtNodeOf(topology, p); }     \
  Coord2 Class::CentrePoint() const { return topology.centre; }                     \
  int Class::FaceNodeCount(int) const { return topology.nodeCount; }                \
  int Class::FaceCornerCount(int) const { return topology.cornerCount; }            \
  const int* Class::FaceNodes(int) const { return surface_tables::kCountingRow; }   \
  const int* Class::FaceCorners(int) const { return surface_tables::kCountingRow; } \
  void Class::ParentCorners(int node, int& first, int& second) const {              \
    ParentCornersOf(topology, node, first, second);                                 \
  }

// NOLINTEND(bugprone-macro-parentheses)
