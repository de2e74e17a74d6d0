// Writing and reading the saved state of a native core (the box tree, the
// octree) as a byte string: fixed-width fields in little-endian order, read
// back with every length checked, so that a truncated or hostile state is
// refused and never read past its end. Plain C++, no Python.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace statebytes {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "states are written in the little-endian order of the machines we build for");

// Appends fields to a string.
class Writer {
 public:
  explicit Writer(std::string* out) : out_(out) {}

  template <class T>
  void Put(const T& value) {
    static_assert(std::is_trivially_copyable<T>::value, "fields are plain data");
    out_->append(reinterpret_cast<const char*>(&value), sizeof value);
  }

  void PutBytes(const void* data, std::size_t size) {
    out_->append(static_cast<const char*>(data), size);
  }

 private:
  std::string* out_;
};

// Reads fields from a byte range; a read past the end fails and leaves the
// destination as it was.
class Reader {
 public:
  Reader(const char* data, std::size_t size) : data_(data), size_(size) {}

  template <class T>
  bool Get(T* value) {
    static_assert(std::is_trivially_copyable<T>::value, "fields are plain data");
    if (size_ - pos_ < sizeof(T)) return false;
    std::memcpy(value, data_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return true;
  }

  // The next `size` bytes, or null when fewer remain.
  const char* Take(std::size_t size) {
    if (size_ - pos_ < size) return nullptr;
    const char* at = data_ + pos_;
    pos_ += size;
    return at;
  }

  std::size_t Remaining() const { return size_ - pos_; }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace statebytes
