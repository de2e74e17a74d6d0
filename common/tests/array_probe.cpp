// Test-only extension module exposing the shared array plumbing: reading a
// batch, writing into an out= buffer, and making result arrays, so that it
// can be exercised from Python on its own.
#include <cstdint>
#include <vector>

#include "array_support.h"
#include "python_support.h"

namespace {

// The row shapes a probe call reads by, chosen by name.
bool ReadAs(pyarray::DoubleArray* in, PyObject* obj, const char* kind) {
  const std::string k = kind;
  if (k == "1") return in->Read(obj, {}, "x");
  if (k == "3") return in->Read(obj, {pyarray::RowShape(3)}, "x");
  if (k == "6") return in->Read(obj, {pyarray::RowShape(6)}, "x");
  if (k == "33") return in->Read(obj, {pyarray::RowShape(3, 3), pyarray::RowShape(9)}, "x");
  PyErr_SetString(PyExc_ValueError, "row kind must be '1', '3', '6' or '33'");
  return false;
}

PyObject* Read(PyObject*, PyObject* args) {
  PyObject* obj;
  const char* kind = "3";
  if (!PyArg_ParseTuple(args, "O|s", &obj, &kind)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    pyarray::DoubleArray in;
    if (!ReadAs(&in, obj, kind)) return nullptr;
    const Py_ssize_t n = in.Rows() * in.RowWidth();
    PyObject* items = PyList_New(0);
    for (Py_ssize_t i = 0; items != nullptr && i < n; ++i) {
      PyObject* v = PyFloat_FromDouble(in.Data()[i]);
      if (v == nullptr || PyList_Append(items, v) < 0) Py_CLEAR(items);
      Py_XDECREF(v);
    }
    if (items == nullptr) return nullptr;
    const pyarray::RowShape& s = in.Shape();
    PyObject* result = Py_BuildValue("(nnO)", in.Rows(), s.ndim, items);
    Py_DECREF(items);
    return result;
  });
}

// -x of an (N, 3) batch, into out= or a new Array; out may be x itself but
// not overlap it otherwise.
PyObject* Negate(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"x", "out", nullptr};
  PyObject* obj;
  PyObject* outObj = Py_None;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O", const_cast<char**>(keywords), &obj,
                                   &outObj)) {
    return nullptr;
  }
  return pysupport::Guarded([&]() -> PyObject* {
    pyarray::DoubleArray in;
    if (!in.Read(obj, {pyarray::RowShape(3)}, "x")) return nullptr;
    pyarray::OutArray out;
    PyObject* result = nullptr;
    double* target;
    if (outObj != Py_None) {
      if (!out.Bind(outObj, in.Rows(), {pyarray::RowShape(3)}, "out")) return nullptr;
      if (pyarray::MemoryOverlap(in, out) == pyarray::Overlap::Partial) {
        PyErr_SetString(PyExc_ValueError, "out overlaps x other than exactly");
        return nullptr;
      }
      target = out.Data();
    } else {
      result = pyarray::NewArray({in.Rows(), 3}, &target);
      if (result == nullptr) return nullptr;
    }
    const double* source = in.Data();
    const Py_ssize_t n = in.Rows() * 3;
    pyarray::ReleasedIf(n > 30000, [&] {
      for (Py_ssize_t i = 0; i < n; ++i) target[i] = -source[i];
    });
    if (result != nullptr) return result;
    if (!out.Commit()) return nullptr;
    Py_INCREF(out.Object());
    return out.Object();
  });
}

// A new Array of `shape` (1 to 3 ints) and format 'd', 'i' or 'q', holding
// 0, 1, 2, ... in order.
PyObject* New(PyObject*, PyObject* args) {
  PyObject* shapeObj;
  const char* format = "d";
  if (!PyArg_ParseTuple(args, "O|s", &shapeObj, &format)) return nullptr;
  Py_ssize_t dims[3] = {0, 0, 0};
  if (!PyTuple_Check(shapeObj) ||
      !PyArg_ParseTuple(shapeObj, "n|nn", &dims[0], &dims[1], &dims[2])) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "shape must be a tuple of ints");
    return nullptr;
  }
  const Py_ssize_t ndim = PyTuple_GET_SIZE(shapeObj);
  // Makes the array, then fills it: its item count fits once it is made.
  auto make = [&](auto* data) -> PyObject* {
    PyObject* made = ndim == 1   ? pyarray::NewArray({dims[0]}, &data)
                     : ndim == 2 ? pyarray::NewArray({dims[0], dims[1]}, &data)
                                 : pyarray::NewArray({dims[0], dims[1], dims[2]}, &data);
    if (made == nullptr) return nullptr;
    Py_ssize_t count = 1;
    for (Py_ssize_t d = 0; d < ndim; ++d) count = dims[d] == 0 ? 0 : count;
    for (Py_ssize_t d = 0; count > 0 && d < ndim; ++d) count *= dims[d];
    for (Py_ssize_t i = 0; i < count; ++i) data[i] = static_cast<decltype(+*data)>(i);
    return made;
  };
  const std::string f = format;
  PyObject* result = nullptr;
  if (f == "d") {
    result = make(static_cast<double*>(nullptr));
  } else if (f == "i") {
    result = make(static_cast<std::int32_t*>(nullptr));
  } else if (f == "q") {
    result = make(static_cast<std::int64_t*>(nullptr));
  } else {
    PyErr_SetString(PyExc_ValueError, "format must be 'd', 'i' or 'q'");
  }
  return result;
}

PyMethodDef kModuleFunctions[] = {
    {"Read", Read, METH_VARARGS,
     "Read($module, x, kind='3', /)\n--\n\n"
     "Reads x by row kind '1', '3', '6' or '33' ((3, 3) or (9)); returns (rows, row ndim, "
     "flat list of floats)."},
    {"Negate", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Negate)),
     METH_VARARGS | METH_KEYWORDS,
     "Negate($module, x, out=None)\n--\n\n"
     "-x of an (N, 3) batch: into out (which may be x itself) and returns it, or a new Array."},
    {"New", New, METH_VARARGS,
     "New($module, shape, format='d', /)\n--\n\n"
     "A new Array of shape and format 'd', 'i' or 'q' holding 0, 1, 2, ... in order."},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(ArrayProbe) {
  PyObject* module = pycompat::CreateModule("ArrayProbe", kModuleFunctions, nullptr);
  if (module != nullptr) pyarray::AddArrayType(module, "ArrayProbe");
  return module;
}
