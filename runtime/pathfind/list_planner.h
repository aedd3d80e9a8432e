// The planner on its first structures: a sorted ring buffer as the open list
// and a bucket hash on the low coordinate bits as the closed set.
//
// It finds exactly AStarPlanner's paths but slows down with the map: every
// insertion rebuilds the buffer, every open-list look-up walks it, and 256
// buckets hold chains of hundreds of nodes on a large map. The path commands
// use AStarPlanner; this one stays as the yardstick the tests compare it
// with and bench/pathfind measures it against.
//
// [SECTION] FixedDeque
// [SECTION] NodeHashTable
// [SECTION] ListAStarPlanner
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "runtime/pathfind/planner.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] FixedDeque

// A ring buffer of fixed capacity. A push into a full buffer fails; popping
// an empty one gives T(). Insertion and removal at an index rebuild the
// elements into the scratch array, which then becomes the items.
template <class T>
class FixedDeque {
 public:
  bool allocate(int32_t capacity) {
    items_.reset(capacity > 0 ? new (std::nothrow) T[static_cast<size_t>(capacity)] : nullptr);
    scratch_.reset(capacity > 0 ? new (std::nothrow) T[static_cast<size_t>(capacity)] : nullptr);
    capacity_ = items_ && scratch_ ? capacity : 0;
    clear();
    return capacity <= 0 || capacity_ > 0;
  }
  void clear() {
    front_ = end_ = 0;
    empty_ = true;
  }
  int32_t capacity() const { return capacity_; }
  int32_t size() const {
    if (empty_) return 0;
    const int32_t n = end_ - front_;
    return n > 0 ? n : n + capacity_;
  }
  bool empty() const { return empty_; }
  bool full() const { return !empty_ && front_ == end_; }

  bool push_back(T v) {
    if (capacity_ == 0 || full()) return false;
    items_[ix(end_)] = v;
    end_ = next(end_);
    empty_ = false;
    return true;
  }
  bool push_front(T v) {
    if (capacity_ == 0 || full()) return false;
    front_ = prev(front_);
    items_[ix(front_)] = v;
    empty_ = false;
    return true;
  }
  T pop_back() {
    if (empty_) return T();
    end_ = prev(end_);
    empty_ = end_ == front_;
    return items_[ix(end_)];
  }
  T pop_front() {
    if (empty_) return T();
    const T v = items_[ix(front_)];
    front_ = next(front_);
    empty_ = end_ == front_;
    return v;
  }
  // Element i counted from the front; i must be below size().
  T& at(int32_t i) { return items_[ix((front_ + i) % capacity_)]; }

  // Puts v before element i (i = size() appends). False when full or i is
  // outside 0 ... size().
  bool insert(int32_t i, T v) {
    const int32_t n = size();
    if (capacity_ == 0 || full() || i < 0 || i > n) return false;
    for (int32_t k = 0; k < i; ++k) scratch_[ix(k)] = at(k);
    scratch_[ix(i)] = v;
    for (int32_t k = i; k < n; ++k) scratch_[ix(k + 1)] = at(k);
    items_.swap(scratch_);
    front_ = 0;
    end_ = (n + 1) % capacity_;
    empty_ = false;
    return true;
  }
  // Removes element i; false when i is outside 0 ... size() - 1.
  bool erase(int32_t i) {
    const int32_t n = size();
    if (i < 0 || i >= n) return false;
    for (int32_t k = 0; k < i; ++k) scratch_[ix(k)] = at(k);
    for (int32_t k = i + 1; k < n; ++k) scratch_[ix(k - 1)] = at(k);
    items_.swap(scratch_);
    front_ = 0;
    end_ = n - 1;
    empty_ = n == 1;
    return true;
  }

 private:
  int32_t next(int32_t i) const { return i + 1 == capacity_ ? 0 : i + 1; }
  int32_t prev(int32_t i) const { return i == 0 ? capacity_ - 1 : i - 1; }

  int32_t front_ = 0, end_ = 0;  // the first element; one past the last
  bool empty_ = true;            // front == end means empty or full: this says which
  int32_t capacity_ = 0;
  std::unique_ptr<T[]> items_;
  std::unique_ptr<T[]> scratch_;
};

// ---------------------------------------------------------------------------
// [SECTION] NodeHashTable

// 2^b buckets of node chains, b the requested bits rounded down to an even
// number, 0 ... 24. A node's bucket takes b/2 low bits of x and b/2 of y.
class NodeHashTable {
 public:
  bool allocate(int32_t bits);
  void clear();
  int32_t bits() const { return bits_; }
  // Puts the node at the head of its chain, unless it is there already.
  void insert(Node* n);
  // The node of cell (x, y), or null; the link to it is remembered for unlink_found.
  Node* find(int32_t x, int32_t y);
  // Takes the node the last find returned out of its chain.
  void unlink_found();

 private:
  size_t bucket(int32_t x, int32_t y) const {
    return static_cast<size_t>(x & mask_) | (static_cast<size_t>(y & mask_) << (bits_ / 2));
  }

  std::unique_ptr<Node*[]> buckets_;
  int32_t bits_ = 0;
  int32_t mask_ = 0;
  Node** found_link_ = nullptr;  // the pointer that points at the found node
};

// ---------------------------------------------------------------------------
// [SECTION] ListAStarPlanner

class ListAStarPlanner : public Planner {
 public:
  void start() override;
  bool run() override;
  void reset() override;

 protected:
  bool allocate(int32_t cells, int32_t open_capacity) override;

 private:
  bool insert_open(Node* n);  // sorted by f, largest at the front; false when full
  void visit(Node* from, int32_t nx, int32_t ny, float step);

  FixedDeque<Node*> open_;
  NodeHashTable closed_;
  bool stuck_ = false;  // the pool or the open list ran out
};

}  // namespace mxt
