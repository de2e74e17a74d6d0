// The Python type Hexad: a symmetric second-order tensor in six-component
// column form. The scaffold of the type is the shared value type; the
// measures and the contraction are the native core in column_tensor.h; what
// is left here are the tensor's own methods.
#include "column_tensor.h"
#include "python_support.h"
#include "value_type.h"
#include "vector_binding.h"

namespace {

constexpr valuetype::Texts kTexts = VALUETYPE_TENSOR_TEXTS(
    "Hexad", "dddddd", "Can only multiply a Hexad by a number", "Hexad index must be 0-5");

// Two tensors multiply to their double contraction, a float.
using Tensor =
    valuetype::ValueType<hexad::kComponents, valuetype::Kind::Tensor, kTexts, hexad::Contract>;

// --- methods --------------------------------------------------------------

template <double (*Measure)(const double*) noexcept>
PyObject* Scalar(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(Measure(Tensor::Components(self)));
}

PyObject* DeviatoricPart(PyObject* self, PyObject*) {
  double out[hexad::kComponents];
  hexad::DeviatoricPart(Tensor::Components(self), out);
  return Tensor::MakeCopy(out);
}

// (principal tensor, [direction 0, direction 1, direction 2]); the
// directions are built by the bound vector class from the columns of the
// solver's rotation matrix.
PyObject* PrincipalValues(PyObject* self, PyObject*) {
  // The solution is taken before any vector is built: the vector class is
  // the script's own code and may change this very tensor.
  const hexad::Principal p = hexad::SolvePrincipal(Tensor::Components(self));
  pysupport::ResultList directions(3);
  if (!directions.Made()) return nullptr;
  for (int k = 0; k < 3; ++k) {
    PyObject* v =
        VectorBinding::BuildVector(p.directions[0][k], p.directions[1][k], p.directions[2][k]);
    if (v == nullptr) return nullptr;
    directions.Set(k, v);
  }
  const double diagonal[hexad::kComponents] = {p.values[0], p.values[1], p.values[2],
                                               0.0,         0.0,         0.0};
  pysupport::Owned tensor(Tensor::MakeCopy(diagonal));
  if (tensor.get() == nullptr) return nullptr;
  pysupport::Owned list(directions.Finish());
  return Py_BuildValue("OO", tensor.get(), list.get());
}

PyMethodDef kMethods[] = {
    {"xx", Tensor::Component<hexad::kXX>, METH_NOARGS, "xx component"},
    {"yy", Tensor::Component<hexad::kYY>, METH_NOARGS, "yy component"},
    {"zz", Tensor::Component<hexad::kZZ>, METH_NOARGS, "zz component"},
    {"xy", Tensor::Component<hexad::kXY>, METH_NOARGS, "xy component"},
    {"yz", Tensor::Component<hexad::kYZ>, METH_NOARGS, "yz component"},
    {"zx", Tensor::Component<hexad::kZX>, METH_NOARGS, "zx component"},
    {"Norm", Scalar<hexad::Norm>, METH_NOARGS, "L2 matrix norm"},
    {"I1", Scalar<hexad::I1>, METH_NOARGS, "first invariant"},
    {"I2", Scalar<hexad::I2>, METH_NOARGS, "second invariant"},
    {"I3", Scalar<hexad::I3>, METH_NOARGS, "third invariant"},
    {"J2", Scalar<hexad::J2>, METH_NOARGS, "second invariant of the deviatoric tensor"},
    {"EffectiveStress", Scalar<hexad::EffectiveStress>, METH_NOARGS, "tensor effective stress"},
    {"EffectiveStrain", Scalar<hexad::EffectiveStrain>, METH_VARARGS, "tensor effective strain"},
    {"DeviatoricPart", DeviatoricPart, METH_VARARGS, "deviatoric tensor"},
    {"PrincipalValues", PrincipalValues, METH_VARARGS, "principal values"},
    Tensor::kReduceMethod,
    Tensor::kReduceExMethod,
    {nullptr, nullptr, 0, nullptr}};

PyMethodDef kFunctions[] = {Tensor::kRebuildFunction, {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Hexad) {
  PyObject* module =
      Tensor::InitModule(kMethods, kFunctions, "Module that implements a column 2nd order tensor");
  if (module != nullptr && !PyErr_Occurred()) {
    VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesAndFunctions);
  }
  return module;
}
