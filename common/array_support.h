// Float64 arrays in and out of the extension modules, through the buffer
// protocol, without numpy: reading an input batch (DoubleArray), binding a
// caller's `out=` buffer (OutArray), telling whether two arrays' memory
// overlaps, making a result object of the module's own `Array` type
// (NewArray), and running a native loop with the interpreter lock released
// (ReleasedIf).
//
// Compiled into each module that uses it (link `array_support` in
// add_python_module): each module has its own `Array` type. Every call here
// needs the interpreter lock; none throws. A batch function reads:
//
//   pyarray::DoubleArray in;
//   if (!in.Read(obj, {pyarray::RowShape(6)}, "columns")) return nullptr;
//   double* v;
//   PyObject* result = pyarray::NewArray({in.Rows()}, &v);
//   if (result == nullptr) return nullptr;
//   pyarray::ReleasedIf(in.Rows() > kReleaseRows, [&] { ...fill v from in.Data()... });
//   return result;
//
// and MODULE_INIT calls pyarray::AddArrayType(module, "<module name>").
#pragma once

#include <Python.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace pyarray {

// The shape of one row of a batch: none (a 1-D batch of N numbers), {w}
// or {r, c}, each dimension at least 1. The batch has shape
// (N, <row shape>).
struct RowShape {
  int ndim = 0;
  Py_ssize_t dims[2] = {0, 0};

  constexpr RowShape() = default;
  constexpr explicit RowShape(Py_ssize_t w) : ndim(1), dims{w, 0} {}
  constexpr RowShape(Py_ssize_t r, Py_ssize_t c) : ndim(2), dims{r, c} {}
  // The numbers in one row.
  constexpr Py_ssize_t Width() const {
    return ndim == 0 ? 1 : ndim == 1 ? dims[0] : dims[0] * dims[1];
  }
};

// The row shapes a call accepts, e.g. {RowShape(3, 3), RowShape(9)}: one or
// more, all of the same width; an empty list means {RowShape()} (1-D).
using RowShapes = std::initializer_list<RowShape>;

// An input batch of float64 rows, borrowed for one call. Declare it in the
// function that reads the argument; its destructor releases what Read took
// (it runs with the interpreter lock held, after any released loop).
class DoubleArray {
 public:
  DoubleArray() = default;
  ~DoubleArray();
  DoubleArray(const DoubleArray&) = delete;
  DoubleArray& operator=(const DoubleArray&) = delete;

  // Reads `obj`, the argument called `name` in messages, as N rows of one
  // of `shapes`. Accepted, in this order:
  //  - an object with the new-style buffer protocol (numpy arrays,
  //    memoryview, Python 3's array.array, the modules' Array results):
  //    item format "d" ("=d", "@d" and the native byte order's "<d" or ">d"
  //    too), item size 8, C-contiguous, of shape (N, <row shape>) or,
  //    for rows, 1-D of N times the row width (array.array('d')); its
  //    memory is used in place and stays exported, so that it cannot be
  //    resized or freed, until the DoubleArray is destroyed;
  //  - under Python 2.7, an array.array of typecode 'd' whose length is a
  //    multiple of the row width (copied: its memory is not pinned there);
  //  - any other sequence of N rows, each a sequence of the row's numbers
  //    nested as the row shape (or flat, where {w} is among `shapes`), or
  //    of N numbers for 1-D; copied, each number read as the "d" format
  //    reads it (its float conversion), each item held by a new reference
  //    while it converts.
  // N = 0 is accepted. False with an exception set otherwise:
  //  - TypeError for the wrong kind of object, a buffer of another format
  //    or a non-contiguous one, a Python 2.7 old-style buffer other than
  //    array.array('d') (mmap, ...), a row that is not a sequence:
  //    "x must be a float64 array of shape (N, 3) or a sequence of such
  //    rows, not an array of format 'i'";
  //  - ValueError for a wrong shape: "..., not an array of shape (4, 5)",
  //    "..., not a sequence whose row 2 has 5 items";
  //  - RuntimeError when a sequence (or a row) changes size while it is
  //    read (an item's __float__ may run any code): "x changed size while
  //    it was read";
  //  - whatever an item's float conversion raises.
  // Call it once per object.
  bool Read(PyObject* obj, RowShapes shapes, const char* name);

  Py_ssize_t Rows() const { return rows_; }
  Py_ssize_t RowWidth() const { return width_; }
  // Rows() * RowWidth() numbers, row after row; not null (even for N = 0).
  // Read-only: it may be the caller's memory (which another thread of the
  // caller's could still write into, as with any shared array).
  const double* Data() const { return data_; }
  // The row shape the object matched (for a sequence: the first of
  // `shapes` whose width matches).
  const RowShape& Shape() const { return shape_; }

 private:
  Py_buffer view_{};
  bool hasView_ = false;
  std::vector<double> copy_;
  const double* data_ = nullptr;
  Py_ssize_t rows_ = 0;
  Py_ssize_t width_ = 1;
  RowShape shape_;
};

// A caller's `out=` argument: a writable buffer of exactly the result's
// shape (`rows` rows of one of `shapes`, or 1-D of rows times the row
// width), item format and contiguity as for DoubleArray. Under Python 2.7 an array.array('d') of
// exactly rows * width items is accepted too: the loop then writes into a block of this object,
// which Commit copies into the array (whose memory is not pinned there).
class OutArray {
 public:
  OutArray() = default;
  ~OutArray();
  OutArray(const OutArray&) = delete;
  OutArray& operator=(const OutArray&) = delete;

  // False with TypeError (wrong kind, format, contiguity, or read-only:
  // "out must be a writable float64 array of shape (4, 3), not a read-only
  // array") or ValueError (wrong shape: "..., not an array of shape (5, 3)").
  bool Bind(PyObject* obj, Py_ssize_t rows, RowShapes shapes, const char* name);

  // rows * width numbers for the loop to fill; not null.
  double* Data() const { return data_; }
  Py_ssize_t Count() const { return count_; }
  // After the loop, with the lock held: copies the Python 2.7 array.array
  // case into the array (RuntimeError when it changed size meanwhile);
  // nothing to do otherwise. False with an exception set.
  bool Commit();
  // The object bound, borrowed: what a function returns when it was given
  // `out=` (take a new reference to return it).
  PyObject* Object() const { return obj_; }

 private:
  Py_buffer view_{};
  bool hasView_ = false;
  std::unique_ptr<double[]> scratch_;
  double* data_ = nullptr;
  Py_ssize_t count_ = 0;
  PyObject* obj_ = nullptr;
};

// How the memory two arrays' loops touch lies: apart, exactly the same
// (element i of one is element i of the other), or otherwise overlapping.
// Inputs that Read copied never overlap anything.
enum class Overlap { Disjoint, Same, Partial };
Overlap MemoryOverlap(const double* a, Py_ssize_t aCount, const double* b, Py_ssize_t bCount);
inline Overlap MemoryOverlap(const DoubleArray& in, const OutArray& out) {
  return MemoryOverlap(in.Data(), in.Rows() * in.RowWidth(), out.Data(), out.Count());
}

// Readies the module's `Array` type, named "<module>.Array" under Python 3
// and "Array" under 2.7, and adds it to `module` as "Array" (the type cannot
// be instantiated from Python). Call it from MODULE_INIT; false with an
// exception set. NewArray readies the type by itself (named
// "array_support.Array") if this was not called.
bool AddArrayType(PyObject* module, const char* moduleName);

// A new result object of the module's `Array` type: one fresh block of
// uninitialised items of the shape given (1 to 3 dimensions, each >= 0),
// with format "d" (double), "i" (int32_t) or "q" (int64_t; Py_ssize_t
// offsets fit), exporting the new-style buffer protocol (writable,
// C-contiguous, shape, strides and format filled; numpy wraps it without a
// copy, memoryview reads it) and under Python 2.7 also the old-style
// read/write buffer (array.array.fromstring(buffer(a)), buffer(a)). It has
// `shape` and `format` attributes, `tolist()` (nested lists of floats or
// ints) and `len()` (the first dimension). Views exported hold a reference
// to it, so it outlives them. *data points to the items (not null) for the
// native loop to fill: every item must be written before the object is
// handed to Python code. Null with MemoryError (or ValueError for a bad
// shape) on failure.
PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, double** data);
PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, std::int32_t** data);
PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, std::int64_t** data);

// Whether `obj` is an Array of this module.
bool IsArray(PyObject* obj);

// Runs fn() (which must touch no Python object and read only memory that
// cannot change meanwhile: a DoubleArray's, an OutArray's, a NewArray's)
// with the interpreter lock released when `release` holds (a batch large
// enough that the switch pays; the caller measures), else as it is. The
// lock is taken back before ReleasedIf returns or lets an exception pass.
class ReleasedLock {
 public:
  explicit ReleasedLock(bool release) : state_(release ? PyEval_SaveThread() : nullptr) {}
  ~ReleasedLock() {
    if (state_ != nullptr) PyEval_RestoreThread(state_);
  }
  ReleasedLock(const ReleasedLock&) = delete;
  ReleasedLock& operator=(const ReleasedLock&) = delete;

 private:
  PyThreadState* state_;
};

template <class Fn>
void ReleasedIf(bool release, Fn&& fn) {
  ReleasedLock lock(release);
  fn();
}

}  // namespace pyarray
