// The Triad module: a mutable vector of three doubles, the vector currency
// of every module that deals in points and directions. The scaffold of the
// type is the shared value type; the products are the native core in
// vector3.h; what is left here are the vector's own methods and functions.
#include "python_support.h"
#include "value_type.h"
#include "vector3.h"

namespace {

constexpr valuetype::Texts kTexts = {
    "Triad",
    PYCOMPAT_FIXED_DOC("Triad(x, y, z, /)", "Triad objects"),
    "ddd",
    "Can only add a number or a Triad to a Triad instance",
    "Can only subtract a number or a Triad from a Triad instance",
    "Can only multiply a number or a Triad with a Triad instance",
    "Can only divide a Triad by a number",
    "Can only add a number or a Triad to a Triad instance",
    "Can only subtract a number or a Triad from a Triad instance",
    "Can only multiply a Triad by a number",
    "Can only divide a Triad by a number",
    "Triad index must be 0, 1, or 2",
    "Can only assign a number to a Triad item",
    "Triad items cannot be deleted",
};

// Two vectors multiply to their dot product, a float.
using Vector =
    valuetype::ValueType<triad::kComponents, valuetype::Kind::Vector, kTexts, triad::Dot>;

const char kArgumentMessage[] = "argument should be a Triad object";
const char kZeroLengthMessage[] = "Cannot normalize a zero length Triad";
const char* const kPositionMessages[] = {"first argument should be a Triad object",
                                         "second argument should be a Triad object",
                                         "third argument should be a Triad object"};

PyObject* Magnitude(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(triad::Magnitude(Vector::Components(self)));
}

PyObject* Normalize(PyObject* self, PyObject*) {
  const double* v = Vector::Components(self);
  const double m = triad::Magnitude(v);
  if (m == 0.0) return Vector::Fail(kZeroLengthMessage);
  return Vector::Make([&](double* out) {
    for (int i = 0; i < 3; ++i) out[i] = v[i] / m;
  });
}

// Max and Min: the receiver's component takes the other's where `better`
// holds; a NaN on either side compares false and replaces nothing.
template <class Better>
PyObject* ComponentwiseUpdate(PyObject* self, PyObject* args, Better better) {
  PyObject* other;
  if (!PyArg_ParseTuple(args, "O", &other)) return nullptr;
  if (!Vector::IsExact(other)) return Vector::Fail(kArgumentMessage);
  double* v = Vector::Components(self);
  const double* w = Vector::Components(other);
  for (int i = 0; i < 3; ++i) {
    if (better(w[i], v[i])) v[i] = w[i];
  }
  Py_INCREF(self);
  return self;
}

PyObject* Max(PyObject* self, PyObject* args) {
  return ComponentwiseUpdate(self, args, [](double a, double b) { return a > b; });
}

PyObject* Min(PyObject* self, PyObject* args) {
  return ComponentwiseUpdate(self, args, [](double a, double b) { return a < b; });
}

// The method doc strings are fixed texts; Python 3 reads the signature
// in front of each and shows the text alone.
PyMethodDef kMethods[] = {
    {"x", Vector::Component<0>, METH_NOARGS, PYCOMPAT_FIXED_DOC("x($self, /)", "x coordinate")},
    {"y", Vector::Component<1>, METH_NOARGS, PYCOMPAT_FIXED_DOC("y($self, /)", "y coordinate")},
    {"z", Vector::Component<2>, METH_NOARGS, PYCOMPAT_FIXED_DOC("z($self, /)", "z coordinate")},
    {"Magnitude", Magnitude, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("Magnitude($self, /)", "vector magnitude")},
    {"Normalize", Normalize, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("Normalize($self, /)", "normalize the vector")},
    {"Max", Max, METH_VARARGS, PYCOMPAT_FIXED_DOC("Max($self, other, /)", "componentwise max")},
    {"Min", Min, METH_VARARGS, PYCOMPAT_FIXED_DOC("Min($self, other, /)", "componentwise min")},
    Vector::kReduceMethod,
    Vector::kReduceExMethod,
    {nullptr, nullptr, 0, nullptr}};

// ----- module functions -----

// Checks the arguments of a module function in order; each must be
// exactly a Triad.
bool AllTriads(PyObject* const* args, int n) {
  for (int i = 0; i < n; ++i) {
    if (!Vector::IsExact(args[i])) {
      PyErr_SetString(PyExc_TypeError, kPositionMessages[i]);
      return false;
    }
  }
  return true;
}

PyObject* CrossProd(PyObject*, PyObject* args) {
  PyObject* v[2];
  if (!PyArg_ParseTuple(args, "OO", &v[0], &v[1]) || !AllTriads(v, 2)) return nullptr;
  return Vector::Make(
      [&](double* out) { triad::Cross(Vector::Components(v[0]), Vector::Components(v[1]), out); });
}

PyObject* TripleProd(PyObject*, PyObject* args) {
  PyObject* v[3];
  if (!PyArg_ParseTuple(args, "OOO", &v[0], &v[1], &v[2]) || !AllTriads(v, 3)) return nullptr;
  return PyFloat_FromDouble(triad::TripleProduct(Vector::Components(v[0]), Vector::Components(v[1]),
                                                 Vector::Components(v[2])));
}

PyMethodDef kModuleFunctions[] = {
    {"CrossProd", CrossProd, METH_VARARGS,
     "CrossProd($module, a, b, /)\n--\n\nThe cross product a x b of two Triads, a new Triad."},
    {"TripleProd", TripleProd, METH_VARARGS,
     "TripleProd($module, a, b, c, /)\n--\n\nThe triple product a . (b x c) of three Triads, a "
     "float."},
    Vector::kRebuildFunction,
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Triad) {
  return Vector::InitModule(kMethods, kModuleFunctions,
                            "Module that implements a three element vector");
}
