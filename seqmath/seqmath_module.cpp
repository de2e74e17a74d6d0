// The Seqmath module: element-wise sum, difference, product and quotient of
// two equally long sequences, and a sequence scaled by a number, as new
// lists. Every element operation is the interpreter's own number operation,
// so any elements that support it combine (ints, floats, longs, strings,
// lists, Triad vectors, ...); exact ints and floats take a shortcut that
// gives the very same results.
#include <Python.h>

#include <type_traits>

#include "exact_numbers.h"
#include "python_support.h"

namespace {

const char kSequencesMessage[] = "Both arguments must be sequences";
const char kLengthMessage[] = "Both sequences must have the same length";
const char kFirstArgumentMessage[] = "First argument must be sequences";
const char kSecondArgumentMessage[] = "Second argument must be a number";
const char kViewMessage[] = "type error";
const char kChangedSizeMessage[] = "sequence changed size during the operation";

PyObject* Fail(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  return nullptr;
}

using pysupport::Owned;
using pysupport::ResultList;

// ----- element operations -----
// Each names the interpreter's operation and the same operation on plain
// ints (IntResult the type of its value) and on floats (exact_numbers.h),
// which refuse the cases where the interpreter moves on to longs (Python
// 3: to ints beyond a C long) or raises.

struct Addition {
  using IntResult = long;
  static PyObject* Generic(PyObject* a, PyObject* b) { return PyNumber_Add(a, b); }
  static bool Ints(long a, long b, long* r) { return seqmath::AddInts(a, b, r); }
  static bool Floats(double a, double b, double* r) { return seqmath::AddFloats(a, b, r); }
  static bool ShortcutAllowed() { return true; }
};

struct Subtraction {
  using IntResult = long;
  static PyObject* Generic(PyObject* a, PyObject* b) { return PyNumber_Subtract(a, b); }
  static bool Ints(long a, long b, long* r) { return seqmath::SubtractInts(a, b, r); }
  static bool Floats(double a, double b, double* r) { return seqmath::SubtractFloats(a, b, r); }
  static bool ShortcutAllowed() { return true; }
};

struct Multiplication {
  using IntResult = long;
  static PyObject* Generic(PyObject* a, PyObject* b) { return PyNumber_Multiply(a, b); }
  static bool Ints(long a, long b, long* r) { return seqmath::MultiplyInts(a, b, r); }
  static bool Floats(double a, double b, double* r) { return seqmath::MultiplyFloats(a, b, r); }
  static bool ShortcutAllowed() { return true; }
};

// The interpreter's `/`: Python 2.7's classic division (without true
// division), which floors the quotient of two ints; Python 3's, which
// divides them exactly and rounds to a float.
struct Division {
  using IntResult = std::conditional_t<pycompat::kPython3, double, long>;
  static PyObject* Generic(PyObject* a, PyObject* b) { return pycompat::Divide(a, b); }
  static bool Ints(long a, long b, long* r) { return seqmath::DivideInts(a, b, r); }
  static bool Ints(long a, long b, double* r) { return seqmath::TrueDivideInts(a, b, r); }
  static bool Floats(double a, double b, double* r) { return seqmath::DivideFloats(a, b, r); }
  // Under -Qwarn and -Qwarnall Python 2.7 warns on classic division, and a
  // warning filter may turn that into an exception: leave every division to
  // it then.
  static bool ShortcutAllowed() { return !pycompat::DivisionMayWarn(); }
};

inline PyObject* NewNumber(long value) { return pycompat::NewInt(value); }
inline PyObject* NewNumber(double value) { return PyFloat_FromDouble(value); }

// The element operation on exact ints and floats without the interpreter's
// dispatch: returns false when it does not apply (other types, int overflow,
// a zero divisor, a Python 3 int beyond a C long), else true with *result the new object (null with
// MemoryError if it could not be made). Subclasses of int and float are left
// to the interpreter, as they may override the operators. An int meeting a
// float enters as (double) of its value, as the interpreter converts it.
template <class Op>
inline bool Shortcut(PyObject* a, PyObject* b, PyObject** result) {
  const PyTypeObject* ta = Py_TYPE(a);
  const PyTypeObject* tb = Py_TYPE(b);
  const PyTypeObject* intType = pycompat::IntType();
  double x, y;
  long i, j;
  if (ta == intType) {
    if (!pycompat::SmallIntValue(a, &i)) return false;
    if (tb == intType) {
      typename Op::IntResult r;
      if (!pycompat::SmallIntValue(b, &j) || !Op::Ints(i, j, &r)) return false;
      *result = NewNumber(r);
      return true;
    }
    if (tb != &PyFloat_Type) return false;
    x = static_cast<double>(i);
    y = PyFloat_AS_DOUBLE(b);
  } else if (ta == &PyFloat_Type) {
    x = PyFloat_AS_DOUBLE(a);
    if (tb == &PyFloat_Type) {
      y = PyFloat_AS_DOUBLE(b);
    } else if (tb == intType && pycompat::SmallIntValue(b, &j)) {
      y = static_cast<double>(j);
    } else {
      return false;
    }
  } else {
    return false;
  }
  double r;
  if (!Op::Floats(x, y, &r)) return false;
  *result = PyFloat_FromDouble(r);
  return true;
}

// ----- the shared loop -----

// Where the second operand of element i comes from: item i of a sequence's
// fast view, or one number for every element.
struct SequenceOperand {
  PyObject* view;
  bool Reaches(Py_ssize_t i) const { return i < PySequence_Fast_GET_SIZE(view); }
  PyObject* At(Py_ssize_t i) const { return PySequence_Fast_GET_ITEM(view, i); }
};

struct NumberOperand {
  PyObject* number;
  bool Reaches(Py_ssize_t) const { return true; }
  PyObject* At(Py_ssize_t) const { return number; }
};

// Fills the n slots of `list` with op(item i of `first`, second operand i).
// Returns false with the exception set when an element operation fails.
//
// Element operations may run the script's own code (an element's __add__,
// a destructor), which may shorten or empty a list operand, since a list's
// fast view is the list itself. So the view sizes are checked before every
// element and items are read afresh each time, never past the end; and each
// pair is held by a reference of ours while its operation runs. Items past
// n are never read. The shortcut runs no script code.
template <class Op, class Second>
bool Fill(ResultList* list, Py_ssize_t n, PyObject* first, Second second) {
  const bool shortcut = Op::ShortcutAllowed();
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (i >= PySequence_Fast_GET_SIZE(first) || !second.Reaches(i)) {
      Fail(PyExc_RuntimeError, kChangedSizeMessage);
      return false;
    }
    PyObject* a = PySequence_Fast_GET_ITEM(first, i);
    PyObject* b = second.At(i);
    PyObject* r;
    if (!(shortcut && Shortcut<Op>(a, b, &r))) {
      Py_INCREF(a);
      Py_INCREF(b);
      r = Op::Generic(a, b);
      Py_DECREF(a);
      Py_DECREF(b);
    }
    if (r == nullptr) return false;
    list->Set(i, r);
  }
  return true;
}

// The "OO" arguments, read directly when there are two.
bool ParsePair(PyObject* args, PyObject** a, PyObject** b) {
  if (PyTuple_GET_SIZE(args) == 2) {
    *a = PyTuple_GET_ITEM(args, 0);
    *b = PyTuple_GET_ITEM(args, 1);
    return true;
  }
  return PyArg_ParseTuple(args, "OO", a, b) != 0;
}

// ----- module functions -----

// Plus, Minus, Star and Divide: op(a[i], b[i]) for every i of two equally
// long sequences. A failed length (an object that passes the sequence check
// but has none, such as a Triad) fails the call with the interpreter's
// exception.
template <class Op>
PyObject* ApplyElementwise(PyObject*, PyObject* args) {
  return pysupport::Guarded([&]() -> PyObject* {
    PyObject *a, *b;
    if (!ParsePair(args, &a, &b)) return nullptr;
    if (!PySequence_Check(a) || !PySequence_Check(b)) {
      return Fail(PyExc_TypeError, kSequencesMessage);
    }
    const Py_ssize_t n = PySequence_Size(a);
    if (n < 0) return nullptr;
    const Py_ssize_t m = PySequence_Size(b);
    if (m < 0) return nullptr;
    if (n != m) return Fail(PyExc_TypeError, kLengthMessage);
    ResultList result(n);
    if (!result.Made()) return nullptr;
    Owned first(PySequence_Fast(a, kViewMessage));
    if (first.get() == nullptr) return nullptr;
    Owned second(PySequence_Fast(b, kViewMessage));
    if (second.get() == nullptr) return nullptr;
    if (!Fill<Op>(&result, n, first.get(), SequenceOperand{second.get()})) return nullptr;
    return result.Finish();
  });
}

// ScalarMult(s, k): s[i] * k for every i.
PyObject* ScalarMult(PyObject*, PyObject* args) {
  return pysupport::Guarded([&]() -> PyObject* {
    PyObject *s, *k;
    if (!ParsePair(args, &s, &k)) return nullptr;
    if (!PySequence_Check(s)) return Fail(PyExc_TypeError, kFirstArgumentMessage);
    if (!PyNumber_Check(k)) return Fail(PyExc_TypeError, kSecondArgumentMessage);
    const Py_ssize_t n = PySequence_Size(s);
    if (n < 0) return nullptr;
    ResultList result(n);
    if (!result.Made()) return nullptr;
    Owned view(PySequence_Fast(s, kViewMessage));
    if (view.get() == nullptr) return nullptr;
    // k is held by the argument tuple for the whole call.
    if (!Fill<Multiplication>(&result, n, view.get(), NumberOperand{k})) return nullptr;
    return result.Finish();
  });
}

PyMethodDef kModuleFunctions[] = {
    {"Plus", ApplyElementwise<Addition>, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("Plus($module, a, b, /)", "Add two sequences")},
    {"Minus", ApplyElementwise<Subtraction>, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("Minus($module, a, b, /)", "Subtract two sequences")},
    {"Star", ApplyElementwise<Multiplication>, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("Star($module, a, b, /)", "Multiply two sequences")},
    {"Divide", ApplyElementwise<Division>, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("Divide($module, a, b, /)", "Divide two sequences")},
    {"ScalarMult", ScalarMult, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("ScalarMult($module, s, k, /)", "Vector/Scalar multiply")},
    {nullptr, nullptr, 0, nullptr}};

constexpr char kModuleDoc[] =
    "Elementwise arithmetic on sequences of numbers: Plus, Minus, Star and Divide of two\n"
    "sequences of one length, ScalarMult of a sequence by a number; each gives a new list.";

}  // namespace

MODULE_INIT(Seqmath) { return pycompat::CreateModule("Seqmath", kModuleFunctions, kModuleDoc); }
