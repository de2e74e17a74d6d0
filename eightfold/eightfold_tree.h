// Adaptive octree over one axis-aligned cube.
//
// The tree covers the cube centre +- half-size on every axis and refines it
// around points, everywhere down to a size, and by one-level-difference
// balancing (no leaf has a face neighbour two or more levels coarser). Cells
// store only their links; centres and half-sizes are derived on the way down
// from the root. The tree only grows until it is destroyed.
//
// Child numbering: bit 0 of a child index set means the +x half, bit 1 set
// the -y half and bit 2 set the -z half (x counts from the negative side, y
// and z from the positive side). Every walk over children goes 0 to 7.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace eightfold {

struct EightfoldCell {
  EightfoldCell* child[8] = {nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr};
  EightfoldCell* parent = nullptr;

  bool IsLeaf() const { return child[0] == nullptr; }
};

// The six face directions, in the order balancing examines them.
enum class FaceDirection : int { PlusY, MinusY, MinusX, PlusX, PlusZ, MinusZ };
constexpr int kFaceDirections = 6;

struct FaceNeighbourResult {
  EightfoldCell* cell;  // null when the face lies on the root cube's boundary
  int levelDifference;  // how many levels coarser the cell found is
};

class EightfoldTree {
 public:
  EightfoldTree(double x, double y, double z, double halfSize);
  ~EightfoldTree();
  EightfoldTree(const EightfoldTree&) = delete;
  EightfoldTree& operator=(const EightfoldTree&) = delete;

  // A size the refinements accept: a positive finite number.
  static bool IsUsableSize(double size);

  // Creates a leaf in every empty child slot of `cell`. Either all missing
  // children are made or, when memory runs out, none (std::bad_alloc).
  void SplitCell(EightfoldCell* cell);

  // Splits the cells around the point until their half-size is at most
  // `size`; cells within 5% of their half-size of a dividing plane refine
  // on both sides of it. Sizes that are not positive and finite, and trees
  // whose half-size is not, change nothing.
  void RefineToSize(double x, double y, double z, double size);

  // Splits every leaf whose half-size is above `size`, recursively. All or
  // nothing: the new cells are counted first, and the call returns false,
  // having made no cell, when they exceed the cell limit or the memory the
  // process can still obtain (ObtainableBytes); otherwise every cell is
  // reserved before the first split, so that std::bad_alloc, if the
  // reservation fails, also leaves the tree as it was. Unusable sizes
  // change nothing and return true.
  bool UniformRefine(double size);

  // Number of cells UniformRefine(size) would add (a double: it may exceed
  // any integer type).
  double UniformRefineNewCells(double size) const;

  // Balances the tree: splits the fewest cells so that no leaf has a face
  // neighbour two or more levels coarser.
  void RefineOneLevelDiff();

  // Half-size of the leaf containing the point. A point on a dividing plane
  // belongs to the positive side; points outside the root cube belong to
  // the boundary leaf in their direction.
  double ContainingCellSize(double x, double y, double z) const;

  // Calls visit(x, y, z, halfSize) for every leaf in pre-order. A visitor
  // that returns bool stops the walk by returning false; VisitLeaves then
  // returns false.
  template <class Visitor>
  bool VisitLeaves(Visitor&& visit) const;

  // The cell across the given face of `cell` at the same level, or the
  // coarser leaf covering that place, with the level difference.
  FaceNeighbourResult FaceNeighbour(EightfoldCell* cell, FaceDirection direction);

  EightfoldCell* Root() const { return root_; }
  const double* Centre() const { return centre_; }
  double HalfSize() const { return halfSize_; }
  std::size_t CellCount() const { return cells_; }
  std::size_t LeafCount() const { return leaves_; }

  // The most cells UniformRefine lets the tree grow to, on top of the
  // memory check; unlimited (infinity) by default.
  double CellLimit() const { return cellLimit_; }
  void SetCellLimit(double cells) { cellLimit_ = cells; }

  // Bytes this process can still allocate and use, as of now: the least of
  // the memory the system has available, the room left under the
  // address-space limit and the room left under the data-segment limit.
  static double ObtainableBytes();

  // Heap bytes the tree holds: cells, their blocks' unused room, and the
  // path stack.
  std::size_t AllocatedBytes() const {
    return blockBytes_ + sizeof(EightfoldCell) +
           sizeof(std::int32_t) * static_cast<std::size_t>(pathCapacity_);
  }

  // Capacity of the neighbour search's path stack (0 until first used).
  int PathStackCapacity() const { return pathCapacity_; }

  // The tree's whole state as bytes (eightfold_state.cpp): the root cube,
  // the cell limit, the shape (one bit per cell in pre-order), the cell
  // blocks' room and the path stack, so that LoadState gives a tree that
  // answers, refines and allocates as this one does. Appends to *out.
  void SaveState(std::string* out) const;
  // A tree from a state SaveState wrote, checked whole before the tree is
  // made; null with the reason in *error for a state that is truncated, of
  // another format version, or whose counts, shape, blocks or path stack do
  // not agree. Throws std::bad_alloc when out of memory.
  static std::unique_ptr<EightfoldTree> LoadState(const char* data, std::size_t size,
                                                  std::string* error);

 private:
  void PushPath(std::int32_t index);
  bool Refinable() const { return IsUsableSize(halfSize_); }
  // Depth below the root at which half-sizes first reach `size` (> 0).
  int LevelsDownTo(double size) const;
  EightfoldCell* TakeCells(int count);
  // Makes sure the next `count` cells come without an allocator call; may
  // throw std::bad_alloc, changing nothing.
  void ReserveCells(std::size_t count);

  // Cells below the root come from blocks owned by the tree, handed out in
  // creation order: siblings lie side by side, a split costs no allocator
  // call most of the time, and destruction frees whole blocks. The tree
  // only grows, so no cell is ever given back before the tree goes.
  std::vector<void*> blocks_;
  EightfoldCell* spare_ = nullptr;
  std::size_t spareCount_ = 0;
  std::size_t nextBlockCells_ = 64;
  std::size_t blockBytes_ = 0;

  EightfoldCell* root_;
  double centre_[3];
  double halfSize_;
  std::size_t cells_ = 1;
  std::size_t leaves_ = 1;
  double cellLimit_;

  // Path stack of FaceNeighbour: child indices from the cell up to the
  // common ancestor. Grows by 10 entries at a time and is kept for reuse.
  std::int32_t* path_ = nullptr;
  int pathCount_ = 0;
  int pathCapacity_ = 0;
};

// Index of `cell` among its parent's children.
inline int ChildIndex(const EightfoldCell* cell) {
  const EightfoldCell* parent = cell->parent;
  int i = 0;
  while (parent->child[i] != cell) ++i;
  return i;
}

// Offset sign of child `index` on axis 0 (x), 1 (y) or 2 (z).
inline double ChildSign(int index, int axis) {
  bool bit = ((index >> axis) & 1) != 0;
  if (axis == 0) return bit ? 1.0 : -1.0;
  return bit ? -1.0 : 1.0;
}

template <class Visitor>
bool EightfoldTree::VisitLeaves(Visitor&& visit) const {
  struct Frame {
    const EightfoldCell* cell;
    double c[3];
    double h;
    int next;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{root_, {centre_[0], centre_[1], centre_[2]}, halfSize_, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.cell->IsLeaf()) {
      using Result = decltype(visit(top.c[0], top.c[1], top.c[2], top.h));
      if constexpr (std::is_same<Result, bool>::value) {
        if (!visit(top.c[0], top.c[1], top.c[2], top.h)) return false;
      } else {
        visit(top.c[0], top.c[1], top.c[2], top.h);
      }
      stack.pop_back();
      continue;
    }
    if (top.next == 8) {
      stack.pop_back();
      continue;
    }
    int i = top.next++;
    double h = top.h / 2;
    Frame child{top.cell->child[i],
                {top.c[0] + ChildSign(i, 0) * h, top.c[1] + ChildSign(i, 1) * h,
                 top.c[2] + ChildSign(i, 2) * h},
                h,
                0};
    stack.push_back(child);
  }
  return true;
}

}  // namespace eightfold
