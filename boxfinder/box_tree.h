// BoxTree: a binary search tree over axis-aligned boxes in three dimensions,
// each box tagged with a 32-bit client integer, answering which boxes contain
// a point and which overlap a query box.
//
// The tree is built balanced from arrays (a split on box centres cycling
// through x, y and z by depth), then takes single insertions and removals.
// Nodes come from 1000-node blocks and are freed only with the whole tree; a
// removed box is marked inactive and keeps its place.
//
// One representation serves queries and updates. A node holds its exact box,
// its id, its active flag, 32-bit links to its children (node indices: block
// index * 1000 + slot) and, for each child, a float box around the active
// boxes of the child's subtree, which the queries prune with before they
// touch the child, so that a subtree of removed boxes costs a query nothing.
// Beside each link a node keeps where a query entering that child goes on,
// past removed boxes with a single live side below them. The exact subtree
// box that guides removal by containment lives in the same block, apart
// from the nodes and out of the queries' way; after a build it is worked out
// at the first change.
//
// No walk recurses: insertion, removal, queries and the build use explicit
// stacks on the heap, so a degenerate (deep) tree cannot exhaust the thread's
// stack. Queries give the ids in pre-order: a node, then its left subtree,
// then its right one. Changes are not thread-safe, and the single queries
// share scratch stacks; the batch queries keep their own, so one may run
// in another thread while single queries run (nothing may change the tree
// meanwhile).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <meshkit/list.h>

#include "query_index.h"

namespace boxfinder {

// A node in linked form, as ExportNodes hands it out for inspection: the
// box, its centre, the exact subtree box kept by the insertion and removal
// rules, the links, the id and the active flag.
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

// The Euclidean distance from p to the closed box [lo, hi]: 0 when the box
// holds p. On each axis the gap is the larger of lo - p (when p < lo) and
// p - hi (when p > hi), else 0; the distance is sqrt((gx*gx + gy*gy) +
// gz*gz) in doubles, in that order (so beyond about 1e154 it is infinite).
// An inverted box (lo > hi on an axis) holds no point: on that axis its gap
// is the larger of p's distances to the planes lo and hi that p would have
// to lie between, never 0 and at least half the inversion. A box with a
// NaN coordinate holds nothing and is at no distance (NaN); the queries
// never return it.
double BoxDistance(const double lo[3], const double hi[3], const double p[3]);

// Compressed rows of a batch query: the ids of query i are
// ids[offsets[i]] .. ids[offsets[i + 1] - 1]; offsets has one entry more
// than there were queries, the first 0.
struct IdRows {
  std::vector<int64_t> offsets;
  std::vector<int32_t> ids;
  std::vector<double> distances;  // NearestMany with distances only
};
constexpr uint32_t kNoNode = 0xffffffffu;

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
  void QueryPoint(const double p[3], Meshkit::List<int>& out) const;
  // Ids of the active boxes overlapping [qlo, qhi] (touching counts).
  void QueryRange(const double qlo[3], const double qhi[3], Meshkit::List<int>& out) const;

  // Ids of the k active boxes nearest p by BoxDistance, nearest first;
  // boxes at equal distance in pre-order, so the boxes holding p come first
  // in QueryPoint's order. Only boxes at most maxDistance away count; with
  // fewer than k of them, all. None when p has a NaN coordinate, k < 1 or
  // maxDistance is NaN or negative. `distances`, when given, gets the
  // distances in the same order. For k <= kInlineNearest it allocates
  // nothing beyond the result lists once its queue has grown to what the
  // tree's queries need. Through the wide index when it is ready.
  void Nearest(const double p[3], int k, double maxDistance, Meshkit::List<int>& out,
               Meshkit::List<double>* distances = nullptr) const;

  // The batch forms: query i's ids exactly as the single query gives them,
  // as compressed rows (rows->distances too when withDistances). Points,
  // lows and highs are n rows of three doubles. They read the tree only and
  // keep their own scratch stacks (see the class comment). Throw
  // std::bad_alloc when out of memory.
  void QueryPointMany(const double* points, int64_t n, IdRows* rows) const;
  void QueryRangeMany(const double* lows, const double* highs, int64_t n, IdRows* rows) const;
  void NearestMany(const double* points, int64_t n, int k, double maxDistance, bool withDistances,
                   IdRows* rows) const;

  // Lays the wide query index out again once it pays: after insertions
  // have set it aside, when the point, range and nearest queries since
  // have walked the binary tree about as long as a layout takes (an eighth
  // of the node count in queries), so that layouts cost at most about what
  // the queries they speed up cost. Nothing changes in any result. It
  // rewrites what the queries read: call it only where no query runs (the
  // Python layer calls it before each query while no batch reads the tree).
  // Out of memory, the queries go on walking the binary tree.
  void RefreshQueryIndex() noexcept;
  // Whether the point and range queries answer through the wide index.
  bool QueryIndexReady() const { return index_.Ready(); }

  // The tree's whole state as bytes (box_tree_state.cpp): every node's box,
  // id, active flag and links, the exact subtree boxes once in use, the
  // root and the node blocks' slot use, so that LoadState gives a tree that
  // answers and changes as this one does. Appends to *out.
  void SaveState(std::string* out) const;
  // Replaces the tree by the one a SaveState wrote. The state is checked
  // whole before anything changes: false, with the tree untouched and the
  // reason in *error, for a state that is truncated, of another format
  // version, or whose links do not form one tree over all its nodes.
  // Throws std::bad_alloc, leaving the tree empty, when out of memory.
  bool LoadState(const char* data, std::size_t size, std::string* error);

  // Frees every block; the tree is empty afterwards.
  void DestroyTree();

  // The nodes in linked form, one per node index (out[i] is node i); returns
  // the root (null for an empty tree). For inspection and tests.
  const BoxNode* ExportNodes(std::vector<BoxNode>& out) const;

  // Batch queries reading the tree from threads that released the
  // interpreter lock: the Python layer counts them (under the lock) and
  // refuses changes while any runs. A BatchRead counts one for its life.
  int BatchReaders() const { return batchReaders_; }
  class BatchRead {
   public:
    explicit BatchRead(const BoxTree& tree) : tree_(tree) { ++tree_.batchReaders_; }
    ~BatchRead() { --tree_.batchReaders_; }
    BatchRead(const BatchRead&) = delete;
    BatchRead& operator=(const BatchRead&) = delete;

   private:
    const BoxTree& tree_;
  };

  uint32_t RootIndex() const { return root_; }
  int64_t BlockCount() const { return static_cast<int64_t>(nodes_.size()); }
  // Slot of the newest block that the next node takes; -1 when there is no
  // block yet or the newest one is used up.
  int32_t NextFree() const { return nextFree_; }
  int64_t NodeCount() const { return nodeCount_; }
  // Levels of the deepest node (0 for an empty tree).
  int64_t Height() const { return height_; }
  // Bytes held by the tree: node blocks (without the exact subtree boxes of
  // a build not yet changed), block tables and scratch stacks.
  std::size_t MemoryBytes() const;

 private:
  // A box rounded outwards to float, around the active boxes of a subtree;
  // NaN throughout when there is none (NaN admits nothing).
  struct FloatBox {
    float lo[3];
    float hi[3];
  };
  // What a query reads, 120 bytes. A node keeps its children's float boxes,
  // so that a query decides whether to enter a child before it touches the
  // child's record: a rejected child costs no memory access. Slots are used
  // in ascending order, so the balanced build lays the nodes out in
  // pre-order: a node's left child is the next record and a query walks the
  // storage forwards.
  struct Node {
    double lo[3];
    double hi[3];
    FloatBox child[2];  // left, right; NaN for an absent child
    uint32_t link[2];   // left, right; kNoNode when absent
    // Where a query entering the child goes: past the removed boxes at the
    // top of the child's subtree that have only one child with active boxes
    // below them (kept as a removed box is moved again and again), which
    // give nothing and hold the same active box as that child.
    uint32_t enter[2];
    int32_t clientId;
    uint32_t active;
  };
  struct Bounds {
    double lo[3];
    double hi[3];
  };
  struct NodeBlock {
    Node nodes[kNodesPerBlock];
    Bounds bounds[kNodesPerBlock];
  };
  struct Frame {
    uint32_t node;
    int stage;
    int64_t depth;
  };
  // Working room of one query walk: the right children waiting, and for
  // the nearest boxes their distance bounds and the best-first queue.
  struct Queued {
    double bound;
    uint32_t index;
  };
  // The best-first queue's room in a batch's scratch.
  static constexpr std::size_t kQueueRoom = 256;
  struct Scratch {
    std::vector<const Node*> pending;
    std::vector<double> bounds;
    std::vector<Queued> queue;
    std::vector<QueryIndex::Frame> wide;
    std::vector<QueryIndex::Waiting> wideStack;
  };

  Node& At(uint32_t i) const { return nodes_[i / kNodesPerBlock][i % kNodesPerBlock]; }
  Bounds& BoundsOf(uint32_t i) const { return bounds_[i / kNodesPerBlock][i % kNodesPerBlock]; }
  void MapBuiltBlocks(std::size_t blocks);
  void AddBlock();
  void EnsureBounds() const;
  void ReserveForInsertion();
  uint32_t NewNode(const double lo[3], const double hi[3], int32_t clientId, uint32_t active);
  void RefreshBounds(uint32_t i) const;
  void WidenBounds(uint32_t i) const;
  FloatBox ActiveBoxOf(uint32_t i) const;
  uint32_t EnterOf(uint32_t i) const;
  void RefreshChildBoxes(uint32_t i);
  bool StoreActiveBox(uint32_t i, uint32_t parent);
  void RefreshAndWidenStack(bool activeChanged);
  template <class Enters>
  bool DeactivateFirst(int32_t clientId, Enters enters);
  const Node* RootEntry() const { return root_ == kNoNode ? nullptr : &At(rootEnter_); }
  void PointWith(Scratch& scratch, const double p[3], Meshkit::List<int>& out) const;
  void RangeWith(Scratch& scratch, const double qlo[3], const double qhi[3],
                 Meshkit::List<int>& out) const;
  void NearestWith(Scratch& scratch, const double p[3], int k, double maxDistance,
                   Meshkit::List<int>& out, Meshkit::List<double>* distances) const;
  Scratch NewScratch() const;
  // Whether node i is the i-th node in pre-order for every i (as a build
  // lays them out), by a walk over the links.
  bool IndicesInPreOrder() const;
  // Lays the wide query index out over the binary tree (box_tree_index.cpp).
  void BuildQueryIndex();
  // Frees the index and its node-to-entry table; the walks count from 0.
  void DropIndex();
  // Sets the index aside before a change it cannot follow.
  void SetIndexAside();
  // The child a query entering node i on `side` goes to: past removed boxes
  // with a single live side below them; kNoNode when the side holds no
  // active box that can match.
  uint32_t LiveChild(uint32_t i, int side) const;
  // Counts a query that walked the binary tree because the index was set aside.
  void CountWalk(int64_t queries) const {
    if (!index_.Ready()) walked_.fetch_add(queries, std::memory_order_relaxed);
  }

  // Block b's nodes and subtree boxes. The build's blocks, which come
  // first, lie in two mappings of their own (one for the nodes, one for the
  // subtree boxes); blocks added later are allocated one by one and owned
  // through added_.
  std::vector<Node*> nodes_;
  std::vector<Bounds*> bounds_;
  std::vector<NodeBlock*> added_;
  void* builtNodes_ = nullptr;
  void* builtBounds_ = nullptr;
  std::size_t builtNodeBytes_ = 0;
  std::size_t builtBoundsBytes_ = 0;
  // Whether the subtree boxes of the built nodes have been worked out: the
  // build leaves that to the first insertion or removal, as only those read
  // them, and until then their pages stay untouched.
  mutable bool boundsReady_ = true;
  // Whether the node indices are the pre-order ranks, as the build lays
  // the nodes out; the first insertion ends that (removal moves nothing).
  bool indexOrder_ = true;
  mutable int batchReaders_ = 0;
  uint32_t root_ = kNoNode;
  // The root's active box and entry, kept here as a parent would.
  FloatBox rootBox_{};
  uint32_t rootEnter_ = kNoNode;
  int32_t nextFree_ = -1;
  int64_t nodeCount_ = 0;
  int64_t height_ = 0;

  // The wide query index while it mirrors the tree (after a build, a load
  // or a layout after insertions, through removals), and where each node's
  // entry lies in it (wide node * QueryIndex::kSlots + slot; kNoNode for a
  // node a query cannot reach).
  QueryIndex index_;
  std::vector<uint32_t> slotOf_;
  // Queries that walked the binary tree since the index was set aside
  // (batches in other threads count too, hence atomic).
  mutable std::atomic<int64_t> walked_{0};

  // Scratch stacks, kept with capacity for the tree's height so that
  // removals and queries never allocate.
  std::vector<Frame> frames_;
  mutable Scratch scratch_;
};

}  // namespace boxfinder
