#include "vector_binding.h"

#include "python_compat.h"

namespace VectorBinding {
namespace {

// The bound object. A strong reference: a script may rebind or delete the
// vector module's attribute, and the binding must not be left pointing at a
// freed class.
PyObject* VectorClass = nullptr;
BuildKinds AllowedKinds = BuildKinds::ClassesOnly;

const char kBuildProblemMessage[] = "Problem building Triad object";

bool RequireBinding() {
  if (VectorClass != nullptr) return true;
  PyErr_SetString(PyExc_ImportError, "no Triad vector class is bound");
  return false;
}

// One component: ints through their integer value, everything else
// (floats, longs, objects with a float conversion) through the float
// conversion, which rounds longs correctly and raises TypeError for items
// that are not numbers.
bool ReadComponent(PyObject* item, double* value) {
  if (PyFloat_Check(item)) {
    *value = PyFloat_AS_DOUBLE(item);
    return true;
  }
  if (pycompat::IsInt(item)) return pycompat::IntAsDouble(item, value);
  *value = PyFloat_AsDouble(item);
  return !(*value == -1.0 && PyErr_Occurred());
}

}  // namespace

bool BindVectorClass(BuildKinds kinds) {
  AllowedKinds = kinds;
  PyObject* module = PyDict_GetItemString(PyImport_GetModuleDict(), "Triad");
  if (module == nullptr) {
    PyObject* imported = PyImport_ImportModule("Triad");
    if (imported == nullptr) return false;
    // The module table keeps the module alive.
    module = imported;
    Py_DECREF(imported);
  }
  // None under the name is the interpreter's mark of a blocked import;
  // anything else that is not a module has no dictionary to bind from.
  if (module == Py_None) {
    PyErr_SetString(PyExc_ImportError, "No module named Triad");
    return false;
  }
  if (!PyModule_Check(module)) {
    PyErr_SetString(PyExc_ImportError, "sys.modules['Triad'] is not a module");
    return false;
  }
  PyObject* cls = PyDict_GetItemString(PyModule_GetDict(module), "Triad");
  if (cls == nullptr) {
    PyErr_SetString(PyExc_ImportError, "cannot import name Triad");
    return false;
  }
  Py_INCREF(cls);
  Py_XDECREF(VectorClass);
  VectorClass = cls;
  return true;
}

bool ReadVector(PyObject* obj, double out[3], const char* refusal) {
  if (!RequireBinding()) return false;
  if (pycompat::IsOldStyleClass(VectorClass)) {
    // The instance test may run the script's code, which could bind another
    // class: the one tested is held meanwhile.
    PyObject* cls = VectorClass;
    Py_INCREF(cls);
    int is = PyObject_IsInstance(obj, cls);
    Py_DECREF(cls);
    if (is < 0) return false;
    if (is == 0) {
      PyErr_SetString(PyExc_TypeError, refusal);
      return false;
    }
  }
  for (Py_ssize_t i = 0; i < 3; ++i) {
    PyObject* item = PySequence_GetItem(obj, i);
    if (item == nullptr) return false;
    bool ok = ReadComponent(item, &out[i]);
    Py_DECREF(item);
    if (!ok) return false;
  }
  return true;
}

PyObject* BuildVector(double x, double y, double z) {
  if (!RequireBinding()) return nullptr;
  PyObject* args = Py_BuildValue("ddd", x, y, z);
  if (args == nullptr) return nullptr;
  // Building runs the script's code (the class's initialisation), which may
  // bind another class: the one called is held until it returns.
  PyObject* const cls = VectorClass;
  Py_INCREF(cls);
  PyObject* result = nullptr;
  if (pycompat::IsOldStyleClass(cls)) {
    result = pycompat::NewOldStyleInstance(cls, args);
  } else if (PyCFunction_Check(cls) && AllowedKinds == BuildKinds::ClassesAndFunctions) {
    result = pycompat::CallBuiltin(cls, args);
    if (result == nullptr) PyErr_SetString(PyExc_TypeError, kBuildProblemMessage);
  } else if (PyType_Check(cls) ||
             (pycompat::kPython3 && !PyCFunction_Check(cls) && PyCallable_Check(cls))) {
    // A type is built as calling it builds it: its creation slot, then its
    // initialisation. Types that make their instances in the creation slot
    // (tuple subclasses, named tuples) would come out empty from a generic
    // allocation; for the Triad type the result is the same either way.
    // Python 3 has no old-style classes; what takes their place is any
    // other callable that makes vectors, a factory function say.
    result = PyObject_Call(cls, args, nullptr);
  } else {
    PyErr_SetString(PyExc_TypeError, kBuildProblemMessage);
  }
  Py_DECREF(cls);
  Py_DECREF(args);
  return result;
}

}  // namespace VectorBinding
