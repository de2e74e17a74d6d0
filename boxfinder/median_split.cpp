#include "median_split.h"

#include <algorithm>
#include <utility>

namespace boxfinder {
namespace {

// on with (c of them, b elements below): the group's own mean rounds to its
// common value or just beside it, so the next round returns its first
// element, unless two are left, when the two-element step picks one of them
// by rank (equal values are not swapped). `at` gives the group's members in
// order of position.
template <class At>
int EndInEqualGroup(int c, int b, int k, At at) {
  return c == 2 && !(b + 2 > k + 1) ? at(1) : at(0);
}

// Index of an element whose centre coordinate on `axis` has rank n/2, by
// repeated three-way splits around the mean of three candidates. NaN
// coordinates fall in the upper group (they are neither below nor equal), so
// the candidate count always matches the candidates kept.
int SelectMedianIndex(int n, int axis, const BuildRecord* rec, Candidates cand) {
  if (n == 1) return 0;
  const int k = n / 2;
  int b = 0;
  int c = n;
  if (c > 2) {
    // First round straight from the records: the candidates are all n
    // elements in their current order, and only the kept group is copied.
    const double d = ((rec[c / 2].c[axis] + rec[0].c[axis]) + rec[c - 1].c[axis]) / 3.0;
    int less = 0;
    int equal = 0;
    for (int i = 0; i < c; ++i) {
      const double v = rec[i].c[axis];
      less += d > v;
      equal += v == d;
    }
    if (less + equal == 0 || less == c || equal == c) return 0;
    if (k >= less && k < less + equal) {
      return EndInEqualGroup(equal, less, k, [rec, axis, d](int which) {
        for (int i = 0;; ++i)
          if (rec[i].c[axis] == d && which-- == 0) return i;
      });
    }
    int kept = 0;
    if (k < less) {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand.v[kept] = v;
        cand.pos[kept] = i;
        kept += d > v;
      }
    } else {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand.v[kept] = v;
        cand.pos[kept] = i;
        kept += !(d > v) & !(v == d);
      }
      b = less + equal;
    }
    c = kept;
  } else {
    for (int i = 0; i < c; ++i) {
      cand.v[i] = rec[i].c[axis];
      cand.pos[i] = i;
    }
  }
  while (c > 2) {
    const double d = ((cand.v[c / 2] + cand.v[0]) + cand.v[c - 1]) / 3.0;
    int less = 0;
    int equal = 0;
    for (int i = 0; i < c; ++i) {
      const double v = cand.v[i];
      less += d > v;
      equal += v == d;
    }
    if (less + equal == 0 || less == c || equal == c) return cand.pos[0];
    if (k >= b + less && k < b + less + equal) {
      return EndInEqualGroup(equal, b + less, k, [cand, d](int which) {
        for (int i = 0;; ++i)
          if (cand.v[i] == d && which-- == 0) return cand.pos[i];
      });
    }
    int kept = 0;
    if (k < b + less) {
      for (int i = 0; i < c; ++i) {
        const double v = cand.v[i];
        cand.v[kept] = v;
        cand.pos[kept] = cand.pos[i];
        kept += d > v;
      }
    } else {
      for (int i = 0; i < c; ++i) {
        const double v = cand.v[i];
        cand.v[kept] = v;
        cand.pos[kept] = cand.pos[i];
        kept += !(d > v) & !(v == d);
      }
      b += less + equal;
    }
    c = kept;
  }
  if (c == 1) return cand.pos[0];
  if (cand.v[0] > cand.v[1]) {
    std::swap(cand.v[0], cand.v[1]);
    std::swap(cand.pos[0], cand.pos[1]);
  }
  return b + 2 > k + 1 ? cand.pos[0] : cand.pos[1];
}

}  // namespace

int PartitionAtMedian(int n, int axis, BuildRecord* rec, Candidates cand) {
  if (n == 1) return 0;
  auto v = [rec, axis](int i) { return rec[i].c[axis]; };
  std::swap(rec[0], rec[SelectMedianIndex(n, axis, rec, cand)]);
  const double a = v(0);
  int i = 0;
  int j = n;
  // The two-sided partition swaps the k-th element from the left that is
  // not below the pivot with the k-th from the right that is not above it,
  // for as long as the first lies left of the second. While the unscanned
  // middle is wide, those elements are found a block at a time without a
  // branch on the data (a branch per element is mispredicted about every
  // other element on unordered data), keeping the ones not yet paired for
  // the next block; the same pairs are swapped in the same order. Then the
  // scan goes on element by element from the last swapped pair.
  constexpr int kBlock = 64;
  int left[kBlock], right[kBlock];
  int nLeft = 0, nRight = 0, firstLeft = 0, firstRight = 0;
  int nextLeft = 1, nextRight = n - 1;
  while (nextRight - nextLeft + 1 >= 2 * kBlock) {
    if (nLeft == 0) {
      firstLeft = 0;
      for (int t = 0; t < kBlock; ++t) {
        left[nLeft] = nextLeft + t;
        nLeft += !(a > v(nextLeft + t));
      }
      nextLeft += kBlock;
    }
    if (nRight == 0) {
      firstRight = 0;
      for (int t = 0; t < kBlock; ++t) {
        right[nRight] = nextRight - t;
        nRight += !(v(nextRight - t) > a);
      }
      nextRight -= kBlock;
    }
    const int pairs = std::min(nLeft, nRight);
    for (int t = 0; t < pairs; ++t) std::swap(rec[left[firstLeft + t]], rec[right[firstRight + t]]);
    if (pairs > 0) {
      i = left[firstLeft + pairs - 1];
      j = right[firstRight + pairs - 1];
    }
    firstLeft += pairs;
    nLeft -= pairs;
    firstRight += pairs;
    nRight -= pairs;
  }
  for (;;) {
    ++i;
    --j;
    while (i < j && a > v(i)) ++i;
    while (i <= j && v(j) > a) --j;
    if (i >= j) break;
    std::swap(rec[i], rec[j]);
  }
  std::swap(rec[j], rec[0]);
  int r = j;
  int imbalance = n - 2 * j - 1;
  if (imbalance >= 2) {
    int k = j;
    int m = n;
    while (imbalance >= 2) {
      ++k;
      --m;
      while (k < m && a >= v(k)) {
        if (v(k) == a) {
          ++r;
          imbalance -= 2;
        }
        ++k;
      }
      while (k < m && v(m) != a) --m;
      if (k >= m || imbalance < 2) break;
      std::swap(rec[k], rec[m]);
      ++r;
      imbalance -= 2;
    }
  } else if (imbalance <= -2) {
    int m = -1;
    int k = j;
    while (imbalance <= -2) {
      ++m;
      --k;
      while (m < k && v(m) != a) ++m;
      while (m < k && v(k) >= a) {
        if (v(k) == a) {
          --r;
          imbalance += 2;
        }
        --k;
      }
      if (m >= k || imbalance > -2) break;
      std::swap(rec[m], rec[k]);
      --r;
      imbalance += 2;
    }
  }
  return r;
}

}  // namespace boxfinder
