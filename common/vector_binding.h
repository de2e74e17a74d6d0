// The vector binding of consumer modules: a module that deals in vectors
// binds, at its own initialisation, to whatever the loaded module "Triad"
// exports under the name "Triad" (the Triad type, an old-style class or a
// factory function; under Python 3, which has no old-style classes, any
// callable) and from then on reads and builds vectors only through
// that object, never through the vector's memory.
//
// Each consumer module compiles this component in and so has a binding of
// its own.
#pragma once

#include <Python.h>

namespace VectorBinding {

// Which kinds of bound object BuildVector may call. Built-in functions are
// a factory some modules accept for building vectors.
enum class BuildKinds { ClassesOnly, ClassesAndFunctions };

// Binds the vector class; called from the module's initialisation. Imports
// "Triad" when it is not loaded yet. Returns false with ImportError (or the
// import's own exception) set when that import fails, when the module table
// holds None or a non-module under "Triad", or when the module has no item
// "Triad"; the binding then stays as it was, and MODULE_INIT fails the
// consumer's import. ReadVector and BuildVector raise while nothing is bound.
bool BindVectorClass(BuildKinds kinds);

// Reads three components x, y, z from `obj` through indexing. With an
// old-style class bound, obj must be an instance of it, else TypeError
// `refusal` is raised. Returns false with an exception set on failure.
bool ReadVector(PyObject* obj, double out[3], const char* refusal = "argument should be a Triad");

// A new vector (x, y, z) made by the bound object, or null with an
// exception set.
PyObject* BuildVector(double x, double y, double z);

// The body of a value's method that takes a vector and gives one
// (Ennead.Apply, Hexad.Traction): reads the vector (any three numbers by
// index) first, since reading it may run the script's code, then applies
// Op(components, vector, out) to the value's components as they are and
// builds the result through the bound class. `Value` is the module's
// valuetype::ValueType.
template <class Value, void (*Op)(const double*, const double*, double*) noexcept>
PyObject* VectorMethod(PyObject* self, PyObject* vector) {
  double v[3];
  if (!ReadVector(vector, v)) return nullptr;
  double w[3];
  Op(Value::Components(self), v, w);
  return BuildVector(w[0], w[1], w[2]);
}

}  // namespace VectorBinding
