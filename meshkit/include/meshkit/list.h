// Meshkit::List<T>: a small growable list with room for six elements inline.
//
// Query results of the box tree and integration-point values of the element
// classes are short lists almost always, so the first six elements live in
// the list itself and need no allocation. Beyond that the storage moves to a
// heap array of 12 elements and then doubles (24, 48, ...). Negative indices
// count from the end.
#pragma once

#include <climits>
#include <cstdint>
#include <new>

namespace Meshkit {

template <class T>
class List {
 public:
  List() : items_(inline_), count_(0), capacity_(kInline) {}
  virtual ~List() {
    if (items_ != inline_) delete[] items_;
  }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  // True while the elements are held in the inline room.
  bool IsInline() const { return items_ == inline_; }

  // Empties the list; the storage in use is kept for the next appends.
  void Clear() { count_ = 0; }

  // Appends one element, growing the storage first when it is full. Throws
  // std::bad_alloc when the storage cannot grow; the list is then unchanged.
  void Append(const T& value) {
    if (count_ == capacity_) Grow();
    items_[count_] = value;
    ++count_;
  }

  // Element i, 0 <= i < Count(); a negative i counts from the end
  // (-1 is the last element).
  T& operator[](int i) { return items_[i < 0 ? i + count_ : i]; }
  const T& operator[](int i) const { return items_[i < 0 ? i + count_ : i]; }

  const T* Data() const { return items_; }

 private:
  static constexpr int kInline = 6;

  void Grow() {
    if (capacity_ > INT_MAX / 2) throw std::bad_alloc();
    const int grown = items_ == inline_ ? 2 * kInline : 2 * capacity_;
    // Value-initialised, so record types start out zero-filled.
    T* fresh = new T[grown]();
    for (int i = 0; i < count_; ++i) fresh[i] = items_[i];
    if (items_ != inline_) delete[] items_;
    items_ = fresh;
    capacity_ = grown;
  }

  T* items_;
  T inline_[kInline];
  int32_t count_;
  int32_t capacity_;
};

}  // namespace Meshkit
