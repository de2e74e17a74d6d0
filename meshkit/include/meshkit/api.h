// Declaration macros of the element library.
//
// MESHKIT_API: default visibility for the library's interface, so that a
// shared object built with hidden visibility (the Boxfinder module) still
// exports it.
//
// MESHKIT_FACE_AND_EXTRAPOLATION_OPERATIONS: the overrides of the face rows,
// the parent corners and the four extrapolations, which every class of both
// families declares alike (in MESHKIT_VOLUME_OPERATIONS and
// MESHKIT_SURFACE_OPERATIONS, written once each).
//
// MESHKIT_CONSTINIT: marks an object that must be constant-initialised, so
// that it is usable before any dynamic initialisation runs (from other static
// initialisers included). The compiler refuses the definition if it would need
// code at load time. g++ accepts __constinit in C++17 mode; clang spells it as
// an attribute.
#pragma once

#define MESHKIT_API __attribute__((visibility("default")))

#if defined(__clang__)
#define MESHKIT_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__)
#define MESHKIT_CONSTINIT __constinit
#else
#define MESHKIT_CONSTINIT
#endif

#define MESHKIT_FACE_AND_EXTRAPOLATION_OPERATIONS                                      \
  int FaceNodeCount(int face) const override;                                          \
  int FaceCornerCount(int face) const override;                                        \
  const int* FaceNodes(int face) const override;                                       \
  const int* FaceCorners(int face) const override;                                     \
  void ParentCorners(int node, int& first, int& second) const override;                \
  void ExtrapolateTensor9(const List<Tensor9>& in, List<Tensor9>& out) const override; \
  void ExtrapolateTensor6(const List<Tensor6>& in, List<Tensor6>& out) const override; \
  void ExtrapolateVector(const List<Coord3>& in, List<Coord3>& out) const override;    \
  void ExtrapolateScalar(const List<double>& in, List<double>& out) const override;
