// The extension module Eightfold: a constructor function and the octree
// object wrapping an EightfoldTree. Points go in and cell centres come out
// as vectors of the bound vector class.
#include <Python.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "eightfold_tree.h"
#include "native_object.h"
#include "python_support.h"
#include "vector_binding.h"

using eightfold::EightfoldTree;

namespace {

constexpr char kName[] = "Eightfold";
// The object owns its octree; objects are made only by the module function.
using Native = nativeobject::NativeObject<EightfoldTree, kName>;

const char kBadSizeMessage[] = "size must be a positive finite number";
const char kTooManyCellsMessage[] = "UniformRefine would need more cells than memory can hold";

// Every object the module function makes has its tree.
EightfoldTree* TreeOf(PyObject* self) { return Native::Slot(self); }

bool CheckSize(double size) {
  if (EightfoldTree::IsUsableSize(size)) return true;
  PyErr_SetString(PyExc_ValueError, kBadSizeMessage);
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
    std::unique_ptr<EightfoldTree> tree(new EightfoldTree(centre[0], centre[1], centre[2], size));
    return Native::Wrap(tree);
  });
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
      PyErr_SetString(PyExc_MemoryError, kTooManyCellsMessage);
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

// Copies and pickles carry the tree's whole state as one bytes object
// (eightfold_state.cpp), which the module's _rebuild checks before it makes the copy.
struct TreeState {
  static void Save(const EightfoldTree& tree, std::string* out) { tree.SaveState(out); }
  static std::unique_ptr<EightfoldTree> Load(const char* data, std::size_t size,
                                             std::string* error) {
    return EightfoldTree::LoadState(data, size, error);
  }
};

constexpr char kReduceDoc[] =
    "__reduce__($self, /)\n--\n\n"
    "The module's _rebuild and the tree's state as one bytes object, for copies and pickles.";
constexpr char kRebuildDoc[] =
    "_rebuild($module, state, /)\n--\n\n"
    "An Eightfold object from the bytes its __reduce__ gave; ValueError for an unsound state.";

PyMethodDef kMethods[] = {
    {"RefineToSize", RefineToSize, METH_VARARGS,
     "RefineToSize($self, point, size, /)\n--\n\nSplits the cells around the point (three "
     "numbers) until their half-size is at most\nsize; returns None."},
    {"UniformRefine", UniformRefine, METH_VARARGS,
     "UniformRefine($self, size, /)\n--\n\nSplits every leaf until its half-size is at most "
     "size; returns None."},
    {"RefineOneLevelDiff", RefineOneLevelDiff, METH_VARARGS,
     "RefineOneLevelDiff($self, /)\n--\n\nSplits leaves until face neighbours differ by at most "
     "one level; returns None."},
    {"ContainingCellSize", ContainingCellSize, METH_VARARGS,
     "ContainingCellSize($self, point, /)\n--\n\nThe half-size of the leaf containing the point "
     "(three numbers), a float."},
    {"GetLeafCells", GetLeafCells, METH_VARARGS,
     "GetLeafCells($self, /)\n--\n\nThe leaves in pre-order as a list of (centre, edge) "
     "tuples: the centre a vector,\nthe edge the full edge length (twice the half-size)."},
    {"__reduce__", Native::ReduceToBytes<TreeState>, METH_NOARGS, kReduceDoc},
    {nullptr, nullptr, 0, nullptr},
};

constexpr char kModuleDoc[] =
    "An octree of cubic cells: Eightfold(centre, size) makes one; its methods refine it\n"
    "to sizes, balance it to one level between neighbours and list its leaves.";

PyMethodDef kModuleFunctions[] = {
    {"Eightfold", NewEightfold, METH_VARARGS,
     "Eightfold($module, centre, size, /)\n--\n\nA new tree of one cubic cell of half-size "
     "size around centre (three numbers)."},
    {"_rebuild", Native::RebuildFromBytes<TreeState>, METH_VARARGS, kRebuildDoc},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

MODULE_INIT(Eightfold) {
  if (!Native::SetUpFactoryType<kMethods>(Py_TPFLAGS_DEFAULT, nativeobject::Readiness::Always)) {
    return nullptr;
  }
  PyObject* module = Native::CreateModule(kModuleFunctions, kModuleDoc, false);
  if (module != nullptr) VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  return module;
}
