// The differences between the Python 2.7 and Python 3 C APIs that the
// modules meet, in one place, so that the same slot code builds for both
// interpreters: module creation and the initialisation entry point, int and
// text objects, the division slot, the two-index sequence slots, the method
// lookup of the factory-made objects, and the type names.
//
// Under Python 2.7 every helper is exactly the call the modules made before;
// under Python 3 it is that interpreter's nearest equivalent, or nothing
// where the concept does not exist there (old-style classes, classic
// division, the two-index slots).
#pragma once

#include <Python.h>

#include <climits>
#include <string>

#if PY_MAJOR_VERSION >= 3
// Python 3 types always take mixed operands in their number slots.
#define Py_TPFLAGS_CHECKTYPES 0
#endif

// A fixed doc string `text` with the signature `signature` ("Name($self,
// a, /)", "Name($module, a, /)" or, for a type, "Name(a, /)"). Python 3 reads the
// signature for help() and inspect.signature and leaves it out of __doc__,
// which stays `text` exactly; Python 2.7 reads none, so there the doc string
// is `text` alone. Doc strings that are not fixed texts write the signature
// in full and show it under both interpreters.
#if PY_MAJOR_VERSION >= 3
#define PYCOMPAT_FIXED_DOC(signature, text) signature "\n--\n\n" text
#else
#define PYCOMPAT_FIXED_DOC(signature, text) text
#endif

namespace pycompat {

constexpr bool kPython3 = PY_MAJOR_VERSION >= 3;

// The module that holds the copy protocol's helpers.
constexpr const char* kCopyRegModule = kPython3 ? "copyreg" : "copy_reg";

// ----- ints and texts -----------------------------------------------------

// An int operand: Python 2.7's int (and bool) or Python 3's int (and bool),
// with their subclasses. Python 2.7's long is not one.
inline bool IsInt(PyObject* obj) {
#if PY_MAJOR_VERSION >= 3
  return PyLong_Check(obj);
#else
  return PyInt_Check(obj);
#endif
}

inline bool IsExactInt(PyObject* obj) {
#if PY_MAJOR_VERSION >= 3
  return PyLong_CheckExact(obj);
#else
  return PyInt_CheckExact(obj);
#endif
}

inline PyTypeObject* IntType() {
#if PY_MAJOR_VERSION >= 3
  return &PyLong_Type;
#else
  return &PyInt_Type;
#endif
}

// The value of an int (IsInt holds) when it fits a C long: always under
// Python 2.7; false, with no exception set and *value the C long nearest
// to it, for a larger Python 3 int.
inline bool SmallIntValue(PyObject* obj, long* value) {
#if PY_MAJOR_VERSION >= 3
  int overflow = 0;
  *value = PyLong_AsLongAndOverflow(obj, &overflow);
  if (overflow != 0) *value = overflow > 0 ? LONG_MAX : LONG_MIN;
  return overflow == 0;
#else
  *value = PyInt_AS_LONG(obj);
  return true;
#endif
}

// The value of an int (IsInt holds) as a double: (double) of the C long
// under Python 2.7; the correctly rounded value under Python 3, or false
// with OverflowError beyond a double's range.
inline bool IntAsDouble(PyObject* obj, double* value) {
#if PY_MAJOR_VERSION >= 3
  *value = PyLong_AsDouble(obj);
  return !(*value == -1.0 && PyErr_Occurred());
#else
  *value = static_cast<double>(PyInt_AS_LONG(obj));
  return true;
#endif
}

inline PyObject* NewInt(long value) {
#if PY_MAJOR_VERSION >= 3
  return PyLong_FromLong(value);
#else
  return PyInt_FromLong(value);
#endif
}

// A new native string (str in both dialects) from `size` bytes of ASCII.
inline PyObject* NewText(const char* text, Py_ssize_t size) {
#if PY_MAJOR_VERSION >= 3
  return PyUnicode_FromStringAndSize(text, size);
#else
  return PyString_FromStringAndSize(text, size);
#endif
}

// The characters of a native string (str in both dialects) as bytes, or
// null with no exception set for anything else (and for a Python 3 string
// that has no UTF-8 form).
inline const char* TextBytes(PyObject* obj, Py_ssize_t* size) {
#if PY_MAJOR_VERSION >= 3
  if (!PyUnicode_Check(obj)) return nullptr;
  const char* bytes = PyUnicode_AsUTF8AndSize(obj, size);
  if (bytes == nullptr) PyErr_Clear();
  return bytes;
#else
  if (!PyString_Check(obj)) return nullptr;
  *size = PyString_GET_SIZE(obj);
  return PyString_AS_STRING(obj);
#endif
}

// ----- old-style classes (Python 2.7 only) --------------------------------

inline bool IsOldStyleClass(PyObject* obj) {
#if PY_MAJOR_VERSION >= 3
  (void)obj;
  return false;
#else
  return PyClass_Check(obj);
#endif
}

// An instance of the old-style class `cls` (IsOldStyleClass holds).
inline PyObject* NewOldStyleInstance(PyObject* cls, PyObject* args) {
#if PY_MAJOR_VERSION >= 3
  return PyObject_Call(cls, args, nullptr);
#else
  return PyInstance_New(cls, args, nullptr);
#endif
}

// Calls the built-in function `function` (PyCFunction_Check holds) with
// the argument tuple `args`.
inline PyObject* CallBuiltin(PyObject* function, PyObject* args) {
#if PY_MAJOR_VERSION >= 3
  return PyObject_Call(function, args, nullptr);
#else
  return PyCFunction_Call(function, args, nullptr);
#endif
}

// ----- division -------------------------------------------------------------

// The slots of `/` and `/=`: Python 3's true division (Python 3 has no
// other `/`); under Python 2.7 classic division and true division alike,
// so that a script starting with `from __future__ import division`, the
// usual first line of one shared between the interpreters, divides as one
// without it. Floor division is left out in both.
inline void SetDivision(PyNumberMethods* number, binaryfunc divide, binaryfunc inplaceDivide) {
  number->nb_true_divide = divide;
  number->nb_inplace_true_divide = inplaceDivide;
#if PY_MAJOR_VERSION < 3
  number->nb_divide = divide;
  number->nb_inplace_divide = inplaceDivide;
#endif
}

// The interpreter's `/` of two objects.
inline PyObject* Divide(PyObject* a, PyObject* b) {
#if PY_MAJOR_VERSION >= 3
  return PyNumber_TrueDivide(a, b);
#else
  return PyNumber_Divide(a, b);
#endif
}

// Whether `/` may warn (Python 2.7's -Qwarn and -Qwarnall), so that a
// warning filter could turn it into an exception.
inline bool DivisionMayWarn() {
#if PY_MAJOR_VERSION >= 3
  return false;
#else
  return Py_DivisionWarningFlag != 0;
#endif
}

// ----- buffers -------------------------------------------------------------

// The type flag that makes the interpreter read a type's bf_getbuffer:
// Python 2.7 reads it only with this flag, Python 3 always.
#if PY_MAJOR_VERSION >= 3
constexpr unsigned long kNewBufferFlag = 0;
#else
constexpr long kNewBufferFlag = Py_TPFLAGS_HAVE_NEWBUFFER;
#endif

// ----- two-index sequence slots ------------------------------------------

// Python 2.7 hands `t[i:j]` with plain bounds to the two-index slots, with
// the bounds read as indices; Python 3 has no such slots and hands every
// slice to the mapping protocol as a key.
constexpr bool kSlicesAreKeys = kPython3;

// The slot types, which Python 3 no longer declares.
#if PY_MAJOR_VERSION >= 3
using ssizessizeargfunc = PyObject* (*)(PyObject*, Py_ssize_t, Py_ssize_t);
using ssizessizeobjargproc = int (*)(PyObject*, Py_ssize_t, Py_ssize_t, PyObject*);
#endif

inline void SetTwoIndexSlots(PySequenceMethods* sequence, ssizessizeargfunc read,
                             ssizessizeobjargproc assign) {
#if PY_MAJOR_VERSION >= 3
  (void)sequence;
  (void)read;
  (void)assign;
#else
  sequence->sq_slice = read;
  sequence->sq_ass_slice = assign;
#endif
}

// ----- objects and types --------------------------------------------------

// Python 3.10 and later have no assignable Py_TYPE and Py_REFCNT.
inline void SetType(PyObject* obj, PyTypeObject* type) {
#if PY_MAJOR_VERSION >= 3
  Py_SET_TYPE(obj, type);
#else
  Py_TYPE(obj) = type;
#endif
}

// Makes the memory at `obj` a new object of the static (never freed, so
// not reference-counted by its instances) type `type`, with one reference:
// what the interpreter's own initialisation does, inline. Python 3 makes
// that a call into the interpreter, which then calls on to set the count;
// a free list's objects are made millions of times. (Python 3's memory
// tracer, when it runs, keeps the block's first traceback.)
inline PyObject* InitStaticTypeObject(PyObject* obj, PyTypeObject* type) {
#if PY_MAJOR_VERSION >= 3 && !defined(Py_TRACE_REFS) && !defined(Py_REF_DEBUG)
  Py_SET_TYPE(obj, type);
  Py_SET_REFCNT(obj, 1);
  return obj;
#else
  return PyObject_INIT(obj, type);
#endif
}

// Marks a static type object as a live object of the metatype: it is never
// freed.
inline void PrepareStaticType(PyTypeObject* type) {
  PyObject* obj = reinterpret_cast<PyObject*>(type);
#if PY_MAJOR_VERSION >= 3
  Py_SET_REFCNT(obj, 1);
#else
  Py_REFCNT(obj) = 1;
#endif
  SetType(obj, &PyType_Type);
}

// The name of type `name` in module `module`: the bare name under Python
// 2.7, as it always read there; "module.name" under Python 3, the
// convention for extension types there. Type names live as long as their
// types, which is as long as the process.
inline const char* TypeName(const char* module, const char* name) {
#if PY_MAJOR_VERSION >= 3
  const std::string* qualified = new std::string(std::string(module) + "." + name);
  return qualified->c_str();
#else
  (void)module;
  return name;
#endif
}

// The objects that module functions make (Boxfinder, Eightfold) find their
// methods in `Methods`: under Python 2.7 through the attribute slot, as the
// interpreter's own factory-made objects do; under Python 3 as the type's
// method table, through the generic lookup, which needs a ready type.
#if PY_MAJOR_VERSION < 3
template <PyMethodDef* Methods>
PyObject* FindMethod(PyObject* self, char* name) {
  return Py_FindMethod(Methods, self, name);
}
#endif

// Returns false with the interpreter's exception set when the type cannot
// be made ready (Python 3 only).
template <PyMethodDef* Methods>
bool SetMethodLookup(PyTypeObject* type) {
#if PY_MAJOR_VERSION >= 3
  type->tp_methods = Methods;
  type->tp_getattro = PyObject_GenericGetAttr;
  return PyType_Ready(type) == 0;
#else
  type->tp_getattr = FindMethod<Methods>;
  return true;
#endif
}

// ----- modules ------------------------------------------------------------

// Creates the module `name` with `functions` and `doc`. Under Python 2.7
// the interpreter's module table owns it and the reference is borrowed;
// under Python 3 it is a new reference, which the initialisation entry
// point hands to the interpreter. Every extension module of ours is one
// shared object with one module, so one definition per shared object
// serves.
inline PyObject* CreateModule(const char* name, PyMethodDef* functions, const char* doc) {
#if PY_MAJOR_VERSION >= 3
  static PyModuleDef definition = {
      PyModuleDef_HEAD_INIT, name, doc, -1, functions, nullptr, nullptr, nullptr, nullptr};
  return PyModule_Create(&definition);
#else
  return Py_InitModule4(name, functions, doc, nullptr, PYTHON_API_VERSION);
#endif
}

}  // namespace pycompat

// Declares a module's initialisation, visible from the shared library
// (everything else in our modules is hidden):
//   MODULE_INIT(Triad) { ...; return module; }
// The body makes the module with pycompat::CreateModule and returns it (or
// null if it made none); an exception set when it returns fails the import.
//
// Python 2.7 would keep a half-made module in sys.modules, so that the next
// import "succeeded" with it: a failed initialisation takes the module out
// again (under its full name, as the importer put it there), and every later
// import runs the initialisation afresh. Python 3 drops the module itself
// when the entry point returns null.
#if PY_MAJOR_VERSION >= 3
#define MODULE_INIT(name)                                                       \
  static PyObject* InitModule##name();                                          \
  extern "C" __attribute__((visibility("default"))) PyObject* PyInit_##name() { \
    PyObject* module = InitModule##name();                                      \
    if (!PyErr_Occurred()) return module;                                       \
    Py_XDECREF(module);                                                         \
    return nullptr;                                                             \
  }                                                                             \
  static PyObject* InitModule##name()
#else
#define MODULE_INIT(name)                                                              \
  static PyObject* InitModule##name();                                                 \
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
  static PyObject* InitModule##name()
#endif
