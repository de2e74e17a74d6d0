#include "eightfold_tree.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace eightfold {

namespace {

// Per face direction: the axis bit mirrored when crossing the face, and the
// value that bit has in the children whose neighbour in that direction is a
// sibling.
struct FaceRule {
  int bit;
  int siblingValue;
};
constexpr FaceRule kFaceRules[kFaceDirections] = {
    {2, 2},  // +y: children 2, 3, 6, 7
    {2, 0},  // -y: children 0, 1, 4, 5
    {1, 1},  // -x: children 1, 3, 5, 7
    {1, 0},  // +x: children 0, 2, 4, 6
    {4, 4},  // +z: children 4, 5, 6, 7
    {4, 0},  // -z: children 0, 1, 2, 3
};

bool InSiblingSet(int index, const FaceRule& rule) {
  return (index & rule.bit) == rule.siblingValue;
}

constexpr double kUnlimited = std::numeric_limits<double>::infinity();

// The value in kB of the line starting with `key` (as "MemAvailable:") in a
// /proc file, or a negative number when the file or the line is missing.
double ProcKilobytes(const char* path, const char* key) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  char line[256];
  double kb = -1;
  std::size_t keyLength = std::strlen(key);
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, key, keyLength) == 0) {
      kb = std::strtod(line + keyLength, nullptr);
      break;
    }
  }
  std::fclose(file);
  return kb;
}

// Room left under a resource limit, given what the process uses of it now
// (kB from /proc/self/status); unlimited when no limit is set.
double RoomUnderLimit(int resource, const char* usageKey) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  double used = ProcKilobytes("/proc/self/status", usageKey);
  double room = static_cast<double>(limit.rlim_cur) - 1024 * std::max(used, 0.0);
  return std::max(room, 0.0);
}

}  // namespace

EightfoldTree::EightfoldTree(double x, double y, double z, double halfSize)
    : root_(new EightfoldCell), centre_{x, y, z}, halfSize_(halfSize), cellLimit_(kUnlimited) {}

EightfoldTree::~EightfoldTree() {
  // Cells hold nothing but links: the blocks go as they are.
  for (void* block : blocks_) ::operator delete(block);
  delete root_;
  std::free(path_);
}

void EightfoldTree::ReserveCells(std::size_t count) {
  if (spareCount_ >= count) return;
  // The spare cells of the current block, if any, stay unused.
  std::size_t cells = std::max(count, nextBlockCells_);
  blocks_.reserve(blocks_.size() + 1);
  void* block = ::operator new(cells * sizeof(EightfoldCell));
  blocks_.push_back(block);
  blockBytes_ += cells * sizeof(EightfoldCell);
  spare_ = static_cast<EightfoldCell*>(block);
  spareCount_ = cells;
  if (nextBlockCells_ < 4096) nextBlockCells_ *= 2;
}

EightfoldCell* EightfoldTree::TakeCells(int count) {
  std::size_t n = static_cast<std::size_t>(count);
  ReserveCells(n);
  EightfoldCell* first = spare_;
  spare_ += n;
  spareCount_ -= n;
  return first;
}

bool EightfoldTree::IsUsableSize(double size) { return std::isfinite(size) && size > 0; }

double EightfoldTree::ObtainableBytes() {
  // Physical memory alone is not enough: a block the allocator grants
  // beyond the memory actually available gets the process killed when its
  // pages are first touched, and one beyond a limit fails midway.
  double available = 1024 * ProcKilobytes("/proc/meminfo", "MemAvailable:");
  if (available < 0) {
    long pages = sysconf(_SC_AVPHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    available = pages > 0 && pageSize > 0
                    ? static_cast<double>(pages) * static_cast<double>(pageSize)
                    : kUnlimited;
  }
  return std::min(
      {available, RoomUnderLimit(RLIMIT_AS, "VmSize:"), RoomUnderLimit(RLIMIT_DATA, "VmData:")});
}

void EightfoldTree::SplitCell(EightfoldCell* cell) {
  int missing = 0;
  for (EightfoldCell* c : cell->child) missing += c == nullptr;
  if (missing == 0) return;
  bool wasLeaf = cell->IsLeaf();
  EightfoldCell* made = TakeCells(missing);  // may throw; nothing linked yet
  for (int i = 0; i < 8; ++i) {
    if (cell->child[i] != nullptr) continue;
    EightfoldCell* child = new (made++) EightfoldCell;
    child->parent = cell;
    cell->child[i] = child;
  }
  cells_ += static_cast<std::size_t>(missing);
  leaves_ += static_cast<std::size_t>(missing);
  if (wasLeaf) --leaves_;
}

void EightfoldTree::RefineToSize(double x, double y, double z, double size) {
  if (!IsUsableSize(size) || !Refinable()) return;
  const double p[3] = {x, y, z};
  struct Frame {
    EightfoldCell* cell;
    double c[3];
    double h;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{root_, {centre_[0], centre_[1], centre_[2]}, halfSize_});
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (size >= f.h) continue;
    double t = 0.05 * f.h;
    SplitCell(f.cell);
    // touched[axis][0]: the positive half, [1]: the negative half.
    bool touched[3][2];
    for (int a = 0; a < 3; ++a) {
      touched[a][0] = f.c[a] - t < p[a] && p[a] < f.c[a] + f.h + t;
      touched[a][1] = f.c[a] - f.h - t < p[a] && p[a] < f.c[a] + t;
    }
    double h = f.h / 2;
    // Pushed in reverse so that children are refined in index order.
    for (int i = 7; i >= 0; --i) {
      bool xs = touched[0][(i & 1) ? 0 : 1];
      bool ys = touched[1][(i & 2) ? 1 : 0];
      bool zs = touched[2][(i & 4) ? 1 : 0];
      if (!(xs && ys && zs)) continue;
      stack.push_back(Frame{f.cell->child[i],
                            {f.c[0] + ChildSign(i, 0) * h, f.c[1] + ChildSign(i, 1) * h,
                             f.c[2] + ChildSign(i, 2) * h},
                            h});
    }
  }
}

int EightfoldTree::LevelsDownTo(double size) const {
  // Halving ends: size is positive, and h reaches it or underflows to 0.
  int levels = 0;
  double h = halfSize_;
  while (size < h) {
    h /= 2;
    ++levels;
  }
  return levels;
}

double EightfoldTree::UniformRefineNewCells(double size) const {
  if (!IsUsableSize(size) || !Refinable()) return 0;
  int levels = LevelsDownTo(size);
  if (levels == 0) return 0;
  // Every leaf shallower than that depth grows a complete subtree down to
  // it: 8 + 64 + ... + 8^k new cells for a leaf k levels short.
  std::vector<double> subtree(static_cast<std::size_t>(levels) + 1, 0.0);
  for (int k = 1; k <= levels; ++k) subtree[k] = 8 * (subtree[k - 1] + 1);
  double total = 0;
  struct Frame {
    const EightfoldCell* cell;
    int depth;
  };
  std::vector<Frame> stack{Frame{root_, 0}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (f.depth >= levels) continue;
    if (f.cell->IsLeaf()) {
      total += subtree[levels - f.depth];
      continue;
    }
    for (int i = 0; i < 8; ++i) stack.push_back(Frame{f.cell->child[i], f.depth + 1});
  }
  return total;
}

bool EightfoldTree::UniformRefine(double size) {
  if (!IsUsableSize(size) || !Refinable()) return true;
  double added = UniformRefineNewCells(size);
  if (added == 0) return true;
  if (!(static_cast<double>(cells_) + added <= cellLimit_)) return false;
  if (!(added * static_cast<double>(sizeof(EightfoldCell)) <= ObtainableBytes())) return false;
  int levels = LevelsDownTo(size);
  struct Frame {
    EightfoldCell* cell;
    double h;
  };
  // Everything the refinement needs is taken before the first split: the
  // walk's stack (at most 7 waiting siblings per level and the cell at
  // hand) and every new cell. Past this point nothing allocates, so the
  // splits cannot fail halfway.
  std::vector<Frame> stack;
  stack.reserve(7 * static_cast<std::size_t>(levels) + 8);
  ReserveCells(static_cast<std::size_t>(added));
  stack.push_back(Frame{root_, halfSize_});
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (size >= f.h) continue;
    if (f.cell->IsLeaf()) SplitCell(f.cell);
    double h = f.h / 2;
    for (int i = 7; i >= 0; --i) stack.push_back(Frame{f.cell->child[i], h});
  }
  return true;
}

double EightfoldTree::ContainingCellSize(double x, double y, double z) const {
  const EightfoldCell* cell = root_;
  double c[3] = {centre_[0], centre_[1], centre_[2]};
  double h = halfSize_;
  while (!cell->IsLeaf()) {
    h /= 2;
    int i = 0;
    if (x >= c[0]) i |= 1;
    if (!(y >= c[1])) i |= 2;
    if (!(z >= c[2])) i |= 4;
    c[0] += ChildSign(i, 0) * h;
    c[1] += ChildSign(i, 1) * h;
    c[2] += ChildSign(i, 2) * h;
    cell = cell->child[i];
  }
  return h;
}

void EightfoldTree::PushPath(std::int32_t index) {
  if (pathCount_ == pathCapacity_) {
    int capacity = pathCapacity_ + 10;
    void* grown = std::malloc(sizeof(std::int32_t) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) throw std::bad_alloc();
    if (pathCount_ > 0) {
      std::memcpy(grown, path_, sizeof(std::int32_t) * static_cast<std::size_t>(pathCount_));
    }
    std::free(path_);
    path_ = static_cast<std::int32_t*>(grown);
    pathCapacity_ = capacity;
  }
  path_[pathCount_++] = index;
}

FaceNeighbourResult EightfoldTree::FaceNeighbour(EightfoldCell* cell, FaceDirection direction) {
  if (cell->parent == nullptr) return {nullptr, 0};
  const FaceRule& rule = kFaceRules[static_cast<int>(direction)];
  pathCount_ = 0;
  EightfoldCell* c = cell;
  PushPath(ChildIndex(c));
  while (!InSiblingSet(path_[pathCount_ - 1], rule)) {
    if (c->parent->parent == nullptr) return {nullptr, 0};
    c = c->parent;
    PushPath(ChildIndex(c));
  }
  EightfoldCell* at = c->parent;
  while (!at->IsLeaf() && pathCount_ > 0) {
    int index = path_[--pathCount_] ^ rule.bit;
    at = at->child[index];
  }
  return {at, pathCount_};
}

void EightfoldTree::RefineOneLevelDiff() {
  // The tree is balanced exactly when every non-root inner cell has a cell
  // of its own level across each of its faces (inside the root cube): a
  // coarser leaf there would be two or more levels coarser than the leaves
  // of the inner cell that touch that face. Each split made below is forced
  // by that rule, so the result is the least balanced refinement.
  //
  // Inner cells are handled finest level first. Securing a cell's
  // neighbours only splits coarser leaves, whose new inner cells lie on
  // coarser levels not handled yet, and a tree that only grows never undoes
  // a level already handled; one sweep therefore suffices.
  std::vector<std::vector<EightfoldCell*>> inner;
  struct Frame {
    EightfoldCell* cell;
    std::size_t level;
  };
  std::vector<Frame> stack{Frame{root_, 0}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (f.cell->IsLeaf()) continue;
    if (inner.size() <= f.level) inner.resize(f.level + 1);
    inner[f.level].push_back(f.cell);
    for (int i = 0; i < 8; ++i) stack.push_back(Frame{f.cell->child[i], f.level + 1});
  }
  for (std::size_t level = inner.size(); level-- > 1;) {
    // Cells split for this level are added to coarser lists only, so this
    // list does not change while it is being read.
    //
    // Siblings share their parent's neighbours: once one inner child on a
    // face of its parent has its neighbour across that face, the parent's
    // neighbour there is an inner cell, so every child on that face has
    // one. Inner siblings are listed next to each other by the collection
    // walk, so remembering the faces secured for the last parent is enough.
    const std::vector<EightfoldCell*>& cells = inner[level];
    const EightfoldCell* lastParent = nullptr;
    unsigned securedFaces = 0;
    for (EightfoldCell* cell : cells) {
      int own = ChildIndex(cell);
      if (cell->parent != lastParent) {
        lastParent = cell->parent;
        securedFaces = 0;
      }
      for (int d = 0; d < kFaceDirections; ++d) {
        const FaceRule& rule = kFaceRules[d];
        if (InSiblingSet(own, rule)) continue;  // a sibling: same level
        if (securedFaces & (1u << d)) continue;
        securedFaces |= 1u << d;
        FaceNeighbourResult found = FaceNeighbour(cell, static_cast<FaceDirection>(d));
        EightfoldCell* at = found.cell;
        if (at == nullptr) continue;  // on the root cube's boundary
        // Split the coarse leaf and walk on down the remaining path, until
        // the cell across the face exists at this level.
        while (pathCount_ > 0) {
          SplitCell(at);
          inner[level - static_cast<std::size_t>(pathCount_)].push_back(at);
          int index = path_[--pathCount_] ^ rule.bit;
          at = at->child[index];
        }
      }
    }
  }
}

}  // namespace eightfold
