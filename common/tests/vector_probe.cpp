// Test-only extension module exposing the vector binding's three operations,
// so the binding can be exercised from Python on its own.
#include "python_support.h"
#include "vector_binding.h"

namespace {

PyObject* Bind(PyObject*, PyObject* args) {
  int functions = 0;
  if (!PyArg_ParseTuple(args, "|i", &functions)) return nullptr;
  if (!VectorBinding::BindVectorClass(functions ? VectorBinding::BuildKinds::ClassesAndFunctions
                                                : VectorBinding::BuildKinds::ClassesOnly)) {
    return nullptr;
  }
  Py_RETURN_NONE;
}

PyObject* Read(PyObject*, PyObject* args) {
  PyObject* obj;
  if (!PyArg_ParseTuple(args, "O", &obj)) return nullptr;
  double v[3];
  if (!VectorBinding::ReadVector(obj, v)) return nullptr;
  return Py_BuildValue("(ddd)", v[0], v[1], v[2]);
}

PyObject* Build(PyObject*, PyObject* args) {
  double x, y, z;
  if (!PyArg_ParseTuple(args, "ddd", &x, &y, &z)) return nullptr;
  return VectorBinding::BuildVector(x, y, z);
}

PyMethodDef kMethods[] = {
    {"Bind", Bind, METH_VARARGS, "bind the vector class again (1: accept built-in functions)"},
    {"Read", Read, METH_VARARGS, "read a vector into a tuple of three floats"},
    {"Build", Build, METH_VARARGS, "build a vector from three floats"},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(VectorProbe) {
  PyObject* module = pycompat::CreateModule("VectorProbe", kMethods, nullptr);
  if (module != nullptr) VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  return module;
}
