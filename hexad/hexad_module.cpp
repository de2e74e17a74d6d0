// The Python type Hexad: a symmetric second-order tensor in six-component
// column form. The scaffold of the type is the shared value type; the
// measures and the contraction are the native core in column_tensor.h; what
// is left here are the tensor's own methods and the module's batch functions
// over float64 rows, which call the same per-row kernels.
#include "array_support.h"
#include "batch_support.h"
#include "column_tensor.h"
#include "python_support.h"
#include "value_type.h"
#include "vector_binding.h"

#include <cstring>

namespace {

constexpr valuetype::Texts kTexts =
    VALUETYPE_TENSOR_TEXTS("Hexad", "xx, yy, zz, xy, yz, zx", "dddddd",
                           "Can only multiply a Hexad by a number", "Hexad index must be 0-5");

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

// The doc strings are fixed texts; Python 3 reads the signature in front
// of each and shows the text alone. EffectiveStrain, DeviatoricPart and
// PrincipalValues accept any positional arguments and ignore them, while
// the other measures take none: callers rely on both behaviours as they
// are, so the flags stay as they are and the signatures say so.
PyMethodDef kMethods[] = {
    {"xx", Tensor::Component<hexad::kXX>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("xx($self, /)", "xx component")},
    {"yy", Tensor::Component<hexad::kYY>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("yy($self, /)", "yy component")},
    {"zz", Tensor::Component<hexad::kZZ>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("zz($self, /)", "zz component")},
    {"xy", Tensor::Component<hexad::kXY>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("xy($self, /)", "xy component")},
    {"yz", Tensor::Component<hexad::kYZ>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("yz($self, /)", "yz component")},
    {"zx", Tensor::Component<hexad::kZX>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("zx($self, /)", "zx component")},
    {"Norm", Scalar<hexad::Norm>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("Norm($self, /)", "L2 matrix norm")},
    {"I1", Scalar<hexad::I1>, METH_NOARGS, PYCOMPAT_FIXED_DOC("I1($self, /)", "first invariant")},
    {"I2", Scalar<hexad::I2>, METH_NOARGS, PYCOMPAT_FIXED_DOC("I2($self, /)", "second invariant")},
    {"I3", Scalar<hexad::I3>, METH_NOARGS, PYCOMPAT_FIXED_DOC("I3($self, /)", "third invariant")},
    {"J2", Scalar<hexad::J2>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("J2($self, /)", "second invariant of the deviatoric tensor")},
    {"EffectiveStress", Scalar<hexad::EffectiveStress>, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("EffectiveStress($self, /)", "tensor effective stress")},
    {"EffectiveStrain", Scalar<hexad::EffectiveStrain>, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("EffectiveStrain($self, /, *args)", "tensor effective strain")},
    {"DeviatoricPart", DeviatoricPart, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("DeviatoricPart($self, /, *args)", "deviatoric tensor")},
    {"PrincipalValues", PrincipalValues, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("PrincipalValues($self, /, *args)", "principal values")},
    {"Traction", VectorBinding::VectorMethod<Tensor, hexad::Traction>, METH_O,
     "Traction($self, n, /)\n--\n\nThe traction on a plane of unit normal n (any three numbers "
     "by index),\nthe tensor applied to n: a new vector of the bound Triad class."},
    Tensor::kReduceMethod,
    Tensor::kReduceExMethod,
    {nullptr, nullptr, 0, nullptr}};

// --- batch functions --------------------------------------------------------

// Named after the method with "Many": under `from Hexad import Hexad` the
// name Hexad is the type, whose methods would take the module functions'
// names otherwise.

constexpr pyarray::RowShape kColumn(hexad::kComponents);
constexpr pyarray::RowShape kVector(3);
constexpr pyarray::RowShape kMatrix(3, 3);
constexpr pyarray::RowShape kNumber;

// Batch sizes above which a loop runs without the interpreter lock: the
// release and retake (about a microsecond with another thread waiting)
// stays within a few per cent of the loop (bench/arrays/bench_arrays.py).
constexpr Py_ssize_t kReleaseMeasureRows = 4096;
constexpr Py_ssize_t kReleasePrincipalRows = 64;

template <double (*Measure)(const double*) noexcept>
PyObject* ScalarMany(PyObject*, PyObject* args, PyObject* kwargs, const char* function) {
  const batchsupport::Signature f = {
      function, {"x", nullptr}, {{kColumn}, {}}, {kNumber}, kReleaseMeasureRows};
  return batchsupport::MapOne<hexad::kComponents, 1>(f, args, kwargs,
                                                     batchsupport::ScalarRow<Measure>);
}

// The table entry of a scalar measure's batch function.
#define HEXAD_SCALAR_MANY(Name)                                                                \
  {                                                                                            \
#Name "Many", reinterpret_cast < PyCFunction>(+[](PyObject* m, PyObject* a, PyObject* k) { \
                    return ScalarMany<hexad::Name>(m, a, k, #Name "Many");                     \
                  }),                                                                          \
        METH_VARARGS | METH_KEYWORDS,                                                          \
        #Name "Many($module, x, /, *, out=None)\n--\n\nHexad." #Name                           \
              "() of each row of x "                                                           \
              "(float64 rows of six components, (N, 6)):\nan Array of N floats, or out."       \
  }

PyObject* DeviatoricPartMany(PyObject*, PyObject* args, PyObject* kwargs) {
  const batchsupport::Signature f = {
      "DeviatoricPartMany", {"x", nullptr}, {{kColumn}, {}}, {kColumn}, kReleaseMeasureRows};
  return batchsupport::MapOne<hexad::kComponents, hexad::kComponents>(f, args, kwargs,
                                                                      hexad::DeviatoricPart);
}

PyObject* TractionMany(PyObject*, PyObject* args, PyObject* kwargs) {
  const batchsupport::Signature f = {"TractionMany",
                                     {"tensors", "normals"},
                                     {{kColumn}, {kVector}},
                                     {kVector},
                                     kReleaseMeasureRows};
  return batchsupport::MapTwo<Tensor, hexad::kComponents, 3, 3>(f, args, kwargs, false,
                                                                hexad::Traction);
}

// (values, directions): values[i] the principal values of row i in
// descending order, directions[i][:, k] the unit direction of values[i][k]
// (the columns of the solver's rotation, as the method's vectors are).
// out= is a pair of arrays (values, directions), apart from x and from each
// other.
const char kOutPairMessage[] = "out must be a pair of arrays (values, directions)";

PyObject* PrincipalValuesMany(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char kFunction[] = "PrincipalValuesMany";
  PyObject* x;
  PyObject* outObj;
  if (!batchsupport::ParseArguments(args, kwargs, kFunction, 1, &x, &outObj)) return nullptr;
  PyObject* outs[2] = {Py_None, Py_None};
  if (outObj != Py_None) {
    if (!PyTuple_Check(outObj) || PyTuple_GET_SIZE(outObj) != 2) {
      PyErr_SetString(PyExc_TypeError, kOutPairMessage);
      return nullptr;
    }
    outs[0] = PyTuple_GET_ITEM(outObj, 0);
    outs[1] = PyTuple_GET_ITEM(outObj, 1);
  }
  return pysupport::Guarded([&]() -> PyObject* {
    batchsupport::Operand<hexad::kComponents> in;
    if (!in.Read(x, {kColumn}, "x")) return nullptr;
    const Py_ssize_t rows = in.Rows();
    batchsupport::Result values, directions;
    if (!values.Make(outs[0], rows, {kVector}, "out values") ||
        !directions.Make(outs[1], rows, {kMatrix, pyarray::RowShape(9)}, "out directions") ||
        !values.CheckApart(in.Data(), in.Count(), false, "out values", "x") ||
        !directions.CheckApart(in.Data(), in.Count(), false, "out directions", "x") ||
        !directions.CheckApart(values.Data(), 3 * rows, false, "out directions", "out values")) {
      return nullptr;
    }
    const double* source = in.Data();
    double* v = values.Data();
    double* d = directions.Data();
    pyarray::ReleasedIf(rows > kReleasePrincipalRows, [&] {
      // kPrincipalLanes rows at a time through the solver in lockstep, the
      // same bits as one by one.
      const auto put = [&](std::size_t i, const hexad::Principal& p) {
        std::memcpy(v + 3 * i, p.values, sizeof p.values);
        std::memcpy(d + 9 * i, p.directions, sizeof p.directions);
      };
      constexpr std::size_t kLanes = hexad::kPrincipalLanes;
      const auto n = static_cast<std::size_t>(rows);
      rowbatch::ForEach(n / kLanes, [&](std::size_t k) {
        hexad::Principal p[kLanes];
        hexad::SolvePrincipalLanes(source + kLanes * k * hexad::kComponents, p);
        for (std::size_t l = 0; l < kLanes; ++l) put(kLanes * k + l, p[l]);
      });
      for (std::size_t i = n - n % kLanes; i < n; ++i) {
        put(i, hexad::SolvePrincipal(source + i * hexad::kComponents));
      }
    });
    pysupport::Owned first(values.Finish());
    if (first.get() == nullptr) return nullptr;
    pysupport::Owned second(directions.Finish());
    if (second.get() == nullptr) return nullptr;
    return PyTuple_Pack(2, first.get(), second.get());
  });
}

PyMethodDef kModuleFunctions[] = {
    HEXAD_SCALAR_MANY(Norm),
    HEXAD_SCALAR_MANY(I1),
    HEXAD_SCALAR_MANY(I2),
    HEXAD_SCALAR_MANY(I3),
    HEXAD_SCALAR_MANY(J2),
    HEXAD_SCALAR_MANY(EffectiveStress),
    HEXAD_SCALAR_MANY(EffectiveStrain),
    {"DeviatoricPartMany", reinterpret_cast<PyCFunction>(DeviatoricPartMany),
     METH_VARARGS | METH_KEYWORDS,
     "DeviatoricPartMany($module, x, /, *, out=None)\n--\n\nHexad.DeviatoricPart() of each row "
     "of x ((N, 6)): an Array (N, 6), or out;\nout may be x itself."},
    {"PrincipalValuesMany", reinterpret_cast<PyCFunction>(PrincipalValuesMany),
     METH_VARARGS | METH_KEYWORDS,
     "PrincipalValuesMany($module, x, /, *, out=None)\n--\n\nThe principal values of each row "
     "of x ((N, 6)) in descending order and their\nunit directions as columns: a pair of "
     "Arrays (N, 3) and (N, 3, 3), or out=(values, directions)."},
    {"TractionMany", reinterpret_cast<PyCFunction>(TractionMany), METH_VARARGS | METH_KEYWORDS,
     "TractionMany($module, tensors, normals, /, *, out=None)\n--\n\nHexad.Traction() of each "
     "row of tensors ((N, 6), or one Hexad) on the same row of\nnormals ((N, 3)): an Array "
     "(N, 3), or out; out may be normals itself."},
    Tensor::kRebuildFunction,
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Hexad) {
  PyObject* module = Tensor::InitModule(kMethods, kModuleFunctions,
                                        "Module that implements a column 2nd order tensor");
  if (module != nullptr && !PyErr_Occurred() && pyarray::AddArrayType(module, "Hexad")) {
    VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesAndFunctions);
  }
  return module;
}
