// The Python module Boxfinder: one native BoxTree per Python object. Scripts
// build it from lower corners, upper corners and client integers, change it
// one box at a time and ask which client integers belong to the boxes that
// contain a point or overlap a box.
#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "array_support.h"
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
// The interpreter's own "i" conversion messages, for ids read without it.
const char kAboveIntMessage[] = "signed integer is greater than maximum";
const char kBelowIntMessage[] = "signed integer is less than minimum";
const char kIdSequenceMessage[] = "third argument should a sequence of ints";
const char kIdItemMessage[] = "third argument should a sequence of int's";
const char kBusyMessage[] = "the tree cannot change while a batch query reads it";
const char kRowCountMessage[] = "lows and highs should have the same number of rows";

// Batches of more queries than this run with the interpreter lock
// released; below it the switch costs more than other threads gain.
constexpr Py_ssize_t kReleaseRows = 64;

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

// Reads a sequence of int operands (int, bool and their subclasses; under
// Python 3 also objects with __index__) that fit a 32-bit client integer.
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
    // Under Python 3 an object with __index__ (a numpy integer) stands for
    // the int it gives; the item is held while __index__ runs.
    PyObject* number = item;
    if (!pycompat::IsInt(item)) {
      if (!pycompat::kPython3 || !PyIndex_Check(item)) {
        Py_DECREF(item);
        PyErr_SetString(PyExc_TypeError, kIdItemMessage);
        return false;
      }
      number = PyNumber_Index(item);
      Py_DECREF(item);
      if (number == nullptr) return false;
    }
    // A Python 3 int beyond a C long reads as the nearest one, which is out
    // of range as well.
    long value;
    pycompat::SmallIntValue(number, &value);
    Py_DECREF(number);
    if (value > INT32_MAX) {
      PyErr_SetString(PyExc_OverflowError, kAboveIntMessage);
      return false;
    }
    if (value < INT32_MIN) {
      PyErr_SetString(PyExc_OverflowError, kBelowIntMessage);
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
  // Checked after the arguments are read, as reading them can run Python
  // code, and another thread with it.
  if (TreeOf(self)->BatchReaders() > 0) {
    PyErr_SetString(PyExc_RuntimeError, kBusyMessage);
    return nullptr;
  }
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

// A new Python list of the collected values, in order, each made by
// make(value) (ints and floats: no Python code runs while the list fills).
template <class T, class Make>
PyObject* BuildList(const Meshkit::List<T>& values, Make make) {
  PyObject* list = PyList_New(values.Count());
  if (list == nullptr) return nullptr;
  for (int i = 0; i < values.Count(); ++i) {
    PyObject* item = make(values[i]);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i, item);
  }
  return list;
}

// The tree for a query, its query index laid out again first when that is
// due. Never while a batch reads the tree in another thread: this thread
// holds the interpreter lock, so no batch starts meanwhile.
BoxTree* QueriedTree(PyObject* self) {
  BoxTree* tree = TreeOf(self);
  if (tree->BatchReaders() == 0) tree->RefreshQueryIndex();
  return tree;
}

PyObject* BuildIdList(const Meshkit::List<int>& ids) {
  return BuildList(ids, [](int id) { return pycompat::NewInt(id); });
}

PyObject* PtQuery(PyObject* self, PyObject* args) {
  PyObject* pointObj;
  if (!PyArg_ParseTuple(args, "O", &pointObj)) return nullptr;
  double p[3];
  if (!VectorBinding::ReadVector(pointObj, p)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Meshkit::List<int> ids;
    QueriedTree(self)->QueryPoint(p, ids);
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
    QueriedTree(self)->QueryRange(lo, hi, ids);
    return BuildIdList(ids);
  });
}

const char kNearestCountMessage[] = "k should be at least 1";

// What Nearest and NearestMany take besides the point or points: k, and as
// keywords only withDistances (the distances too, as a second result) and
// maxDistance (only boxes at most that far; no limit by default).
struct NearestOptions {
  int k = 0;
  bool withDistances = false;
  double maxDistance = std::numeric_limits<double>::infinity();
};

// Parses (points, k, /, *, withDistances=False, maxDistance=None) with the
// method's name for the interpreter's messages; maxDistance None is no
// limit. False with an exception set.
bool ParseNearest(PyObject* args, PyObject* kwargs, const char* format, PyObject** pointsObj,
                  NearestOptions* options) {
  if (PyTuple_GET_SIZE(args) > 2) {
    PyErr_Format(PyExc_TypeError, "%s() takes 2 positional arguments (%zd given)",
                 std::strchr(format, ':') + 1, PyTuple_GET_SIZE(args));
    return false;
  }
  // The point and k are positional only (no name).
  static char kNone[] = "", kWith[] = "withDistances", kMax[] = "maxDistance";
  static char* keywords[] = {kNone, kNone, kWith, kMax, nullptr};
  PyObject* with = Py_False;
  PyObject* limit = Py_None;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, keywords, pointsObj, &options->k, &with,
                                   &limit))
    return false;
  const int truth = PyObject_IsTrue(with);
  if (truth < 0) return false;
  options->withDistances = truth != 0;
  if (limit != Py_None) {
    options->maxDistance = PyFloat_AsDouble(limit);
    if (options->maxDistance == -1.0 && PyErr_Occurred()) return false;
  }
  if (options->k < 1) {
    PyErr_SetString(PyExc_ValueError, kNearestCountMessage);
    return false;
  }
  return true;
}

PyObject* Nearest(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* pointObj;
  NearestOptions options;
  if (!ParseNearest(args, kwargs, "Oi|OO:Nearest", &pointObj, &options)) return nullptr;
  double p[3];
  if (!VectorBinding::ReadVector(pointObj, p)) return nullptr;
  return pysupport::Guarded([&]() -> PyObject* {
    Meshkit::List<int> ids;
    Meshkit::List<double> distances;
    QueriedTree(self)->Nearest(p, options.k, options.maxDistance, ids,
                               options.withDistances ? &distances : nullptr);
    PyObject* idList = BuildIdList(ids);
    if (idList == nullptr || !options.withDistances) return idList;
    PyObject* distanceList = BuildList(distances, PyFloat_FromDouble);
    if (distanceList == nullptr) {
      Py_DECREF(idList);
      return nullptr;
    }
    PyObject* pair = PyTuple_Pack(2, idList, distanceList);
    Py_DECREF(idList);
    Py_DECREF(distanceList);
    return pair;
  });
}

constexpr char kNearestDoc[] =
    "Nearest($self, p, k, /, *, withDistances=False, maxDistance=None)\n--\n\n"
    "Ids of the k live boxes nearest the point p, nearest first (ties in PtQuery's order);\n"
    "with withDistances, (ids, distances); with maxDistance, only boxes at most that far.";

// The points of a batch: what the array plumbing reads (float64 buffers,
// sequences of number sequences), or else, for a sequence of vectors that
// have no length (Triad objects), what the constructor reads. `copy` holds
// the second kind. False with an exception set.
bool ReadPoints(PyObject* obj, const char* name, pyarray::DoubleArray* array,
                std::vector<double>* copy, const double** data, Py_ssize_t* rows) {
  if (array->Read(obj, {pyarray::RowShape(3)}, name)) {
    *data = array->Data();
    *rows = array->Rows();
    return true;
  }
  if (!PyErr_ExceptionMatches(PyExc_TypeError) || PyObject_CheckBuffer(obj) ||
      !PySequence_Check(obj))
    return false;
  PyErr_Clear();
  if (!ReadVectorList(obj, copy)) return false;
  *data = copy->data();
  *rows = static_cast<Py_ssize_t>(copy->size() / 3);
  return true;
}

// One batch argument of points or corners.
struct Points {
  pyarray::DoubleArray array;
  std::vector<double> copy;
  const double* data = nullptr;
  Py_ssize_t rows = 0;
  bool Read(PyObject* obj, const char* name) {
    return ReadPoints(obj, name, &array, &copy, &data, &rows);
  }
};

// The compressed rows as result arrays: (offsets, ids), with the
// distances third when asked for.
PyObject* BuildRows(const boxfinder::IdRows& rows, bool withDistances) {
  int64_t* offsets;
  int32_t* ids;
  double* distances = nullptr;
  const Py_ssize_t count = static_cast<Py_ssize_t>(rows.ids.size());
  PyObject* offsetArray =
      pyarray::NewArray({static_cast<Py_ssize_t>(rows.offsets.size())}, &offsets);
  PyObject* idArray = offsetArray ? pyarray::NewArray({count}, &ids) : nullptr;
  PyObject* distanceArray =
      idArray && withDistances ? pyarray::NewArray({count}, &distances) : nullptr;
  PyObject* result = nullptr;
  if (idArray != nullptr && (distanceArray != nullptr || !withDistances)) {
    std::copy(rows.offsets.begin(), rows.offsets.end(), offsets);
    std::copy(rows.ids.begin(), rows.ids.end(), ids);
    if (withDistances) std::copy(rows.distances.begin(), rows.distances.end(), distances);
    result = withDistances ? PyTuple_Pack(3, offsetArray, idArray, distanceArray)
                           : PyTuple_Pack(2, offsetArray, idArray);
  }
  Py_XDECREF(offsetArray);
  Py_XDECREF(idArray);
  Py_XDECREF(distanceArray);
  return result;
}

// Runs run(rows) over a batch of `count` queries, with the interpreter lock
// released for a large one and the tree refusing changes meanwhile, then
// builds the result arrays. run reads only the tree and the batch's input
// arrays, which stay held by the caller's DoubleArray objects.
template <class Run>
PyObject* RunBatch(PyObject* self, Py_ssize_t count, bool withDistances, Run run) {
  return pysupport::Guarded([&]() -> PyObject* {
    boxfinder::IdRows rows;
    {
      const BoxTree::BatchRead reading(*QueriedTree(self));
      pyarray::ReleasedIf(count > kReleaseRows, [&] { run(&rows); });
    }
    return BuildRows(rows, withDistances);
  });
}

PyObject* PtQueryMany(PyObject* self, PyObject* args) {
  PyObject* pointsObj;
  if (!PyArg_ParseTuple(args, "O:PtQueryMany", &pointsObj)) return nullptr;
  Points points;
  if (!points.Read(pointsObj, "points")) return nullptr;
  return RunBatch(self, points.rows, false, [&](boxfinder::IdRows* rows) {
    TreeOf(self)->QueryPointMany(points.data, points.rows, rows);
  });
}

PyObject* RangeQueryMany(PyObject* self, PyObject* args) {
  PyObject *lowsObj, *highsObj;
  if (!PyArg_ParseTuple(args, "OO:RangeQueryMany", &lowsObj, &highsObj)) return nullptr;
  Points lows, highs;
  if (!lows.Read(lowsObj, "lows") || !highs.Read(highsObj, "highs")) return nullptr;
  if (lows.rows != highs.rows) {
    PyErr_SetString(PyExc_ValueError, kRowCountMessage);
    return nullptr;
  }
  return RunBatch(self, lows.rows, false, [&](boxfinder::IdRows* rows) {
    TreeOf(self)->QueryRangeMany(lows.data, highs.data, lows.rows, rows);
  });
}

PyObject* NearestMany(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* pointsObj;
  NearestOptions options;
  if (!ParseNearest(args, kwargs, "Oi|OO:NearestMany", &pointsObj, &options)) return nullptr;
  Points points;
  if (!points.Read(pointsObj, "points")) return nullptr;
  return RunBatch(self, points.rows, options.withDistances, [&](boxfinder::IdRows* rows) {
    TreeOf(self)->NearestMany(points.data, points.rows, options.k, options.maxDistance,
                              options.withDistances, rows);
  });
}

constexpr char kPtQueryManyDoc[] =
    "PtQueryMany($self, points, /)\n--\n\n"
    "For an (N, 3) float64 array or sequence of points, (offsets, ids): the ids of\n"
    "PtQuery(points[i]) are ids[offsets[i]:offsets[i + 1]]; int64 and int32 arrays.";
constexpr char kRangeQueryManyDoc[] =
    "RangeQueryMany($self, lows, highs, /)\n--\n\n"
    "For (N, 3) lower and upper corners, (offsets, ids) of RangeQuery(lows[i], highs[i])\n"
    "in compressed rows, as PtQueryMany gives them.";
constexpr char kNearestManyDoc[] =
    "NearestMany($self, points, k, /, *, withDistances=False, maxDistance=None)\n--\n\n"
    "Nearest(points[i], k) for each of N points as (offsets, ids) in compressed rows;\n"
    "with withDistances, (offsets, ids, distances).";

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

PyMethodDef kMethods[] = {
    {"AddToTree", AddToTree, METH_VARARGS,
     "AddToTree($self, lo, hi, id, /)\n--\n\nAdds the box of corners lo and hi (three numbers "
     "each) under the int id."},
    {"RemoveFromTree", RemoveFromTree, METH_VARARGS,
     "RemoveFromTree($self, lo, hi, id, /)\n--\n\nRemoves the live box of corners lo and hi "
     "stored under id."},
    {"PtQuery", PtQuery, METH_VARARGS,
     "PtQuery($self, p, /)\n--\n\nThe ids of the live boxes containing the point p (three "
     "numbers), a list."},
    {"RangeQuery", RangeQuery, METH_VARARGS,
     "RangeQuery($self, lo, hi, /)\n--\n\nThe ids of the live boxes meeting the box of corners "
     "lo and hi, a list."},
    {"Nearest", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Nearest)),
     METH_VARARGS | METH_KEYWORDS, kNearestDoc},
    {"PtQueryMany", PtQueryMany, METH_VARARGS, kPtQueryManyDoc},
    {"RangeQueryMany", RangeQueryMany, METH_VARARGS, kRangeQueryManyDoc},
    {"NearestMany", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(NearestMany)),
     METH_VARARGS | METH_KEYWORDS, kNearestManyDoc},
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

constexpr char kModuleDoc[] =
    "A search tree of axis-aligned boxes with int ids: Boxfinder(lower, upper, ids) makes\n"
    "one; its methods add and remove boxes and find those at a point, in a box or nearest.";

PyMethodDef kModuleFunctions[] = {
    {"Boxfinder", NewBoxfinder, METH_VARARGS,
     "Boxfinder($module, lower, upper, ids, /)\n--\n\nA box tree of the boxes of corners "
     "lower[i] and upper[i] (three numbers each) and int ids[i]."},
    {"_rebuild", Native::RebuildFromBytes<TreeState>, METH_VARARGS, kRebuildDoc},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Boxfinder) {
  // The type has no flags and, under Python 2.7, is not readied.
  if (!Native::SetUpFactoryType<kMethods>(0, nativeobject::Readiness::OnlyUnderPython3)) {
    return nullptr;
  }
  PyObject* module = Native::CreateModule(kModuleFunctions, kModuleDoc, false);
  if (module != nullptr && !pyarray::AddArrayType(module, "Boxfinder")) return nullptr;
  if (module != nullptr) VectorBinding::BindVectorClass(VectorBinding::BuildKinds::ClassesOnly);
  return module;
}
