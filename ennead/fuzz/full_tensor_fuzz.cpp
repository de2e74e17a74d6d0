// Decodes the input into pairs of tensors (nine doubles each, taken from
// the bytes as they stand, so every bit pattern including NaNs and
// infinities occurs) and checks the matrix product against the literal
// product, with the result written apart and over each operand; and the
// tensor algebra of the first tensor: the transpose twice is the tensor,
// the inverse and transpose written over their operand match those written
// apart, the trace of the transpose is its own, and the
// tensor applied to a vector is the product with the vector as a column.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../tests/literal_product.h"
#include "full_tensor.h"

namespace {

bool Same(double x, double y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  return std::memcmp(&x, &y, sizeof x) == 0;
}

void Check(const double expected[9], const double got[9]) {
  for (int i = 0; i < 9; ++i) {
    if (!Same(expected[i], got[i])) std::abort();
  }
}

void CheckAlgebra(const double a[9], const double b[9]) {
  double t[9], back[9], inv[9], over[9];
  ennead::Transpose(a, t);
  ennead::Transpose(t, back);
  Check(a, back);
  std::memcpy(over, a, sizeof over);
  ennead::Transpose(over, over);
  Check(t, over);
  ennead::Inverse(a, inv);
  std::memcpy(over, a, sizeof over);
  ennead::Inverse(over, over);
  Check(inv, over);
  if (!Same(ennead::Trace(a), ennead::Trace(t))) std::abort();
  const double v[3] = {b[0], b[1], b[2]};
  double column[9] = {}, literal[9], w[3];
  for (int i = 0; i < 3; ++i) column[3 * i] = v[i];
  ennead_testing::LiteralProduct(a, column, literal);
  ennead::Apply(a, v, w);
  for (int i = 0; i < 3; ++i) {
    if (!Same(w[i], literal[3 * i])) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kPair = 2 * 9 * sizeof(double);
  for (size_t offset = 0; offset + kPair <= size; offset += kPair) {
    double a[9], b[9];
    std::memcpy(a, data + offset, sizeof a);
    std::memcpy(b, data + offset + sizeof a, sizeof b);
    double literal[9], out[9];
    ennead_testing::LiteralProduct(a, b, literal);
    ennead::Product(a, b, out);
    Check(literal, out);
    double left[9];
    std::memcpy(left, a, sizeof a);
    ennead::Product(left, b, left);
    Check(literal, left);
    double right[9];
    std::memcpy(right, b, sizeof b);
    ennead::Product(a, right, right);
    Check(literal, right);
    CheckAlgebra(a, b);
  }
  return 0;
}
