// The scaffold of the objects that hold native state (Crackrate's model,
// Eightfold's octree, Boxfinder's box tree), the counterpart of
// value_type.h: the object owning its core, the accessor that refuses a
// missing core, deallocation, the type's set-up in its two shapes (a class
// scripts call, or the type of objects a module function makes), module
// creation, and copying and pickling, either through a state of the
// module's own or as one bytes object written and read by the core's own
// save and load. A module instantiates it with its core and its name and
// keeps only what is its own: its methods, attributes, construction and
// state form.
#pragma once

#include <Python.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>

#include "python_support.h"

namespace nativeobject {

// Whether a factory-made type is made ready under Python 2.7 too (Python 3
// readies every type: its generic attribute lookup needs a ready type).
enum class Readiness { Always, OnlyUnderPython3 };

// `Core` is the native state an object owns; `name` names the type and its
// module.
template <class Core, const char* name>
class NativeObject {
 public:
  struct Object {
    PyObject_HEAD
    Core* core;  // null until the object has a core
  };

  // The type object, filled in by one of the set-ups below.
  inline static PyTypeObject type{};

  static Core*& Slot(PyObject* self) { return reinterpret_cast<Object*>(self)->core; }

  // The object's core, or null with ValueError `refusal` when it has none
  // (an object made through __new__ alone).
  static Core* CoreOf(PyObject* self, const char* refusal) {
    Core* core = Slot(self);
    if (core == nullptr) PyErr_SetString(PyExc_ValueError, refusal);
    return core;
  }

  // Gives the object `core` (owned from now on), replacing and freeing the
  // one it had.
  static void Install(PyObject* self, std::unique_ptr<Core> core) {
    delete Slot(self);
    Slot(self) = core.release();
  }

  // A new object of the type holding `core`, made with the interpreter's
  // object allocator as the module functions make theirs; null with
  // MemoryError (and `core` left with the caller) when it cannot be made.
  static PyObject* Wrap(std::unique_ptr<Core>& core) {
    void* memory = PyObject_Malloc(sizeof(Object));
    if (memory == nullptr) return PyErr_NoMemory();
    PyObject* self = PyObject_Init(static_cast<PyObject*>(memory), &type);
    Slot(self) = core.release();
    return self;
  }

  // The creation slot of a class type: the type's allocation, no core yet.
  static PyObject* New(PyTypeObject* t, PyObject*, PyObject*) {
    PyObject* self = t->tp_alloc(t, 0);
    if (self != nullptr) Slot(self) = nullptr;
    return self;
  }

  // Frees the core, then the object through its type's free slot (the
  // interpreter's object allocator for the factory-made types).
  static void Dealloc(PyObject* self) {
    delete Slot(self);
    Py_TYPE(self)->tp_free(self);
  }

  // Sets up the type of the objects a module function makes: no creation
  // slot, `flags`, methods found in `Methods` (by the attribute slot under
  // Python 2.7, as the interpreter's own factory-made objects do, which
  // gives them __methods__). False with the interpreter's exception set
  // when the type cannot be made ready.
  template <PyMethodDef* Methods>
  static bool SetUpFactoryType(unsigned long flags, Readiness readiness) {
    CommonSetUp();
    type.tp_flags = flags;
    type.tp_free = PyObject_Free;
    if (!pycompat::SetMethodLookup<Methods>(&type)) return false;
    return readiness == Readiness::OnlyUnderPython3 || PyType_Ready(&type) == 0;
  }

  // Sets up a class that scripts call and subclass: the default,
  // check-types and base-type flags, `doc`, `methods`, `getset` and the
  // initialisation `init`; the creation slot gives an object without a
  // core. False with the interpreter's exception set when the type cannot
  // be made ready.
  static bool SetUpClassType(const char* doc, PyMethodDef* methods, PyGetSetDef* getset,
                             initproc init) {
    CommonSetUp();
    // The interpreter's default flags repeat bits inside their own macro.
    // NOLINTNEXTLINE(misc-redundant-expression)
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_CHECKTYPES | Py_TPFLAGS_BASETYPE;
    type.tp_doc = doc;
    type.tp_methods = methods;
    type.tp_getset = getset;
    type.tp_init = init;
    type.tp_new = New;
    return PyType_Ready(&type) == 0;
  }

  // Creates the module `name` with `functions` and `doc`, adds the type to
  // it under its name when `addType` (a class type), and keeps the
  // module's rebuild function "_rebuild", if it has one, for Reduction.
  // Returns the module as pycompat::CreateModule made it (or null).
  static PyObject* CreateModule(PyMethodDef* functions, const char* doc, bool addType) {
    PyObject* module = pycompat::CreateModule(name, functions, doc);
    if (module == nullptr) return nullptr;
    if (addType) {
      Py_INCREF(&type);
      if (PyModule_AddObject(module, name, reinterpret_cast<PyObject*>(&type)) < 0) {
        Py_DECREF(&type);
        return module;
      }
    }
    Py_XDECREF(rebuildFunction);
    rebuildFunction = nullptr;
    for (PyMethodDef* f = functions; f->ml_name != nullptr; ++f) {
      if (std::string(f->ml_name) == "_rebuild") {
        rebuildFunction = PyObject_GetAttrString(module, "_rebuild");
        break;
      }
    }
    return module;
  }

  // What __reduce__ returns: the module's rebuild function with `args` (a
  // new tuple, taken over), plus the class and attributes of a Python
  // subclass instance (pysupport::Reduction).
  static PyObject* Reduction(PyObject* self, PyObject* args) {
    return pysupport::Reduction(rebuildFunction, args, self, &type);
  }

  // --- the state as one bytes object --------------------------------------
  //
  // `Codec` writes and reads a core's state:
  //   static void Save(const Core&, std::string* out);
  //   static std::unique_ptr<Core> Load(const char* data, std::size_t size,
  //                                     std::string* error);
  // Load validates everything before it builds the core and returns null
  // with the reason in *error for a state it refuses.

  // __reduce__: (module._rebuild, (state bytes,)).
  template <class Codec>
  static PyObject* ReduceToBytes(PyObject* self, PyObject*) {
    return pysupport::Guarded([&]() -> PyObject* {
      const Core* core = Slot(self);
      if (core == nullptr) return PyErr_Format(PyExc_ValueError, "%s object has no state", name);
      std::string state;
      Codec::Save(*core, &state);
      PyObject* bytes =
          PyBytes_FromStringAndSize(state.data(), static_cast<Py_ssize_t>(state.size()));
      if (bytes == nullptr) return nullptr;
      return Reduction(self, Py_BuildValue("(N)", bytes));
    });
  }

  // _rebuild(state): a new object with the core the state describes, or
  // null with ValueError naming what is wrong with the state (TypeError for
  // an argument that is not bytes).
  template <class Codec>
  static PyObject* RebuildFromBytes(PyObject*, PyObject* args) {
    PyObject* state;
    if (!PyArg_ParseTuple(args, "O:_rebuild", &state)) return nullptr;
    if (!PyBytes_Check(state)) {
      PyErr_Format(PyExc_TypeError, "_rebuild takes the bytes of a pickled %s object", name);
      return nullptr;
    }
    return pysupport::Guarded([&]() -> PyObject* {
      std::string error;
      std::unique_ptr<Core> core = Codec::Load(
          PyBytes_AS_STRING(state), static_cast<std::size_t>(PyBytes_GET_SIZE(state)), &error);
      if (core == nullptr) {
        PyErr_Format(PyExc_ValueError, "invalid %s state: %s", name, error.c_str());
        return nullptr;
      }
      return Wrap(core);
    });
  }

 private:
  // The module's rebuild function, which pickle finds under the module's
  // name; set when the module is made.
  inline static PyObject* rebuildFunction = nullptr;

  static void CommonSetUp() {
    pycompat::PrepareStaticType(&type);
    type.tp_name = pycompat::TypeName(name, name);
    type.tp_basicsize = sizeof(Object);
    type.tp_itemsize = 0;
    type.tp_dealloc = Dealloc;
  }
};

}  // namespace nativeobject
