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
  if (m == 1) {
    for (int i = 0; i < nodes; ++i) out[i] = in[0];
    return;
  }
  for (int k = 0; k < matrixCount; ++k) {
    if (matrices[k].points != m) continue;
    const double* row = matrices[k].entries;
    for (int i = 0; i < nodes; ++i, row += m) {
      T& value = out[i];
      for (int j = 0; j < m; ++j) AddScaled(value, row[j], in[j]);
    }
    return;
  }
}

}  // namespace Meshkit
