// The messaging lock and the thread operations.
#include "runtime/net/messaging_lock.h"

#include <new>
#include <system_error>

namespace mxt {

int lock_create(MessagingLock** out) {
  if (!out) return kLockInvalid;
  *out = new (std::nothrow) MessagingLock();
  return *out ? 0 : kLockNoMemory;
}

int lock_take(MessagingLock* lock) {
  if (!lock) return kLockInvalid;
  const std::thread::id me = std::this_thread::get_id();
  if (lock->owner.load() == me) return kLockDeadlock;
  lock->mutex.lock();
  lock->owner.store(me);
  return 0;
}

int lock_give(MessagingLock* lock) {
  if (!lock) return kLockInvalid;
  if (lock->owner.load() != std::this_thread::get_id()) return kLockNotOwner;
  lock->owner.store(std::thread::id());
  lock->mutex.unlock();
  return 0;
}

int lock_destroy(MessagingLock** lock) {
  if (!lock || !*lock) return kLockInvalid;
  delete *lock;
  *lock = nullptr;
  return 0;
}

namespace {

struct ThreadRecord {
  std::thread thread;
  int exit_code = 0;
};

}  // namespace

intptr_t start_thread(ThreadFunction fn, void* arg, bool joinable) {
  auto* record = new (std::nothrow) ThreadRecord();
  if (!record) return -1;
  try {
    if (joinable) {
      record->thread = std::thread([record, fn, arg] { record->exit_code = fn(arg); });
      return reinterpret_cast<intptr_t>(record);
    }
    std::thread([fn, arg] { fn(arg); }).detach();
  } catch (const std::system_error&) {
    delete record;
    return -1;
  }
  delete record;
  return 0;
}

int join_thread(intptr_t handle, int* exit_code) {
  if (handle <= 0) return kLockInvalid;
  auto* record = reinterpret_cast<ThreadRecord*>(handle);
  if (!record->thread.joinable()) return kLockInvalid;
  record->thread.join();
  if (exit_code) *exit_code = record->exit_code;
  delete record;
  return 0;
}

}  // namespace mxt
