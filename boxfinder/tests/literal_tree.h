// A word-for-word, recursive rendering of the box tree's algorithms (build
// moving all four working arrays, insertion, removal, and the queries that
// prune on one axis of the parent's subtree box), kept only to check the
// production tree against: same shape, same ids in the same order.
//
// Removal here matches only active nodes, like the production tree; with
// `matchInactive` set it also matches removed nodes, which is how a removal
// could land on a dead node and leave the live box in place.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "box_tree.h"

namespace literal {

using boxfinder::BoxNode;

inline void Refresh(BoxNode* n) {
  if (n->left && n->right) {
    for (int a = 0; a < 3; ++a) {
      n->subtreeLo[a] = n->left->subtreeLo[a] < n->right->subtreeLo[a] ? n->left->subtreeLo[a]
                                                                       : n->right->subtreeLo[a];
      n->subtreeHi[a] = n->left->subtreeHi[a] > n->right->subtreeHi[a] ? n->left->subtreeHi[a]
                                                                       : n->right->subtreeHi[a];
    }
  } else if (n->left || n->right) {
    const BoxNode* c = n->left ? n->left : n->right;
    std::memcpy(n->subtreeLo, c->subtreeLo, sizeof n->subtreeLo);
    std::memcpy(n->subtreeHi, c->subtreeHi, sizeof n->subtreeHi);
  }
}

inline void Widen(BoxNode* n) {
  for (int a = 0; a < 3; ++a) {
    if (n->subtreeLo[a] > n->lo[a]) n->subtreeLo[a] = n->lo[a];
    if (n->hi[a] > n->subtreeHi[a]) n->subtreeHi[a] = n->hi[a];
  }
}

struct Tree {
  BoxNode* root = nullptr;
  std::vector<BoxNode*> owned;
  bool matchInactive = false;

  Tree() = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  ~Tree() {
    for (BoxNode* n : owned) delete n;
  }

  BoxNode* NewNode(const double lo[3], const double hi[3], const double c[3], int32_t id) {
    BoxNode* n = new BoxNode;
    owned.push_back(n);
    for (int a = 0; a < 3; ++a) {
      n->lo[a] = lo[a];
      n->hi[a] = hi[a];
      n->centre[a] = c[a];
      n->subtreeLo[a] = lo[a];
      n->subtreeHi[a] = hi[a];
    }
    n->left = n->right = nullptr;
    n->clientId = id;
    n->active = 1;
    return n;
  }

  // Working arrays of the build.
  std::vector<double> L, H, C;
  std::vector<int32_t> I;

  double V(int base, int i, int axis) const { return C[3 * (base + i) + axis]; }
  void Swap(int base, int i, int j) {
    for (int a = 0; a < 3; ++a) {
      std::swap(L[3 * (base + i) + a], L[3 * (base + j) + a]);
      std::swap(H[3 * (base + i) + a], H[3 * (base + j) + a]);
      std::swap(C[3 * (base + i) + a], C[3 * (base + j) + a]);
    }
    std::swap(I[base + i], I[base + j]);
  }

  int SelectMedianIndex(int base, int n, int axis) const {
    if (n == 1) return 0;
    int k = n / 2, b = 0, c = n;
    std::vector<int> cand(n);
    for (int i = 0; i < n; ++i) cand[i] = i;
    auto v = [&](int ci) { return V(base, cand[ci], axis); };
    while (c > 2) {
      double d = ((v(c / 2) + v(0)) + v(c - 1)) / 3.0;
      int less = 0, equal = 0;
      for (int i = 0; i < c; ++i) {
        if (d > v(i)) ++less;
        if (v(i) == d) ++equal;
      }
      if (less + equal == 0 || less == c || equal == c) return cand[0];
      std::vector<int> kept;
      if (k < b + less) {
        for (int i = 0; i < c; ++i)
          if (v(i) < d) kept.push_back(cand[i]);
        c = less;
      } else if (k < b + less + equal) {
        for (int i = 0; i < c; ++i)
          if (v(i) == d) kept.push_back(cand[i]);
        b = b + less;
        c = equal;
      } else {
        for (int i = 0; i < c; ++i)
          if (v(i) > d) kept.push_back(cand[i]);
        b = b + less + equal;
        c = c - less - equal;
      }
      for (int i = 0; i < c; ++i) cand[i] = kept[i];
    }
    if (c == 1) return cand[0];
    if (v(0) > v(1)) std::swap(cand[0], cand[1]);
    return b + 2 > k + 1 ? cand[0] : cand[1];
  }

  int PartitionAtMedian(int base, int n, int axis) {
    if (n == 1) return 0;
    auto v = [&](int i) { return V(base, i, axis); };
    Swap(base, SelectMedianIndex(base, n, axis), 0);
    double a = v(0);
    int i = 0, j = n;
    for (;;) {
      i = i + 1;
      j = j - 1;
      while (a > v(i) && i < j) i = i + 1;
      while (v(j) > a && i <= j) j = j - 1;
      if (i >= j) break;
      Swap(base, i, j);
    }
    Swap(base, j, 0);
    int r = j, imbalance = n - 2 * j - 1;
    if (imbalance >= 2) {
      int k = j, m = n;
      while (imbalance >= 2) {
        k = k + 1;
        m = m - 1;
        while (a >= v(k) && k < m) {
          if (v(k) == a) {
            r = r + 1;
            imbalance = imbalance - 2;
          }
          k = k + 1;
        }
        while (v(m) != a && k < m) m = m - 1;
        if (k >= m || imbalance < 2) break;
        Swap(base, k, m);
        r = r + 1;
        imbalance = imbalance - 2;
      }
    } else if (imbalance <= -2) {
      int m = -1, k = j;
      while (imbalance <= -2) {
        m = m + 1;
        k = k - 1;
        while (v(m) != a && m < k) m = m + 1;
        while (v(k) >= a && m < k) {
          if (v(k) == a) {
            r = r - 1;
            imbalance = imbalance + 2;
          }
          k = k - 1;
        }
        if (m >= k || imbalance > -2) break;
        Swap(base, m, k);
        r = r - 1;
        imbalance = imbalance + 2;
      }
    }
    return r;
  }

  void BuildSubtree(BoxNode** slot, int base, int n, int depth) {
    int r = PartitionAtMedian(base, n, depth % 3);
    BoxNode* node =
        NewNode(&L[3 * (base + r)], &H[3 * (base + r)], &C[3 * (base + r)], I[base + r]);
    *slot = node;
    if (r > 0) BuildSubtree(&node->left, base, r, depth + 1);
    if (r < n - 1) BuildSubtree(&node->right, base + r + 1, n - r - 1, depth + 1);
    Refresh(node);
    Widen(node);
  }

  void BuildFromArrays(int n, const double* lo, const double* hi, const int32_t* ids) {
    root = nullptr;
    if (n <= 0) return;
    L.assign(lo, lo + 3 * n);
    H.assign(hi, hi + 3 * n);
    C.resize(3 * n);
    for (int i = 0; i < 3 * n; ++i) C[i] = (L[i] + H[i]) * 0.5;
    I.assign(ids, ids + n);
    BuildSubtree(&root, 0, n, 0);
  }

  static void Take(BoxNode* n, const double lo[3], const double hi[3], const double c[3],
                   int32_t id) {
    std::memcpy(n->lo, lo, 24);
    std::memcpy(n->hi, hi, 24);
    std::memcpy(n->centre, c, 24);
    n->clientId = id;
    n->active = 1;
  }
  static void TakeContent(BoxNode* to, const BoxNode* from) {
    std::memcpy(to->lo, from->lo, 24);
    std::memcpy(to->hi, from->hi, 24);
    std::memcpy(to->centre, from->centre, 24);
    to->clientId = from->clientId;
    to->active = from->active;
  }

  void Insert(BoxNode* node, const double lo[3], const double hi[3], const double c[3], int32_t id,
              int depth) {
    int axis = depth % 3;
    if (node->left && node->right) {
      Insert(node->centre[axis] > c[axis] ? node->left : node->right, lo, hi, c, id, depth + 1);
    } else if (!node->left) {
      if (node->centre[axis] > c[axis]) {
        node->left = NewNode(lo, hi, c, id);
      } else {
        BoxNode* copy = NewNode(node->lo, node->hi, node->centre, node->clientId);
        copy->active = node->active;
        node->left = copy;
        Take(node, lo, hi, c, id);
      }
    } else {
      if (c[axis] >= node->centre[axis]) {
        node->right = NewNode(lo, hi, c, id);
      } else {
        BoxNode* copy = NewNode(node->lo, node->hi, node->centre, node->clientId);
        copy->active = node->active;
        node->right = copy;
        if (c[axis] > node->left->centre[axis]) {
          Take(node, lo, hi, c, id);
        } else {
          double slo[3], shi[3];
          std::memcpy(slo, node->subtreeLo, 24);
          std::memcpy(shi, node->subtreeHi, 24);
          TakeContent(node, node->left);
          Take(node->left, lo, hi, c, id);
          for (int a = 0; a < 3; ++a) {
            node->left->subtreeLo[a] = slo[a] < lo[a] ? slo[a] : lo[a];
            node->left->subtreeHi[a] = shi[a] > hi[a] ? shi[a] : hi[a];
          }
        }
      }
    }
    Refresh(node);
    Widen(node);
  }

  void InsertBox(const double lo[3], const double hi[3], int32_t id) {
    double c[3];
    for (int a = 0; a < 3; ++a) c[a] = (lo[a] + hi[a]) * 0.5;
    if (!root) {
      root = NewNode(lo, hi, c, id);
      return;
    }
    Insert(root, lo, hi, c, id, 0);
  }

  bool Matches(const BoxNode* n, int32_t id) const {
    return n->clientId == id && (matchInactive || n->active);
  }

  bool RemoveByCentre(BoxNode* node, const double c[3], int32_t id, int depth) {
    int axis = depth % 3;
    if (Matches(node, id)) {
      node->active = 0;
      Refresh(node);
      return true;
    }
    bool found = false;
    if (node->left &&
        (node->centre[axis] >= c[axis] || node->centre[axis] == node->left->centre[axis]))
      found = RemoveByCentre(node->left, c, id, depth + 1);
    if (!found) {
      if (node->right &&
          (c[axis] >= node->centre[axis] || node->centre[axis] == node->right->centre[axis]))
        found = RemoveByCentre(node->right, c, id, depth + 1);
      if (!found) return false;
    }
    Refresh(node);
    Widen(node);
    return true;
  }

  static bool Holds(const BoxNode* n, const double lo[3], const double hi[3]) {
    for (int a = 0; a < 3; ++a)
      if (!(lo[a] >= n->subtreeLo[a] && n->subtreeHi[a] >= hi[a])) return false;
    return true;
  }

  bool RemoveByContainment(BoxNode* node, const double lo[3], const double hi[3], int32_t id) {
    if (Matches(node, id)) {
      node->active = 0;
      Refresh(node);
      return true;
    }
    bool found = false;
    if (node->left && Holds(node->left, lo, hi))
      found = RemoveByContainment(node->left, lo, hi, id);
    if (!found) {
      if (node->right && Holds(node->right, lo, hi))
        found = RemoveByContainment(node->right, lo, hi, id);
      if (!found) return false;
    }
    Refresh(node);
    Widen(node);
    return true;
  }

  bool RemoveBox(const double lo[3], const double hi[3], int32_t id) {
    if (!root) return false;
    double c[3];
    for (int a = 0; a < 3; ++a) c[a] = (lo[a] + hi[a]) * 0.5;
    return RemoveByCentre(root, c, id, 0) || RemoveByContainment(root, lo, hi, id);
  }
};

// The queries exactly as written: the children are pruned on one axis of
// THIS node's subtree box.
inline void QueryPointAt(const BoxNode* node, const double p[3], int depth, std::vector<int>& out) {
  for (;;) {
    if (node->active && node->lo[0] <= p[0] && p[0] <= node->hi[0] && node->lo[1] <= p[1] &&
        p[1] <= node->hi[1] && node->lo[2] <= p[2] && p[2] <= node->hi[2])
      out.push_back(node->clientId);
    int axis = depth % 3;
    if (node->left && node->subtreeHi[axis] >= p[axis]) QueryPointAt(node->left, p, depth + 1, out);
    if (node->right && p[axis] >= node->subtreeLo[axis]) {
      node = node->right;
      ++depth;
    } else {
      return;
    }
  }
}

inline void QueryRangeAt(const BoxNode* node, const double qlo[3], const double qhi[3], int depth,
                         std::vector<int>& out) {
  for (;;) {
    if (node->active && qhi[0] >= node->lo[0] && node->hi[0] >= qlo[0] && qhi[1] >= node->lo[1] &&
        node->hi[1] >= qlo[1] && qhi[2] >= node->lo[2] && node->hi[2] >= qlo[2])
      out.push_back(node->clientId);
    int axis = depth % 3;
    if (node->left && node->subtreeHi[axis] >= qlo[axis])
      QueryRangeAt(node->left, qlo, qhi, depth + 1, out);
    if (node->right && qhi[axis] >= node->subtreeLo[axis]) {
      node = node->right;
      ++depth;
    } else {
      return;
    }
  }
}

inline std::vector<int> QueryPoint(const BoxNode* root, const double p[3]) {
  std::vector<int> out;
  if (root) QueryPointAt(root, p, 0, out);
  return out;
}

inline std::vector<int> QueryRange(const BoxNode* root, const double qlo[3], const double qhi[3]) {
  std::vector<int> out;
  if (root) QueryRangeAt(root, qlo, qhi, 0, out);
  return out;
}

// The nearest boxes by brute force, as the rule is written: every active
// box in pre-order with its distance (per axis the larger of lo - p where
// p < lo and p - hi where p > hi, else 0; sqrt((gx² + gy²) + gz²)), boxes
// with a NaN coordinate left out, a stable sort by distance, then the first
// k of those at most maxDistance away. Nothing for a NaN point or k < 1.
struct Near {
  int32_t id;
  double distance;
  bool operator==(const Near& o) const { return id == o.id && distance == o.distance; }
};

inline std::vector<Near> Nearest(const BoxNode* root, const double p[3], int k,
                                 double maxDistance) {
  std::vector<Near> all;
  if (k < 1 || std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2])) return all;
  std::vector<const BoxNode*> stack;
  if (root) stack.push_back(root);
  while (!stack.empty()) {
    const BoxNode* n = stack.back();
    stack.pop_back();
    bool hasNaN = false;
    for (int a = 0; a < 3; ++a) hasNaN = hasNaN || std::isnan(n->lo[a]) || std::isnan(n->hi[a]);
    if (n->active && !hasNaN) {
      double g[3];
      for (int a = 0; a < 3; ++a) {
        g[a] = 0.0;
        if (p[a] < n->lo[a]) g[a] = n->lo[a] - p[a];
        if (p[a] > n->hi[a] && p[a] - n->hi[a] > g[a]) g[a] = p[a] - n->hi[a];
      }
      const double d = std::sqrt((g[0] * g[0] + g[1] * g[1]) + g[2] * g[2]);
      if (d <= maxDistance) all.push_back(Near{n->clientId, d});
    }
    if (n->right) stack.push_back(n->right);
    if (n->left) stack.push_back(n->left);
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const Near& a, const Near& b) { return a.distance < b.distance; });
  if (all.size() > static_cast<std::size_t>(k)) all.resize(static_cast<std::size_t>(k));
  return all;
}

}  // namespace literal
