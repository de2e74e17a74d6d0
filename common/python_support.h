// Small pieces every extension module of this project shares: reading a
// number operand, a free list of dead value objects, and the guard that
// keeps C++ exceptions out of the interpreter.
#pragma once

#include <Python.h>

#include <exception>
#include <new>

// Declares a module's initialisation function, visible from the shared
// library (everything else in our modules is hidden):
//   MODULE_INIT(Triad) { ... }
// The body returns early with an exception set to fail the import. The
// interpreter would keep the half-made module in sys.modules, so that the
// next import "succeeded" with it: a failed initialisation takes the module
// out again (under its full name, as the importer put it there), and every
// later import runs the initialisation afresh.
#define MODULE_INIT(name)                                                              \
  static void InitModule##name();                                                      \
  extern "C" __attribute__((visibility("default"))) void init##name() {                \
    const char* fullName = _Py_PackageContext != nullptr ? _Py_PackageContext : #name; \
    InitModule##name();                                                                \
    if (!PyErr_Occurred()) return;                                                     \
    PyObject *type, *value, *traceback;                                                \
    PyErr_Fetch(&type, &value, &traceback);                                            \
    PyObject* modules = PyImport_GetModuleDict();                                      \
    if (PyDict_GetItemString(modules, fullName) != nullptr) {                          \
      if (PyDict_DelItemString(modules, fullName) < 0) PyErr_Clear();                  \
    }                                                                                  \
    PyErr_Restore(type, value, traceback);                                             \
  }                                                                                    \
  static void InitModule##name()

namespace pysupport {

// A number operand of the value types' arithmetic: an int (the int-subclass
// flag, so int, bool and their subclasses) read through its integer value,
// else a float or float subclass. Longs and other numbers are not operands.
inline bool ReadNumberOperand(PyObject* obj, double* value) {
  if (PyInt_Check(obj)) {
    *value = static_cast<double>(PyInt_AS_LONG(obj));
    return true;
  }
  if (PyFloat_Check(obj)) {
    *value = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  return false;
}

// Keeps up to Capacity dead objects of one fixed-size value type for reuse,
// so that arithmetic results need not go through the allocator each time.
// Only objects of exactly the owning type enter the list; subclass
// instances are freed by their own type's free slot. A dead object's type
// pointer links it to the next one, as the interpreter's own float type
// does.
template <class Object, int Capacity = 1024>
class FreeList {
 public:
  // A new, initialised object of exactly `type`, or null with MemoryError.
  Object* Take(PyTypeObject* type) {
    PyObject* obj = head_;
    if (obj != nullptr) {
      head_ = reinterpret_cast<PyObject*>(Py_TYPE(obj));
      --count_;
    } else {
      obj = static_cast<PyObject*>(PyObject_MALLOC(sizeof(Object)));
      if (obj == nullptr) return reinterpret_cast<Object*>(PyErr_NoMemory());
    }
    return reinterpret_cast<Object*>(PyObject_INIT(obj, type));
  }

  // Hands back an object of exactly the owning type whose count reached 0.
  void Give(Object* object) {
    PyObject* obj = reinterpret_cast<PyObject*>(object);
    if (count_ >= Capacity) {
      PyObject_FREE(obj);
      return;
    }
    Py_TYPE(obj) = reinterpret_cast<PyTypeObject*>(head_);
    head_ = obj;
    ++count_;
  }

 private:
  PyObject* head_ = nullptr;
  int count_ = 0;
};

// Runs body(), which returns a new reference or null with an exception set,
// and turns any C++ exception it lets escape into a Python exception.
template <class Body>
auto Guarded(Body&& body) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unexpected native failure");
  }
  return decltype(body())();
}

}  // namespace pysupport
