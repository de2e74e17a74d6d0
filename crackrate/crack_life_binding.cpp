// Crackrate.GrowCrack: the crack life of crack_life.h for Python. Reads the
// spectrum, the lengths and the keywords, checks them all before the model
// is touched, grows the crack with the interpreter lock held (the model's
// overload state belongs to the object, which another thread could use)
// and returns a CrackLife named tuple.
#include "crack_life_binding.h"

#if PY_MAJOR_VERSION < 3
#include <structseq.h>  // Python 3's Python.h includes it
#endif

#include <cstring>
#include <string>
#include <vector>

#include "array_support.h"
#include "crack_life.h"
#include "python_support.h"

namespace crackrate_binding {

namespace {

using crackrate::LifeInput;
using crackrate::LifeResult;

const char kModeMessage[] = "mode must be 'exact' or 'fast'";

PyStructSequence_Field kLifeFields[] = {
    {const_cast<char*>("stop"),
     const_cast<char*>("why it stopped: 'final length', 'fracture', 'arrest', 'pass limit' "
                       "or 'no rate'")},
    {const_cast<char*>("cycles"), const_cast<char*>("the cycle count N where it stopped")},
    {const_cast<char*>("length"), const_cast<char*>("the crack length where it stopped")},
    {const_cast<char*>("history"),
     const_cast<char*>("float64 Array of (cycles, length) rows: the start, every record "
                       "cycles, the stop")},
    {const_cast<char*>("passes"), const_cast<char*>("spectrum passes begun")},
    {const_cast<char*>("evaluations"), const_cast<char*>("rate evaluations of the model")},
    {nullptr, nullptr}};
constexpr int kLifeFieldCount = 6;

PyStructSequence_Desc kLifeDesc = {
    const_cast<char*>("Crackrate.CrackLife"),
    const_cast<char*>("CrackLife(stop, cycles, length, history, passes, evaluations): the "
                      "outcome of Crackrate.GrowCrack"),
    kLifeFields, kLifeFieldCount};

PyTypeObject LifeType;
bool lifeTypeReady = false;

PyObject* Refuse(const std::string& message) {
  PyErr_SetString(PyExc_ValueError, message.c_str());
  return nullptr;
}

// The keywords, all optional and given by name only.
struct Keywords {
  const char* mode = "exact";
  double Y = 1.0;
  PyObject* table = nullptr;
  int perCycle = 0;
  Py_ssize_t passes = static_cast<Py_ssize_t>(crackrate::kDefaultPassLimit);
  Py_ssize_t record = 0;
  Py_ssize_t start = 0;
  double tolerance = crackrate::kDefaultLifeTolerance;
};

bool ReadKeywords(PyObject* kwargs, Keywords* k) {
  static const char* const kNames[] = {"mode",   "Y",     "table",     "per_cycle", "passes",
                                       "record", "start", "tolerance", nullptr};
  pysupport::Owned none(PyTuple_New(0));
  if (none.get() == nullptr) return false;
  // A tuple of no arguments: every value comes by keyword, under both
  // interpreters (Python 2.7's formats have no keyword-only mark).
  return PyArg_ParseTupleAndKeywords(
             none.get(), kwargs, "|sdOinnnd:GrowCrack", const_cast<char**>(kNames), &k->mode, &k->Y,
             &k->table, &k->perCycle, &k->passes, &k->record, &k->start, &k->tolerance) != 0;
}

PyObject* BuildLife(const LifeResult& life) {
  double* rows = nullptr;
  const Py_ssize_t points = static_cast<Py_ssize_t>(life.history.size());
  pysupport::Owned history(pyarray::NewArray({points, 2}, &rows));
  if (history.get() == nullptr) return nullptr;
  for (const crackrate::LifePoint& point : life.history) {
    *rows++ = static_cast<double>(point.cycles);  // exact: cycles stay below 2^53
    *rows++ = point.length;
  }
  const char* stop = crackrate::kLifeStopNames[static_cast<int>(life.stop)];
  PyObject* items[kLifeFieldCount] = {
      pycompat::NewText(stop, static_cast<Py_ssize_t>(std::strlen(stop))),
      pycompat::NewInt(static_cast<long>(life.cycles)),
      PyFloat_FromDouble(life.length),
      history.release(),
      pycompat::NewInt(static_cast<long>(life.passes)),
      pycompat::NewInt(static_cast<long>(life.evaluations))};
  PyObject* result = nullptr;
  bool made = true;
  for (PyObject* item : items) made = made && item != nullptr;
  if (made) result = PyStructSequence_New(&LifeType);
  if (result == nullptr) {
    for (PyObject* item : items) Py_XDECREF(item);
    return nullptr;
  }
  // Every item exists already: the tuple fills without running any code.
  for (int i = 0; i < kLifeFieldCount; ++i) PyStructSequence_SET_ITEM(result, i, items[i]);
  return result;
}

}  // namespace

bool AddLifeTypes(PyObject* module) {
  if (!pyarray::AddArrayType(module, "Crackrate")) return false;
  if (!lifeTypeReady) {
#if PY_MAJOR_VERSION >= 3
    if (PyStructSequence_InitType2(&LifeType, &kLifeDesc) < 0) return false;
#else
    PyStructSequence_InitType(&LifeType, &kLifeDesc);
    if (PyErr_Occurred()) return false;
#endif
    lifeTypeReady = true;
  }
  Py_INCREF(&LifeType);
  if (PyModule_AddObject(module, "CrackLife", reinterpret_cast<PyObject*>(&LifeType)) < 0) {
    Py_DECREF(&LifeType);
    return false;
  }
  return true;
}

PyObject* GrowCrack(crackrate::CrackrateModel* model, PyObject* args, PyObject* kwargs) {
  return pysupport::Guarded([&]() -> PyObject* {
    PyObject* spectrumArg;
    LifeInput in;
    if (!PyArg_ParseTuple(args, "Odd:GrowCrack", &spectrumArg, &in.initial, &in.final)) {
      return nullptr;
    }
    Keywords k;
    if (!ReadKeywords(kwargs, &k)) return nullptr;
    const std::string mode = k.mode;
    if (mode != "exact" && mode != "fast") {
      PyErr_Format(PyExc_ValueError, "%s, not '%s'", kModeMessage, k.mode);
      return nullptr;
    }
    in.mode = mode == "fast" ? crackrate::LifeMode::kFast : crackrate::LifeMode::kExact;
    pyarray::DoubleArray spectrum;
    const int width = k.perCycle ? 2 : 3;
    if (!spectrum.Read(spectrumArg, {pyarray::RowShape(width)}, "spectrum")) return nullptr;
    std::vector<crackrate::LoadSegment> segments;
    const std::string bad = crackrate::ReadSegments(
        spectrum.Data(), static_cast<size_t>(spectrum.Rows()), width, &segments);
    if (!bad.empty()) return Refuse(bad);
    in.segments = segments.data();
    in.segmentCount = segments.size();
    pyarray::DoubleArray table;
    std::vector<double> tableA;
    std::vector<double> tableY;
    if (k.table != nullptr && k.table != Py_None) {
      if (!table.Read(k.table, {pyarray::RowShape(2)}, "table")) return nullptr;
      for (Py_ssize_t i = 0; i < table.Rows(); ++i) {
        tableA.push_back(table.Data()[2 * i]);
        tableY.push_back(table.Data()[2 * i + 1]);
      }
      in.tableA = tableA.data();
      in.tableY = tableY.data();
      in.tableSize = tableA.size();
      if (in.tableSize == 0) return Refuse("the Y table needs at least two points");
    }
    in.Y = k.Y;
    in.passLimit = k.passes;
    in.recordInterval = k.record;
    in.start = k.start;
    in.tolerance = k.tolerance;
    const std::string refusal = crackrate::CheckLifeInput(in);
    if (!refusal.empty()) return Refuse(refusal);
    return BuildLife(crackrate::GrowCrack(*model, in));
  });
}

}  // namespace crackrate_binding
