// The box tree's saved state: what pickles and copies of a Boxfinder object
// carry, one byte string with a format version.
//
// Layout (little-endian), version 1:
//   header   char[8] "BoxTree", uint32 version, uint64 nodeCount,
//            uint64 blockCount, int32 nextFree, uint32 root, int64 height,
//            uint8 boundsSaved
//   nodes    nodeCount records in node-index order: double lo[3], hi[3];
//            uint32 link[2] (kNoNode when absent); int32 clientId; uint8
//            active
//   bounds   when boundsSaved: nodeCount records of double lo[3], hi[3],
//            the exact subtree boxes
//
// Saved is what the tree's history made: the boxes, links, ids and active
// flags, the exact subtree boxes (which insertion and removal keep by their
// own rules and which cannot be worked out again once the tree has
// changed; a tree not changed since its build has not worked them out yet
// and saves none), and the blocks' slot use, so that the loaded tree takes
// its next node from the slot the original would. The queries' float boxes
// and entries are functions of the nodes below, worked out again on
// loading, children before parents, as the build does.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "box_tree.h"
#include "state_bytes.h"

namespace boxfinder {
namespace {

constexpr char kMagic[8] = "BoxTree";
constexpr uint32_t kVersion = 1;
// Bytes of one node record and of one subtree box record.
constexpr std::size_t kNodeRecord =
    6 * sizeof(double) + 2 * sizeof(uint32_t) + sizeof(int32_t) + sizeof(uint8_t);
constexpr std::size_t kBoundsRecord = 6 * sizeof(double);

struct Header {
  uint64_t nodeCount;
  uint64_t blockCount;
  int32_t nextFree;
  uint32_t root;
  int64_t height;
  uint8_t boundsSaved;
};

bool Fail(std::string* error, const char* reason) {
  *error = reason;
  return false;
}

// Reads and checks the header, leaving the reader at the first node.
bool ReadHeader(statebytes::Reader& in, Header* h, std::string* error) {
  const char* magic = in.Take(sizeof kMagic);
  if (magic == nullptr) return Fail(error, "truncated header");
  if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) return Fail(error, "not a box tree state");
  uint32_t version;
  if (!in.Get(&version)) return Fail(error, "truncated header");
  if (version != kVersion) return Fail(error, "unknown format version");
  if (!in.Get(&h->nodeCount) || !in.Get(&h->blockCount) || !in.Get(&h->nextFree) ||
      !in.Get(&h->root) || !in.Get(&h->height) || !in.Get(&h->boundsSaved)) {
    return Fail(error, "truncated header");
  }
  if (h->boundsSaved > 1) return Fail(error, "bad subtree box flag");
  const std::size_t record = kNodeRecord + (h->boundsSaved ? kBoundsRecord : 0);
  if (h->nodeCount > in.Remaining() / record || h->nodeCount * record != in.Remaining()) {
    return Fail(error, "length does not match the node count");
  }
  // Node indices are 32-bit with kNoNode for none; the length check bounds
  // the count by the state's size already.
  if (h->nodeCount >= kNoNode) return Fail(error, "too many nodes");
  const uint64_t n = h->nodeCount;
  const uint64_t blocks = h->blockCount;
  const bool slotsAgree =
      h->nextFree == -1
          ? n == blocks * kNodesPerBlock
          : h->nextFree >= 0 && h->nextFree < kNodesPerBlock && blocks >= 1 &&
                n == (blocks - 1) * kNodesPerBlock + static_cast<uint64_t>(h->nextFree);
  if (blocks > n / kNodesPerBlock + 1 || !slotsAgree) {
    return Fail(error, "block slot use does not match the node count");
  }
  if ((n == 0) != (h->root == kNoNode) || (n > 0 && h->root >= n)) {
    return Fail(error, "root out of range");
  }
  return true;
}

}  // namespace

void BoxTree::SaveState(std::string* out) const {
  const std::size_t n = static_cast<std::size_t>(nodeCount_);
  statebytes::Writer w(out);
  w.PutBytes(kMagic, sizeof kMagic);
  w.Put(kVersion);
  w.Put(static_cast<uint64_t>(nodeCount_));
  w.Put(static_cast<uint64_t>(nodes_.size()));
  w.Put(nextFree_);
  w.Put(root_);
  w.Put(height_);
  w.Put(static_cast<uint8_t>(boundsReady_ ? 1 : 0));
  // The records are written in place: a tree of millions of nodes is
  // saved in one pass over its blocks.
  const std::size_t start = out->size();
  out->resize(start + n * (kNodeRecord + (boundsReady_ ? kBoundsRecord : 0)));
  char* p = &(*out)[start];
  const auto put = [&p](const void* field, std::size_t size) {
    std::memcpy(p, field, size);
    p += size;
  };
  for (uint32_t i = 0; i < static_cast<uint32_t>(n); ++i) {
    const Node& node = At(i);
    const uint8_t active = node.active != 0 ? 1 : 0;
    put(node.lo, sizeof node.lo);
    put(node.hi, sizeof node.hi);
    put(node.link, sizeof node.link);
    put(&node.clientId, sizeof node.clientId);
    put(&active, sizeof active);
  }
  if (!boundsReady_) return;
  for (uint32_t i = 0; i < static_cast<uint32_t>(n); ++i) {
    const Bounds& b = BoundsOf(i);
    put(b.lo, sizeof b.lo);
    put(b.hi, sizeof b.hi);
  }
}

bool BoxTree::LoadState(const char* data, std::size_t size, std::string* error) {
  statebytes::Reader in(data, size);
  Header h{};
  if (!ReadHeader(in, &h, error)) return false;
  const uint32_t n = static_cast<uint32_t>(h.nodeCount);
  const char* records = in.Take(static_cast<std::size_t>(n) * kNodeRecord);
  const char* bounds =
      h.boundsSaved ? in.Take(static_cast<std::size_t>(n) * kBoundsRecord) : nullptr;
  const auto recordAt = [records](uint32_t i) { return records + std::size_t{i} * kNodeRecord; };
  const auto linkOf = [&](uint32_t i, int side) {
    uint32_t link;
    std::memcpy(&link, recordAt(i) + 6 * sizeof(double) + side * sizeof(uint32_t), sizeof link);
    return link;
  };

  // Every link in range and every flag 0 or 1, then one walk from the root
  // that must meet each node exactly once: no cycle, no shared child, no
  // node outside the tree. The walk's pre-order, reversed, later gives the
  // children-first order of the queries' boxes.
  for (uint32_t i = 0; i < n; ++i) {
    for (int side = 0; side < 2; ++side) {
      const uint32_t link = linkOf(i, side);
      if (link != kNoNode && link >= n) return Fail(error, "link out of range");
      // Until the subtree boxes are worked out, they are worked out in
      // reverse index order, which needs every child after its parent, as
      // the build lays them out.
      if (!h.boundsSaved && link != kNoNode && link <= i) {
        return Fail(error, "child before its parent in a tree without subtree boxes");
      }
    }
    const uint8_t active = static_cast<uint8_t>(recordAt(i)[kNodeRecord - 1]);
    if (active > 1) return Fail(error, "bad active flag");
  }
  std::vector<uint32_t> order;
  std::vector<uint8_t> seen(n, 0);
  order.reserve(n);
  int64_t height = 0;
  if (n > 0) {
    std::vector<std::pair<uint32_t, int64_t>> stack{{h.root, 1}};
    seen[h.root] = 1;
    while (!stack.empty()) {
      const auto [i, depth] = stack.back();
      stack.pop_back();
      order.push_back(i);
      height = std::max(height, depth);
      // Right first, so that the left subtree comes first in the order.
      for (int side = 1; side >= 0; --side) {
        const uint32_t link = linkOf(i, side);
        if (link == kNoNode) continue;
        if (seen[link]) return Fail(error, "links form a cycle or share a child");
        seen[link] = 1;
        stack.emplace_back(link, depth + 1);
      }
    }
  }
  if (order.size() != n) return Fail(error, "nodes outside the tree");
  if (height != h.height) return Fail(error, "height does not match the links");

  // The state is sound: the tree is replaced.
  DestroyTree();
  try {
    const std::size_t blocks = static_cast<std::size_t>(h.blockCount);
    nodes_.reserve(blocks);
    bounds_.reserve(blocks);
    if (blocks > 0) MapBuiltBlocks(blocks);
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    for (uint32_t i = 0; i < n; ++i) {
      const char* p = recordAt(i);
      const auto get = [&p](void* field, std::size_t fieldSize) {
        std::memcpy(field, p, fieldSize);
        p += fieldSize;
      };
      Node& node = At(i);
      uint8_t active;
      get(node.lo, sizeof node.lo);
      get(node.hi, sizeof node.hi);
      get(node.link, sizeof node.link);
      get(&node.clientId, sizeof node.clientId);
      get(&active, sizeof active);
      node.active = active;
      for (FloatBox& b : node.child) std::fill(b.lo, b.hi + 3, kNaN);
      node.enter[0] = node.enter[1] = kNoNode;
      if (bounds != nullptr) {
        Bounds& b = BoundsOf(i);
        std::memcpy(b.lo, bounds + std::size_t{i} * kBoundsRecord, sizeof b.lo);
        std::memcpy(b.hi, bounds + std::size_t{i} * kBoundsRecord + sizeof b.lo, sizeof b.hi);
      }
    }
    for (std::size_t k = order.size(); k-- > 0;) RefreshChildBoxes(order[k]);
    nodeCount_ = n;
    nextFree_ = h.nextFree;
    root_ = h.root;
    height_ = h.height;
    boundsReady_ = h.boundsSaved != 0;
    if (root_ != kNoNode) {
      rootBox_ = ActiveBoxOf(root_);
      rootEnter_ = EnterOf(root_);
    }
    frames_.reserve(static_cast<std::size_t>(height_ + 1));
    scratch_.pending.reserve(static_cast<std::size_t>(height_ + 1));
    scratch_.bounds.reserve(static_cast<std::size_t>(height_ + 1));
    // The nearest-box query's single walk needs node indices in pre-order,
    // as a build lays them out; a saved tree's insertions may have ended it.
    indexOrder_ = IndicesInPreOrder();
    // The wide index is not in the state: it is laid out again here for a
    // tree never inserted into (node numbers in pre-order), as after a
    // build; a tree with insertions has it laid out once its queries pay
    // for it (RefreshQueryIndex), as after an insertion.
    if (indexOrder_) BuildQueryIndex();
  } catch (...) {
    DestroyTree();
    throw;
  }
  return true;
}

}  // namespace boxfinder
