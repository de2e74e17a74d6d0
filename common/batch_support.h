// The Python side of the value-type modules' batch functions (Hexad's
// EffectiveStressMany, Ennead's ProductMany, ...): the arguments
// `f(x, [y,] /, *, out=None)` under both interpreters, the operands (an
// array of rows through pyarray::DoubleArray, or where a function allows it
// one value of the module's own type for every row), the result (a new
// Array or the caller's `out=`, with its aliasing rule) and the loop, run
// with the interpreter lock released above a batch size.
//
// Aliasing: `out=` may be the very memory of an input whose rows have the
// result's width (a row-for-row update in place: every kernel reads its
// whole row before writing it); any other sharing of memory with an input
// is refused with ValueError, since a loop would read rows it has already
// overwritten.
#pragma once

#include <Python.h>

#include <cstring>

#include "array_support.h"
#include "python_support.h"
#include "row_batch.h"

namespace batchsupport {

// Parses exactly `count` positional arguments into items[] and the one
// keyword `out` (None when absent). Python 2.7's parser has no keyword-only
// arguments, hence this one for both interpreters.
inline bool ParseArguments(PyObject* args, PyObject* kwargs, const char* function, int count,
                           PyObject** items, PyObject** out) {
  const Py_ssize_t given = PyTuple_GET_SIZE(args);
  if (given != count) {
    PyErr_Format(PyExc_TypeError, "%s() takes exactly %d positional argument%s (%zd given)",
                 function, count, count == 1 ? "" : "s", given);
    return false;
  }
  for (int i = 0; i < count; ++i) items[i] = PyTuple_GET_ITEM(args, i);
  *out = kwargs == nullptr ? nullptr : PyDict_GetItemString(kwargs, "out");
  if (kwargs != nullptr && PyDict_Size(kwargs) > (*out == nullptr ? 0 : 1)) {
    PyErr_Format(PyExc_TypeError, "%s() takes no keyword argument but out", function);
    return false;
  }
  if (*out == nullptr) *out = Py_None;
  return true;
}

// One operand of a batch: the rows of an array (or sequence of rows), or
// one value of the module's own type, copied here so that no other thread
// can change it while the loop runs without the lock.
template <int Width>
class Operand {
 public:
  // Reads `obj`, called `name` in messages, as rows of `shapes`. False
  // with an exception set.
  bool Read(PyObject* obj, pyarray::RowShapes shapes, const char* name) {
    return array_.Read(obj, shapes, name);
  }

  // The same, where one value of the module's type `Value` (a
  // valuetype::ValueType, subclass instances included) stands for itself
  // in every row.
  template <class Value>
  bool ReadOrValue(PyObject* obj, pyarray::RowShapes shapes, const char* name) {
    if (!Value::IsInstance(obj)) return Read(obj, shapes, name);
    isSingle_ = true;
    std::memcpy(value_, Value::Components(obj), sizeof value_);
    return true;
  }

  bool IsSingle() const { return isSingle_; }
  Py_ssize_t Rows() const { return array_.Rows(); }
  const pyarray::RowShape& Shape() const { return array_.Shape(); }
  const double* Data() const { return isSingle_ ? value_ : array_.Data(); }
  Py_ssize_t Count() const { return isSingle_ ? 0 : array_.Rows() * Width; }
  rowbatch::Input Input() const {
    return isSingle_ ? rowbatch::Single(value_) : rowbatch::Rows(array_.Data(), Width);
  }

 private:
  pyarray::DoubleArray array_;
  double value_[Width] = {};
  bool isSingle_ = false;
};

// Where a batch's results go: a new Array of `rows` rows of `shape`, or
// the caller's `out=` buffer of exactly that shape.
class Result {
 public:
  // False with an exception set. `shapes` are the row shapes `out=` may
  // have (the first is the new Array's).
  // `shape`, when given, is the new Array's row shape instead (that of an
  // input whose form the result keeps, (N, 3, 3) or (N, 9)).
  bool Make(PyObject* outObj, Py_ssize_t rows, pyarray::RowShapes shapes, const char* name,
            const pyarray::RowShape* preferred = nullptr) {
    const pyarray::RowShape& shape = preferred != nullptr ? *preferred : *shapes.begin();
    if (outObj != Py_None) {
      if (!out_.Bind(outObj, rows, shapes, name)) return false;
      data_ = out_.Data();
      count_ = out_.Count();
      return true;
    }
    switch (shape.ndim) {
      case 0:
        array_ = pyarray::NewArray({rows}, &data_);
        break;
      case 1:
        array_ = pyarray::NewArray({rows, shape.dims[0]}, &data_);
        break;
      default:
        array_ = pyarray::NewArray({rows, shape.dims[0], shape.dims[1]}, &data_);
        break;
    }
    count_ = rows * shape.Width();
    return array_ != nullptr;
  }

  ~Result() { Py_XDECREF(array_); }

  double* Data() const { return data_; }

  // Refuses, with ValueError naming both arguments, an `out=` that shares
  // memory with the input `in` (of `count` numbers) other than as its very
  // memory where `inPlace` allows that.
  bool CheckApart(const double* in, Py_ssize_t count, bool inPlace, const char* outName,
                  const char* inName) const {
    const pyarray::Overlap overlap = pyarray::MemoryOverlap(in, count, data_, count_);
    if (overlap == pyarray::Overlap::Disjoint) return true;
    if (overlap == pyarray::Overlap::Same && inPlace) return true;
    PyErr_Format(PyExc_ValueError,
                 inPlace ? "%s must be %s itself or share no memory with it"
                         : "%s must share no memory with %s",
                 outName, inName);
    return false;
  }

  // The result to return (a new reference), after the loop: the new Array,
  // or the `out=` object. Null with an exception set.
  PyObject* Finish() {
    if (array_ != nullptr) {
      PyObject* r = array_;
      array_ = nullptr;
      return r;
    }
    if (!out_.Commit()) return nullptr;
    Py_INCREF(out_.Object());
    return out_.Object();
  }

 private:
  pyarray::OutArray out_;
  PyObject* array_ = nullptr;
  double* data_ = nullptr;
  Py_ssize_t count_ = 0;
};

// The description of a batch function: its name, the row shapes of its
// operands and of its result, and the batch size above which its loop runs
// with the interpreter lock released (measured: below it the switch costs
// more than a few per cent of the call).
struct Signature {
  const char* function;
  const char* names[2];
  pyarray::RowShapes in[2];
  pyarray::RowShapes out;
  Py_ssize_t releaseRows;
};

// f(x, /, *, out=None): kernel(row of x, result row) over the rows of x,
// rows of InWidth numbers in and OutWidth out. A result as wide as the
// input keeps the input's row shape and may be written over it.
template <int InWidth, int OutWidth, class Kernel>
PyObject* MapOne(const Signature& f, PyObject* args, PyObject* kwargs, Kernel kernel) {
  PyObject* x;
  PyObject* outObj;
  if (!ParseArguments(args, kwargs, f.function, 1, &x, &outObj)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Operand<InWidth> in;
    if (!in.Read(x, f.in[0], f.names[0])) return nullptr;
    constexpr bool kInPlace = InWidth == OutWidth;
    Result result;
    if (!result.Make(outObj, in.Rows(), f.out, "out", kInPlace ? &in.Shape() : nullptr) ||
        !result.CheckApart(in.Data(), in.Count(), kInPlace, "out", f.names[0])) {
      return nullptr;
    }
    const Py_ssize_t rows = in.Rows();
    double* target = result.Data();
    pyarray::ReleasedIf(rows > f.releaseRows, [&] {
      rowbatch::Map(in.Input(), target, OutWidth, static_cast<std::size_t>(rows), kernel);
    });
    return result.Finish();
  });
}

// f(a, b, /, *, out=None): kernel(row of a, row of b, result row), where
// either operand may be one value of the module's type `Value` standing for
// every row (not both: that is the value's own method). Both arrays must
// have the same number of rows. A result as wide as an operand keeps that
// operand's row shape and may be written over it.
template <class Value, int AWidth, int BWidth, int OutWidth, class Kernel>
PyObject* MapTwo(const Signature& f, PyObject* args, PyObject* kwargs, bool bMayBeValue,
                 Kernel kernel) {
  PyObject* items[2];
  PyObject* outObj;
  if (!ParseArguments(args, kwargs, f.function, 2, items, &outObj)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Operand<AWidth> a;
    Operand<BWidth> b;
    if (!a.template ReadOrValue<Value>(items[0], f.in[0], f.names[0])) return nullptr;
    if (bMayBeValue) {
      if (!b.template ReadOrValue<Value>(items[1], f.in[1], f.names[1])) return nullptr;
    } else if (!b.Read(items[1], f.in[1], f.names[1])) {
      return nullptr;
    }
    if (a.IsSingle() && b.IsSingle()) {
      PyErr_Format(PyExc_TypeError, "%s() takes at least one array of rows", f.function);
      return nullptr;
    }
    if (!a.IsSingle() && !b.IsSingle() && a.Rows() != b.Rows()) {
      PyErr_Format(PyExc_ValueError, "%s and %s must have as many rows, not %zd and %zd",
                   f.names[0], f.names[1], a.Rows(), b.Rows());
      return nullptr;
    }
    const Py_ssize_t rows = a.IsSingle() ? b.Rows() : a.Rows();
    const pyarray::RowShape* keep = nullptr;
    if (OutWidth == AWidth && !a.IsSingle()) {
      keep = &a.Shape();
    } else if (OutWidth == BWidth && !b.IsSingle()) {
      keep = &b.Shape();
    }
    Result result;
    if (!result.Make(outObj, rows, f.out, "out", keep) ||
        !result.CheckApart(a.Data(), a.Count(), OutWidth == AWidth, "out", f.names[0]) ||
        !result.CheckApart(b.Data(), b.Count(), OutWidth == BWidth, "out", f.names[1])) {
      return nullptr;
    }
    double* target = result.Data();
    pyarray::ReleasedIf(rows > f.releaseRows, [&] {
      rowbatch::Map(a.Input(), b.Input(), target, OutWidth, static_cast<std::size_t>(rows), kernel);
    });
    return result.Finish();
  });
}

// The per-row kernel of a measure that gives one number.
template <double (*Measure)(const double*) noexcept>
void ScalarRow(const double* in, double* out) {
  *out = Measure(in);
}

}  // namespace batchsupport
