// Turns a fuzzer's byte string into the small numbers a fuzz target decodes
// its calls from. Reading past the end yields zeros, so every input decodes
// into some sequence of calls and the target decides when to stop (Done).
#pragma once

#include <cstddef>
#include <cstdint>

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Done() const { return pos_ >= size_; }

  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  // A number in [0, n), n >= 1.
  int Below(int n) { return static_cast<int>(Byte() % static_cast<unsigned>(n)); }

  // A value on the grid lo, lo + step, ..., lo + (n - 1) step: coarse
  // grids make equal, touching and nested values common.
  double Grid(double lo, double step, int n) { return lo + step * Below(n); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
