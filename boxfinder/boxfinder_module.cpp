// The Python module Boxfinder: one native BoxTree per Python object. Scripts
// build it from lower corners, upper corners and client integers, change it
// one box at a time and ask which client integers belong to the boxes that
// contain a point or overlap a box.
#include <climits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "box_tree.h"
#include "native_object.h"
#include "python_support.h"
#include "vector_binding.h"

namespace {

using boxfinder::BoxTree;

constexpr char kName[] = "Boxfinder";
// The object owns its box tree; objects are made only by the module
// function.
using Native = nativeobject::NativeObject<BoxTree, kName>;

const char kCountMessage[] = "max, min, and client_data lists should all be the same length";
const char kVectorListMessage[] = "argument should a sequence of Triad's";
const char kIdSequenceMessage[] = "third argument should a sequence of ints";
const char kIdItemMessage[] = "third argument should a sequence of int's";

// Reads a sequence of vectors into 3 doubles per item. Items are read as the
// vector binding reads them; with an old-style vector class bound, an item
// that is not an instance of it is refused with the list's own message.
// False with an exception set on failure.
bool ReadVectorList(PyObject* seq, std::vector<double>* out) {
  if (!PySequence_Check(seq)) {
    PyErr_SetString(PyExc_TypeError, kVectorListMessage);
    return false;
  }
  const Py_ssize_t n = PySequence_Size(seq);
  if (n < 0) return false;
  out->reserve(static_cast<std::size_t>(std::min<Py_ssize_t>(n, 1 << 16)) * 3);
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PySequence_GetItem(seq, i);
    if (item == nullptr) return false;
    double v[3];
    const bool ok = VectorBinding::ReadVector(item, v, kVectorListMessage);
    Py_DECREF(item);
    if (!ok) return false;
    out->insert(out->end(), v, v + 3);
  }
  return true;
}

// Reads a sequence of int operands (int, bool and their subclasses) that fit
// a 32-bit client integer.
bool ReadIntList(PyObject* seq, std::vector<int32_t>* out) {
  if (!PySequence_Check(seq)) {
    PyErr_SetString(PyExc_TypeError, kIdSequenceMessage);
    return false;
  }
  const Py_ssize_t n = PySequence_Size(seq);
  if (n < 0) return false;
  out->reserve(static_cast<std::size_t>(std::min<Py_ssize_t>(n, 1 << 16)));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PySequence_GetItem(seq, i);
    if (item == nullptr) return false;
    if (!pycompat::IsInt(item)) {
      Py_DECREF(item);
      PyErr_SetString(PyExc_TypeError, kIdItemMessage);
      return false;
    }
    // A Python 3 int beyond a C long reads as the nearest one, which is out
    // of range as well.
    long value;
    pycompat::SmallIntValue(item, &value);
    Py_DECREF(item);
    if (value > INT32_MAX) {
      PyErr_SetString(PyExc_OverflowError, "signed integer is greater than maximum");
      return false;
    }
    if (value < INT32_MIN) {
      PyErr_SetString(PyExc_OverflowError, "signed integer is less than minimum");
      return false;
    }
    out->push_back(static_cast<int32_t>(value));
  }
  return true;
}

// Every object the module function makes has its tree.
BoxTree* TreeOf(PyObject* self) { return Native::Slot(self); }

// AddToTree and RemoveFromTree: arguments "OOi" (lower corner, upper corner,
// client integer), the change, then None whether or not anything changed.
template <class Change>
PyObject* ChangeTree(PyObject* self, PyObject* args, Change change) {
  PyObject *loObj, *hiObj;
  int clientId;
  if (!PyArg_ParseTuple(args, "OOi", &loObj, &hiObj, &clientId)) return nullptr;
  double lo[3], hi[3];
  if (!VectorBinding::ReadVector(loObj, lo) || !VectorBinding::ReadVector(hiObj, hi))
    return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    change(TreeOf(self), lo, hi, clientId);
    Py_RETURN_NONE;
  });
}

PyObject* AddToTree(PyObject* self, PyObject* args) {
  return ChangeTree(self, args, [](BoxTree* tree, const double* lo, const double* hi, int id) {
    tree->InsertBox(lo, hi, id);
  });
}

PyObject* RemoveFromTree(PyObject* self, PyObject* args) {
  return ChangeTree(self, args, [](BoxTree* tree, const double* lo, const double* hi, int id) {
    tree->RemoveBox(lo, hi, id);
  });
}

// A new Python list of the collected ids, in order.
PyObject* BuildIdList(const Meshkit::List<int>& ids) {
  PyObject* list = PyList_New(ids.Count());
  if (list == nullptr) return nullptr;
  for (int i = 0; i < ids.Count(); ++i) {
    PyObject* item = pycompat::NewInt(ids[i]);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i, item);
  }
  return list;
}

PyObject* PtQuery(PyObject* self, PyObject* args) {
  PyObject* pointObj;
  if (!PyArg_ParseTuple(args, "O", &pointObj)) return nullptr;
  double p[3];
  if (!VectorBinding::ReadVector(pointObj, p)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Meshkit::List<int> ids;
    TreeOf(self)->QueryPoint(p, ids);
    return BuildIdList(ids);
  });
}

PyObject* RangeQuery(PyObject* self, PyObject* args) {
  PyObject *loObj, *hiObj;
  if (!PyArg_ParseTuple(args, "OO", &loObj, &hiObj)) return nullptr;
  double lo[3], hi[3];
  if (!VectorBinding::ReadVector(loObj, lo) || !VectorBinding::ReadVector(hiObj, hi))
    return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Meshkit::List<int> ids;
    TreeOf(self)->QueryRange(lo, hi, ids);
    return BuildIdList(ids);
  });
}

// Copies and pickles carry the tree's whole state as one bytes object
// (box_tree_state.cpp), which the module's _rebuild checks before it makes the copy.
struct TreeState {
  static void Save(const BoxTree& tree, std::string* out) { tree.SaveState(out); }
  static std::unique_ptr<BoxTree> Load(const char* data, std::size_t size, std::string* error) {
    std::unique_ptr<BoxTree> tree(new BoxTree);
    if (!tree->LoadState(data, size, error)) return nullptr;
    return tree;
  }
};

constexpr char kReduceDoc[] =
    "__reduce__($self, /)\n--\n\n"
    "The module's _rebuild and the tree's state as one bytes object, for copies and pickles.";
constexpr char kRebuildDoc[] =
    "_rebuild($module, state, /)\n--\n\n"
    "A Boxfinder object from the bytes its __reduce__ gave; ValueError for an unsound state.";

PyMethodDef kTreeMethods[] = {
    {"AddToTree", AddToTree, METH_VARARGS, nullptr},
    {"RemoveFromTree", RemoveFromTree, METH_VARARGS, nullptr},
    {"PtQuery", PtQuery, METH_VARARGS, nullptr},
    {"RangeQuery", RangeQuery, METH_VARARGS, nullptr},
    {"__reduce__", Native::ReduceToBytes<TreeState>, METH_NOARGS, kReduceDoc},
    {nullptr, nullptr, 0, nullptr}};

PyObject* NewBoxfinder(PyObject*, PyObject* args) {
  PyObject *lowerObj, *upperObj, *idsObj;
  if (!PyArg_ParseTuple(args, "OOO", &lowerObj, &upperObj, &idsObj)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    std::vector<double> lower, upper;
    std::vector<int32_t> ids;
    if (!ReadVectorList(lowerObj, &lower)) return nullptr;
    if (!ReadVectorList(upperObj, &upper)) return nullptr;
    if (!ReadIntList(idsObj, &ids)) return nullptr;
    if (lower.size() != upper.size() || lower.size() != 3 * ids.size()) {
      PyErr_SetString(PyExc_TypeError, kCountMessage);
      return nullptr;
    }
    if (ids.size() > static_cast<std::size_t>(INT_MAX)) return PyErr_NoMemory();
    std::unique_ptr<BoxTree> tree(new BoxTree);
    tree->BuildFromArrays(static_cast<int>(ids.size()), lower.data(), upper.data(), ids.data());
    return Native::Wrap(tree);
  });
}

PyMethodDef kModuleMethods[] = {
    {"Boxfinder", NewBoxfinder, METH_VARARGS, nullptr},
    {"_rebuild", Native::RebuildFromBytes<TreeState>, METH_VARARGS, kRebuildDoc},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Boxfinder) {
  // The type has no flags and, under Python 2.7, is not readied.
  if (!Native::SetUpFactoryType<kTreeMethods>(0, nativeobject::Readiness::OnlyUnderPython3)) {
    return nullptr;
  }
  PyObject* module = Native::CreateModule(kModuleMethods, nullptr, false);
  if (module != nullptr) VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  return module;
}
