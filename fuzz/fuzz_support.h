// What the fuzz targets share: the few process-wide objects the parsers
// reach, and the bytes of one input handed to the runtime as a game's
// in-memory file, the way media come out of the archive.
//
// A target runs in the runtime's process without start-up: no window, no GL,
// no audio. Only the objects its parser touches are made, once, in
// LLVMFuzzerInitialize.
#pragma once

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/types/rtstring.h"

namespace mxt_fuzz {

// The registry in-memory names open through; without it every "mem://" name
// opens nothing and the file layer would be skipped.
inline void make_memory_images() {
  if (!mxt::rt.memory_images) mxt::rt.memory_images = new mxt::MemoryImages();
}

// One input as a registered memory image for as long as it lives. libFuzzer
// hands out a buffer of exactly the input's size, so a read past the end is
// caught by AddressSanitizer rather than landing in libFuzzer's own memory.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : data_(data) {
    // An empty input still needs an address of its own to be named by.
    if (size == 0) data_ = &empty_;
    mxt::register_memory_image(data_, static_cast<int64_t>(size));
    name_ = mxt::memory_name(data_, static_cast<int64_t>(size));
  }
  ~MemoryFile() { mxt::unregister_memory_image(data_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const RtString& name() const { return name_; }

 private:
  const uint8_t* data_;
  RtString name_;
  static inline uint8_t empty_ = 0;
};

// The memory one input may hold at once. libFuzzer's -malloc_limit_mb sees
// one allocation at a time and its -rss_limit_mb samples once a second, so
// a decoder that builds a huge picture in many pieces and drops it again
// within the second passes both. The sanitizer's allocation hooks count
// every byte instead.
class MemoryBudget {
 public:
  static constexpr int64_t kBytes = int64_t{512} << 20;

  MemoryBudget() {
    static const int installed = __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
    (void)installed;
    start_ = live_.load();
    peak_.store(start_);
  }
  ~MemoryBudget() {
    const int64_t used = peak_.load() - start_;
    if (std::getenv("MXT_FUZZ_SHOW_PEAK")) std::fprintf(stderr, "fuzz: peak %lld bytes\n", static_cast<long long>(used));
    if (used > kBytes) {
      std::fprintf(stderr, "fuzz: one input held %lld MiB at once (the budget is %lld MiB)\n",
                   static_cast<long long>(used >> 20), static_cast<long long>(kBytes >> 20));
      std::abort();
    }
  }
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

 private:
  static void on_malloc(const volatile void*, size_t size) {
    const int64_t now = live_.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
    int64_t peak = peak_.load();
    while (now > peak && !peak_.compare_exchange_weak(peak, now)) {
    }
  }
  static void on_free(const volatile void* p) {
    if (p) live_.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(p))));
  }
  static inline std::atomic<int64_t> live_{0};
  static inline std::atomic<int64_t> peak_{0};
  int64_t start_ = 0;
};

// A property of the parser that must hold for every input. Failing it is a
// finding like a crash: libFuzzer keeps the input that did it.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "fuzz: property broken: %s\n", what);
  std::abort();
}

}  // namespace mxt_fuzz

#define MXT_FUZZ_CHECK(condition) \
  do {                            \
    if (!(condition)) ::mxt_fuzz::broken(#condition); \
  } while (0)
