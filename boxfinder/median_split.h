// The build's median split: a selection of the element with the median
// centre coordinate on one axis, then a partition around it that moves the
// elements sharing its coordinate next to it to even out the two sides.
#pragma once

#include <cstdint>

namespace boxfinder {

// One box during the build: its centre, its index in the caller's arrays
// and its id.
// Partitioning these compact records moves a fraction of the data that
// moving the corners themselves would.
struct BuildRecord {
  double c[3];
  int32_t index;
  int32_t clientId;
};

// The selection's candidates: centre coordinates and positions in two
// arrays, so that the counting passes read consecutive doubles.
struct Candidates {
  double* v;
  int32_t* pos;
};

// Where the selection ends once the group equal to the mean is the one to go

// Puts the median element (rank n/2 on `axis`) at the returned index r,
// smaller centres before it and larger after it; elements sharing the
// pivot's coordinate are moved next to it to even out the two sides.
// `cand` is working room for n candidates.
int PartitionAtMedian(int n, int axis, BuildRecord* rec, Candidates cand);

}  // namespace boxfinder
