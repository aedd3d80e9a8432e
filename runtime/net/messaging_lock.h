// The network messaging's one lock, and its thread operations.
//
// `MessagingLock` is an error-checking mutex: it knows its owner, so taking
// it twice on one thread or giving it back from another is an error code
// rather than a deadlock or undefined behaviour. The codes are the pthread
// ones games written for this runtime were told about (22 no lock, 12 no
// memory, 36 already owned, 1 not the owner).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace mxt {

constexpr int kLockInvalid = 22;    // EINVAL
constexpr int kLockNoMemory = 12;   // ENOMEM
constexpr int kLockDeadlock = 36;   // EDEADLK as the runtime numbers it
constexpr int kLockNotOwner = 1;    // EPERM

struct MessagingLock {
  std::mutex mutex;
  std::atomic<std::thread::id> owner{};  // default id: nobody
};

int lock_create(MessagingLock** out);
int lock_take(MessagingLock* lock);
int lock_give(MessagingLock* lock);
int lock_destroy(MessagingLock** lock);

// Takes the lock for a scope.
class LockHold {
 public:
  explicit LockHold(MessagingLock* lock) : lock_(lock) { lock_take(lock_); }
  ~LockHold() { lock_give(lock_); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  MessagingLock* lock_;
};

// A thread running fn(arg). Joinable: the handle to join; else detached and
// 0. -1 when no thread could be started.
using ThreadFunction = int (*)(void* arg);
intptr_t start_thread(ThreadFunction fn, void* arg, bool joinable);
// Waits for a joinable thread without limit; its result into exit_code when
// given. 0, or 22 for a handle that is no thread.
int join_thread(intptr_t handle, int* exit_code);

}  // namespace mxt
