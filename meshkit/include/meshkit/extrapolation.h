// Extrapolation of values known at the integration points of one element to
// its nodes, shared by the volume and the surface families.
#pragma once

#include "list.h"
#include "records.h"

namespace Meshkit {

// One constant extrapolation matrix: `nodes` rows (nodes in node order) by
// `points` columns (integration points in the rule's order), row-major.
struct ExtrapolationMatrix {
  int points;
  const double* entries;
};

// Fills `out` with one value per node from the `in` values at the points:
// the output is first set to `nodes` zero values; a single input value is
// copied to every node; an input count that has a matrix in `matrices` is
// combined row by row, points in order; any other count leaves the zeros.
// `in` and `out` must be distinct lists.
template <class T>
void Extrapolate(int nodes, const ExtrapolationMatrix* matrices, int matrixCount, const List<T>& in,
                 List<T>& out) {
  out.Clear();
  for (int i = 0; i < nodes; ++i) out.Append(T{});
  const int m = in.Count();
  const T* values = in.Data();
  T* result = &out[0];
  if (m == 1) {
    for (int i = 0; i < nodes; ++i) result[i] = values[0];
    return;
  }
  for (int k = 0; k < matrixCount; ++k) {
    if (matrices[k].points != m) continue;
    // Each node's value is summed from zero in a local record, points in
    // order: the same additions, in the same order, as accumulating into the
    // zeroed output. Four nodes at a time give four independent chains of
    // additions instead of one.
    const double* row = matrices[k].entries;
    int i = 0;
    for (; i + 4 <= nodes; i += 4, row += 4 * m) {
      T s0{}, s1{}, s2{}, s3{};
      for (int j = 0; j < m; ++j) {
        AddScaled(s0, row[j], values[j]);
        AddScaled(s1, row[m + j], values[j]);
        AddScaled(s2, row[2 * m + j], values[j]);
        AddScaled(s3, row[3 * m + j], values[j]);
      }
      result[i] = s0, result[i + 1] = s1, result[i + 2] = s2, result[i + 3] = s3;
    }
    for (; i < nodes; ++i, row += m) {
      T sum{};
      for (int j = 0; j < m; ++j) AddScaled(sum, row[j], values[j]);
      result[i] = sum;
    }
    return;
  }
}

}  // namespace Meshkit
