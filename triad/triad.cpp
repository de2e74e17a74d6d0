// The Triad module: a mutable vector of three doubles, the vector currency
// of every module that deals in points and directions.
#include <Python.h>

#include <cmath>
#include <cstdio>

#include "python_support.h"

namespace {

struct TriadObject {
  PyObject_HEAD
  double x;
  double y;
  double z;
};

extern PyTypeObject TriadType;

pysupport::FreeList<TriadObject> freeTriads;

const char kAddMessage[] = "Can only add a number or a Triad to a Triad instance";
const char kSubtractMessage[] = "Can only subtract a number or a Triad from a Triad instance";
const char kMultiplyMessage[] = "Can only multiply a number or a Triad with a Triad instance";
const char kScaleMessage[] = "Can only multiply a Triad by a number";
const char kDivideMessage[] = "Can only divide a Triad by a number";
const char kIndexMessage[] = "Triad index must be 0, 1, or 2";
const char kAssignMessage[] = "Can only assign a number to a Triad item";
const char kArgumentMessage[] = "argument should be a Triad object";
const char* const kPositionMessages[] = {"first argument should be a Triad object",
                                         "second argument should be a Triad object",
                                         "third argument should be a Triad object"};

inline bool IsExactTriad(PyObject* obj) { return Py_TYPE(obj) == &TriadType; }
inline bool IsTriad(PyObject* obj) { return PyObject_TypeCheck(obj, &TriadType); }
inline TriadObject* AsTriad(PyObject* obj) { return reinterpret_cast<TriadObject*>(obj); }

// Every vector this module makes as a result is of exactly type Triad.
PyObject* NewTriad(double x, double y, double z) {
  TriadObject* v = freeTriads.Take(&TriadType);
  if (v == nullptr) return nullptr;
  v->x = x;
  v->y = y;
  v->z = z;
  return reinterpret_cast<PyObject*>(v);
}

PyObject* Fail(const char* message) {
  PyErr_SetString(PyExc_TypeError, message);
  return nullptr;
}

// ----- construction and destruction -----

PyObject* TriadNew(PyTypeObject* type, PyObject*, PyObject*) {
  if (type == &TriadType) return NewTriad(0.0, 0.0, 0.0);
  // Subclasses: their own allocation slot, which zero-fills the components.
  return type->tp_alloc(type, 0);
}

// One "ddd" argument. Exact floats and ints are read directly; anything
// else goes through the interpreter's parser, which gives its own messages.
inline bool QuickDouble(PyObject* obj, double* value) {
  if (PyFloat_CheckExact(obj)) {
    *value = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  if (PyInt_CheckExact(obj)) {
    *value = static_cast<double>(PyInt_AS_LONG(obj));
    return true;
  }
  return false;
}

int TriadInit(PyObject* self, PyObject* args, PyObject*) {
  TriadObject* v = AsTriad(self);
  if (PyTuple_GET_SIZE(args) == 3) {
    double x, y, z;
    if (QuickDouble(PyTuple_GET_ITEM(args, 0), &x) &&
        QuickDouble(PyTuple_GET_ITEM(args, 1), &y) &&
        QuickDouble(PyTuple_GET_ITEM(args, 2), &z)) {
      v->x = x;
      v->y = y;
      v->z = z;
      return 0;
    }
  }
  double x, y, z;
  if (!PyArg_ParseTuple(args, "ddd", &x, &y, &z)) return -1;
  v->x = x;
  v->y = y;
  v->z = z;
  return 0;
}

void TriadDealloc(PyObject* self) {
  if (IsExactTriad(self)) {
    freeTriads.Give(AsTriad(self));
  } else {
    Py_TYPE(self)->tp_free(self);
  }
}

// ----- printed form -----

PyObject* TriadRepr(PyObject* self) {
  const TriadObject* v = AsTriad(self);
  char text[80];
  PyOS_snprintf(text, sizeof text, "%g %g %g", v->x, v->y, v->z);
  return PyString_FromString(text);
}

// ----- methods -----

PyObject* TriadX(PyObject* self, PyObject*) { return PyFloat_FromDouble(AsTriad(self)->x); }
PyObject* TriadY(PyObject* self, PyObject*) { return PyFloat_FromDouble(AsTriad(self)->y); }
PyObject* TriadZ(PyObject* self, PyObject*) { return PyFloat_FromDouble(AsTriad(self)->z); }

inline double Magnitude(const TriadObject* v) {
  return std::sqrt((v->x * v->x + v->y * v->y) + v->z * v->z);
}

PyObject* TriadMagnitude(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(Magnitude(AsTriad(self)));
}

PyObject* TriadNormalize(PyObject* self, PyObject*) {
  const TriadObject* v = AsTriad(self);
  double m = Magnitude(v);
  if (m == 0.0) return Fail("Cannot normalize a zero length Triad");
  return NewTriad(v->x / m, v->y / m, v->z / m);
}

// Max and Min: the receiver's component takes the other's where `better`
// holds; a NaN on either side compares false and replaces nothing.
template <class Better>
PyObject* ComponentwiseUpdate(PyObject* self, PyObject* args, Better better) {
  PyObject* other;
  if (!PyArg_ParseTuple(args, "O", &other)) return nullptr;
  if (!IsExactTriad(other)) return Fail(kArgumentMessage);
  TriadObject* v = AsTriad(self);
  const TriadObject* w = AsTriad(other);
  if (better(w->x, v->x)) v->x = w->x;
  if (better(w->y, v->y)) v->y = w->y;
  if (better(w->z, v->z)) v->z = w->z;
  Py_INCREF(self);
  return self;
}

PyObject* TriadMax(PyObject* self, PyObject* args) {
  return ComponentwiseUpdate(self, args, [](double a, double b) { return a > b; });
}

PyObject* TriadMin(PyObject* self, PyObject* args) {
  return ComponentwiseUpdate(self, args, [](double a, double b) { return a < b; });
}

// copy.copy and copy.deepcopy rebuild an object from what this returns:
// its own type called with the three components, plus the instance
// dictionary of a Python subclass when it has one.
PyObject* TriadReduce(PyObject* self, PyObject*) {
  const TriadObject* v = AsTriad(self);
  PyObject* state = nullptr;
  PyObject** dictPtr = _PyObject_GetDictPtr(self);
  if (dictPtr != nullptr && *dictPtr != nullptr && PyDict_Size(*dictPtr) > 0) {
    state = *dictPtr;
  }
  if (state != nullptr) {
    return Py_BuildValue("(O(ddd)O)", reinterpret_cast<PyObject*>(Py_TYPE(self)), v->x, v->y,
                         v->z, state);
  }
  return Py_BuildValue("(O(ddd))", reinterpret_cast<PyObject*>(Py_TYPE(self)), v->x, v->y, v->z);
}

PyMethodDef kTriadMethods[] = {
    {"x", TriadX, METH_NOARGS, "x coordinate"},
    {"y", TriadY, METH_NOARGS, "y coordinate"},
    {"z", TriadZ, METH_NOARGS, "z coordinate"},
    {"Magnitude", TriadMagnitude, METH_NOARGS, "vector magnitude"},
    {"Normalize", TriadNormalize, METH_NOARGS, "normalize the vector"},
    {"Max", TriadMax, METH_VARARGS, "componentwise max"},
    {"Min", TriadMin, METH_VARARGS, "componentwise min"},
    {"__reduce__", TriadReduce, METH_NOARGS, "rebuild data for copying"},
    {nullptr, nullptr, 0, nullptr}};

// ----- number protocol -----

// The operand mix of a binary add, subtract or multiply: either a number
// and a vector (in either order) or two exact vectors.
struct Operands {
  enum Kind { NumberVector, VectorNumber, VectorVector, Refused } kind;
  double s;
  const TriadObject* a;
  const TriadObject* b;
};

// Tests in the order int left, int right, float left, float right, two
// exact vectors. An exact vector is neither an int nor a float, so when
// either side is one, only the other side's tests remain: the outcome is
// that of the full order, and the common cases are decided quickly.
inline Operands Classify(PyObject* a, PyObject* b) {
  Operands op{Operands::Refused, 0.0, nullptr, nullptr};
  const bool aVector = IsExactTriad(a);
  const bool bVector = IsExactTriad(b);
  if (aVector && bVector) {
    op.kind = Operands::VectorVector;
  } else if (aVector) {
    if (pysupport::ReadNumberOperand(b, &op.s)) op.kind = Operands::VectorNumber;
  } else if (bVector) {
    if (pysupport::ReadNumberOperand(a, &op.s)) op.kind = Operands::NumberVector;
  } else if (PyInt_Check(a)) {
    op.kind = Operands::NumberVector;
    op.s = static_cast<double>(PyInt_AS_LONG(a));
  } else if (PyInt_Check(b)) {
    op.kind = Operands::VectorNumber;
    op.s = static_cast<double>(PyInt_AS_LONG(b));
  } else if (PyFloat_Check(a)) {
    op.kind = Operands::NumberVector;
    op.s = PyFloat_AS_DOUBLE(a);
  } else if (PyFloat_Check(b)) {
    op.kind = Operands::VectorNumber;
    op.s = PyFloat_AS_DOUBLE(b);
  }
  // The slot is only reached with a vector (or a subclass instance) on one
  // side; where a number stands on one side, the other must be that vector.
  if (op.kind == Operands::VectorVector) {
    op.a = AsTriad(a);
    op.b = AsTriad(b);
  } else if (op.kind == Operands::NumberVector) {
    if (IsTriad(b)) op.b = AsTriad(b); else op.kind = Operands::Refused;
  } else if (op.kind == Operands::VectorNumber) {
    if (IsTriad(a)) op.a = AsTriad(a); else op.kind = Operands::Refused;
  }
  return op;
}

PyObject* TriadAdd(PyObject* a, PyObject* b) {
  Operands op = Classify(a, b);
  switch (op.kind) {
    case Operands::VectorVector:
      return NewTriad(op.a->x + op.b->x, op.a->y + op.b->y, op.a->z + op.b->z);
    case Operands::NumberVector:
      return NewTriad(op.s + op.b->x, op.s + op.b->y, op.s + op.b->z);
    case Operands::VectorNumber:
      return NewTriad(op.s + op.a->x, op.s + op.a->y, op.s + op.a->z);
    case Operands::Refused:
      break;
  }
  return Fail(kAddMessage);
}

PyObject* TriadSubtract(PyObject* a, PyObject* b) {
  Operands op = Classify(a, b);
  switch (op.kind) {
    case Operands::VectorVector:
      return NewTriad(op.a->x - op.b->x, op.a->y - op.b->y, op.a->z - op.b->z);
    case Operands::NumberVector:
      return NewTriad(op.s - op.b->x, op.s - op.b->y, op.s - op.b->z);
    case Operands::VectorNumber:
      return NewTriad(op.a->x - op.s, op.a->y - op.s, op.a->z - op.s);
    case Operands::Refused:
      break;
  }
  return Fail(kSubtractMessage);
}

inline double Dot(const TriadObject* a, const TriadObject* b) {
  return (a->y * b->y + a->x * b->x) + a->z * b->z;
}

PyObject* TriadMultiply(PyObject* a, PyObject* b) {
  Operands op = Classify(a, b);
  switch (op.kind) {
    case Operands::VectorVector:
      return PyFloat_FromDouble(Dot(op.a, op.b));
    case Operands::NumberVector:
      return NewTriad(op.s * op.b->x, op.s * op.b->y, op.s * op.b->z);
    case Operands::VectorNumber:
      return NewTriad(op.s * op.a->x, op.s * op.a->y, op.s * op.a->z);
    case Operands::Refused:
      break;
  }
  return Fail(kMultiplyMessage);
}

// Classic division: a vector divided by a number, IEEE arithmetic (a zero
// divisor gives infinities or NaNs and raises nothing).
PyObject* TriadDivide(PyObject* a, PyObject* b) {
  double s;
  if (!pysupport::ReadNumberOperand(b, &s) || !IsTriad(a)) return Fail(kDivideMessage);
  const TriadObject* v = AsTriad(a);
  return NewTriad(v->x / s, v->y / s, v->z / s);
}

PyObject* TriadNegative(PyObject* self) {
  const TriadObject* v = AsTriad(self);
  return NewTriad(-v->x, -v->y, -v->z);
}

PyObject* TriadPositive(PyObject* self) {
  const TriadObject* v = AsTriad(self);
  return NewTriad(v->x, v->y, v->z);
}

// In-place forms change the receiver and return it; the right operand is
// tested before anything changes.
PyObject* Receiver(PyObject* self) {
  Py_INCREF(self);
  return self;
}

PyObject* TriadInPlaceAdd(PyObject* self, PyObject* b) {
  TriadObject* v = AsTriad(self);
  double s;
  if (IsExactTriad(b)) {
    const TriadObject* w = AsTriad(b);
    v->x += w->x;
    v->y += w->y;
    v->z += w->z;
  } else if (pysupport::ReadNumberOperand(b, &s)) {
    v->x += s;
    v->y += s;
    v->z += s;
  } else {
    return Fail(kAddMessage);
  }
  return Receiver(self);
}

PyObject* TriadInPlaceSubtract(PyObject* self, PyObject* b) {
  TriadObject* v = AsTriad(self);
  double s;
  if (IsExactTriad(b)) {
    const TriadObject* w = AsTriad(b);
    v->x -= w->x;
    v->y -= w->y;
    v->z -= w->z;
  } else if (pysupport::ReadNumberOperand(b, &s)) {
    v->x -= s;
    v->y -= s;
    v->z -= s;
  } else {
    return Fail(kSubtractMessage);
  }
  return Receiver(self);
}

PyObject* TriadInPlaceMultiply(PyObject* self, PyObject* b) {
  double s;
  if (!pysupport::ReadNumberOperand(b, &s)) return Fail(kScaleMessage);
  TriadObject* v = AsTriad(self);
  v->x *= s;
  v->y *= s;
  v->z *= s;
  return Receiver(self);
}

PyObject* TriadInPlaceDivide(PyObject* self, PyObject* b) {
  double s;
  if (!pysupport::ReadNumberOperand(b, &s)) return Fail(kDivideMessage);
  TriadObject* v = AsTriad(self);
  v->x /= s;
  v->y /= s;
  v->z /= s;
  return Receiver(self);
}

PyNumberMethods kTriadNumber = [] {
  PyNumberMethods n{};
  n.nb_add = TriadAdd;
  n.nb_subtract = TriadSubtract;
  n.nb_multiply = TriadMultiply;
  n.nb_divide = TriadDivide;
  n.nb_negative = TriadNegative;
  n.nb_positive = TriadPositive;
  n.nb_inplace_add = TriadInPlaceAdd;
  n.nb_inplace_subtract = TriadInPlaceSubtract;
  n.nb_inplace_multiply = TriadInPlaceMultiply;
  n.nb_inplace_divide = TriadInPlaceDivide;
  return n;
}();

// ----- item protocol -----

// Indices are not wrapped: the type has no length, so -1 is as much out of
// range as 3.
PyObject* TriadItem(PyObject* self, Py_ssize_t i) {
  const TriadObject* v = AsTriad(self);
  switch (i) {
    case 0: return PyFloat_FromDouble(v->x);
    case 1: return PyFloat_FromDouble(v->y);
    case 2: return PyFloat_FromDouble(v->z);
    default: break;
  }
  PyErr_SetString(PyExc_IndexError, kIndexMessage);
  return nullptr;
}

int TriadAssignItem(PyObject* self, Py_ssize_t i, PyObject* value) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_TypeError, "Triad items cannot be deleted");
    return -1;
  }
  if (i < 0 || i > 2) {
    PyErr_SetString(PyExc_IndexError, kIndexMessage);
    return -1;
  }
  double s;
  if (!pysupport::ReadNumberOperand(value, &s)) {
    PyErr_SetString(PyExc_TypeError, kAssignMessage);
    return -1;
  }
  TriadObject* v = AsTriad(self);
  (i == 0 ? v->x : i == 1 ? v->y : v->z) = s;
  return 0;
}

PySequenceMethods kTriadSequence = [] {
  PySequenceMethods s{};
  s.sq_item = TriadItem;
  s.sq_ass_item = TriadAssignItem;
  return s;
}();

PyTypeObject TriadType = [] {
  PyTypeObject t{};
  t.ob_refcnt = 1;  // a static type object is never freed
  t.tp_name = "Triad";
  t.tp_basicsize = sizeof(TriadObject);
  t.tp_itemsize = 0;
  t.tp_dealloc = TriadDealloc;
  t.tp_repr = TriadRepr;
  t.tp_str = TriadRepr;
  t.tp_as_number = &kTriadNumber;
  t.tp_as_sequence = &kTriadSequence;
  t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_CHECKTYPES | Py_TPFLAGS_BASETYPE;
  t.tp_doc = "Triad objects";
  t.tp_methods = kTriadMethods;
  t.tp_init = TriadInit;
  t.tp_new = TriadNew;
  return t;
}();

// ----- module functions -----

// Checks the arguments of a module function in order; each must be
// exactly a Triad.
bool AllTriads(PyObject* const* args, int n) {
  for (int i = 0; i < n; ++i) {
    if (!IsExactTriad(args[i])) {
      PyErr_SetString(PyExc_TypeError, kPositionMessages[i]);
      return false;
    }
  }
  return true;
}

void Cross(const TriadObject* a, const TriadObject* b, double w[3]) {
  w[0] = a->y * b->z - a->z * b->y;
  w[1] = a->z * b->x - a->x * b->z;
  w[2] = a->x * b->y - a->y * b->x;
}

PyObject* CrossProd(PyObject*, PyObject* args) {
  PyObject* v[2];
  if (!PyArg_ParseTuple(args, "OO", &v[0], &v[1]) || !AllTriads(v, 2)) return nullptr;
  double w[3];
  Cross(AsTriad(v[0]), AsTriad(v[1]), w);
  return NewTriad(w[0], w[1], w[2]);
}

PyObject* TripleProd(PyObject*, PyObject* args) {
  PyObject* v[3];
  if (!PyArg_ParseTuple(args, "OOO", &v[0], &v[1], &v[2]) || !AllTriads(v, 3)) return nullptr;
  double w[3];
  Cross(AsTriad(v[0]), AsTriad(v[1]), w);
  const TriadObject* c = AsTriad(v[2]);
  return PyFloat_FromDouble((w[1] * c->y + w[0] * c->x) + w[2] * c->z);
}

PyMethodDef kModuleMethods[] = {
    {"CrossProd", CrossProd, METH_VARARGS, nullptr},
    {"TripleProd", TripleProd, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Triad) {
  if (PyType_Ready(&TriadType) < 0) return;
  PyObject* module = Py_InitModule4("Triad", kModuleMethods,
                                    "Module that implements a three element vector", nullptr,
                                    PYTHON_API_VERSION);
  if (module == nullptr) return;
  Py_INCREF(&TriadType);
  PyModule_AddObject(module, "Triad", reinterpret_cast<PyObject*>(&TriadType));
}
