// The loops of the batch functions: one per-row kernel of a native core
// (the same function that the per-object method calls, so each row's
// result is the method's bit for bit) applied to every row of float64
// arrays held row after row.
//
// Plain C++ with no interpreter dependency, so that the loops can be
// tested, fuzzed and timed natively and run with the interpreter lock
// released.
#pragma once

#include <cstddef>

namespace rowbatch {

// One input of a batch: `rows` rows of `width` doubles from `data`, or,
// with `step` 0, the one row at `data` for every row (a single value
// against a batch).
struct Input {
  const double* data;
  std::size_t step;
};

// A batch input read row after row.
inline Input Rows(const double* data, std::size_t width) { return {data, width}; }

// A single row read for every row of the batch.
inline Input Single(const double* row) { return {row, 0}; }

// kernel(in row, out row) for each of `rows` rows; the output rows are
// `outWidth` doubles apart. An output may be the very memory of the input
// when the widths agree and the kernel reads its whole row before it writes
// (every kernel of the cores that keeps the width does).
template <class Kernel>
void Map(Input in, double* out, std::size_t outWidth, std::size_t rows, Kernel kernel) {
  for (std::size_t i = 0; i < rows; ++i) kernel(in.data + i * in.step, out + i * outWidth);
}

// kernel(a row, b row, out row) for each of `rows` rows, under the same
// rule for an output that is an input's memory.
template <class Kernel>
void Map(Input a, Input b, double* out, std::size_t outWidth, std::size_t rows, Kernel kernel) {
  for (std::size_t i = 0; i < rows; ++i)
    kernel(a.data + i * a.step, b.data + i * b.step, out + i * outWidth);
}

// body(i) for each row i of a batch whose kernel has more than one output.
template <class Body>
void ForEach(std::size_t rows, Body body) {
  for (std::size_t i = 0; i < rows; ++i) body(i);
}

}  // namespace rowbatch
