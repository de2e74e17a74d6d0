#include "array_support.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "python_compat.h"
#include "python_support.h"

namespace pyarray {
namespace {

// ----- messages -------------------------------------------------------------

// "(N, 3, 3) or (N, 9)": the shapes accepted, with `rows` as their first
// dimension ("N" for inputs, the exact count for out=).
std::string ShapesText(RowShapes shapes, const std::string& rows) {
  std::string text;
  bool first = true;
  for (const RowShape& s : shapes) {
    if (!first) text += " or ";
    first = false;
    text += "(" + rows;
    if (s.ndim == 0) text += ",";
    for (int d = 0; d < s.ndim; ++d) text += ", " + std::to_string(s.dims[d]);
    text += ")";
  }
  return text;
}

bool OneDimensional(RowShapes shapes) { return shapes.size() == 0 || shapes.begin()->ndim == 0; }

// What an input must be: "x must be a float64 array of shape (N, 3) or a
// sequence of such rows".
std::string InputExpected(RowShapes shapes, const char* name) {
  const bool flat = OneDimensional(shapes);
  std::string text = std::string(name) + " must be a float64 array of shape " +
                     (flat ? ShapesText({RowShape()}, "N") : ShapesText(shapes, "N"));
  return text + (flat ? " or a sequence of numbers" : " or a sequence of such rows");
}

std::string OutExpected(RowShapes shapes, Py_ssize_t rows, const char* name) {
  const std::string n = std::to_string(rows);
  return std::string(name) + " must be a writable float64 array of shape " +
         (OneDimensional(shapes) ? ShapesText({RowShape()}, n) : ShapesText(shapes, n));
}

void Refuse(PyObject* type, const std::string& expected, const std::string& came) {
  PyErr_SetString(type, (expected + ", not " + came).c_str());
}

std::string TypeNameOf(PyObject* obj) { return Py_TYPE(obj)->tp_name; }

// "(4, 5)", "(4,)", "()".
std::string ViewShapeText(const Py_buffer& view) {
  if (view.ndim == 0) return "()";
  std::string text = "(";
  for (int d = 0; d < view.ndim; ++d) {
    if (d > 0) text += ", ";
    text += std::to_string(view.shape[d]);
  }
  return text + (view.ndim == 1 ? ",)" : ")");
}

// ----- buffers ----------------------------------------------------------------

// A float64 item format: "d", or "d" with the native order spelled out
// ("@", "="; "<" on a little-endian machine, ">" or "!" on a big-endian one).
bool IsDoubleFormat(const char* format) {
  if (format == nullptr) return false;  // unsigned bytes
  constexpr bool little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  char order = format[0];
  if (order == '@' || order == '=' || (little && order == '<') ||
      (!little && (order == '>' || order == '!'))) {
    ++format;
  }
  return std::strcmp(format, "d") == 0;
}

// Row-major without gaps, checked on the strides themselves, since the
// interpreters' own tests differ on empty arrays and dimensions of 1.
bool IsCContiguous(const Py_buffer& view) {
  if (view.strides == nullptr || view.len == 0) return true;
  Py_ssize_t expected = view.itemsize;
  for (int d = view.ndim - 1; d >= 0; --d) {
    if (view.shape[d] != 1 && view.strides[d] != expected) return false;
    expected *= view.shape[d];
  }
  return true;
}

// The first of `shapes` that dimensions 1.. of `view` have, or null. A
// 1-D view of a multiple of the row width (array.array('d') in both
// dialects) holds its rows one after another: it has the first shape.
const RowShape* MatchingRowShape(const Py_buffer& view, RowShapes shapes) {
  static constexpr RowShape kFlat{};
  if (OneDimensional(shapes)) return view.ndim == 1 ? &kFlat : nullptr;
  if (view.ndim == 1 && view.shape[0] % shapes.begin()->Width() == 0) return shapes.begin();
  for (const RowShape& s : shapes) {
    if (view.ndim != 1 + s.ndim) continue;
    bool same = true;
    for (int d = 0; d < s.ndim; ++d) same = same && view.shape[1 + d] == s.dims[d];
    if (same) return &s;
  }
  return nullptr;
}

// The rows of a view whose row shape is `shape`.
Py_ssize_t RowsOf(const Py_buffer& view, const RowShape& shape) {
  return view.ndim == 1 ? view.shape[0] / shape.Width() : view.shape[0];
}

// Takes the new-style buffer of `obj` into `view` and checks its format,
// contiguity and row shape (and `rows`, when not negative, and
// writability). On success *shape is the row shape it matched; on failure
// the view is released and the exception set.
bool TakeView(PyObject* obj, Py_buffer* view, RowShapes shapes, Py_ssize_t rows, bool writable,
              const std::string& expected, const RowShape** shape) {
  if (PyObject_GetBuffer(obj, view, PyBUF_STRIDES | PyBUF_FORMAT) < 0) return false;
  std::string came;
  PyObject* error = PyExc_TypeError;
  if (view->ndim > 0 && view->shape == nullptr) {
    came = "a buffer that gives no shape";  // an exporter that ignores the request
  } else if (!IsDoubleFormat(view->format) || view->itemsize != 8) {
    came =
        std::string("an array of format '") + (view->format != nullptr ? view->format : "B") + "'";
  } else if (writable && view->readonly) {
    came = "a read-only array";
  } else if (!IsCContiguous(*view)) {
    came = "a non-contiguous array of shape " + ViewShapeText(*view);
  } else if ((*shape = MatchingRowShape(*view, shapes)) == nullptr ||
             (rows >= 0 && RowsOf(*view, **shape) != rows)) {
    error = PyExc_ValueError;
    came = "an array of shape " + ViewShapeText(*view);
  } else {
    return true;
  }
  PyBuffer_Release(view);
  Refuse(error, expected, came);
  return false;
}

#if PY_MAJOR_VERSION < 3
// Python 2.7's array.array has only the old-style buffer. For an
// array.array (or subclass) of typecode 'd': *isArray, its items and their
// count. Not an array.array: true with *isArray false. False with TypeError
// for an array.array of another typecode, or with the exception of reading
// the array module or the array.
bool ArrayArrayItems(PyObject* obj, const std::string& expected, bool* isArray, const void** memory,
                     Py_ssize_t* count) {
  *isArray = false;
  PyObject* module = PyImport_ImportModule("array");
  if (module == nullptr) return false;
  PyObject* type = PyObject_GetAttrString(module, "array");
  Py_DECREF(module);
  if (type == nullptr) return false;
  const int is = PyType_Check(type) ? PyObject_IsInstance(obj, type) : 0;
  Py_DECREF(type);
  if (is <= 0) return is == 0;
  *isArray = true;
  PyObject* code = PyObject_GetAttrString(obj, "typecode");
  if (code == nullptr) return false;
  const std::string typecode = PyString_Check(code) ? PyString_AS_STRING(code) : "?";
  Py_DECREF(code);
  if (typecode != "d") {
    Refuse(PyExc_TypeError, expected, "an array.array of typecode '" + typecode + "'");
    return false;
  }
  Py_ssize_t bytes;
  if (PyObject_AsReadBuffer(obj, memory, &bytes) < 0) return false;
  *count = bytes / static_cast<Py_ssize_t>(sizeof(double));
  return true;
}

// An old-style buffer other than an old-style class instance (whose buffer
// slots call methods an instance may not have).
bool HasOldStyleBuffer(PyObject* obj) {
  PyBufferProcs* procs = Py_TYPE(obj)->tp_as_buffer;
  return procs != nullptr && procs->bf_getreadbuffer != nullptr && !PyInstance_Check(obj);
}
#endif

// ----- sequences --------------------------------------------------------------

// Reads nested sequences of numbers into `out`, checking at every level
// that the sequence keeps the length it had when its reading began.
class SequenceReader {
 public:
  SequenceReader(RowShapes shapes, const char* name, std::vector<double>* out)
      : shapes_(shapes), name_(name), out_(out) {}

  // The whole batch: a sequence of rows (or of numbers for 1-D).
  bool ReadBatch(PyObject* seq, Py_ssize_t* rows, const RowShape** matched) {
    const Py_ssize_t n = PySequence_Size(seq);
    if (n < 0) return false;
    const Py_ssize_t width = OneDimensional(shapes_) ? 1 : shapes_.begin()->Width();
    // A length may lie: reserve at most a few megabytes ahead of the items.
    out_->reserve(static_cast<size_t>(n < (1 << 19) / width ? n * width : 1 << 19));
    *rows = n;
    *matched = OneDimensional(shapes_) ? &kFlat : shapes_.begin();
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* item = Item(seq, i, n);
      if (item == nullptr) return false;
      bool ok = OneDimensional(shapes_) ? ReadNumber(item) : ReadRow(item, i, matched);
      Py_DECREF(item);
      if (!ok) return false;
    }
    return KeptLength(seq, n);
  }

 private:
  static constexpr RowShape kFlat{};

  // Row i: nested as one of the row shapes, chosen by its length.
  bool ReadRow(PyObject* row, Py_ssize_t i, const RowShape** matched) {
    const std::string where = "row " + std::to_string(i);
    if (!PySequence_Check(row)) {
      return NotSequence(where, row);
    }
    const Py_ssize_t n = PySequence_Size(row);
    if (n < 0) return false;
    for (const RowShape& s : shapes_) {
      if (s.dims[0] != n) continue;
      if (i == 0) *matched = &s;
      return ReadLevel(row, s, 0, where);
    }
    Refuse(PyExc_ValueError, InputExpected(shapes_, name_),
           "a sequence whose " + where + " has " + std::to_string(n) + " items");
    return false;
  }

  // Dimension d of a row of shape s: a sequence of s.dims[d] numbers (last
  // dimension) or of s.dims[d] sequences.
  bool ReadLevel(PyObject* seq, const RowShape& s, int d, const std::string& where) {
    const Py_ssize_t n = s.dims[d];
    for (Py_ssize_t j = 0; j < n; ++j) {
      PyObject* item = Item(seq, j, n);
      if (item == nullptr) return false;
      bool ok;
      if (d + 1 == s.ndim) {
        ok = ReadNumber(item);
      } else {
        const std::string part = where + ", part " + std::to_string(j);
        const Py_ssize_t m = PySequence_Check(item) ? PySequence_Size(item) : -2;
        if (m == -2) {
          ok = NotSequence(part, item);
        } else if (m < 0) {
          ok = false;
        } else if (m != s.dims[d + 1]) {
          Refuse(PyExc_ValueError, InputExpected(shapes_, name_),
                 "a sequence whose " + part + " has " + std::to_string(m) + " items");
          ok = false;
        } else {
          ok = ReadLevel(item, s, d + 1, part);
        }
      }
      Py_DECREF(item);
      if (!ok) return false;
    }
    return KeptLength(seq, n);
  }

  bool NotSequence(const std::string& where, PyObject* item) {
    Refuse(PyExc_TypeError, InputExpected(shapes_, name_),
           "a sequence whose " + where + " is " + TypeNameOf(item));
    return false;
  }

  // A number as the "d" format reads it.
  bool ReadNumber(PyObject* item) {
    const double v = PyFloat_CheckExact(item) ? PyFloat_AS_DOUBLE(item) : PyFloat_AsDouble(item);
    if (v == -1.0 && PyErr_Occurred()) return false;
    out_->push_back(v);
    return true;
  }

  // A new reference to item i of `seq`, whose length was n when its reading
  // began; RuntimeError when it no longer is (an earlier item's conversion
  // may have changed it).
  PyObject* Item(PyObject* seq, Py_ssize_t i, Py_ssize_t n) {
    PyObject* item;
    if (PyTuple_CheckExact(seq)) {
      item = PyTuple_GET_ITEM(seq, i);  // a tuple cannot change
    } else {
      if (!KeptLength(seq, n)) return nullptr;
      if (!PyList_CheckExact(seq)) return PySequence_GetItem(seq, i);
      item = PyList_GET_ITEM(seq, i);
    }
    Py_INCREF(item);
    return item;
  }

  bool KeptLength(PyObject* seq, Py_ssize_t n) {
    if (PyTuple_CheckExact(seq)) return true;
    const Py_ssize_t now = PyList_CheckExact(seq) ? PyList_GET_SIZE(seq) : PySequence_Size(seq);
    if (now < 0) return false;
    if (now == n) return true;
    PyErr_SetString(PyExc_RuntimeError,
                    (std::string(name_) + " changed size while it was read").c_str());
    return false;
  }

  RowShapes shapes_;
  const char* name_;
  std::vector<double>* out_;
};

// ----- the result type --------------------------------------------------------

constexpr int kMaxDims = 3;

struct ArrayObject {
  PyObject_HEAD
  char* data;
  Py_ssize_t bytes;
  Py_ssize_t itemsize;
  int ndim;
  char format[2];
  Py_ssize_t shape[kMaxDims];
  Py_ssize_t strides[kMaxDims];
};

PyTypeObject ArrayType{};
bool ArrayTypeReady = false;

ArrayObject* AsArray(PyObject* self) { return reinterpret_cast<ArrayObject*>(self); }

void Dealloc(PyObject* self) {
  PyMem_Free(AsArray(self)->data);
  PyObject_Del(self);
}

// Every view holds a reference to the array, and the block never moves or
// changes size: an exported array cannot be freed, nor its memory go stale.
int GetBuffer(PyObject* self, Py_buffer* view, int flags) {
  ArrayObject* a = AsArray(self);
  view->buf = a->data;
  view->obj = self;
  Py_INCREF(self);
  view->len = a->bytes;
  view->readonly = 0;
  view->format = (flags & PyBUF_FORMAT) != 0 ? a->format : nullptr;
  if ((flags & PyBUF_ND) == PyBUF_ND) {
    view->itemsize = a->itemsize;
    view->ndim = a->ndim;
    view->shape = a->shape;
    view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? a->strides : nullptr;
  } else {
    // A plain request sees the block as bytes (or, with the format, as
    // items), as the interpreter's own simple buffers do.
    view->itemsize = view->format != nullptr ? a->itemsize : 1;
    view->ndim = 1;
    view->shape = nullptr;
    view->strides = nullptr;
  }
  view->suboffsets = nullptr;
  view->internal = nullptr;
  return 0;
}

#if PY_MAJOR_VERSION < 3
// Python 2.7's old-style buffer: one segment, readable and writable.
Py_ssize_t Segment(PyObject* self, Py_ssize_t index, void** ptr) {
  if (index != 0) {
    PyErr_SetString(PyExc_SystemError, "accessing non-existent buffer segment");
    return -1;
  }
  *ptr = AsArray(self)->data;
  return AsArray(self)->bytes;
}

Py_ssize_t SegmentCount(PyObject* self, Py_ssize_t* bytes) {
  if (bytes != nullptr) *bytes = AsArray(self)->bytes;
  return 1;
}
#endif

PyBufferProcs kBuffer{};

Py_ssize_t Length(PyObject* self) { return AsArray(self)->shape[0]; }

PySequenceMethods kSequence{};

PyObject* Item(const ArrayObject* a, Py_ssize_t index) {
  const char* p = a->data + index * a->itemsize;
  switch (a->format[0]) {
    case 'd': {
      double v;
      std::memcpy(&v, p, sizeof v);
      return PyFloat_FromDouble(v);
    }
    case 'i': {
      std::int32_t v;
      std::memcpy(&v, p, sizeof v);
      return pycompat::NewInt(v);
    }
    default: {
      std::int64_t v;
      std::memcpy(&v, p, sizeof v);
      return pycompat::NewInt(static_cast<long>(v));
    }
  }
}

// The items from flat index `first` on as nested lists from dimension d,
// each filled through the one result-list holder.
PyObject* NestedList(const ArrayObject* a, int d, Py_ssize_t first) {
  const Py_ssize_t n = a->shape[d];
  const bool last = d + 1 >= a->ndim || d + 1 >= kMaxDims;
  const Py_ssize_t step = last ? 1 : a->strides[d] / a->itemsize;
  pysupport::ResultList list(n);
  if (!list.Made()) return nullptr;
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = last ? Item(a, first + i) : NestedList(a, d + 1, first + i * step);
    if (item == nullptr) return nullptr;
    list.Set(i, item);
  }
  return list.Finish();
}

PyObject* ToList(PyObject* self, PyObject*) { return NestedList(AsArray(self), 0, 0); }

PyObject* Shape(PyObject* self, void*) {
  const ArrayObject* a = AsArray(self);
  PyObject* shape = PyTuple_New(a->ndim);
  for (int d = 0; shape != nullptr && d < a->ndim; ++d) {
    PyObject* n = pycompat::NewInt(static_cast<long>(a->shape[d]));
    if (n == nullptr)
      Py_CLEAR(shape);
    else
      PyTuple_SET_ITEM(shape, d, n);
  }
  return shape;
}

PyObject* Format(PyObject* self, void*) { return pycompat::NewText(AsArray(self)->format, 1); }

PyMethodDef kMethods[] = {
    {"tolist", ToList, METH_NOARGS,
     "tolist($self, /)\n--\n\nThe items as nested lists (of floats, or ints for the int formats)."},
    {nullptr, nullptr, 0, nullptr}};

PyGetSetDef kGetSet[] = {
    {const_cast<char*>("shape"), Shape, nullptr,
     const_cast<char*>("The dimensions, a tuple of 1 to 3 ints."), nullptr},
    {const_cast<char*>("format"), Format, nullptr,
     const_cast<char*>("The item format: 'd' (float64), 'i' (int32) or 'q' (int64)."), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr}};

const char kArrayDoc[] =
    "A block of float64 or integer items made by this module, with its shape and format.\n\n"
    "It exports the buffer protocol (writable, C-contiguous): numpy.asarray(a) and\n"
    "memoryview(a) see its items without a copy. len(a) is the first dimension.";

bool ReadyArrayType(const char* moduleName) {
  if (ArrayTypeReady) return true;
  pycompat::PrepareStaticType(&ArrayType);
  ArrayType.tp_name = pycompat::TypeName(moduleName, "Array");
  ArrayType.tp_basicsize = sizeof(ArrayObject);
  ArrayType.tp_dealloc = Dealloc;
  kBuffer.bf_getbuffer = GetBuffer;
#if PY_MAJOR_VERSION < 3
  kBuffer.bf_getreadbuffer = Segment;
  kBuffer.bf_getwritebuffer = Segment;
  kBuffer.bf_getsegcount = SegmentCount;
  // NOLINTNEXTLINE(misc-redundant-expression)
  ArrayType.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_NEWBUFFER;
#else
  ArrayType.tp_flags = Py_TPFLAGS_DEFAULT;
#endif
  ArrayType.tp_as_buffer = &kBuffer;
  kSequence.sq_length = Length;
  ArrayType.tp_as_sequence = &kSequence;
  ArrayType.tp_methods = kMethods;
  ArrayType.tp_getset = kGetSet;
  ArrayType.tp_doc = kArrayDoc;
  if (PyType_Ready(&ArrayType) < 0) return false;
  ArrayTypeReady = true;
  return true;
}

PyObject* NewBlock(std::initializer_list<Py_ssize_t> shape, char format, Py_ssize_t itemsize,
                   void** data) {
  if (shape.size() < 1 || shape.size() > kMaxDims) {
    PyErr_SetString(PyExc_ValueError, "an array has 1 to 3 dimensions");
    return nullptr;
  }
  // An empty dimension makes an empty array, however large the others.
  bool empty = false;
  for (Py_ssize_t n : shape) {
    if (n < 0) {
      PyErr_SetString(PyExc_ValueError, "an array's dimensions cannot be negative");
      return nullptr;
    }
    empty = empty || n == 0;
  }
  Py_ssize_t count = empty ? 0 : 1;
  for (Py_ssize_t n : shape) {
    if (empty) break;
    if (count > PY_SSIZE_T_MAX / itemsize / n) return PyErr_NoMemory();
    count *= n;
  }
  if (!ReadyArrayType("array_support")) return nullptr;
  ArrayObject* a = PyObject_New(ArrayObject, &ArrayType);
  if (a == nullptr) return nullptr;
  a->bytes = count * itemsize;
  // A block of at least one byte, so that even an empty array has an address.
  a->data = static_cast<char*>(PyMem_Malloc(static_cast<size_t>(a->bytes > 0 ? a->bytes : 1)));
  if (a->data == nullptr) {
    PyObject_Del(a);
    return PyErr_NoMemory();
  }
  a->itemsize = itemsize;
  a->ndim = static_cast<int>(shape.size());
  a->format[0] = format;
  a->format[1] = '\0';
  int d = 0;
  for (Py_ssize_t n : shape) a->shape[d++] = n;
  Py_ssize_t stride = itemsize;
  for (d = a->ndim - 1; d >= 0; --d) {
    a->strides[d] = stride;
    stride *= a->shape[d];
  }
  *data = a->data;
  return reinterpret_cast<PyObject*>(a);
}

}  // namespace

// ----- DoubleArray ------------------------------------------------------------

DoubleArray::~DoubleArray() {
  if (hasView_) PyBuffer_Release(&view_);
}

bool DoubleArray::Read(PyObject* obj, RowShapes shapes, const char* name) {
  const bool flat = OneDimensional(shapes);
  width_ = flat ? 1 : shapes.begin()->Width();
  try {
    const std::string expected = InputExpected(shapes, name);
    if (PyObject_CheckBuffer(obj)) {
      const RowShape* matched = nullptr;
      if (!TakeView(obj, &view_, shapes, -1, false, expected, &matched)) return false;
      hasView_ = true;
      shape_ = *matched;
      rows_ = RowsOf(view_, shape_);
      data_ = rows_ > 0 ? static_cast<const double*>(view_.buf) : nullptr;
      if (data_ == nullptr) {
        copy_.resize(1);
        data_ = copy_.data();
      }
      return true;
    }
#if PY_MAJOR_VERSION < 3
    bool isArray = false;
    const void* memory = nullptr;
    Py_ssize_t count = 0;
    if (!ArrayArrayItems(obj, expected, &isArray, &memory, &count)) return false;
    if (isArray) {
      if (count % width_ != 0) {
        Refuse(PyExc_ValueError, expected,
               "an array.array of " + std::to_string(count) + " numbers");
        return false;
      }
      // Copied at once: nothing pins an array.array's memory under Python
      // 2.7, and a later argument's conversion could resize it.
      copy_.resize(static_cast<size_t>(count > 0 ? count : 1));
      if (count > 0) std::memcpy(copy_.data(), memory, static_cast<size_t>(count) * 8);
      rows_ = count / width_;
      shape_ = flat ? RowShape() : *shapes.begin();
      data_ = copy_.data();
      return true;
    }
    if (HasOldStyleBuffer(obj)) {
      Refuse(PyExc_TypeError, expected, "a buffer of type " + TypeNameOf(obj));
      return false;
    }
#endif
    if (!PySequence_Check(obj)) {
      Refuse(PyExc_TypeError, expected, TypeNameOf(obj));
      return false;
    }
    const RowShape* matched = nullptr;
    SequenceReader reader(shapes, name, &copy_);
    if (!reader.ReadBatch(obj, &rows_, &matched)) return false;
    shape_ = *matched;
    if (copy_.empty()) copy_.resize(1);
    data_ = copy_.data();
    return true;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return false;
}

// ----- OutArray ---------------------------------------------------------------

OutArray::~OutArray() {
  if (hasView_) PyBuffer_Release(&view_);
}

bool OutArray::Bind(PyObject* obj, Py_ssize_t rows, RowShapes shapes, const char* name) {
  const Py_ssize_t width = OneDimensional(shapes) ? 1 : shapes.begin()->Width();
  try {
    const std::string expected = OutExpected(shapes, rows, name);
    count_ = rows * width;
    obj_ = obj;
    if (PyObject_CheckBuffer(obj)) {
      const RowShape* matched = nullptr;
      if (!TakeView(obj, &view_, shapes, rows, true, expected, &matched)) return false;
      hasView_ = true;
      data_ = static_cast<double*>(view_.buf);
      if (count_ == 0 || data_ == nullptr) {
        scratch_.reset(new double[1]);
        data_ = scratch_.get();
      }
      return true;
    }
#if PY_MAJOR_VERSION < 3
    bool isArray = false;
    const void* memory = nullptr;
    Py_ssize_t count = 0;
    if (!ArrayArrayItems(obj, expected, &isArray, &memory, &count)) return false;
    if (isArray) {
      if (count != count_) {
        Refuse(PyExc_ValueError, expected,
               "an array.array of " + std::to_string(count) + " numbers");
        return false;
      }
      scratch_.reset(new double[static_cast<size_t>(count > 0 ? count : 1)]);
      data_ = scratch_.get();
      return true;
    }
#endif
    Refuse(PyExc_TypeError, expected, TypeNameOf(obj));
    return false;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return false;
}

bool OutArray::Commit() {
#if PY_MAJOR_VERSION < 3
  if (!hasView_ && scratch_ != nullptr && count_ > 0) {
    void* memory;
    Py_ssize_t bytes;
    if (PyObject_AsWriteBuffer(obj_, &memory, &bytes) < 0) return false;
    if (bytes != count_ * static_cast<Py_ssize_t>(sizeof(double))) {
      PyErr_SetString(PyExc_RuntimeError, "out changed size during the call");
      return false;
    }
    std::memcpy(memory, scratch_.get(), static_cast<size_t>(bytes));
  }
#endif
  return true;
}

// ----- overlap, the result type -----------------------------------------------

Overlap MemoryOverlap(const double* a, Py_ssize_t aCount, const double* b, Py_ssize_t bCount) {
  if (aCount <= 0 || bCount <= 0) return Overlap::Disjoint;
  if (a == b && aCount == bCount) return Overlap::Same;
  const auto aStart = reinterpret_cast<std::uintptr_t>(a);
  const auto bStart = reinterpret_cast<std::uintptr_t>(b);
  const auto aEnd = aStart + static_cast<std::uintptr_t>(aCount) * sizeof(double);
  const auto bEnd = bStart + static_cast<std::uintptr_t>(bCount) * sizeof(double);
  return aStart < bEnd && bStart < aEnd ? Overlap::Partial : Overlap::Disjoint;
}

bool AddArrayType(PyObject* module, const char* moduleName) {
  if (!ReadyArrayType(moduleName)) return false;
  Py_INCREF(&ArrayType);
  if (PyModule_AddObject(module, "Array", reinterpret_cast<PyObject*>(&ArrayType)) < 0) {
    Py_DECREF(&ArrayType);
    return false;
  }
  return true;
}

PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, double** data) {
  void* block = nullptr;
  PyObject* a = NewBlock(shape, 'd', sizeof(double), &block);
  *data = static_cast<double*>(block);
  return a;
}

PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, std::int32_t** data) {
  void* block = nullptr;
  PyObject* a = NewBlock(shape, 'i', sizeof(std::int32_t), &block);
  *data = static_cast<std::int32_t*>(block);
  return a;
}

PyObject* NewArray(std::initializer_list<Py_ssize_t> shape, std::int64_t** data) {
  void* block = nullptr;
  PyObject* a = NewBlock(shape, 'q', sizeof(std::int64_t), &block);
  *data = static_cast<std::int64_t*>(block);
  return a;
}

bool IsArray(PyObject* obj) { return ArrayTypeReady && Py_TYPE(obj) == &ArrayType; }

}  // namespace pyarray
