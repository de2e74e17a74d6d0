// The Python type Crackrate: one crack growth model (crackrate_model.h)
// per object, built from a sequence of 20 or 21 material constants and a
// flag. The methods read their arguments, call the model and return a
// float; the model's parameters are read-only attributes.
#include <Python.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "crack_life_binding.h"
#include "crackrate_model.h"
#include "native_object.h"
#include "python_support.h"

namespace {

using crackrate::CrackrateModel;

constexpr char kName[] = "Crackrate";
// The object owns its model, which is null until the constructor has run.
using Native = nativeobject::NativeObject<CrackrateModel, kName>;

const char kNotSequenceMessage[] = "First argument must be a sequences";
const char kBadLengthMessage[] = "First argument must have 20 or 21 entries";
const char kChangedSizeMessage[] = "constants changed size while they were read";
const char kNoModelMessage[] =
    "Crackrate object has no model: construct it from its constants first";

// The object's model, or null with ValueError for an object that was made
// through __new__ alone.
CrackrateModel* ModelOf(PyObject* self) { return Native::CoreOf(self, kNoModelMessage); }

// Reads the constants into `out` and returns their count (20 or 21), or -1
// with an exception set. Every entry is converted before anything is
// built, so that a failed construction leaves the object as it was.
//
// An entry's float conversion is the script's own code and may change the
// sequence it belongs to (another thread may too, under Python 3): the
// entries are read from a tuple of our own, which holds each of them
// while it converts, and a list that changed size meanwhile fails the
// construction.
int ReadConstants(PyObject* sequence, double* out) {
  if (!PySequence_Check(sequence)) {
    PyErr_SetString(PyExc_TypeError, kNotSequenceMessage);
    return -1;
  }
  const Py_ssize_t length = PySequence_Size(sequence);
  if (length < 0) return -1;
  if (length != crackrate::kShortConstants && length != crackrate::kFullConstants) {
    PyErr_SetString(PyExc_TypeError, kBadLengthMessage);
    return -1;
  }
  pysupport::Owned fast(PySequence_Fast(sequence, kNotSequenceMessage));
  if (fast.get() == nullptr) return -1;
  pysupport::Owned entries(PySequence_Tuple(fast.get()));
  if (entries.get() == nullptr) return -1;
  // A sequence that reports one length and yields another is held to the
  // same rule.
  const Py_ssize_t count = PyTuple_GET_SIZE(entries.get());
  if (count != crackrate::kShortConstants && count != crackrate::kFullConstants) {
    PyErr_SetString(PyExc_TypeError, kBadLengthMessage);
    return -1;
  }
  for (Py_ssize_t i = 0; i < count; ++i) {
    out[i] = PyFloat_AsDouble(PyTuple_GET_ITEM(entries.get(), i));
    if (out[i] == -1.0 && PyErr_Occurred()) return -1;
  }
  if (PyList_Check(fast.get()) && PyList_GET_SIZE(fast.get()) != count) {
    PyErr_SetString(PyExc_RuntimeError, kChangedSizeMessage);
    return -1;
  }
  return static_cast<int>(count);
}

// Replaces the object's model (and with it the overload state) by a new
// one; 0, or -1 with MemoryError and the old model kept.
int InstallModel(PyObject* self, const double* constants, int count, bool flag) {
  std::unique_ptr<CrackrateModel> model(new (std::nothrow) CrackrateModel(constants, count, flag));
  if (model == nullptr) {
    PyErr_NoMemory();
    return -1;
  }
  Native::Install(self, std::move(model));
  return 0;
}

// --- argument reading -----------------------------------------------------

// An argument that is exactly a float or an int, read as the "d" and "i"
// formats would read it; false for anything else (bools, subclasses,
// longs, ints out of range), which the format then reads or refuses.
inline bool QuickRead(PyObject* arg, double* out) { return pysupport::ExactNumberValue(arg, out); }

inline bool QuickRead(PyObject* arg, int* out) {
  long value;
  if (!pycompat::IsExactInt(arg) || !pycompat::SmallIntValue(arg, &value)) return false;
  if (value < INT_MIN || value > INT_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

// Reads the positional arguments into `out` (optional ones keep the value
// they hold) as PyArg_ParseTuple(args, format, out...) does. Rates are
// asked for millions of times per history and most arguments are plain
// floats and ints: those are read directly, and only other arguments, or
// a wrong count, go through the format, whose conversions and messages
// stay the interpreter's own.
template <class... Out>
bool ReadArguments(PyObject* args, const char* format, Py_ssize_t required, Out*... out) {
  const Py_ssize_t given = PyTuple_GET_SIZE(args);
  if (given >= required && given <= static_cast<Py_ssize_t>(sizeof...(Out))) {
    Py_ssize_t i = 0;
    bool quick = true;
    ((quick = quick && (i >= given || QuickRead(PyTuple_GET_ITEM(args, i), out)), ++i), ...);
    if (quick) return true;
  }
  return PyArg_ParseTuple(args, format, out...) != 0;
}

// --- type slots -----------------------------------------------------------

// Crackrate(constants, flag); keyword arguments are ignored.
int Init(PyObject* self, PyObject* args, PyObject*) {
  PyObject* sequence;
  int flag;
  if (!PyArg_ParseTuple(args, "Oi", &sequence, &flag)) return -1;
  double constants[crackrate::kFullConstants];
  const int count = ReadConstants(sequence, constants);
  if (count < 0) return -1;
  return InstallModel(self, constants, count, flag != 0);
}

// --- methods --------------------------------------------------------------

PyObject* Calc_Crackrate(PyObject* self, PyObject* args) {
  double dK, a;
  int N;
  double R = crackrate::kNoRatio;
  double DKth = crackrate::kComputeThreshold;
  if (!ReadArguments(args, "ddi|dd", 3, &dK, &a, &N, &R, &DKth)) return nullptr;
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble(model->Calc_Crackrate(dK, a, N, R, DKth));
}

PyObject* CalcKeff(PyObject* self, PyObject* args) {
  double K;
  int N;
  double R = crackrate::kNoRatio;
  if (!ReadArguments(args, "di|d", 2, &K, &N, &R)) return nullptr;
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble(model->CalcKeff(K, N, R));
}

// The methods of two doubles: a and R.
template <double (CrackrateModel::*Of)(double, double) const noexcept>
PyObject* OfLengthAndRatio(PyObject* self, PyObject* args) {
  double a, R;
  if (!ReadArguments(args, "dd", 2, &a, &R)) return nullptr;
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble((model->*Of)(a, R));
}

// The methods of one double.
template <double (CrackrateModel::*Of)(double) const noexcept>
PyObject* OfOne(PyObject* self, PyObject* args) {
  double x;
  if (!ReadArguments(args, "d", 1, &x)) return nullptr;
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble((model->*Of)(x));
}

PyObject* CalcReff(PyObject* self, PyObject* args) {
  int N;
  double x;
  if (!ReadArguments(args, "id", 2, &N, &x)) return nullptr;
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble(model->CalcReff(N, x));
}

PyObject* SetKol(PyObject* self, PyObject* args) {
  if (!PyArg_ParseTuple(args, "")) return nullptr;
  CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  model->SetKol();
  Py_RETURN_NONE;
}

// Compute_Crackrate and its second name Crackrate.
PyObject* Compute_Crackrate(PyObject* self, PyObject* args) {
  double dK, a, R;
  int N;
  if (!ReadArguments(args, "ddid", 4, &dK, &a, &N, &R)) return nullptr;
  CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble(model->Compute_Crackrate(dK, a, N, R));
}

// Copies and pickles rebuild the object through the module's rebuild
// function from its 21 constants, its flag and its overload state (and, for
// a Python subclass instance, its class, attributes and slot values), so
// that the copy continues the same load history independently; neither the
// interpreter's default (__new__ alone, with no model) nor a subclass's
// initialisation is involved.
PyObject* Reduce(PyObject* self, PyObject*) {
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  PyObject* constants = PyTuple_New(crackrate::kFullConstants);
  if (constants == nullptr) return nullptr;
  for (int i = 0; i < crackrate::kFullConstants; ++i) {
    PyObject* value = PyFloat_FromDouble(model->Value(i));
    if (value == nullptr) {
      Py_DECREF(constants);
      return nullptr;
    }
    PyTuple_SET_ITEM(constants, i, value);
  }
  const crackrate::OverloadState& state = model->Overload();
  const int flag = model->Flag() ? 1 : 0;
  return Native::Reduction(
      self, Py_BuildValue("(Ni(ddd))", constants, flag, state.Kol, state.rpz, state.aol));
}

// Protocol 0 carries the constants and the overload state as exact text
// (pysupport::ExactText), so that NaNs keep their sign and payload there
// too.
PyObject* ReduceExact(PyObject* self) {
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  double constants[crackrate::kFullConstants];
  for (int i = 0; i < crackrate::kFullConstants; ++i) constants[i] = model->Value(i);
  const crackrate::OverloadState& overload = model->Overload();
  const double state[3] = {overload.Kol, overload.rpz, overload.aol};
  return Native::Reduction(
      self, Py_BuildValue("(NiN)", pysupport::ExactText(constants, crackrate::kFullConstants),
                          model->Flag() ? 1 : 0, pysupport::ExactText(state, 3)));
}

PyObject* ReduceEx(PyObject* self, PyObject* args) {
  return pysupport::ReduceForProtocol(self, args, &Native::type, Reduce, ReduceExact);
}

const char kRebuildMessage[] =
    "_rebuild takes 21 constants, a flag, an overload state and a subclass of Crackrate";

// _rebuild(constants, flag, (Kol, rpz, aol)[, cls]), the constants and the
// state also as their exact text.
PyObject* Rebuild(PyObject*, PyObject* args) {
  PyObject* sequence;
  int flag;
  PyObject* stateArg;
  PyObject* cls = nullptr;
  if (!PyArg_ParseTuple(args, "OiO|O:_rebuild", &sequence, &flag, &stateArg, &cls)) {
    return nullptr;
  }
  double constants[crackrate::kFullConstants];
  int count = crackrate::kFullConstants;
  if (!pysupport::ReadExactText(sequence, constants, count)) {
    count = ReadConstants(sequence, constants);
    if (count < 0) return nullptr;
  }
  double state[3];
  if (!pysupport::ReadExactText(stateArg, state, 3) &&
      !PyArg_Parse(stateArg, "(ddd):_rebuild", &state[0], &state[1], &state[2])) {
    return nullptr;
  }
  PyObject* self = pysupport::NewForRebuild(cls, &Native::type, kRebuildMessage);
  if (self == nullptr) return nullptr;
  if (InstallModel(self, constants, count, flag != 0) < 0) {
    Py_DECREF(self);
    return nullptr;
  }
  Native::Slot(self)->RestoreOverload(crackrate::OverloadState{state[0], state[1], state[2]});
  return self;
}

// The crack life (crack_life_binding.cpp) on the object's model.
PyObject* GrowCrack(PyObject* self, PyObject* args, PyObject* kwargs) {
  CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return crackrate_binding::GrowCrack(model, args, kwargs);
}

PyMethodDef kMethods[] = {
    {"Calc_Crackrate", Calc_Crackrate, METH_VARARGS,
     "Calc_Crackrate($self, dK, a, N, R=1000.0, DKth=-1.0, /)\n--\n\nThe rate of one cycle of "
     "range dK at length a after N cycles, a float;\nR >= 100 (or NaN) uses the stored ratio, "
     "DKth < 0 computes the threshold."},
    {"CalcKeff", CalcKeff, METH_VARARGS,
     "CalcKeff($self, K, N, R=1000.0, /)\n--\n\nThe effective stress intensity of K after N "
     "cycles, a float;\nR > 100 uses the effective stored ratio."},
    {"Calc_DKth", OfLengthAndRatio<&CrackrateModel::Calc_DKth>, METH_VARARGS,
     "Calc_DKth($self, a, R, /)\n--\n\nThe threshold range at crack length a and ratio R, a "
     "float."},
    {"Paris", OfOne<&CrackrateModel::Paris>, METH_VARARGS,
     "Paris($self, dK, /)\n--\n\nThe Paris rate C * dK**n, a float."},
    {"CalcReff", CalcReff, METH_VARARGS,
     "CalcReff($self, N, x, /)\n--\n\nThe effective ratio after N cycles at ratio x, a float; "
     "x >= 1000 uses the stored ratio."},
    {"Setf", OfOne<&CrackrateModel::Setf>, METH_VARARGS,
     "Setf($self, R, /)\n--\n\nThe crack-closure function f(R), a float."},
    {"dDKthbydReff", OfLengthAndRatio<&CrackrateModel::dDKthbydReff>, METH_VARARGS,
     "dDKthbydReff($self, a, R, /)\n--\n\nThe derivative of Calc_DKth(a, R) with respect to R "
     "at fixed a, a float."},
    {"SetKol", SetKol, METH_VARARGS,
     "SetKol($self, /)\n--\n\nForgets the remembered overload; returns None."},
    {"Compute_Crackrate", Compute_Crackrate, METH_VARARGS,
     "Compute_Crackrate($self, dK, a, N, R, /)\n--\n\nThe rate of the next cycle in load "
     "order, retarded by the remembered overload,\na float; the cycle becomes the overload "
     "where it governs."},
    {"Crackrate", Compute_Crackrate, METH_VARARGS,
     "Crackrate($self, dK, a, N, R, /)\n--\n\nCompute_Crackrate under its second name."},
    {"GrowCrack", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(GrowCrack)),
     METH_VARARGS | METH_KEYWORDS, crackrate_binding::kGrowCrackDoc},
    {"__reduce__", Reduce, METH_NOARGS,
     PYCOMPAT_FIXED_DOC("__reduce__($self, /)",
                        "rebuild the model from its constants and history")},
    {"__reduce_ex__", ReduceEx, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("__reduce_ex__($self, protocol=0, /)",
                        "rebuild the model from its constants and "
                        "history, exactly under every pickle protocol")},
    {nullptr, nullptr, 0, nullptr}};

// --- attributes -----------------------------------------------------------

// The one getter of all 23 rows; the row's closure is the value's index.
PyObject* GetValue(PyObject* self, void* closure) {
  const CrackrateModel* model = ModelOf(self);
  if (model == nullptr) return nullptr;
  return PyFloat_FromDouble(model->Value(static_cast<int>(reinterpret_cast<intptr_t>(closure))));
}

struct GetSetTable {
  PyGetSetDef rows[crackrate::kParameterCount + 1];
  GetSetTable() : rows() {
    for (int i = 0; i < crackrate::kParameterCount; ++i) {
      // The interpreter's table type predates const names; it never
      // writes through them.
      rows[i].name = const_cast<char*>(crackrate::kParameterNames[i]);
      rows[i].get = GetValue;
      // The getter tells the attributes apart by this index.
      // NOLINTNEXTLINE(performance-no-int-to-ptr)
      rows[i].closure = reinterpret_cast<void*>(static_cast<intptr_t>(i));
    }
  }
};
GetSetTable kGetSet;

PyMethodDef kModuleFunctions[] = {
    {"_rebuild", Rebuild, METH_VARARGS,
     PYCOMPAT_FIXED_DOC("_rebuild($module, constants, flag, state, cls=None, /)",
                        "rebuild a copied or "
                        "pickled model")},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

MODULE_INIT(Crackrate) {
  const char* doc = PYCOMPAT_FIXED_DOC("Crackrate(constants, flag, /)", "Crackrate objects");
  if (!Native::SetUpClassType(doc, kMethods, kGetSet.rows, Init)) return nullptr;
  PyObject* module =
      Native::CreateModule(kModuleFunctions, "Python interface to Crackrate objects", true);
  if (module == nullptr) return nullptr;
  crackrate_binding::AddLifeTypes(module);
  return module;
}
