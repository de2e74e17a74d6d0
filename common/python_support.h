// Small pieces every extension module of this project shares: reading a
// number operand and the operand rule of the value types, a free list of
// dead value objects, and the guard that keeps C++ exceptions out of the
// interpreter.
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

// The operand mix of a value type's binary add, subtract or multiply, by
// the rule every value type shares: the first test that holds of int left,
// int right, float left, float right, then both operands of exactly `type`.
// In the number cases the other operand must be of `type` or a subclass
// (the interpreter only calls the slot with one there; slot wrappers called
// directly are held to it too); anything else is refused.
struct Operands {
  enum Kind { NumberValue, ValueNumber, TwoValues, Refused } kind;
  double number;
  PyObject* value;  // the value operand of the number cases
};

// An exact value is neither an int nor a float, so with one on either side
// only the other side's number tests remain: the outcome is that of the
// full order, and the common cases skip the subtype walks.
inline Operands ClassifyOperands(PyObject* a, PyObject* b, PyTypeObject* type) {
  Operands op{Operands::Refused, 0.0, nullptr};
  const bool aExact = Py_TYPE(a) == type;
  const bool bExact = Py_TYPE(b) == type;
  if (aExact) {
    if (bExact) {
      op.kind = Operands::TwoValues;
    } else if (ReadNumberOperand(b, &op.number)) {
      op.kind = Operands::ValueNumber;
      op.value = a;
    }
    return op;
  }
  if (bExact) {
    if (ReadNumberOperand(a, &op.number)) {
      op.kind = Operands::NumberValue;
      op.value = b;
    }
    return op;
  }
  if (PyInt_Check(a)) {
    op = {Operands::NumberValue, static_cast<double>(PyInt_AS_LONG(a)), b};
  } else if (PyInt_Check(b)) {
    op = {Operands::ValueNumber, static_cast<double>(PyInt_AS_LONG(b)), a};
  } else if (PyFloat_Check(a)) {
    op = {Operands::NumberValue, PyFloat_AS_DOUBLE(a), b};
  } else if (PyFloat_Check(b)) {
    op = {Operands::ValueNumber, PyFloat_AS_DOUBLE(b), a};
  }
  if (op.value != nullptr && !PyObject_TypeCheck(op.value, type)) {
    op = {Operands::Refused, 0.0, nullptr};
  }
  return op;
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
