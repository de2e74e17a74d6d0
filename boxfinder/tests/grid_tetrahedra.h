// Mesh-like box data shared by the box tree tests and benchmark: the
// bounding boxes of the five tetrahedra of every cell of a structured grid
// over the unit cube. Many boxes share centre coordinates, and several
// share whole boxes.
#pragma once

#include <algorithm>

namespace boxfinder {

// Calls add(lo, hi) for each box, cell by cell (x outermost), five per cell.
template <class Add>
void ForEachGridTetrahedronBox(int cells, Add add) {
  static const int kTets[5][4] = {
      {0, 1, 3, 4}, {1, 2, 3, 6}, {1, 4, 5, 6}, {3, 4, 6, 7}, {1, 3, 4, 6}};
  static const int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  const double h = 1.0 / cells;
  for (int i = 0; i < cells; ++i)
    for (int j = 0; j < cells; ++j)
      for (int k = 0; k < cells; ++k)
        for (const auto& tet : kTets) {
          double l[3] = {1e300, 1e300, 1e300}, u[3] = {-1e300, -1e300, -1e300};
          for (int c : tet) {
            const double x[3] = {(i + kCorner[c][0]) * h, (j + kCorner[c][1]) * h,
                                 (k + kCorner[c][2]) * h};
            for (int a = 0; a < 3; ++a) {
              l[a] = std::min(l[a], x[a]);
              u[a] = std::max(u[a], x[a]);
            }
          }
          add(l, u);
        }
}

}  // namespace boxfinder
