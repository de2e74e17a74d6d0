// The extension module Eightfold: a constructor function and the octree
// object wrapping an EightfoldTree. Points go in and cell centres come out
// as vectors of the bound vector class.
#include <Python.h>

#include <cstddef>
#include <new>
#include <vector>

#include "eightfold_tree.h"
#include "python_support.h"
#include "vector_binding.h"

namespace {

struct EightfoldObject {
  PyObject_HEAD
  EightfoldTree* tree;
};

// Zero-initialised; the slots in use are filled in at module initialisation.
PyTypeObject EightfoldType;

const char kBadSize[] = "size must be a positive finite number";
const char kTooManyCells[] = "UniformRefine would need more cells than memory can hold";

EightfoldTree* TreeOf(PyObject* self) { return reinterpret_cast<EightfoldObject*>(self)->tree; }

bool CheckSize(double size) {
  if (EightfoldTree::IsUsableSize(size)) return true;
  PyErr_SetString(PyExc_ValueError, kBadSize);
  return false;
}

PyObject* NewEightfold(PyObject*, PyObject* args) {
  PyObject* centreArg;
  double size;
  if (!PyArg_ParseTuple(args, "Od", &centreArg, &size)) return nullptr;
  double centre[3];
  if (!VectorBinding::ReadVector(centreArg, centre)) return nullptr;
  if (!CheckSize(size)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    EightfoldTree* tree = new EightfoldTree(centre[0], centre[1], centre[2], size);
    EightfoldObject* self = PyObject_New(EightfoldObject, &EightfoldType);
    if (self == nullptr) {
      delete tree;
      return nullptr;
    }
    self->tree = tree;
    return reinterpret_cast<PyObject*>(self);
  });
}

void Dealloc(PyObject* self) {
  delete TreeOf(self);
  PyObject_Free(self);
}

PyObject* RefineToSize(PyObject* self, PyObject* args) {
  PyObject* pointArg;
  double size;
  if (!PyArg_ParseTuple(args, "Od", &pointArg, &size)) return nullptr;
  double point[3];
  if (!VectorBinding::ReadVector(pointArg, point)) return nullptr;
  if (!CheckSize(size)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    TreeOf(self)->RefineToSize(point[0], point[1], point[2], size);
    Py_RETURN_NONE;
  });
}

PyObject* UniformRefine(PyObject* self, PyObject* args) {
  double size;
  if (!PyArg_ParseTuple(args, "d", &size)) return nullptr;
  if (!CheckSize(size)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    if (!TreeOf(self)->UniformRefine(size)) {
      PyErr_SetString(PyExc_MemoryError, kTooManyCells);
      return nullptr;
    }
    Py_RETURN_NONE;
  });
}

PyObject* RefineOneLevelDiff(PyObject* self, PyObject* args) {
  if (!PyArg_ParseTuple(args, "")) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    TreeOf(self)->RefineOneLevelDiff();
    Py_RETURN_NONE;
  });
}

PyObject* ContainingCellSize(PyObject* self, PyObject* args) {
  PyObject* pointArg;
  if (!PyArg_ParseTuple(args, "O", &pointArg)) return nullptr;
  double point[3];
  if (!VectorBinding::ReadVector(pointArg, point)) return nullptr;
  return PyFloat_FromDouble(TreeOf(self)->ContainingCellSize(point[0], point[1], point[2]));
}

struct LeafRecord {
  double x, y, z, h;
};

// The edge length float of the last leaf, shared by the following leaves
// of the same size (floats are immutable; leaves come in runs of one size).
struct EdgeCache {
  double h = 0;
  PyObject* value = nullptr;
  ~EdgeCache() { Py_XDECREF(value); }
  // A new reference to the float 2 * h, or null with an exception set.
  PyObject* Get(double leafH) {
    if (value == nullptr || leafH != h) {
      PyObject* made = PyFloat_FromDouble(2 * leafH);
      if (made == nullptr) return nullptr;
      Py_XDECREF(value);
      value = made;
      h = leafH;
    }
    Py_INCREF(value);
    return value;
  }
};

// One (centre vector, edge length) tuple, or null with an exception set.
PyObject* LeafTuple(const LeafRecord& leaf, EdgeCache& edges) {
  PyObject* vector = VectorBinding::BuildVector(leaf.x, leaf.y, leaf.z);
  if (vector == nullptr) return nullptr;
  PyObject* edge = edges.Get(leaf.h);
  if (edge == nullptr) {
    Py_DECREF(vector);
    return nullptr;
  }
  PyObject* tuple = PyTuple_New(2);
  if (tuple == nullptr) {
    Py_DECREF(vector);
    Py_DECREF(edge);
    return nullptr;
  }
  PyTuple_SET_ITEM(tuple, 0, vector);
  PyTuple_SET_ITEM(tuple, 1, edge);
  return tuple;
}

PyObject* GetLeafCells(PyObject* self, PyObject* args) {
  if (!PyArg_ParseTuple(args, "")) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    // The leaves are copied out first: building a vector may run Python
    // code (an old-style vector class), which could refine this very tree.
    EightfoldTree* tree = TreeOf(self);
    std::vector<LeafRecord> leaves;
    leaves.reserve(tree->LeafCount());
    tree->VisitLeaves([&](double x, double y, double z, double h) {
      leaves.push_back(LeafRecord{x, y, z, h});
    });
    pysupport::ResultList list(static_cast<Py_ssize_t>(leaves.size()));
    if (!list.Made()) return nullptr;
    EdgeCache edges;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      PyObject* tuple = LeafTuple(leaves[i], edges);
      if (tuple == nullptr) return nullptr;
      list.Set(static_cast<Py_ssize_t>(i), tuple);
    }
    return list.Finish();
  });
}

// An octree is native state that a pickle cannot carry: pickling and
// copying are refused.
constexpr char kNoPickling[] = "Eightfold objects cannot be pickled";

PyMethodDef Methods[] = {
    {"RefineToSize", RefineToSize, METH_VARARGS, nullptr},
    {"UniformRefine", UniformRefine, METH_VARARGS, nullptr},
    {"RefineOneLevelDiff", RefineOneLevelDiff, METH_VARARGS, nullptr},
    {"ContainingCellSize", ContainingCellSize, METH_VARARGS, nullptr},
    {"GetLeafCells", GetLeafCells, METH_VARARGS, nullptr},
    {"__reduce__", pysupport::RefusePickling<kNoPickling>, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef ModuleFunctions[] = {
    {"Eightfold", NewEightfold, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

MODULE_INIT(Eightfold) {
  pycompat::PrepareStaticType(&EightfoldType);
  EightfoldType.tp_name = pycompat::TypeName("Eightfold", "Eightfold");
  EightfoldType.tp_basicsize = sizeof(EightfoldObject);
  EightfoldType.tp_itemsize = 0;
  EightfoldType.tp_dealloc = Dealloc;
  EightfoldType.tp_flags = Py_TPFLAGS_DEFAULT;
  if (!pycompat::SetMethodLookup<Methods>(&EightfoldType)) return nullptr;
  if (PyType_Ready(&EightfoldType) < 0) return nullptr;
  PyObject* module = pycompat::CreateModule("Eightfold", ModuleFunctions, nullptr);
  if (module != nullptr) VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  return module;
}
