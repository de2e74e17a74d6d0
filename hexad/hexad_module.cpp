// The Python type Hexad: a symmetric second-order tensor in six-component
// column form. The slots only read operands, call the native core in
// column_tensor.h and build the result objects.
#include <cstdio>

#include "column_tensor.h"
#include "python_support.h"
#include "vector_binding.h"

namespace {

struct HexadObject {
  PyObject_HEAD
  double c[hexad::kComponents];
};

extern PyTypeObject HexadType;

// Dead result tensors kept for reuse by the arithmetic.
pysupport::FreeList<HexadObject> freeTensors;

const char kBothTensors[] = "Both operands should be Hexad instances";
const char kMultiply[] = "Can only multiply a number or a Hexad with a Hexad instance";
const char kDivide[] = "Can only divide a Hexad by a number";
const char kInplaceAdd[] = "Can only add a Hexad to a Hexad instance";
const char kInplaceSubtract[] = "Can only subtract a Hexad to a Hexad instance";
const char kInplaceMultiply[] = "Can only multiply a Hexad by a number";
const char kIndex[] = "Hexad index must be 0-5";
const char kAssign[] = "Can only assign a number to a Hexad item";

inline bool IsExactTensor(PyObject* obj) { return Py_TYPE(obj) == &HexadType; }
inline bool IsTensor(PyObject* obj) { return PyObject_TypeCheck(obj, &HexadType); }
inline double* Components(PyObject* obj) {
  return reinterpret_cast<HexadObject*>(obj)->c;
}

PyObject* Fail(const char* message) {
  PyErr_SetString(PyExc_TypeError, message);
  return nullptr;
}

// A fresh tensor of exactly type Hexad with components left to the caller,
// or null with MemoryError.
HexadObject* NewTensor() { return freeTensors.Take(&HexadType); }

PyObject* NewTensorFrom(const double c[hexad::kComponents]) {
  HexadObject* r = NewTensor();
  if (r == nullptr) return nullptr;
  for (int i = 0; i < hexad::kComponents; ++i) r->c[i] = c[i];
  return reinterpret_cast<PyObject*>(r);
}

PyObject* NewScaled(const double* c, double scale) {
  HexadObject* r = NewTensor();
  if (r == nullptr) return nullptr;
  for (int i = 0; i < hexad::kComponents; ++i) r->c[i] = c[i] * scale;
  return reinterpret_cast<PyObject*>(r);
}

// --- type slots -----------------------------------------------------------

PyObject* New(PyTypeObject* type, PyObject*, PyObject*) {
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  double* c = Components(self);
  for (int i = 0; i < hexad::kComponents; ++i) c[i] = 0.0;
  return self;
}

int Init(PyObject* self, PyObject* args, PyObject*) {
  double v[hexad::kComponents];
  if (!PyArg_ParseTuple(args, "dddddd", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5])) {
    return -1;
  }
  double* c = Components(self);
  for (int i = 0; i < hexad::kComponents; ++i) c[i] = v[i];
  return 0;
}

void Dealloc(PyObject* self) {
  // Subclass instances come here from their own deallocation and go back
  // to their type's free slot; only plain tensors are kept for reuse.
  if (IsExactTensor(self)) {
    freeTensors.Give(reinterpret_cast<HexadObject*>(self));
  } else {
    Py_TYPE(self)->tp_free(self);
  }
}

PyObject* Repr(PyObject* self) {
  const double* c = Components(self);
  // Six "%g" fields are at most 14 characters each (sign, six digits,
  // point, four-character exponent), so the text always fits.
  char text[128];
  std::snprintf(text, sizeof text, "%g %g %g %g %g %g", c[0], c[1], c[2], c[3],
                c[4], c[5]);
  return PyString_FromString(text);
}

// --- number protocol ------------------------------------------------------

// Sum and difference: two plain tensors, component by component.
template <class Op>
PyObject* Combine(PyObject* a, PyObject* b, Op op) {
  if (!IsExactTensor(a) || !IsExactTensor(b)) return Fail(kBothTensors);
  HexadObject* r = NewTensor();
  if (r == nullptr) return nullptr;
  const double* x = Components(a);
  const double* y = Components(b);
  for (int i = 0; i < hexad::kComponents; ++i) r->c[i] = op(x[i], y[i]);
  return reinterpret_cast<PyObject*>(r);
}

PyObject* Add(PyObject* a, PyObject* b) {
  return Combine(a, b, [](double x, double y) { return x + y; });
}

PyObject* Subtract(PyObject* a, PyObject* b) {
  return Combine(a, b, [](double x, double y) { return x - y; });
}

// The cases take the first that holds: a is an int, b is an int, a is a
// float, b is a float, two plain tensors contract to a float. One operand
// is always a tensor, so the number tests can only ever hold for the other
// one: with a plain tensor on either side the outcome is found with the
// exact-type tests first, skipping the subtype walk of the float test.
PyObject* Multiply(PyObject* a, PyObject* b) {
  double scale;
  if (IsExactTensor(a)) {
    if (IsExactTensor(b)) {
      return PyFloat_FromDouble(hexad::Contract(Components(a), Components(b)));
    }
    if (pysupport::ReadNumberOperand(b, &scale)) return NewScaled(Components(a), scale);
    return Fail(kMultiply);
  }
  if (IsExactTensor(b) && pysupport::ReadNumberOperand(a, &scale)) {
    return NewScaled(Components(b), scale);
  }
  // Subclass instances, in the order above.
  PyObject* tensor;
  if (PyInt_Check(a)) {
    scale = static_cast<double>(PyInt_AS_LONG(a));
    tensor = b;
  } else if (PyInt_Check(b)) {
    scale = static_cast<double>(PyInt_AS_LONG(b));
    tensor = a;
  } else if (PyFloat_Check(a)) {
    scale = PyFloat_AS_DOUBLE(a);
    tensor = b;
  } else if (PyFloat_Check(b)) {
    scale = PyFloat_AS_DOUBLE(b);
    tensor = a;
  } else {
    return Fail(kMultiply);
  }
  // The interpreter calls this slot only with a tensor on one side; the
  // test keeps a direct call through the slot wrappers just as safe.
  if (!IsTensor(tensor)) return Fail(kMultiply);
  return NewScaled(Components(tensor), scale);
}

PyObject* Divide(PyObject* a, PyObject* b) {
  double divisor;
  if (!IsExactTensor(a) || !pysupport::ReadNumberOperand(b, &divisor)) {
    return Fail(kDivide);
  }
  HexadObject* r = NewTensor();
  if (r == nullptr) return nullptr;
  const double* x = Components(a);
  for (int i = 0; i < hexad::kComponents; ++i) r->c[i] = x[i] / divisor;
  return reinterpret_cast<PyObject*>(r);
}

// The in-place forms are called on the left operand's own slot, so only the
// right operand is tested; the left one is changed and returned.
template <class Op>
PyObject* InplaceCombine(PyObject* a, PyObject* b, const char* message, Op op) {
  if (!IsExactTensor(b)) return Fail(message);
  double* x = Components(a);
  const double* y = Components(b);
  for (int i = 0; i < hexad::kComponents; ++i) x[i] = op(x[i], y[i]);
  Py_INCREF(a);
  return a;
}

template <class Op>
PyObject* InplaceByNumber(PyObject* a, PyObject* b, const char* message, Op op) {
  double s;
  if (!pysupport::ReadNumberOperand(b, &s)) return Fail(message);
  double* x = Components(a);
  for (int i = 0; i < hexad::kComponents; ++i) x[i] = op(x[i], s);
  Py_INCREF(a);
  return a;
}

PyObject* InplaceAdd(PyObject* a, PyObject* b) {
  return InplaceCombine(a, b, kInplaceAdd, [](double x, double y) { return x + y; });
}

PyObject* InplaceSubtract(PyObject* a, PyObject* b) {
  return InplaceCombine(a, b, kInplaceSubtract, [](double x, double y) { return x - y; });
}

PyObject* InplaceMultiply(PyObject* a, PyObject* b) {
  return InplaceByNumber(a, b, kInplaceMultiply, [](double x, double s) { return x * s; });
}

PyObject* InplaceDivide(PyObject* a, PyObject* b) {
  return InplaceByNumber(a, b, kDivide, [](double x, double s) { return x / s; });
}

// --- item protocol --------------------------------------------------------

PyObject* GetItem(PyObject* self, Py_ssize_t i) {
  if (i < 0 || i >= hexad::kComponents) {
    PyErr_SetString(PyExc_IndexError, kIndex);
    return nullptr;
  }
  return PyFloat_FromDouble(Components(self)[i]);
}

// Also reached by `del t[i]` with no value, which is refused: a tensor
// always has six components.
int SetItem(PyObject* self, Py_ssize_t i, PyObject* value) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_TypeError, "Hexad items cannot be deleted");
    return -1;
  }
  if (i < 0 || i >= hexad::kComponents) {
    PyErr_SetString(PyExc_IndexError, kIndex);
    return -1;
  }
  double number;
  if (!pysupport::ReadNumberOperand(value, &number)) {
    PyErr_SetString(PyExc_TypeError, kAssign);
    return -1;
  }
  Components(self)[i] = number;
  return 0;
}

// --- methods --------------------------------------------------------------

template <int Index>
PyObject* Component(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(Components(self)[Index]);
}

template <double (*Measure)(const double*) noexcept>
PyObject* Scalar(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(Measure(Components(self)));
}

PyObject* DeviatoricPart(PyObject* self, PyObject*) {
  double out[hexad::kComponents];
  hexad::DeviatoricPart(Components(self), out);
  return NewTensorFrom(out);
}

// (principal tensor, [direction 0, direction 1, direction 2]); the
// directions are built by the bound vector class from the columns of the
// solver's rotation matrix.
PyObject* PrincipalValues(PyObject* self, PyObject*) {
  const hexad::Principal p = hexad::SolvePrincipal(Components(self));
  PyObject* directions = PyList_New(3);
  if (directions == nullptr) return nullptr;
  for (int k = 0; k < 3; ++k) {
    PyObject* v = VectorBinding::BuildVector(p.directions[0][k], p.directions[1][k],
                                             p.directions[2][k]);
    if (v == nullptr) {
      Py_DECREF(directions);
      return nullptr;
    }
    PyList_SET_ITEM(directions, k, v);
  }
  const double diagonal[hexad::kComponents] = {p.values[0], p.values[1], p.values[2],
                                               0.0, 0.0, 0.0};
  PyObject* tensor = NewTensorFrom(diagonal);
  if (tensor == nullptr) {
    Py_DECREF(directions);
    return nullptr;
  }
  PyObject* result = Py_BuildValue("OO", tensor, directions);
  Py_DECREF(tensor);
  Py_DECREF(directions);
  return result;
}

// Copies and pickles rebuild the tensor from its six components (and a
// subclass instance's attributes); the interpreter's default would make a
// new tensor through the creation slot alone and so return zeros.
PyObject* Reduce(PyObject* self, PyObject*) {
  const double* c = Components(self);
  PyObject** dict = _PyObject_GetDictPtr(self);
  if (dict != nullptr && *dict != nullptr && PyDict_Size(*dict) > 0) {
    return Py_BuildValue("O(dddddd)O", reinterpret_cast<PyObject*>(Py_TYPE(self)),
                         c[0], c[1], c[2], c[3], c[4], c[5], *dict);
  }
  return Py_BuildValue("O(dddddd)", reinterpret_cast<PyObject*>(Py_TYPE(self)), c[0],
                       c[1], c[2], c[3], c[4], c[5]);
}

PyMethodDef kMethods[] = {
    {"xx", Component<hexad::kXX>, METH_NOARGS, "xx component"},
    {"yy", Component<hexad::kYY>, METH_NOARGS, "yy component"},
    {"zz", Component<hexad::kZZ>, METH_NOARGS, "zz component"},
    {"xy", Component<hexad::kXY>, METH_NOARGS, "xy component"},
    {"yz", Component<hexad::kYZ>, METH_NOARGS, "yz component"},
    {"zx", Component<hexad::kZX>, METH_NOARGS, "zx component"},
    {"Norm", Scalar<hexad::Norm>, METH_NOARGS, "L2 matrix norm"},
    {"I1", Scalar<hexad::I1>, METH_NOARGS, "first invariant"},
    {"I2", Scalar<hexad::I2>, METH_NOARGS, "second invariant"},
    {"I3", Scalar<hexad::I3>, METH_NOARGS, "third invariant"},
    {"J2", Scalar<hexad::J2>, METH_NOARGS, "second invariant of the deviatoric tensor"},
    {"EffectiveStress", Scalar<hexad::EffectiveStress>, METH_NOARGS,
     "tensor effective stress"},
    {"EffectiveStrain", Scalar<hexad::EffectiveStrain>, METH_VARARGS,
     "tensor effective strain"},
    {"DeviatoricPart", DeviatoricPart, METH_VARARGS, "deviatoric tensor"},
    {"PrincipalValues", PrincipalValues, METH_VARARGS, "principal values"},
    {"__reduce__", Reduce, METH_NOARGS, "rebuild the tensor from its six components"},
    {nullptr, nullptr, 0, nullptr}};

PyNumberMethods kNumber = [] {
  PyNumberMethods n{};
  n.nb_add = Add;
  n.nb_subtract = Subtract;
  n.nb_multiply = Multiply;
  n.nb_divide = Divide;
  n.nb_inplace_add = InplaceAdd;
  n.nb_inplace_subtract = InplaceSubtract;
  n.nb_inplace_multiply = InplaceMultiply;
  n.nb_inplace_divide = InplaceDivide;
  return n;
}();

PySequenceMethods kSequence = [] {
  PySequenceMethods s{};
  s.sq_item = GetItem;
  s.sq_ass_item = SetItem;
  return s;
}();

PyTypeObject HexadType = [] {
  PyTypeObject t{};
  t.ob_refcnt = 1;  // a static type object is never freed
  t.tp_name = "Hexad";
  t.tp_basicsize = sizeof(HexadObject);
  t.tp_itemsize = 0;
  t.tp_dealloc = Dealloc;
  t.tp_repr = Repr;
  t.tp_str = Repr;
  t.tp_as_number = &kNumber;
  t.tp_as_sequence = &kSequence;
  t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_CHECKTYPES | Py_TPFLAGS_BASETYPE;
  t.tp_doc = "Hexad objects";
  t.tp_methods = kMethods;
  t.tp_init = Init;
  t.tp_new = New;
  return t;
}();

PyMethodDef kNoFunctions[] = {{nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Hexad) {
  if (PyType_Ready(&HexadType) < 0) return;
  PyObject* module = Py_InitModule4("Hexad", kNoFunctions,
                                    "Module that implements a column 2nd order tensor",
                                    nullptr, PYTHON_API_VERSION);
  if (module == nullptr) return;
  Py_INCREF(&HexadType);
  if (PyModule_AddObject(module, "Hexad", reinterpret_cast<PyObject*>(&HexadType)) < 0) {
    return;
  }
  VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesAndFunctions);
}
