// The Python type Ennead: a full second-order tensor, a 3-by-3 matrix of
// doubles held row by row. The scaffold of the type is the shared value
// type; the matrix product and the tensor algebra are the native core in
// full_tensor.h; what is left here is component access by row and column,
// the methods that call the core and the module's batch functions over
// float64 rows, which call the same per-row kernels.
#include "array_support.h"
#include "batch_support.h"
#include "full_tensor.h"
#include "python_support.h"
#include "value_type.h"
#include "vector_binding.h"

namespace {

const char kRowMessage[] = "Ennead row index must be 0-2";
const char kColumnMessage[] = "Ennead column index must be 0-2";
const char kTwoIndicesMessage[] =
    "Ennead components take a row and a column: t[row, column] or t[row:column]";

// A single index cannot name a component: the one-index protocol is
// replaced by the row-and-column access below, and its message is the one
// that asks for both.
constexpr valuetype::Texts kTexts =
    VALUETYPE_TENSOR_TEXTS("Ennead", "xx, xy, xz, yx, yy, yz, zx, zy, zz", "ddddddddd",
                           "Can only in-place multiply a Ennead by a number", kTwoIndicesMessage);

// Two tensors multiply to their matrix product, a new tensor.
using Tensor =
    valuetype::ValueType<ennead::kComponents, valuetype::Kind::Tensor, kTexts, ennead::Product>;

// --- component access by row and column -----------------------------------

// Both forms, t[r:c] through the two-index sequence slots (under Python 3
// through the mapping slots as a slice key) and t[r, c] through the mapping
// slots, end in Read and Assign with the full
// Py_ssize_t indices, so that an index beyond 32 bits (or one the
// interpreter clamped) fails the range check instead of wrapping.

// The storage index of (row, column), or -1 with IndexError: the row is
// checked before the column.
int CheckedIndex(Py_ssize_t row, Py_ssize_t column) {
  if (row < 0 || row >= ennead::kRows) {
    PyErr_SetString(PyExc_IndexError, kRowMessage);
    return -1;
  }
  if (column < 0 || column >= ennead::kColumns) {
    PyErr_SetString(PyExc_IndexError, kColumnMessage);
    return -1;
  }
  return ennead::Index(static_cast<int>(row), static_cast<int>(column));
}

PyObject* Read(PyObject* self, Py_ssize_t row, Py_ssize_t column) {
  const int i = CheckedIndex(row, column);
  if (i < 0) return nullptr;
  return PyFloat_FromDouble(Tensor::Components(self)[i]);
}

// Also reached with no value by `del t[r:c]` and `del t[r, c]`, which are
// refused before anything else: a tensor always has nine components.
int Assign(PyObject* self, Py_ssize_t row, Py_ssize_t column, PyObject* value) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_TypeError, kTexts.remove);
    return -1;
  }
  const int i = CheckedIndex(row, column);
  if (i < 0) return -1;
  double number;
  if (!pysupport::ReadNumberOperand(value, &number, kTexts.assign)) return -1;
  Tensor::Components(self)[i] = number;
  return 0;
}

// One index of a (row, column) key: an int read directly, else anything
// with an index conversion, clamped as slice bounds are.
bool ReadIndex(PyObject* obj, Py_ssize_t* index) {
  long small;
  if (pycompat::IsExactInt(obj) && pycompat::SmallIntValue(obj, &small)) {
    *index = small;
    return true;
  }
  if (!PyIndex_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, kTwoIndicesMessage);
    return false;
  }
  *index = PyNumber_AsSsize_t(obj, nullptr);
  return !(*index == -1 && PyErr_Occurred());
}

// One bound of t[r:c] as the two-index slots read it: an absent bound is
// `absent`, an index is read through its index conversion, clamped; false
// with an exception set otherwise.
bool ReadBound(PyObject* bound, Py_ssize_t absent, Py_ssize_t* index) {
  if (bound == Py_None) {
    *index = absent;
    return true;
  }
  *index = PyNumber_AsSsize_t(bound, nullptr);
  return !(*index == -1 && PyErr_Occurred());
}

bool IsIndexBound(PyObject* bound) { return bound == Py_None || PyIndex_Check(bound); }

// Python 3 has no two-index slots and hands t[r:c] over as a slice key; it
// is read as Python 2.7's slots read t[r:c]: no step (Python 3 cannot tell
// t[r:c:None] from t[r:c]), and bounds that are absent or indices, the row
// bound 0 and the column bound the largest index when absent.
bool ReadSliceKey(PyObject* key, Py_ssize_t* row, Py_ssize_t* column) {
  const PySliceObject* slice = reinterpret_cast<PySliceObject*>(key);
  if (slice->step != Py_None || !IsIndexBound(slice->start) || !IsIndexBound(slice->stop)) {
    PyErr_SetString(PyExc_TypeError, kTwoIndicesMessage);
    return false;
  }
  return ReadBound(slice->start, 0, row) && ReadBound(slice->stop, PY_SSIZE_T_MAX, column);
}

// The key of t[r, c] is the tuple (r, c); under Python 3 t[r:c] arrives as a
// slice key too. A single index, a slice the two-index slots did not take
// (one with a step or with bounds that are not indices) and any other key
// are refused.
bool ReadKey(PyObject* key, Py_ssize_t* row, Py_ssize_t* column) {
  if (pycompat::kSlicesAreKeys && PySlice_Check(key)) return ReadSliceKey(key, row, column);
  if (!PyTuple_Check(key) || PyTuple_GET_SIZE(key) != 2) {
    PyErr_SetString(PyExc_TypeError, kTwoIndicesMessage);
    return false;
  }
  return ReadIndex(PyTuple_GET_ITEM(key, 0), row) && ReadIndex(PyTuple_GET_ITEM(key, 1), column);
}

PyObject* Subscript(PyObject* self, PyObject* key) {
  Py_ssize_t row, column;
  if (!ReadKey(key, &row, &column)) return nullptr;
  return Read(self, row, column);
}

int AssignSubscript(PyObject* self, PyObject* key, PyObject* value) {
  if (value == nullptr) return Assign(self, 0, 0, nullptr);
  Py_ssize_t row, column;
  if (!ReadKey(key, &row, &column)) return -1;
  return Assign(self, row, column, value);
}

// No length in either protocol, so len() stays refused and negative
// indices are not wrapped.
PySequenceMethods kSequence = [] {
  PySequenceMethods s{};
  pycompat::SetTwoIndexSlots(&s, Read, Assign);
  return s;
}();

PyMappingMethods kMapping = [] {
  PyMappingMethods m{};
  m.mp_subscript = Subscript;
  m.mp_ass_subscript = AssignSubscript;
  return m;
}();

// The component methods, in storage order.
constexpr const char* kNames[] = {"xx", "xy", "xz", "yx", "yy", "yz", "zx", "zy", "zz"};
// Fixed texts, each with the signature Python 3 reads.
#define ENNEAD_COMPONENT_DOC(name) PYCOMPAT_FIXED_DOC(name "($self, /)", name " component")
constexpr const char* kDocs[] = {
    ENNEAD_COMPONENT_DOC("xx"), ENNEAD_COMPONENT_DOC("xy"), ENNEAD_COMPONENT_DOC("xz"),
    ENNEAD_COMPONENT_DOC("yx"), ENNEAD_COMPONENT_DOC("yy"), ENNEAD_COMPONENT_DOC("yz"),
    ENNEAD_COMPONENT_DOC("zx"), ENNEAD_COMPONENT_DOC("zy"), ENNEAD_COMPONENT_DOC("zz")};
#undef ENNEAD_COMPONENT_DOC
// --- tensor algebra -------------------------------------------------------

// A new tensor whose components Op(a, out) writes from this one's.
template <void (*Op)(const double*, double*) noexcept>
PyObject* Unary(PyObject* self, PyObject*) {
  const double* a = Tensor::Components(self);
  return Tensor::Make([a](double* out) { Op(a, out); });
}

template <double (*Op)(const double*) noexcept>
PyObject* Scalar(PyObject* self, PyObject*) {
  return PyFloat_FromDouble(Op(Tensor::Components(self)));
}

const std::array<PyMethodDef, 5> kAlgebra = {{
    {"Transpose", Unary<ennead::Transpose>, METH_NOARGS,
     "Transpose($self, /)\n--\n\nThe transposed tensor, a new Ennead."},
    {"Determinant", Scalar<ennead::Determinant>, METH_NOARGS,
     "Determinant($self, /)\n--\n\nThe determinant, a float."},
    {"Inverse", Unary<ennead::Inverse>, METH_NOARGS,
     "Inverse($self, /)\n--\n\nThe inverse, a new Ennead: the adjugate divided by the "
     "determinant;\na singular tensor gives infinities or NaNs, no exception."},
    {"Trace", Scalar<ennead::Trace>, METH_NOARGS, "Trace($self, /)\n--\n\nxx + yy + zz, a float."},
    {"Apply", VectorBinding::VectorMethod<Tensor, ennead::Apply>, METH_O,
     "Apply($self, v, /)\n--\n\nThe tensor applied to the vector v (any three numbers by "
     "index):\na new vector of the bound Triad class."},
}};

auto kMethods = Tensor::ComponentMethods(kNames, kDocs, kAlgebra);

// --- batch functions --------------------------------------------------------

// Named after the operation with "Many", as Hexad's are: under
// `from Ennead import Ennead` the name Ennead is the type, whose methods
// would take the module functions' names otherwise.

constexpr pyarray::RowShape kMatrix(3, 3);
constexpr pyarray::RowShape kFlat(ennead::kComponents);
constexpr pyarray::RowShape kVector(3);
constexpr pyarray::RowShape kNumber;

// Batch sizes above which a loop runs without the interpreter lock: the
// release and retake stays within a few per cent of the loop
// (bench/arrays/bench_arrays.py).
constexpr Py_ssize_t kReleaseRows = 4096;

template <double (*Op)(const double*) noexcept>
PyObject* ScalarMany(PyObject* args, PyObject* kwargs, const char* function) {
  const batchsupport::Signature f = {
      function, {"x", nullptr}, {{kMatrix, kFlat}, {}}, {kNumber}, kReleaseRows};
  return batchsupport::MapOne<ennead::kComponents, 1>(f, args, kwargs, batchsupport::ScalarRow<Op>);
}

template <void (*Op)(const double*, double*) noexcept>
PyObject* UnaryMany(PyObject* args, PyObject* kwargs, const char* function) {
  const batchsupport::Signature f = {
      function, {"x", nullptr}, {{kMatrix, kFlat}, {}}, {kMatrix, kFlat}, kReleaseRows};
  return batchsupport::MapOne<ennead::kComponents, ennead::kComponents>(f, args, kwargs, Op);
}

PyObject* DeterminantMany(PyObject*, PyObject* args, PyObject* kwargs) {
  return ScalarMany<ennead::Determinant>(args, kwargs, "DeterminantMany");
}
PyObject* TraceMany(PyObject*, PyObject* args, PyObject* kwargs) {
  return ScalarMany<ennead::Trace>(args, kwargs, "TraceMany");
}
PyObject* TransposeMany(PyObject*, PyObject* args, PyObject* kwargs) {
  return UnaryMany<ennead::Transpose>(args, kwargs, "TransposeMany");
}
PyObject* InverseMany(PyObject*, PyObject* args, PyObject* kwargs) {
  return UnaryMany<ennead::Inverse>(args, kwargs, "InverseMany");
}

PyObject* ProductMany(PyObject*, PyObject* args, PyObject* kwargs) {
  const batchsupport::Signature f = {"ProductMany",
                                     {"a", "b"},
                                     {{kMatrix, kFlat}, {kMatrix, kFlat}},
                                     {kMatrix, kFlat},
                                     kReleaseRows};
  return batchsupport::MapTwo<Tensor, ennead::kComponents, ennead::kComponents,
                              ennead::kComponents>(f, args, kwargs, true, ennead::Product);
}

PyObject* ApplyMany(PyObject*, PyObject* args, PyObject* kwargs) {
  const batchsupport::Signature f = {
      "ApplyMany", {"tensors", "vectors"}, {{kMatrix, kFlat}, {kVector}}, {kVector}, kReleaseRows};
  return batchsupport::MapTwo<Tensor, ennead::kComponents, 3, 3>(f, args, kwargs, false,
                                                                 ennead::Apply);
}

constexpr int kBatchFlags = METH_VARARGS | METH_KEYWORDS;

PyMethodDef kModuleFunctions[] = {
    {"ProductMany", reinterpret_cast<PyCFunction>(ProductMany), kBatchFlags,
     "ProductMany($module, a, b, /, *, out=None)\n--\n\nThe matrix product a.b of each row "
     "pair (each (N, 3, 3) or (N, 9), or one Ennead):\nan Array of a's shape, or out; out may "
     "be a or b itself."},
    {"ApplyMany", reinterpret_cast<PyCFunction>(ApplyMany), kBatchFlags,
     "ApplyMany($module, tensors, vectors, /, *, out=None)\n--\n\nEach row of tensors ((N, 3, "
     "3) or (N, 9), or one Ennead) applied to the same row of\nvectors ((N, 3)): an Array (N, "
     "3), or out; out may be vectors itself."},
    {"TransposeMany", reinterpret_cast<PyCFunction>(TransposeMany), kBatchFlags,
     "TransposeMany($module, x, /, *, out=None)\n--\n\nThe transpose of each row of x ((N, 3, "
     "3) or (N, 9)): an Array of x's shape, or out;\nout may be x itself."},
    {"DeterminantMany", reinterpret_cast<PyCFunction>(DeterminantMany), kBatchFlags,
     "DeterminantMany($module, x, /, *, out=None)\n--\n\nThe determinant of each row of x ((N, "
     "3, 3) or (N, 9)): an Array of N floats, or out."},
    {"InverseMany", reinterpret_cast<PyCFunction>(InverseMany), kBatchFlags,
     "InverseMany($module, x, /, *, out=None)\n--\n\nThe inverse of each row of x ((N, 3, 3) or "
     "(N, 9); singular rows give infinities or NaNs):\nan Array of x's shape, or out; out may be "
     "x itself."},
    {"TraceMany", reinterpret_cast<PyCFunction>(TraceMany), kBatchFlags,
     "TraceMany($module, x, /, *, out=None)\n--\n\nThe trace of each row of x ((N, 3, 3) or "
     "(N, 9)): an Array of N floats, or out."},
    Tensor::kRebuildFunction,
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

// Binds the vector class after adding the type, although no operation uses
// it: Triad must be importable wherever Ennead is.
MODULE_INIT(Ennead) {
  PyObject* module = Tensor::InitModule(kMethods.data(), kModuleFunctions,
                                        "Module that implements a full 2nd order (3-by-3) tensor",
                                        &kSequence, &kMapping);
  if (module != nullptr && !PyErr_Occurred() && pyarray::AddArrayType(module, "Ennead")) {
    VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  }
  return module;
}
