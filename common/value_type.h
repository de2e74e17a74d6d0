// The scaffold of the fixed-size value types (Triad, Hexad, Ennead): an
// object holding N doubles inline, its type object, number protocol,
// one-index item protocol, printed form, copying support, the buffer protocol
// over its own doubles and the module that carries the type. A module instantiates it with its
// component count, its operand rules, its texts and its product, and keeps only what differs: its
// own methods, functions and item access.
#pragma once

#include <Python.h>

#include <array>
#include <type_traits>
#include <utility>

#include "general_format.h"
#include "python_support.h"

namespace valuetype {

// Which operand mixes a value type takes besides the shared rule of
// pysupport::ClassifyOperands for multiplication.
enum class Kind {
  // + and - take a number on either side or two values, += and -= a number
  // or a value; a / s takes any instance on the left; unary - and +.
  Vector,
  // + - += -= take two values of exactly the type only; a / s needs a of
  // exactly the type; no unary operators.
  Tensor,
};

// The fixed texts of a value type: its name (of the type and the module),
// type doc, initialisation format ("d" once per component) and the message
// of each refused operand mix or item access.
struct Texts {
  const char* name;
  const char* doc;
  const char* initFormat;
  const char* add;
  const char* subtract;
  const char* multiply;
  const char* divide;
  const char* inplaceAdd;
  const char* inplaceSubtract;
  const char* inplaceMultiply;
  const char* inplaceDivide;
  const char* index;
  const char* assign;
  const char* remove;
};

// The texts of the tensor types, one pattern over the type name; only the
// in-place scaling and the index messages differ between them, and the
// doc string's signature names the type's components `parameters`. The
// fields are in the order of Texts.
// clang-format off
#define VALUETYPE_TENSOR_TEXTS(name, parameters, format, inplaceMultiply, index) \
  valuetype::Texts{                                                       \
      name,                                                               \
      PYCOMPAT_FIXED_DOC(name "(" parameters ", /)", name " objects"), \
      format,                                                             \
      "Both operands should be " name " instances",                       \
      "Both operands should be " name " instances",                       \
      "Can only multiply a number or a " name " with a " name " instance",\
      "Can only divide a " name " by a number",                           \
      "Can only add a " name " to a " name " instance",                   \
      "Can only subtract a " name " to a " name " instance",              \
      inplaceMultiply,                                                    \
      "Can only divide a " name " by a number",                           \
      index,                                                              \
      "Can only assign a number to a " name " item",                      \
      name " items cannot be deleted"}
// clang-format on

// N components; `kind` as above; `texts` a constant with static storage;
// `Product(a, b)` the product of two values, either returning a double (the
// result is then a float) or writing a third argument out[N] (the result is
// then a new value).
template <int N, Kind kind, const Texts& texts, auto Product>
class ValueType {
 public:
  struct Object {
    PyObject_HEAD
    double c[N];
  };

  // The type object, filled in and made ready by InitModule.
  inline static PyTypeObject type{};

  static bool IsExact(PyObject* obj) { return Py_TYPE(obj) == &type; }
  static bool IsInstance(PyObject* obj) { return PyObject_TypeCheck(obj, &type); }
  static double* Components(PyObject* obj) { return reinterpret_cast<Object*>(obj)->c; }

  // A new value of exactly this type whose components fill(out) writes, or
  // null with MemoryError. Every arithmetic result is made here, whatever
  // the operands' types.
  template <class Fill>
  static PyObject* Make(Fill fill) {
    Object* r = freeObjects.Take(&type);
    if (r == nullptr) return nullptr;
    fill(r->c);
    return reinterpret_cast<PyObject*>(r);
  }

  static PyObject* MakeCopy(const double* c) {
    return Make([c](double* out) {
      for (int i = 0; i < N; ++i) out[i] = c[i];
    });
  }

  static PyObject* Fail(const char* message) {
    PyErr_SetString(PyExc_TypeError, message);
    return nullptr;
  }

  // Component I as a new float: the body of the component methods.
  template <int I>
  static PyObject* Component(PyObject* self, PyObject*) {
    return PyFloat_FromDouble(Components(self)[I]);
  }

  // Copies and pickles rebuild a value through the module's rebuild
  // function from its components (and, for a Python subclass instance, its
  // class, attributes and slot values), so that neither the interpreter's
  // default (which would give zeros) nor a subclass's initialisation, with
  // whatever arguments it takes, is involved. The function is found by
  // pickle under the module's name, where the type itself would not be
  // under Python 2.7.
  static PyObject* Reduce(PyObject* self, PyObject*) {
    const double* c = Components(self);
    PyObject* components = PyTuple_New(N);
    if (components == nullptr) return nullptr;
    for (int i = 0; i < N; ++i) {
      PyObject* f = PyFloat_FromDouble(c[i]);
      if (f == nullptr) {
        Py_DECREF(components);
        return nullptr;
      }
      PyTuple_SET_ITEM(components, i, f);
    }
    return pysupport::Reduction(rebuildFunction, Py_BuildValue("(N)", components), self, &type);
  }

  // Protocol 0 carries the components as exact text (pysupport::ExactText),
  // so that NaNs keep their sign and payload there too.
  static PyObject* ReduceExact(PyObject* self) {
    return pysupport::Reduction(rebuildFunction,
                                Py_BuildValue("(N)", pysupport::ExactText(Components(self), N)),
                                self, &type);
  }

  static PyObject* ReduceEx(PyObject* self, PyObject* args) {
    return pysupport::ReduceForProtocol(self, args, &type, Reduce, ReduceExact);
  }

  // _rebuild(components[, cls]): a value of `cls` (by default the type)
  // with the N components given (a tuple of N numbers, or their exact
  // text), made without the class's initialisation.
  static PyObject* Rebuild(PyObject*, PyObject* args) {
    PyObject* components;
    PyObject* cls = nullptr;
    if (!PyArg_ParseTuple(args, "O|O:_rebuild", &components, &cls)) return nullptr;
    double v[N];
    if (!pysupport::ReadExactText(components, v, N)) {
      if (!PyTuple_Check(components) || PyTuple_GET_SIZE(components) != N) {
        PyErr_SetString(PyExc_TypeError, kRebuildMessage);
        return nullptr;
      }
      for (int i = 0; i < N; ++i) {
        v[i] = PyFloat_AsDouble(PyTuple_GET_ITEM(components, i));
        if (v[i] == -1.0 && PyErr_Occurred()) return nullptr;
      }
    }
    PyObject* self = pysupport::NewForRebuild(cls, &type, kRebuildMessage);
    if (self == nullptr) return nullptr;
    double* c = Components(self);
    for (int i = 0; i < N; ++i) c[i] = v[i];
    return self;
  }

  // A whole method table for a type whose only methods are its
  // components: one no-argument method per component, named names[i] with
  // the doc string docs[i], then __reduce__, __reduce_ex__ and the closing
  // entry.
  static constexpr std::array<PyMethodDef, N + 3> ComponentMethods(const char* const (&names)[N],
                                                                   const char* const (&docs)[N]) {
    return ComponentMethods(names, docs, std::make_index_sequence<N>());
  }

  // The same table with the methods `more` between the components and
  // the copying methods.
  template <std::size_t M>
  static std::array<PyMethodDef, N + 3 + M> ComponentMethods(
      const char* const (&names)[N], const char* const (&docs)[N],
      const std::array<PyMethodDef, M>& more) {
    const std::array<PyMethodDef, N + 3> components = ComponentMethods(names, docs);
    std::array<PyMethodDef, N + 3 + M> all{};
    for (int i = 0; i < N; ++i) all[i] = components[i];
    for (std::size_t j = 0; j < M; ++j) all[N + j] = more[j];
    for (int i = N; i < N + 3; ++i) all[M + i] = components[i];
    return all;
  }

  static constexpr PyMethodDef kReduceMethod = {
      "__reduce__", Reduce, METH_NOARGS,
      PYCOMPAT_FIXED_DOC("__reduce__($self, /)",
                         "rebuild the value from its components for copying")};
  static constexpr PyMethodDef kReduceExMethod = {
      "__reduce_ex__", ReduceEx, METH_VARARGS,
      PYCOMPAT_FIXED_DOC("__reduce_ex__($self, protocol=0, /)",
                         "rebuild the value from its components, exactly "
                         "under every pickle protocol")};

  // The module function that copies and pickles rebuild values with; every
  // module of a value type lists it among its functions.
  static constexpr PyMethodDef kRebuildFunction = {
      "_rebuild", Rebuild, METH_VARARGS,
      PYCOMPAT_FIXED_DOC("_rebuild($module, components, cls=None, /)",
                         "rebuild a copied or pickled value")};

  // Makes the type ready with `methods` (and, when given, item protocols of
  // the module's own instead of the one-index one), creates the module
  // under the type's name with `functions` and `doc`, and adds the type to
  // it. Returns the module as pycompat::CreateModule made it (or null);
  // with the interpreter's exception set, the import fails.
  static PyObject* InitModule(PyMethodDef* methods, PyMethodDef* functions, const char* doc,
                              PySequenceMethods* sequence = &flatSequence,
                              PyMappingMethods* mapping = nullptr) {
    FillNumber();
    flatSequence.sq_item = Item;
    flatSequence.sq_ass_item = AssignItem;
    pycompat::PrepareStaticType(&type);
    type.tp_name = pycompat::TypeName(texts.name, texts.name);
    type.tp_basicsize = sizeof(Object);
    type.tp_itemsize = 0;
    type.tp_dealloc = Dealloc;
    type.tp_repr = Repr;
    type.tp_str = Repr;
    type.tp_as_number = &number;
    type.tp_as_sequence = sequence;
    type.tp_as_mapping = mapping;
    type.tp_as_buffer = &buffer;
    buffer.bf_getbuffer = GetBuffer;
    // The interpreter's default flags repeat bits inside their own macro.
    // NOLINTNEXTLINE(misc-redundant-expression)
    constexpr auto kFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_CHECKTYPES | Py_TPFLAGS_BASETYPE;
    type.tp_flags = kFlags | pycompat::kNewBufferFlag;
    type.tp_doc = texts.doc;
    type.tp_methods = methods;
    type.tp_init = Init;
    type.tp_new = New;
    if (PyType_Ready(&type) < 0) return nullptr;
    PyObject* module = pycompat::CreateModule(texts.name, functions, doc);
    if (module == nullptr) return nullptr;
    Py_INCREF(&type);
    if (PyModule_AddObject(module, texts.name, reinterpret_cast<PyObject*>(&type)) < 0) {
      Py_DECREF(&type);
      return module;
    }
    Py_XDECREF(rebuildFunction);
    rebuildFunction = PyObject_GetAttrString(module, "_rebuild");
    return module;
  }

 private:
  template <std::size_t... I>
  static constexpr std::array<PyMethodDef, N + 3> ComponentMethods(const char* const (&names)[N],
                                                                   const char* const (&docs)[N],
                                                                   std::index_sequence<I...>) {
    return {{{names[I], Component<I>, METH_NOARGS, docs[I]}...,
             kReduceMethod,
             kReduceExMethod,
             {nullptr, nullptr, 0, nullptr}}};
  }

  // Dead values of exactly this type kept for reuse by the arithmetic.
  inline static pysupport::FreeList<Object> freeObjects;
  inline static PyNumberMethods number{};
  // The module's rebuild function, which pickle finds under the module's
  // name; set when the module is made.
  inline static PyObject* rebuildFunction = nullptr;
  static constexpr const char kRebuildMessage[] =
      "_rebuild takes the components of a value and a subclass of its type";
  inline static PySequenceMethods flatSequence{};

  // --- construction, destruction, printed form ---------------------------

  // All components 0.0; the arguments are left to the initialisation.
  static PyObject* New(PyTypeObject* t, PyObject*, PyObject*) {
    // Subclasses allocate through their own allocation slot.
    PyObject* self =
        t == &type ? reinterpret_cast<PyObject*>(freeObjects.Take(&type)) : t->tp_alloc(t, 0);
    if (self == nullptr) return nullptr;
    double* c = Components(self);
    for (int i = 0; i < N; ++i) c[i] = 0.0;
    return self;
  }

  // Exact floats and ints are read directly, as the "d" conversion reads
  // them; anything else goes through the interpreter's parser, which gives
  // its own messages. A failure leaves the components as they were.
  template <std::size_t... I>
  static bool ParseArguments(PyObject* args, double* v, std::index_sequence<I...>) {
    return PyArg_ParseTuple(args, texts.initFormat, &v[I]...) != 0;
  }

  static int Init(PyObject* self, PyObject* args, PyObject*) {
    double v[N];
    bool quick = PyTuple_GET_SIZE(args) == N;
    for (int i = 0; quick && i < N; ++i)
      quick = pysupport::ExactNumberValue(PyTuple_GET_ITEM(args, i), &v[i]);
    if (!quick && !ParseArguments(args, v, std::make_index_sequence<N>())) return -1;
    double* c = Components(self);
    for (int i = 0; i < N; ++i) c[i] = v[i];
    return 0;
  }

  // Subclass instances come here from their own deallocation and go back to
  // their type's free slot; only plain values are kept for reuse.
  static void Dealloc(PyObject* self) {
    if (IsExact(self)) {
      freeObjects.Give(reinterpret_cast<Object*>(self));
    } else {
      Py_TYPE(self)->tp_free(self);
    }
  }

  // The components in "%g" form separated by single spaces.
  static PyObject* Repr(PyObject* self) {
    const double* c = Components(self);
    char text[N * (textformat::kGeneralFieldWidth + 1)];
    char* const last = text + sizeof text;
    char* end = text;
    for (int i = 0; i < N; ++i) {
      if (i > 0) *end++ = ' ';
      end = textformat::FormatGeneral(end, last, c[i]);
    }
    return pycompat::NewText(text, end - text);
  }

  // --- number protocol ---------------------------------------------------

  template <class Op>
  static PyObject* Combine(PyObject* a, PyObject* b, const char* message, Op op) {
    if constexpr (kind == Kind::Vector) {
      const pysupport::Operands mix = pysupport::ClassifyOperands(a, b, &type);
      const double s = mix.number;
      switch (mix.kind) {
        case pysupport::Operands::TwoValues:
          break;
        case pysupport::Operands::NumberValue: {
          const double* v = Components(mix.value);
          return Make([&](double* out) {
            for (int i = 0; i < N; ++i) out[i] = op(s, v[i]);
          });
        }
        case pysupport::Operands::ValueNumber: {
          const double* v = Components(mix.value);
          return Make([&](double* out) {
            for (int i = 0; i < N; ++i) out[i] = op.ValueNumber(v[i], s);
          });
        }
        case pysupport::Operands::Refused:
          return Fail(message);
        case pysupport::Operands::Failed:
          return nullptr;
      }
    } else if (!IsExact(a) || !IsExact(b)) {
      return Fail(message);
    }
    const double* x = Components(a);
    const double* y = Components(b);
    return Make([&](double* out) {
      for (int i = 0; i < N; ++i) out[i] = op(x[i], y[i]);
    });
  }

  // s + v and v + s both give s + v, component by component; v - s keeps
  // its order.
  struct Plus {
    double operator()(double x, double y) const { return x + y; }
    double ValueNumber(double v, double s) const { return s + v; }
  };
  struct Minus {
    double operator()(double x, double y) const { return x - y; }
    double ValueNumber(double v, double s) const { return v - s; }
  };

  static PyObject* Add(PyObject* a, PyObject* b) { return Combine(a, b, texts.add, Plus()); }
  static PyObject* Subtract(PyObject* a, PyObject* b) {
    return Combine(a, b, texts.subtract, Minus());
  }

  static PyObject* Scaled(PyObject* value, double s) {
    const double* v = Components(value);
    return Make([&](double* out) {
      for (int i = 0; i < N; ++i) out[i] = v[i] * s;
    });
  }

  static PyObject* Multiply(PyObject* a, PyObject* b) {
    // Scaling a plain value by a plain float, the commonest product, skips
    // the operand rule, whose outcome it already knows.
    if (IsExact(a) && PyFloat_CheckExact(b)) return Scaled(a, PyFloat_AS_DOUBLE(b));
    const pysupport::Operands mix = pysupport::ClassifyOperands(a, b, &type);
    switch (mix.kind) {
      case pysupport::Operands::TwoValues: {
        const double* x = Components(a);
        const double* y = Components(b);
        if constexpr (std::is_invocable_v<decltype(Product), const double*, const double*>) {
          return PyFloat_FromDouble(Product(x, y));
        } else {
          return Make([&](double* out) { Product(x, y, out); });
        }
      }
      case pysupport::Operands::NumberValue:
      case pysupport::Operands::ValueNumber:
        return Scaled(mix.value, mix.number);
      case pysupport::Operands::Refused:
        break;
      case pysupport::Operands::Failed:
        return nullptr;
    }
    return Fail(texts.multiply);
  }

  // Division by a number in IEEE arithmetic, Python 2.7's classic `/` and
  // Python 3's `/` alike: a zero divisor gives infinities or NaNs and raises
  // nothing.
  static PyObject* Divide(PyObject* a, PyObject* b) {
    double s;
    if (!(kind == Kind::Tensor ? IsExact(a) : IsInstance(a))) return Fail(texts.divide);
    if (!pysupport::ReadNumberOperand(b, &s, texts.divide)) return nullptr;
    const double* v = Components(a);
    return Make([&](double* out) {
      for (int i = 0; i < N; ++i) out[i] = v[i] / s;
    });
  }

  static PyObject* Negative(PyObject* self) {
    const double* v = Components(self);
    return Make([&](double* out) {
      for (int i = 0; i < N; ++i) out[i] = -v[i];
    });
  }

  static PyObject* Positive(PyObject* self) { return MakeCopy(Components(self)); }

  // The in-place forms are called on the left operand's own slot, so only
  // the right operand is tested, before anything changes; the left one is
  // changed and returned.
  template <class Op>
  static PyObject* InplaceCombine(PyObject* a, PyObject* b, const char* message, Op op) {
    double* x = Components(a);
    double s;
    if (IsExact(b)) {
      const double* y = Components(b);
      for (int i = 0; i < N; ++i) x[i] = op(x[i], y[i]);
    } else if (kind == Kind::Vector) {
      if (!pysupport::ReadNumberOperand(b, &s, message)) return nullptr;
      for (int i = 0; i < N; ++i) x[i] = op(x[i], s);
    } else {
      return Fail(message);
    }
    Py_INCREF(a);
    return a;
  }

  template <class Op>
  static PyObject* InplaceByNumber(PyObject* a, PyObject* b, const char* message, Op op) {
    double s;
    if (!pysupport::ReadNumberOperand(b, &s, message)) return nullptr;
    double* x = Components(a);
    for (int i = 0; i < N; ++i) x[i] = op(x[i], s);
    Py_INCREF(a);
    return a;
  }

  static PyObject* InplaceAdd(PyObject* a, PyObject* b) {
    return InplaceCombine(a, b, texts.inplaceAdd, Plus());
  }
  static PyObject* InplaceSubtract(PyObject* a, PyObject* b) {
    return InplaceCombine(a, b, texts.inplaceSubtract, Minus());
  }
  static PyObject* InplaceMultiply(PyObject* a, PyObject* b) {
    return InplaceByNumber(a, b, texts.inplaceMultiply, [](double x, double s) { return x * s; });
  }
  static PyObject* InplaceDivide(PyObject* a, PyObject* b) {
    return InplaceByNumber(a, b, texts.inplaceDivide, [](double x, double s) { return x / s; });
  }

  static void FillNumber() {
    number.nb_add = Add;
    number.nb_subtract = Subtract;
    number.nb_multiply = Multiply;
    pycompat::SetDivision(&number, Divide, InplaceDivide);
    if (kind == Kind::Vector) {
      number.nb_negative = Negative;
      number.nb_positive = Positive;
    }
    number.nb_inplace_add = InplaceAdd;
    number.nb_inplace_subtract = InplaceSubtract;
    number.nb_inplace_multiply = InplaceMultiply;
  }

  // --- buffer protocol ---------------------------------------------------

  // The components as the consumer of a buffer sees them: float64 items
  // ("d"), a vector or column tensor as one row of N, the nine components
  // of a full tensor as its 3-by-3 matrix, row by row.
  static constexpr int kRank = N == 9 ? 2 : 1;
  static constexpr std::array<Py_ssize_t, kRank> BufferShape() {
    if constexpr (kRank == 2) {
      return {3, 3};
    } else {
      return {N};
    }
  }
  static constexpr std::array<Py_ssize_t, kRank> BufferStrides() {
    if constexpr (kRank == 2) {
      return {3 * sizeof(double), sizeof(double)};
    } else {
      return {sizeof(double)};
    }
  }
  // The consumer's view points at these, which live as long as the type.
  inline static std::array<Py_ssize_t, kRank> bufferShape = BufferShape();
  inline static std::array<Py_ssize_t, kRank> bufferStrides = BufferStrides();
  inline static char bufferFormat[] = "d";
  inline static PyBufferProcs buffer{};

  // A writable view of the object's own doubles (a view without shape is
  // N * 8 bytes, one without strides C-contiguous). Under Python 3 only a
  // consumer that asks for the item format gets one (numpy, memoryview,
  // the modules' batch functions); one that asks for plain bytes is refused
  // with BufferError, since float(v) and int(v) would otherwise parse the
  // components' bytes as text instead of raising the TypeError they raise
  // without a buffer (they replace the BufferError with it). Python 2.7's
  // conversions never read such a buffer, and its memoryview copies out
  // through a plain request.
  //
  // The view holds a reference to the object, released with the view, so a
  // viewed value cannot reach its deallocation: neither the free list nor a
  // subclass's free slot ever gets memory still viewed. Nothing is
  // allocated per view, so there is nothing else to release.
  static int GetBuffer(PyObject* self, Py_buffer* view, int flags) {
    const bool format = (flags & PyBUF_FORMAT) == PyBUF_FORMAT;
    if (pycompat::kPython3 && !format) {
      view->obj = nullptr;
      PyErr_Format(PyExc_BufferError, "a %s buffer holds doubles: ask for the format \"d\"",
                   texts.name);
      return -1;
    }
    const bool shaped = (flags & PyBUF_ND) == PyBUF_ND;
    view->buf = Components(self);
    view->obj = self;
    Py_INCREF(self);
    view->len = N * static_cast<Py_ssize_t>(sizeof(double));
    view->readonly = 0;
    view->itemsize = sizeof(double);
    view->format = format ? bufferFormat : nullptr;
    view->ndim = shaped ? kRank : 1;
    view->shape = shaped ? bufferShape.data() : nullptr;
    view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? bufferStrides.data() : nullptr;
    view->suboffsets = nullptr;
    view->internal = nullptr;
    return 0;
  }

  // --- one-index item protocol --------------------------------------------

  // Indices are not wrapped: the type has no length, so -1 is as much out
  // of range as N.
  static PyObject* Item(PyObject* self, Py_ssize_t i) {
    if (i < 0 || i >= N) {
      PyErr_SetString(PyExc_IndexError, texts.index);
      return nullptr;
    }
    return PyFloat_FromDouble(Components(self)[i]);
  }

  // Also reached by `del v[i]` with no value, which is refused: a value
  // always has all its components.
  static int AssignItem(PyObject* self, Py_ssize_t i, PyObject* value) {
    if (value == nullptr) {
      PyErr_SetString(PyExc_TypeError, texts.remove);
      return -1;
    }
    if (i < 0 || i >= N) {
      PyErr_SetString(PyExc_IndexError, texts.index);
      return -1;
    }
    double s;
    if (!pysupport::ReadNumberOperand(value, &s, texts.assign)) return -1;
    Components(self)[i] = s;
    return 0;
  }
};

}  // namespace valuetype
