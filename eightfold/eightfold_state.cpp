// The octree's saved state: what pickles and copies of an Eightfold object
// carry, one byte string with a format version.
//
// Layout (little-endian), version 1:
//   char[8] "Octree", uint32 version, double centre[3], double halfSize,
//   double cellLimit, uint64 cells, uint64 leaves, uint64 blockCells (the
//   room of the cell blocks), uint64 spareCells (of it, the room the next
//   splits take), uint64 nextBlockCells, int32 pathCapacity, int32
//   pathCount, int32 path[pathCount], then the shape: one bit per cell in
//   breadth-first order (the root, its children 0 to 7, their children
//   parent by parent, ...), set for a cell with children, least
//   significant bit first, the last byte's unused bits clear.
//
// Cells store nothing but links and children come in complete sets of
// eight, so the shape is the whole tree: about one bit per cell. Centres
// and sizes follow from the root cube as they always do. The blocks are
// made again as one block of the same room with the same spare cells at
// its end, so that the loaded tree allocates as the original would, and
// the path stack keeps its capacity and contents. In breadth-first order
// the cells below the root are made in the order of their bits, eight
// siblings at a time, so the k-th cell is the block's (k-1)-th and loading
// is one pass over the bits.
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "eightfold_tree.h"
#include "state_bytes.h"

namespace eightfold {

namespace {

constexpr char kMagic[8] = "Octree";
constexpr std::uint32_t kVersion = 1;
// The first block and the largest of the growing blocks (ReserveCells).
constexpr std::uint64_t kFirstBlockCells = 64;
constexpr std::uint64_t kLargestBlockCells = 4096;
// The path stack grows by this many entries at a time (PushPath).
constexpr std::int32_t kPathGrowth = 10;

struct Header {
  double centre[3];
  double halfSize;
  double cellLimit;
  std::uint64_t cells;
  std::uint64_t leaves;
  std::uint64_t blockCells;
  std::uint64_t spareCells;
  std::uint64_t nextBlockCells;
  std::int32_t pathCapacity;
  std::int32_t pathCount;
};

std::nullptr_t Fail(std::string* error, const char* reason) {
  *error = reason;
  return nullptr;
}

bool ShapeBit(const char* bits, std::uint64_t k) {
  return ((static_cast<unsigned char>(bits[k / 8]) >> (k % 8)) & 1) != 0;
}

// Checks that the bits describe one tree of exactly `cells` cells in
// breadth-first order (every cell they name exists: a set bit makes the
// next eight) and returns its depth below the root, or -1.
int ShapeDepth(const char* bits, std::uint64_t cells) {
  std::uint64_t made = 1;
  std::uint64_t levelEnd = 1;  // the cells of the current level end here
  int depth = 0;
  for (std::uint64_t k = 0; k < made; ++k) {
    if (k == levelEnd) {
      levelEnd = made;
      ++depth;
    }
    if (ShapeBit(bits, k)) {
      made += 8;
      if (made > cells) return -1;
    }
  }
  return made == cells ? depth : -1;
}

}  // namespace

void EightfoldTree::SaveState(std::string* out) const {
  statebytes::Writer w(out);
  w.PutBytes(kMagic, sizeof kMagic);
  w.Put(kVersion);
  w.PutBytes(centre_, sizeof centre_);
  w.Put(halfSize_);
  w.Put(cellLimit_);
  w.Put(static_cast<std::uint64_t>(cells_));
  w.Put(static_cast<std::uint64_t>(leaves_));
  w.Put(static_cast<std::uint64_t>(blockBytes_ / sizeof(EightfoldCell)));
  w.Put(static_cast<std::uint64_t>(spareCount_));
  w.Put(static_cast<std::uint64_t>(nextBlockCells_));
  w.Put(static_cast<std::int32_t>(pathCapacity_));
  w.Put(static_cast<std::int32_t>(pathCount_));
  w.PutBytes(path_, sizeof(std::int32_t) * static_cast<std::size_t>(pathCount_));
  const std::size_t start = out->size();
  out->resize(start + (cells_ + 7) / 8, '\0');
  char* bits = &(*out)[start];
  std::vector<const EightfoldCell*> queue;
  queue.reserve(cells_);
  queue.push_back(root_);
  for (std::size_t k = 0; k < queue.size(); ++k) {
    const EightfoldCell* cell = queue[k];
    if (cell->IsLeaf()) continue;
    bits[k / 8] = static_cast<char>(bits[k / 8] | (1 << (k % 8)));
    for (const EightfoldCell* child : cell->child) queue.push_back(child);
  }
}

std::unique_ptr<EightfoldTree> EightfoldTree::LoadState(const char* data, std::size_t size,
                                                        std::string* error) {
  statebytes::Reader in(data, size);
  const char* magic = in.Take(sizeof kMagic);
  if (magic == nullptr) return Fail(error, "truncated header");
  if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) return Fail(error, "not an octree state");
  std::uint32_t version;
  if (!in.Get(&version)) return Fail(error, "truncated header");
  if (version != kVersion) return Fail(error, "unknown format version");
  Header h{};
  if (!in.Get(&h.centre) || !in.Get(&h.halfSize) || !in.Get(&h.cellLimit) || !in.Get(&h.cells) ||
      !in.Get(&h.leaves) || !in.Get(&h.blockCells) || !in.Get(&h.spareCells) ||
      !in.Get(&h.nextBlockCells) || !in.Get(&h.pathCapacity) || !in.Get(&h.pathCount)) {
    return Fail(error, "truncated header");
  }
  if (h.pathCapacity < 0 || h.pathCapacity % kPathGrowth != 0 || h.pathCount < 0 ||
      h.pathCount > h.pathCapacity) {
    return Fail(error, "bad path stack");
  }
  const char* path = in.Take(sizeof(std::int32_t) * static_cast<std::size_t>(h.pathCount));
  if (path == nullptr) return Fail(error, "truncated path stack");
  for (std::int32_t i = 0; i < h.pathCount; ++i) {
    std::int32_t entry;
    std::memcpy(&entry, path + sizeof entry * static_cast<std::size_t>(i), sizeof entry);
    if (entry < 0 || entry > 7) return Fail(error, "path stack entry is no child index");
  }
  // Children come in complete sets of eight below the root.
  if (h.cells == 0 || (h.cells - 1) % 8 != 0 || h.leaves != h.cells - (h.cells - 1) / 8) {
    return Fail(error, "cell and leaf counts disagree");
  }
  if (h.cells / 8 > in.Remaining() || (h.cells + 7) / 8 != in.Remaining()) {
    return Fail(error, "length does not match the cell count");
  }
  const char* bits = in.Take(in.Remaining());
  if (h.cells % 8 != 0 && (static_cast<unsigned char>(bits[h.cells / 8]) >> (h.cells % 8)) != 0) {
    return Fail(error, "bits set past the last cell");
  }
  const int depth = ShapeDepth(bits, h.cells);
  if (depth < 0) return Fail(error, "shape does not form one tree of the cell count");
  // The neighbour search pushes at most one entry per level below the root.
  if (h.pathCapacity > (depth + kPathGrowth - 1) / kPathGrowth * kPathGrowth) {
    return Fail(error, "path stack larger than the tree is deep");
  }
  // The blocks hold the cells below the root, the spare room and what
  // earlier blocks left unused, which is never more than was used: the
  // room left in a block is given up only for a larger request, which the
  // next block then fills. The growing blocks double from 64 to 4096.
  const std::uint64_t used = h.cells - 1;
  bool powerOfTwo = (h.nextBlockCells & (h.nextBlockCells - 1)) == 0;
  if (h.nextBlockCells < kFirstBlockCells || h.nextBlockCells > kLargestBlockCells || !powerOfTwo ||
      h.spareCells > h.blockCells || h.blockCells - h.spareCells < used ||
      h.blockCells - h.spareCells > 2 * used || h.spareCells > kLargestBlockCells) {
    return Fail(error, "cell blocks do not match the cell count");
  }

  // The state is sound: the tree is made.
  std::unique_ptr<EightfoldTree> tree(
      new EightfoldTree(h.centre[0], h.centre[1], h.centre[2], h.halfSize));
  tree->cellLimit_ = h.cellLimit;
  if (h.blockCells > 0) {
    const std::size_t bytes = static_cast<std::size_t>(h.blockCells) * sizeof(EightfoldCell);
    tree->blocks_.reserve(1);
    void* block = ::operator new(bytes);
    tree->blocks_.push_back(block);
    tree->blockBytes_ = bytes;
    tree->spare_ = static_cast<EightfoldCell*>(block) + (h.blockCells - h.spareCells);
    tree->spareCount_ = static_cast<std::size_t>(h.spareCells);
  }
  tree->nextBlockCells_ = static_cast<std::size_t>(h.nextBlockCells);
  if (h.pathCapacity > 0) {
    void* stack = std::malloc(sizeof(std::int32_t) * static_cast<std::size_t>(h.pathCapacity));
    if (stack == nullptr) throw std::bad_alloc();
    tree->path_ = static_cast<std::int32_t*>(stack);
    tree->pathCapacity_ = h.pathCapacity;
    std::memcpy(tree->path_, path, sizeof(std::int32_t) * static_cast<std::size_t>(h.pathCount));
    tree->pathCount_ = h.pathCount;
  }
  // Cell k of the breadth-first order is the root for k = 0, else the
  // block's cell k - 1, made when its parent's bit comes: a set bit gives
  // the cell the next eight.
  EightfoldCell* const first =
      tree->blocks_.empty() ? nullptr : static_cast<EightfoldCell*>(tree->blocks_[0]);
  std::uint64_t made = 0;
  for (std::uint64_t k = 0; k < h.cells && made < used; ++k) {
    if (!ShapeBit(bits, k)) continue;
    EightfoldCell* cell = k == 0 ? tree->root_ : first + (k - 1);
    for (int i = 0; i < 8; ++i) {
      EightfoldCell* child = new (first + made++) EightfoldCell;
      child->parent = cell;
      cell->child[i] = child;
    }
  }
  tree->cells_ = static_cast<std::size_t>(h.cells);
  tree->leaves_ = static_cast<std::size_t>(h.leaves);
  return tree;
}

}  // namespace eightfold
