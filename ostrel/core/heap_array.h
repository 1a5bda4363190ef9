// An owned array from malloc: a failed allocation is an empty array, never an
// exception, so nothing of the C++ runtime's exception support is needed.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace ostrel {

template <typename T>
class HeapArray {
 public:
  explicit HeapArray(std::size_t count)
      : data_(count != 0 && count <= SIZE_MAX / sizeof(T)
                  ? static_cast<T*>(std::malloc(count * sizeof(T)))
                  : nullptr) {}
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  ~HeapArray() { reset(); }

  explicit operator bool() const { return data_ != nullptr; }
  T* get() const { return data_; }
  T& operator[](std::size_t i) const { return data_[i]; }
  void reset() {
    std::free(data_);
    data_ = nullptr;
  }

 private:
  T* data_;
};

}  // namespace ostrel
