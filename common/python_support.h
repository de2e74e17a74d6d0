// Small pieces every extension module of this project shares: reading a
// number operand and the operand rule of the value types, a free list of
// dead value objects, the guard that keeps C++ exceptions out of the
// interpreter, and the copy and pickle support of the native types.
#pragma once

#include <Python.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "python_compat.h"

namespace pysupport {

// A number operand of the value types' arithmetic: an int (the int-subclass
// flag, so int, bool and their subclasses) read through its integer value,
// else a float or float subclass. Python 2.7's longs and other numbers are
// not operands.
inline bool IsNumberOperand(PyObject* obj) { return pycompat::IsInt(obj) || PyFloat_Check(obj); }

// The value of a number operand (IsNumberOperand holds); false with
// OverflowError for a Python 3 int beyond a double's range.
inline bool NumberValue(PyObject* obj, double* value) {
  if (PyFloat_Check(obj)) {
    *value = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  return pycompat::IntAsDouble(obj, value);
}

// Reads a number operand into *value; anything else is refused with
// TypeError `refusal`. False with an exception set on failure.
inline bool ReadNumberOperand(PyObject* obj, double* value, const char* refusal) {
  if (!IsNumberOperand(obj)) {
    PyErr_SetString(PyExc_TypeError, refusal);
    return false;
  }
  return NumberValue(obj, value);
}

// The operand mix of a value type's binary add, subtract or multiply, by
// the rule every value type shares: the first test that holds of int left,
// int right, float left, float right, then both operands of exactly `type`.
// In the number cases the other operand must be of `type` or a subclass
// (the interpreter only calls the slot with one there; slot wrappers called
// directly are held to it too); anything else is refused.
struct Operands {
  // Failed: the number could not be read (a Python 3 int beyond a double's
  // range); the exception is set.
  enum Kind { NumberValue, ValueNumber, TwoValues, Refused, Failed } kind;
  double number;
  PyObject* value;  // the value operand of the number cases
};

// An exact value is neither an int nor a float, so with one on either side
// only the other side's number tests remain: the outcome is that of the
// full order, and the common cases skip the subtype walks.
inline Operands ClassifyOperands(PyObject* a, PyObject* b, PyTypeObject* type) {
  const bool aExact = Py_TYPE(a) == type;
  const bool bExact = Py_TYPE(b) == type;
  Operands op{Operands::Refused, 0.0, nullptr};
  PyObject* number = nullptr;
  if (aExact || bExact) {
    if (aExact && bExact) {
      op.kind = Operands::TwoValues;
      return op;
    }
    number = aExact ? b : a;
    if (!IsNumberOperand(number)) return op;
    op = {aExact ? Operands::ValueNumber : Operands::NumberValue, 0.0, aExact ? a : b};
  } else {
    // The number is on the left when a is an int, or a is a float and b
    // is not an int.
    bool numberLeft;
    if (pycompat::IsInt(a) || (!pycompat::IsInt(b) && PyFloat_Check(a))) {
      numberLeft = true;
    } else if (pycompat::IsInt(b) || PyFloat_Check(b)) {
      numberLeft = false;
    } else {
      return op;
    }
    op = {numberLeft ? Operands::NumberValue : Operands::ValueNumber, 0.0, numberLeft ? b : a};
    number = op.kind == Operands::NumberValue ? a : b;
    if (!PyObject_TypeCheck(op.value, type)) return {Operands::Refused, 0.0, nullptr};
  }
  if (!NumberValue(number, &op.number)) return {Operands::Failed, 0.0, nullptr};
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
    return reinterpret_cast<Object*>(pycompat::InitStaticTypeObject(obj, type));
  }

  // Hands back an object of exactly the owning type whose count reached 0.
  void Give(Object* object) {
    PyObject* obj = reinterpret_cast<PyObject*>(object);
    if (count_ >= Capacity) {
      PyObject_FREE(obj);
      return;
    }
    pycompat::SetType(obj, reinterpret_cast<PyTypeObject*>(head_));
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

// Owns one reference and drops it when it goes out of scope.
class Owned {
 public:
  explicit Owned(PyObject* obj = nullptr) : obj_(obj) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { Py_XDECREF(obj_); }
  PyObject* get() const { return obj_; }
  PyObject* release() {
    PyObject* obj = obj_;
    obj_ = nullptr;
    return obj;
  }

 private:
  PyObject* obj_;
};

// A result list of n slots whose items are made while Python code may run:
// a bound vector class's initialisation, an element's own operator, or a
// gc callback that an allocation fires. Until every slot is filled the list
// is kept out of the cycle collector's sight, so that code walking
// gc.get_objects() never meets its empty slots; a list given up half-filled
// is freed with the items it holds. Every result built while Python code
// can run goes through this one holder.
class ResultList {
 public:
  // Check Made(): false with MemoryError when the list could not be made.
  explicit ResultList(Py_ssize_t n) : list_(PyList_New(n)) {
    if (list_ != nullptr) PyObject_GC_UnTrack(list_);
  }
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;
  ~ResultList() { Py_XDECREF(list_); }

  bool Made() const { return list_ != nullptr; }
  // The list under construction, for code that reads it while it fills it.
  PyObject* get() const { return list_; }
  // Puts a new reference into the empty slot i, which takes it over.
  void Set(Py_ssize_t i, PyObject* item) { PyList_SET_ITEM(list_, i, item); }
  // The filled list, visible to the collector again; the holder gives it up.
  PyObject* Finish() {
    PyObject_GC_Track(list_);
    PyObject* list = list_;
    list_ = nullptr;
    return list;
  }

 private:
  PyObject* list_;
};

// The state of a subclass instance whose class defines its own
// __getstate__ (rather than inheriting the interpreter's default, which
// Python 3 has): what that returns, which the class's __setstate__ or the
// interpreter's restoring expects. *own tells whether the class has one; a
// new reference, or null with an exception set (or with *own false).
inline PyObject* OwnState(PyObject* self, bool* own) {
  *own = false;
  PyObject* mine =
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "__getstate__");
  if (mine == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return nullptr;
    PyErr_Clear();
    return nullptr;
  }
  PyObject* inherited =
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyBaseObject_Type), "__getstate__");
  if (inherited == nullptr) PyErr_Clear();
  *own = mine != inherited;
  Py_DECREF(mine);
  Py_XDECREF(inherited);
  if (!*own) return nullptr;
  return PyObject_CallMethod(self, const_cast<char*>("__getstate__"), nullptr);
}

// The state a copy or pickle of a Python subclass instance carries besides
// its native value: what the class's own __getstate__ returns, if it has
// one; else the instance's attributes and its slot values, in the form the
// copy protocol and pickle restore by themselves (with no __setstate__ of
// the type's): None when there is neither, the attribute dictionary, or
// (dictionary or None, {slot name: value}). The slot names are those the
// copy protocol itself collects for the class. A new reference, or null
// with an exception set.
inline PyObject* InstanceState(PyObject* self) {
  bool own;
  PyObject* state = OwnState(self, &own);
  if (own || state != nullptr || PyErr_Occurred()) return state;
  PyObject* dict = PyObject_GetAttrString(self, "__dict__");
  if (dict == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return nullptr;
    PyErr_Clear();
  } else if (!PyDict_Check(dict) || PyDict_Size(dict) == 0) {
    Py_CLEAR(dict);
  }
  PyObject* copyreg = PyImport_ImportModule(pycompat::kCopyRegModule);
  PyObject* names = copyreg == nullptr
                        ? nullptr
                        : PyObject_CallMethod(copyreg, const_cast<char*>("_slotnames"),
                                              const_cast<char*>("O"), Py_TYPE(self));
  Py_XDECREF(copyreg);
  // The names are copied into a tuple of our own: the list the copy
  // protocol hands over is the one it caches on the class, and reading an
  // attribute (a property) may change or empty it while we go through it.
  PyObject* names_held = names == nullptr ? nullptr : PySequence_Tuple(names);
  Py_XDECREF(names);
  if (names_held == nullptr) {
    Py_XDECREF(dict);
    return nullptr;
  }
  PyObject* slots = nullptr;
  bool ok = true;
  for (Py_ssize_t i = 0; ok && i < PyTuple_GET_SIZE(names_held); ++i) {
    PyObject* name = PyTuple_GET_ITEM(names_held, i);
    PyObject* value = PyObject_GetAttr(self, name);
    if (value == nullptr) {
      // An unset slot has no value to carry.
      ok = PyErr_ExceptionMatches(PyExc_AttributeError);
      if (ok) PyErr_Clear();
      continue;
    }
    if (slots == nullptr) slots = PyDict_New();
    ok = slots != nullptr && PyDict_SetItem(slots, name, value) == 0;
    Py_DECREF(value);
  }
  Py_DECREF(names_held);
  state = nullptr;
  if (ok) {
    if (slots != nullptr) {
      state = Py_BuildValue("(OO)", dict != nullptr ? dict : Py_None, slots);
    } else {
      state = dict != nullptr ? dict : Py_None;
      Py_INCREF(state);
    }
  }
  Py_XDECREF(slots);
  Py_XDECREF(dict);
  return state;
}

// What __reduce__ returns for `self`: (rebuild, args) for an instance of
// the native type itself, (rebuild, args + (its class,), state) for a
// Python subclass instance with attributes or slot values (args + (its
// class,) alone without). `args` is a new tuple, which this takes over. A
// new reference, or null with an exception set.
inline PyObject* Reduction(PyObject* rebuild, PyObject* args, PyObject* self,
                           PyTypeObject* nativeType) {
  if (args == nullptr) return nullptr;
  if (rebuild == nullptr) {
    Py_DECREF(args);
    PyErr_SetString(PyExc_TypeError, "the module's rebuild function is missing");
    return nullptr;
  }
  if (Py_TYPE(self) == nativeType) {
    PyObject* result = Py_BuildValue("(OO)", rebuild, args);
    Py_DECREF(args);
    return result;
  }
  const Py_ssize_t n = PyTuple_GET_SIZE(args);
  PyObject* full = PyTuple_New(n + 1);
  if (full == nullptr) {
    Py_DECREF(args);
    return nullptr;
  }
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyTuple_GET_ITEM(args, i);
    Py_INCREF(item);
    PyTuple_SET_ITEM(full, i, item);
  }
  Py_DECREF(args);
  Py_INCREF(Py_TYPE(self));
  PyTuple_SET_ITEM(full, n, reinterpret_cast<PyObject*>(Py_TYPE(self)));
  PyObject* state = InstanceState(self);
  PyObject* result = nullptr;
  if (state == Py_None) {
    result = Py_BuildValue("(OO)", rebuild, full);
  } else if (state != nullptr) {
    result = Py_BuildValue("(OOO)", rebuild, full, state);
  }
  Py_XDECREF(state);
  Py_DECREF(full);
  return result;
}

// A new, uninitialised object for a rebuild function: of `cls`, or of the
// native type when `cls` is null, made through the class's creation slot
// alone, as pickle makes objects, so that its initialisation, whatever
// arguments it takes, is not run. `cls` must be the native type or a
// subclass whose creation slot makes one of its instances; null with
// TypeError `refusal` otherwise, or with the creation slot's exception.
inline PyObject* NewForRebuild(PyObject* cls, PyTypeObject* nativeType, const char* refusal) {
  PyTypeObject* t = nativeType;
  if (cls != nullptr) {
    if (!PyType_Check(cls) || !PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(cls), nativeType)) {
      PyErr_SetString(PyExc_TypeError, refusal);
      return nullptr;
    }
    t = reinterpret_cast<PyTypeObject*>(cls);
  }
  PyObject* noArgs = PyTuple_New(0);
  if (noArgs == nullptr) return nullptr;
  PyObject* obj = t->tp_new(t, noArgs, nullptr);
  Py_DECREF(noArgs);
  if (obj != nullptr && !PyObject_TypeCheck(obj, nativeType)) {
    Py_DECREF(obj);
    PyErr_SetString(PyExc_TypeError, refusal);
    return nullptr;
  }
  return obj;
}

// An exact float or an exact int within a C long, read as the "d" format
// reads it; false (with no exception) for anything else, which callers
// leave to the format: bools and subclasses, whose float conversion may be
// their own, Python 2.7's longs, larger Python 3 ints.
inline bool ExactNumberValue(PyObject* obj, double* value) {
  if (PyFloat_CheckExact(obj)) {
    *value = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  long small;
  if (!pycompat::IsExactInt(obj) || !pycompat::SmallIntValue(obj, &small)) return false;
  *value = static_cast<double>(small);
  return true;
}

// ----- exact doubles in every pickle protocol ------------------------------
//
// Pickle protocol 0 writes floats as decimal text, which keeps every value
// but a NaN's sign and payload. What the copy support of the value types and
// the crack growth model hands to protocol 0 instead is a text of 16
// hexadecimal digits per double, its IEEE bit pattern, most significant
// digit first: plain ASCII, so that it loads alike under both interpreters,
// and exact. The rebuild functions read it beside the tuples of floats that
// every other protocol carries (and that pickles already written hold).

// A new native string holding the n doubles at v.
inline PyObject* ExactText(const double* v, int n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(static_cast<std::size_t>(16 * n), '0');
  for (int i = 0; i < n; ++i) {
    std::uint64_t bits;
    std::memcpy(&bits, &v[i], sizeof bits);
    for (int d = 15; d >= 0; --d, bits >>= 4) text[16 * i + d] = kDigits[bits & 0xf];
  }
  return pycompat::NewText(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// Reads ExactText's form of n doubles into v; false with no exception set
// (and v unchanged) when obj is not a native string of exactly that form.
inline bool ReadExactText(PyObject* obj, double* v, int n) {
  constexpr int kMost = 32;
  if (n > kMost) return false;
  Py_ssize_t size = 0;
  const char* text = pycompat::TextBytes(obj, &size);
  if (text == nullptr || size != 16 * n) return false;
  double read[kMost];
  for (int i = 0; i < n; ++i) {
    std::uint64_t bits = 0;
    for (int d = 0; d < 16; ++d) {
      const char c = text[16 * i + d];
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else {
        return false;
      }
      bits = (bits << 4) | static_cast<std::uint64_t>(digit);
    }
    std::memcpy(&read[i], &bits, sizeof bits);
  }
  for (int i = 0; i < n; ++i) v[i] = read[i];
  return true;
}

// The body of a native type's __reduce_ex__(protocol): `reduce(self)` (the
// type's __reduce__) for every protocol but 0, `reduceExact(self)` (the same
// reduction with its doubles as ExactText) for protocol 0. A subclass that
// defines a __reduce__ of its own has it used at every protocol, as the
// interpreter's default __reduce_ex__ does.
inline PyObject* ReduceForProtocol(PyObject* self, PyObject* args, PyTypeObject* nativeType,
                                   PyObject* (*reduce)(PyObject*, PyObject*),
                                   PyObject* (*reduceExact)(PyObject*)) {
  int protocol = 0;
  if (!PyArg_ParseTuple(args, "|i:__reduce_ex__", &protocol)) return nullptr;
  if (Py_TYPE(self) != nativeType) {
    Owned own(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "__reduce__"));
    if (own.get() == nullptr) return nullptr;
    if (own.get() != PyDict_GetItemString(nativeType->tp_dict, "__reduce__")) {
      return PyObject_CallMethod(self, const_cast<char*>("__reduce__"), nullptr);
    }
  }
  return protocol == 0 ? reduceExact(self) : reduce(self, nullptr);
}

}  // namespace pysupport
