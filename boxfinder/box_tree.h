// BoxTree: a binary search tree over axis-aligned boxes in three dimensions,
// each box tagged with a 32-bit client integer, answering which boxes contain
// a point and which overlap a query box.
//
// The tree is built balanced from arrays (a split on box centres cycling
// through x, y and z by depth), then takes single insertions and removals.
// Every node records a bounding box of its whole subtree, which the queries
// prune with. Nodes come from 1000-node blocks and are freed only with the
// whole tree; a removed box is marked inactive and keeps its place.
//
// No walk recurses: insertion, removal, queries and the build use explicit
// stacks on the heap, so a degenerate (deep) tree cannot exhaust the thread's
// stack. Queries run over a compact pre-order copy of the tree when it is up
// to date and walk the linked nodes otherwise; both give the same ids in the
// same order (pre-order: a node, then its left subtree, then its right one).
//
// Not thread-safe: queries may refresh the compact copy. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "list.h"

namespace boxfinder {

struct BoxNode {
  double lo[3];
  double hi[3];
  double centre[3];
  double subtreeLo[3];
  double subtreeHi[3];
  BoxNode* left;
  BoxNode* right;
  int32_t clientId;
  uint8_t active;
};

constexpr int kNodesPerBlock = 1000;

struct NodeBlock {
  NodeBlock* previous;
  BoxNode nodes[kNodesPerBlock];
};

class BoxTree {
 public:
  BoxTree() = default;
  ~BoxTree() { DestroyTree(); }
  BoxTree(const BoxTree&) = delete;
  BoxTree& operator=(const BoxTree&) = delete;

  // Replaces the tree by a balanced one over n boxes: box i has lower corner
  // lowerCorners[3i..3i+2], upper corner upperCorners[3i..3i+2] and id
  // clientIds[i]. n <= 0 leaves the tree empty. The arrays are not modified.
  // Throws std::bad_alloc on allocation failure, leaving the tree empty.
  void BuildFromArrays(int n, const double* lowerCorners, const double* upperCorners,
                       const int32_t* clientIds);

  // Adds one box. Throws std::bad_alloc (tree unchanged) when out of memory.
  void InsertBox(const double lo[3], const double hi[3], int32_t clientId);

  // Deactivates one active box with the id, searched first by the box's
  // centre, then by containment in the subtree boxes. Returns whether one
  // was found. Never allocates.
  bool RemoveBox(const double lo[3], const double hi[3], int32_t clientId);

  // Ids of the active boxes containing p (closed boxes), in pre-order.
  void QueryPoint(const double p[3], Meshkit::List<int>& out);
  // Ids of the active boxes overlapping [qlo, qhi] (touching counts).
  void QueryRange(const double qlo[3], const double qhi[3], Meshkit::List<int>& out);

  // The same queries always over the linked nodes (the path taken while the
  // compact copy is out of date).
  void QueryPointWalk(const double p[3], Meshkit::List<int>& out) const;
  void QueryRangeWalk(const double qlo[3], const double qhi[3], Meshkit::List<int>& out) const;

  // Frees every block; the tree is empty afterwards.
  void DestroyTree();

  const BoxNode* Root() const { return root_; }
  const NodeBlock* Blocks() const { return blocks_; }
  int32_t NextFree() const { return nextFree_; }
  int64_t NodeCount() const { return nodeCount_; }
  // Levels of the deepest node (0 for an empty tree).
  int64_t Height() const { return height_; }
  bool QueryLayoutCurrent() const { return flatCurrent_; }
  // Bytes held by the tree: node blocks, compact copy and scratch stacks.
  std::size_t MemoryBytes() const;

 private:
  // Compact query layout in pre-order, one entry per node: its exact box
  // and id, and the subtree boxes of its two children rounded outwards to
  // float (which can only admit more nodes, never fewer; NaN for an absent
  // child, which admits nothing). The left child is the next entry. A walk
  // decides on both children from the parent's entry, so it only touches
  // the entries of nodes it enters.
  struct FlatEntry {
    double lo[3];  // NaN for an inactive box, so that it matches nothing
    double hi[3];
    float childLo[2][3];
    float childHi[2][3];
    int32_t right;  // index of the right child's entry
    int32_t clientId;
  };
  struct Frame {
    BoxNode* node;
    int64_t depth;  // or, while copying, the node's compact index
    int stage;
  };

  BoxNode* NewNode(const double lo[3], const double hi[3], const double centre[3],
                   int32_t clientId);
  void ReserveScratch(int64_t height, int64_t nodes);
  void MarkChanged();
  void RebuildQueryLayout();
  void SetRootBox();
  void RefreshQueryLayoutIfDue();
  template <class Enters>
  bool DeactivateFirst(int32_t clientId, Enters enters);
  bool RemoveByCentre(const double c[3], int32_t clientId);
  bool RemoveByContainment(const double lo[3], const double hi[3], int32_t clientId);
  void RefreshAndWidenStack();

  BoxNode* root_ = nullptr;
  int32_t nextFree_ = -1;
  NodeBlock* blocks_ = nullptr;
  int64_t nodeCount_ = 0;
  int64_t height_ = 0;

  // Compact pre-order copy for queries; work done by linked walks since the
  // last change decides when it is worth refreshing.
  std::vector<FlatEntry> flat_;
  float rootLo_[3] = {0, 0, 0};
  float rootHi_[3] = {0, 0, 0};
  bool flatCurrent_ = false;
  int64_t staleWork_ = 0;

  // Scratch stacks, kept with capacity for the tree's height so that
  // removals and queries never allocate.
  mutable std::vector<Frame> frames_;
  mutable std::vector<const BoxNode*> pending_;
  std::vector<int32_t> pendingEntries_;
};

// The subtree-box rules shared by build, insertion and removal. Refresh
// takes the union of the children's subtree boxes (one child: its box; a
// leaf is left alone); widening then takes in the node's own box. A NaN
// coordinate never enters a subtree box while any box below has a number
// there, so a box with NaN coordinates cannot hide its neighbours from a
// query.
void RefreshSubtreeBox(BoxNode* node);
void WidenByOwnBox(BoxNode* node);

}  // namespace boxfinder
