// Fuzz target of the box tree: the input bytes decode into a bulk build
// and a sequence of insertions, removals and queries, applied both to the
// production tree and to the literal rendering of its algorithms
// (boxfinder/tests/literal_tree.h). Every removal must report the same
// outcome and every query the literal rendering's ids in its order. A
// save and load of the tree (whose query index is laid out again) may come
// between any two steps.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <meshkit/list.h>

#include "../tests/literal_tree.h"
#include "box_tree.h"
#include "byte_reader.h"

namespace {

// Stops the run with a crash report, which libFuzzer turns into a finding.
void Check(bool holds) {
  if (!holds) std::abort();
}

// The literal rendering recurses down the tree: runs of sorted insertions
// make it as deep as the number of boxes, so inputs stay short.
constexpr int kMaxBuild = 64;
constexpr int kMaxOperations = 96;

// Coordinates on a coarse grid, so that boxes share corners, touch, nest
// and repeat; an extent of -0.25 makes an inverted (empty) box.
struct Box {
  double lo[3];
  double hi[3];
  int32_t id;
};

Box ReadBox(ByteReader& in) {
  Box b;
  for (int a = 0; a < 3; ++a) {
    b.lo[a] = in.Grid(-0.5, 0.25, 12);
    b.hi[a] = b.lo[a] + in.Grid(-0.25, 0.25, 8);
  }
  b.id = in.Below(16) - 2;  // a few ids shared by many boxes, some negative
  return b;
}

std::vector<int> Ids(const Meshkit::List<int>& list) {
  return std::vector<int>(list.Data(), list.Data() + list.Count());
}

void CompareQueries(boxfinder::BoxTree& tree, const literal::Tree& ref, const Box& q) {
  Meshkit::List<int> out;
  const std::vector<int> point = literal::QueryPoint(ref.root, q.lo);
  tree.QueryPoint(q.lo, out);
  Check(Ids(out) == point);
  const std::vector<int> range = literal::QueryRange(ref.root, q.lo, q.hi);
  out.Clear();
  tree.QueryRange(q.lo, q.hi, out);
  Check(Ids(out) == range);
  // The nearest boxes to the query's lower corner, k and the maximum
  // distance taken from its id and extent, against the brute-force rule;
  // the largest id asks for more than the nearest walks gather inline.
  // Whenever the query index is laid out, it answers.
  const int k = q.id == 13 ? boxfinder::kInlineNearest + 8 : q.id + 3;
  const double maxDistance = q.hi[0] >= q.lo[0] ? 4.0 * (q.hi[0] - q.lo[0]) : 1e300;
  Meshkit::List<double> distances;
  tree.Nearest(q.lo, k, maxDistance, out, &distances);
  const std::vector<literal::Near> near = literal::Nearest(ref.root, q.lo, k, maxDistance);
  Check(out.Count() == static_cast<int>(near.size()));
  for (int i = 0; i < out.Count(); ++i)
    Check(out[i] == near[i].id && distances[i] == near[i].distance);
  // The batch forms, one query long, give the same rows.
  boxfinder::IdRows rows;
  tree.QueryPointMany(q.lo, 1, &rows);
  Check(std::vector<int>(rows.ids.begin(), rows.ids.end()) == point);
  tree.QueryRangeMany(q.lo, q.hi, 1, &rows);
  Check(std::vector<int>(rows.ids.begin(), rows.ids.end()) == range);
  tree.NearestMany(q.lo, 1, k, maxDistance, true, &rows);
  Check(rows.ids.size() == near.size() && rows.distances.size() == near.size());
  for (std::size_t i = 0; i < near.size(); ++i)
    Check(rows.ids[i] == near[i].id && rows.distances[i] == near[i].distance);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  int n = in.Below(kMaxBuild + 1);
  std::vector<double> lo, hi;
  std::vector<int32_t> ids;
  for (int i = 0; i < n; ++i) {
    Box b = ReadBox(in);
    lo.insert(lo.end(), b.lo, b.lo + 3);
    hi.insert(hi.end(), b.hi, b.hi + 3);
    ids.push_back(b.id);
  }
  boxfinder::BoxTree tree;
  literal::Tree ref;
  tree.BuildFromArrays(n, lo.data(), hi.data(), ids.data());
  ref.BuildFromArrays(n, lo.data(), hi.data(), ids.data());
  for (int op = 0; op < kMaxOperations && !in.Done(); ++op) {
    int kind = in.Below(5);
    Box b = ReadBox(in);
    if (kind == 0) {
      tree.InsertBox(b.lo, b.hi, b.id);
      ref.InsertBox(b.lo, b.hi, b.id);
    } else if (kind == 1) {
      // Removal by the corners of a box built or added earlier, or by
      // fresh ones.
      if (n > 0 && in.Below(2) == 0) {
        int i = in.Below(n);
        for (int a = 0; a < 3; ++a) {
          b.lo[a] = lo[3 * i + a];
          b.hi[a] = hi[3 * i + a];
        }
        b.id = ids[i];
      }
      Check(tree.RemoveBox(b.lo, b.hi, b.id) == ref.RemoveBox(b.lo, b.hi, b.id));
    } else if (kind == 4) {
      std::string state;
      tree.SaveState(&state);
      std::string error;
      Check(tree.LoadState(state.data(), state.size(), &error));
    } else {
      // As the Python layer does before a query: after insertions, the
      // queries lay the index out again once they have walked enough.
      tree.RefreshQueryIndex();
      CompareQueries(tree, ref, b);
    }
  }
  return 0;
}
