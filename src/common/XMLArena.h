#pragma once

// Bump allocator for parsed trees: a tree is immutable and dies whole, so its
// nodes and arrays never need freeing one by one.

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

namespace xml_detail {

class Arena {
 public:
  explicit Arena(size_t blockSize) : blockSize_(blockSize) {}

  void* allocate(size_t bytes) {
    bytes = (bytes + 7) & ~static_cast<size_t>(7);
    if (bytes > left_) return allocateSlow(bytes);
    void* p = cur_;
    cur_ += bytes;
    left_ -= bytes;
    return p;
  }

  // Copies n trivially copyable items; nullptr for none.
  template <class T>
  T* copy(const T* src, size_t n) {
    if (n == 0) return nullptr;
    const size_t bytes = n * sizeof(T);  // NOLINT(bugprone-sizeof-expression): T may be a pointer
    T* dst = static_cast<T*>(allocate(bytes));
    std::memcpy(static_cast<void*>(dst), src, bytes);
    return dst;
  }

 private:
  void* allocateSlow(size_t bytes);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* cur_ = nullptr;
  size_t left_ = 0;
  size_t blockSize_;
};

}  // namespace xml_detail
