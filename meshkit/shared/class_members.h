// Member definitions that the element classes of both families share,
// written once. A class of either family defines its shape functions and its
// domain test and clamp itself, and its table-driven members (topology,
// extrapolations) by a macro from its constant tables: those of this file
// and MESHKIT_VOLUME_TOPOLOGY_OPERATIONS (volume/volume_members.h) or
// MESHKIT_SURFACE_TOPOLOGY_OPERATIONS (surface/surface_members.h). Each macro
// expands to ordinary definitions of Class::Member, so every member keeps its
// own exported symbol. Internal to the library's sources.
#pragma once

#include <meshkit/extrapolation.h>

namespace Meshkit {

// The corners at the ends of a midside node's edge from a topology table
// (firstMidside, midsideCount, parents); for any other number the number
// itself twice. The range test cannot overflow, whatever the number.
template <class Topology>
void ParentCornersOf(const Topology& t, int node, int& first, int& second) {
  if (node >= t.firstMidside && node - t.firstMidside < t.midsideCount) {
    first = t.parents[node - t.firstMidside][0];
    second = t.parents[node - t.firstMidside][1];
  } else {
    first = second = node;
  }
}

}  // namespace Meshkit

// The macros below write member definitions from the names of a class and
// of its tables, which cannot stand in parentheses there.
// NOLINTBEGIN(bugprone-macro-parentheses)

// The four extrapolations of a class with `nodes` nodes and its matrices.
#define MESHKIT_EXTRAPOLATIONS(Class, nodes, matrices)                                \
  void Class::ExtrapolateTensor9(const List<Tensor9>& in, List<Tensor9>& out) const { \
    Extrapolate(nodes, matrices, int(sizeof matrices / sizeof matrices[0]), in, out); \
  }                                                                                   \
  void Class::ExtrapolateTensor6(const List<Tensor6>& in, List<Tensor6>& out) const { \
    Extrapolate(nodes, matrices, int(sizeof matrices / sizeof matrices[0]), in, out); \
  }                                                                                   \
  void Class::ExtrapolateVector(const List<Coord3>& in, List<Coord3>& out) const {    \
    Extrapolate(nodes, matrices, int(sizeof matrices / sizeof matrices[0]), in, out); \
  }                                                                                   \
  void Class::ExtrapolateScalar(const List<double>& in, List<double>& out) const {    \
    Extrapolate(nodes, matrices, int(sizeof matrices / sizeof matrices[0]), in, out); \
  }

// The four extrapolations of a class without any: the output stays as passed.
#define MESHKIT_NO_EXTRAPOLATION(Class)                                         \
  void Class::ExtrapolateTensor9(const List<Tensor9>&, List<Tensor9>&) const {} \
  void Class::ExtrapolateTensor6(const List<Tensor6>&, List<Tensor6>&) const {} \
  void Class::ExtrapolateVector(const List<Coord3>&, List<Coord3>&) const {}    \
  void Class::ExtrapolateScalar(const List<double>&, List<double>&) const {}

// NOLINTEND(bugprone-macro-parentheses)
