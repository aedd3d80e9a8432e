// RtArray: the runtime's array, up to four dimensions, bounds-checked on every
// access, for every element type a game uses (32-bit integers, numbers,
// strings, bytes and the game's own record classes).
//
// Games index arrays with numbers they computed, so a bad index must stop the
// program with a report of the sizes and the indices, never touch memory
// outside the array. Element (i, j, k, l) lives at
// data[i + j*stride1 + k*stride2 + l*stride3]: the first index is fastest.
// Allocations are rounded up (8 elements for integers and numbers, 64 for the
// rest) so that sizing again to a similar size, and appending, reuse them.
//
// Sizes are checked before anything is allocated: a negative size, or one whose
// element count does not fit 31 bits, is refused with runtime error 7 and ends
// the program, as a failed allocation does.
//
// The commands over arrays are declared in types.h.
//
// [SECTION] The array type
// [SECTION] Command templates
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include "runtime/base/errors.h"
#include "runtime/types/rtstring.h"
#include "runtime/types/types.h"

namespace mxt {

// The sizes and strides of an array, apart from its elements. Element types
// share all the code that only needs these.
struct ArrayShape {
  int32_t stride1 = 0;   // element distance of the second index: size0
  int32_t stride2 = 0;   // of the third: size0 * max(1, size1)
  int32_t stride3 = 0;   // of the fourth: stride2 * max(1, size2)
  int32_t size0 = 0;     // sizes; 0 for dimensions the array does not have
  int32_t size1 = 0;
  int32_t size2 = 0;
  int32_t size3 = 0;
  int32_t count = 0;     // size0 * max(1, size1) * max(1, size2) * max(1, size3)
  int32_t dims = 0;      // 0..4: the highest dimension with a non-zero size
  int32_t capacity = 0;  // elements allocated, at least count
};

}  // namespace mxt

namespace mxt {

// Runtime functions that fill integer or number arrays with pixel data size them
// exactly (no rounding); otherwise as mxt_dim.
template <class T> void dim_exact(RtArray<T>& a, int first, int second = 0, int third = 0, int fourth = 0);

// ---------------------------------------------------------------------------
// Shared by the templates below.

// How an element type allocates and what mxt_redim keeps of it.
template <class T>
struct ArrayElementRules {  // strings and the game's records
  static constexpr int kRounding = 64;
  static constexpr bool kAllocatesWhenEmpty = false;
  static constexpr int kKeptDims = 2;     // mxt_redim keeps the overlap of the first two dimensions
  static constexpr bool kRedim = true;
};
template <class T>
  requires(std::is_arithmetic_v<T> && sizeof(T) >= 4)
struct ArrayElementRules<T> {  // integers and numbers
  static constexpr int kRounding = 8;
  static constexpr bool kAllocatesWhenEmpty = true;
  static constexpr int kKeptDims = 4;
  static constexpr bool kRedim = true;
};
template <class T>
  requires(std::is_arithmetic_v<T> && sizeof(T) < 4)
struct ArrayElementRules<T> {  // bytes
  static constexpr int kRounding = 64;
  static constexpr bool kAllocatesWhenEmpty = false;
  static constexpr int kKeptDims = 4;     // only for appending: bytes offer no mxt_redim
  static constexpr bool kRedim = false;
};

// Checks the sizes and fills in sizes, strides, count and dims (not capacity).
// On a negative size or a count beyond 31 bits it raises error 7, ends the
// program and returns false (mxt_end returns only during shutdown).
bool plan_shape(int first, int second, int third, int fourth, ArrayShape& out);

// Elements to allocate for `count`; -1 after refusing a count whose rounded
// allocation does not fit 31 bits (error 7, program ended).
int64_t elements_to_allocate(int32_t count, int rounding, bool allocates_when_empty, bool exact);

// Report, error 9 and the end of the program for a failed access.
void fail_access(const ArrayShape& a, int i, int j, int k, int l);

// What a failed access yields when mxt_end returns (during shutdown only): a
// zeroed element that belongs to no array. Never freed.
template <class T>
T& scratch_element() {
  static T* const element = new T();
  *element = T();
  return *element;
}

inline void clear_element(RtString& s) { s.truncate(0); }  // keeps its buffer
template <class T>
void clear_element(T& e) {
  e = T();
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] The array type

template <class T>
class RtArray : public mxt::ArrayShape {
 public:
  T* data = nullptr;  // the elements, null before the first sizing

  constexpr RtArray() noexcept = default;
  RtArray(const RtArray& other) { mxt_array_copy(*this, other); }
  RtArray(RtArray&& other) noexcept { swap(other); }
  RtArray& operator=(const RtArray& other) {
    mxt_array_copy(*this, other);
    return *this;
  }
  RtArray& operator=(RtArray&& other) noexcept {
    if (this != &other) {
      RtArray gone(std::move(other));
      swap(gone);
    }
    return *this;
  }
  ~RtArray() { delete[] data; }

  // The fast path is one unsigned compare per index and one branch. Negative
  // first indices and indices into dimensions of size 0 take the slower path.
  T& at(int i) {
    if (static_cast<uint32_t>(i) < static_cast<uint32_t>(size0)) [[likely]]
      return data[i];
    return checked_access(i, 0, 0, 0);
  }
  T& at(int i, int j) {
    if ((static_cast<uint32_t>(i) < static_cast<uint32_t>(size0)) & (static_cast<uint32_t>(j) < static_cast<uint32_t>(size1)))
        [[likely]]
      return data[i + j * stride1];
    return checked_access(i, j, 0, 0);
  }
  T& at(int i, int j, int k) {
    if ((static_cast<uint32_t>(i) < static_cast<uint32_t>(size0)) & (static_cast<uint32_t>(j) < static_cast<uint32_t>(size1)) &
        (static_cast<uint32_t>(k) < static_cast<uint32_t>(size2))) [[likely]]
      return data[i + j * stride1 + k * stride2];
    return checked_access(i, j, k, 0);
  }
  T& at(int i, int j, int k, int l) { return checked_access(i, j, k, l); }
  template <class... I>
  const T& at(I... indices) const {
    return const_cast<RtArray*>(this)->at(indices...);
  }
  template <class... I>
  T& operator()(I... indices) {
    return at(indices...);
  }
  template <class... I>
  const T& operator()(I... indices) const {
    return const_cast<RtArray*>(this)->at(indices...);
  }

  void swap(RtArray& other) noexcept {
    std::swap(static_cast<mxt::ArrayShape&>(*this), static_cast<mxt::ArrayShape&>(other));
    std::swap(data, other.data);
  }

  // Sizing, behind mxt_dim, mxt_redim and mxt::dim_exact. False when refused.
  bool dim(int first, int second, int third, int fourth, bool exact);
  bool redim(int first, int second, int third, int fourth);

 private:
  using Rules = mxt::ArrayElementRules<T>;

  // An index of a dimension of size 0 must be 0: the layout has no room for others.
  static bool fits(int index, int32_t size) {
    return static_cast<uint32_t>(index) < static_cast<uint32_t>(std::max(size, 1));
  }
  // The whole rule: a negative first index counts from the end once, every
  // other index must be below its size (or 0 for a size of 0).
  [[gnu::noinline]] T& checked_access(int i, int j, int k, int l) {
    if (i < 0) i += size0;
    if (static_cast<uint32_t>(i) < static_cast<uint32_t>(size0) && fits(j, size1) && fits(k, size2) &&
        fits(l, size3))
      return data[i + j * stride1 + k * stride2 + l * stride3];
    mxt::fail_access(*this, i, j, k, l);
    return mxt::scratch_element<T>();
  }
};

// ---------------------------------------------------------------------------
// [SECTION] Command templates

template <class T>
bool RtArray<T>::dim(int first, int second, int third, int fourth, bool exact) {
  mxt::ArrayShape shape;
  if (!mxt::plan_shape(first, second, third, fourth, shape)) return false;
  if (capacity < shape.count || shape.size0 == 0) {
    const int64_t n = mxt::elements_to_allocate(shape.count, Rules::kRounding, Rules::kAllocatesWhenEmpty, exact);
    if (n < 0) return false;
    T* fresh = nullptr;
    if (n > 0) {
      fresh = new (std::nothrow) T[static_cast<size_t>(n)]();
      if (!fresh) {
        mxt::fatal_error(mxt::RuntimeError::out_of_memory);
        return false;
      }
    }
    delete[] data;
    data = fresh;
    shape.capacity = static_cast<int32_t>(n);
  } else {
    if constexpr (std::is_arithmetic_v<T>) {
      std::memset(data, 0, sizeof(T) * static_cast<uint32_t>(shape.count));  // count is never negative
    } else {
      for (int32_t n = 0; n < shape.count; ++n) mxt::clear_element(data[n]);
    }
    shape.capacity = capacity;
  }
  static_cast<mxt::ArrayShape&>(*this) = shape;
  return true;
}

template <class T>
bool RtArray<T>::redim(int first, int second, int third, int fourth) {
  mxt::ArrayShape shape;
  if (!mxt::plan_shape(first, second, third, fourth, shape)) return false;
  if (shape.size0 == 0) {  // keeps its allocation, holds nothing
    shape = mxt::ArrayShape{};
    shape.capacity = capacity;
    static_cast<mxt::ArrayShape&>(*this) = shape;
    return true;
  }
  RtArray fresh;
  if (!fresh.dim(first, second, third, fourth, false)) return false;
  auto overlap = [](int32_t a, int32_t b) { return std::max(1, std::min(a, b)); };
  const int n0 = std::min(size0, fresh.size0);
  const int n1 = overlap(size1, fresh.size1);
  const int n2 = Rules::kKeptDims > 2 ? overlap(size2, fresh.size2) : 1;
  const int n3 = Rules::kKeptDims > 2 ? overlap(size3, fresh.size3) : 1;
  for (int l = 0; l < n3; ++l)
    for (int k = 0; k < n2; ++k)
      for (int j = 0; j < n1; ++j) {
        T* from = data + (j * stride1 + k * stride2 + l * stride3);
        T* to = fresh.data + (j * fresh.stride1 + k * fresh.stride2 + l * fresh.stride3);
        for (int i = 0; i < n0; ++i) to[i] = std::move(from[i]);
      }
  swap(fresh);
  return true;
}

template <class T>
void mxt_dim(RtArray<T>& a, int first, int second, int third, int fourth) {
  a.dim(first, second, third, fourth, false);
}

template <class T>
void mxt_redim(RtArray<T>& a, int first, int second, int third, int fourth) {
  static_assert(mxt::ArrayElementRules<T>::kRedim, "byte arrays are sized with mxt_dim only");
  a.redim(first, second, third, fourth);
}

template <class T>
void mxt::dim_exact(RtArray<T>& a, int first, int second, int third, int fourth) {
  static_assert(std::is_arithmetic_v<T> && sizeof(T) >= 4, "exact sizing is for integer and number arrays");
  a.dim(first, second, third, fourth, true);
}

template <class T>
void mxt_dim_data(RtArray<T>& a, int n, const T* values) {
  if (!a.dim(n, 0, 0, 0, false) || !values) return;
  for (int i = 0; i < a.size0; ++i) a.data[i] = values[i];
}

template <class T>
void mxt_array_copy(RtArray<T>& target, const RtArray<T>& source) {
  if (&target == &source) return;
  if (!target.dim(source.size0, source.size1, source.size2, source.size3, false)) return;
  for (int32_t n = 0; n < target.count; ++n) target.data[n] = source.data[n];
}

template <class T>
void mxt_array_push(RtArray<T>& a, const T& value) {
  if (a.size1 != 0 || a.size2 != 0 || a.size3 != 0) {
    mxt::fatal_error(mxt::RuntimeError::not_one_dimensional);
    return;
  }
  const std::less<const T*> before;
  if (a.data && !before(&value, a.data) && before(&value, a.data + a.capacity)) {
    const T copy(value);  // the value lives in the array, which may move
    mxt_array_push(a, copy);
    return;
  }
  if (a.size0 == INT32_MAX) {
    mxt::fatal_error(mxt::RuntimeError::out_of_memory);
    return;
  }
  if (a.size0 + 1 < a.capacity) {
    ++a.size0;
    a.count = a.stride1 = a.stride2 = a.stride3 = a.size0;
    a.dims = 1;
  } else if (!a.redim(a.size0 + 1, 0, 0, 0)) {
    return;
  }
  a.at(a.size0 - 1) = value;
}
