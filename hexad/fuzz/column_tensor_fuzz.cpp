// Decodes the input into column tensors (six doubles each, taken from the
// bytes as they stand, so every bit pattern including NaNs and infinities
// occurs) and runs the batch loops over them against the per-row
// functions: every measure, the deviatoric part written apart and over its
// rows, the traction on the next tensor's first three components, and the
// principal solver, which must stop within its sweeps on any input and give
// each tensor the same bits in lockstep with others as alone.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "column_tensor.h"
#include "row_batch.h"

namespace {

bool Same(double x, double y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  return std::memcmp(&x, &y, sizeof x) == 0;
}

void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kRow = hexad::kComponents;
  const size_t rows = size / (kRow * sizeof(double));
  std::vector<double> t(rows * kRow);
  if (rows > 0) std::memcpy(t.data(), data, t.size() * sizeof(double));

  std::vector<double> scalar(rows);
  rowbatch::Map(rowbatch::Rows(t.data(), kRow), scalar.data(), 1, rows,
                [](const double* r, double* o) { *o = hexad::EffectiveStress(r); });
  std::vector<double> deviatoric(t.size()), over(t);
  const auto part = [](const double* r, double* o) { hexad::DeviatoricPart(r, o); };
  rowbatch::Map(rowbatch::Rows(t.data(), kRow), deviatoric.data(), kRow, rows, part);
  rowbatch::Map(rowbatch::Rows(over.data(), kRow), over.data(), kRow, rows, part);
  std::vector<double> traction(3 * rows);
  const double normal[3] = {1.0, -0.0, 0.5};
  rowbatch::Map(rowbatch::Rows(t.data(), kRow), rowbatch::Single(normal), traction.data(), 3, rows,
                [](const double* r, const double* n, double* o) { hexad::Traction(r, n, o); });

  for (size_t i = 0; i < rows; ++i) {
    const double* row = &t[i * kRow];
    Require(Same(scalar[i], hexad::EffectiveStress(row)));
    double d[kRow], w[3];
    hexad::DeviatoricPart(row, d);
    hexad::Traction(row, normal, w);
    for (size_t k = 0; k < kRow; ++k) Require(Same(d[k], deviatoric[i * kRow + k]));
    for (size_t k = 0; k < kRow; ++k) Require(Same(d[k], over[i * kRow + k]));
    for (size_t k = 0; k < 3; ++k) Require(Same(w[k], traction[3 * i + k]));
    const hexad::Principal p = hexad::SolvePrincipal(row);
    Require(p.sweeps >= 0 && p.sweeps <= hexad::kMaxSweeps);
    if (i % hexad::kPrincipalLanes == 0 && i + hexad::kPrincipalLanes <= rows) {
      hexad::Principal lanes[hexad::kPrincipalLanes];
      hexad::SolvePrincipalLanes(row, lanes);
      for (int l = 0; l < hexad::kPrincipalLanes; ++l) {
        const hexad::Principal alone = hexad::SolvePrincipal(row + l * kRow);
        for (int k = 0; k < 3; ++k) Require(Same(alone.values[k], lanes[l].values[k]));
        for (int k = 0; k < 9; ++k) {
          Require(Same(alone.directions[k / 3][k % 3], lanes[l].directions[k / 3][k % 3]));
        }
      }
    }
  }
  return 0;
}
