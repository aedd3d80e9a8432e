// The closed-set hash and the search on the sorted ring buffer.
#include "runtime/pathfind/list_planner.h"

#include <cstdlib>

namespace mxt {

// ---------------------------------------------------------------------------
// NodeHashTable

bool NodeHashTable::allocate(int32_t bits) {
  bits_ = bits < 0 ? 0 : bits > 24 ? 24 : bits;
  bits_ &= ~1;
  mask_ = (1 << (bits_ / 2)) - 1;
  buckets_.reset(new (std::nothrow) Node*[size_t{1} << bits_]());
  found_link_ = nullptr;
  return buckets_ != nullptr;
}

void NodeHashTable::clear() {
  if (buckets_)
    for (size_t i = 0; i < (size_t{1} << bits_); ++i) buckets_[i] = nullptr;
  found_link_ = nullptr;
}

void NodeHashTable::insert(Node* n) {
  Node*& head = buckets_[bucket(n->x, n->y)];
  if (head == n) return;
  n->next = head;
  head = n;
}

Node* NodeHashTable::find(int32_t x, int32_t y) {
  found_link_ = nullptr;
  for (Node** link = &buckets_[bucket(x, y)]; *link; link = &(*link)->next)
    if ((*link)->x == x && (*link)->y == y) {
      found_link_ = link;
      return *link;
    }
  return nullptr;
}

void NodeHashTable::unlink_found() {
  if (!found_link_) return;
  Node* n = *found_link_;
  *found_link_ = n->next;
  n->next = nullptr;
  found_link_ = nullptr;
}

// ---------------------------------------------------------------------------
// ListAStarPlanner

bool ListAStarPlanner::allocate(int32_t, int32_t open_capacity) {
  return open_.allocate(open_capacity) && closed_.allocate(params_.hash_bits);
}

void ListAStarPlanner::reset() {
  open_.clear();
  closed_.clear();
  stuck_ = false;
  Planner::reset();
}

void ListAStarPlanner::start() {
  if (factory_.count() > 0) reset();
  Planner::start();
  Node* n = cost_ ? factory_.take() : nullptr;
  if (!n) {
    stuck_ = true;
    return;
  }
  *n = Node{nullptr, params_.start_x, params_.start_y, 0.0f, 0.0f, nullptr};
  if (!open_.push_back(n)) stuck_ = true;
}

bool ListAStarPlanner::insert_open(Node* n) {
  // The first position whose f is not greater: in front of its equals, so
  // that among equal f the earliest leaves the back first.
  int32_t lo = 0, hi = open_.size();
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (open_.at(mid)->f > n->f)
      lo = mid + 1;
    else
      hi = mid;
  }
  return open_.insert(lo, n);
}

void ListAStarPlanner::visit(Node* from, int32_t nx, int32_t ny, float step) {
  if (!inside(nx, ny)) return;
  const float c = cost(nx, ny);
  if (c == -1.0f) return;
  const float g = step == 1.0f ? from->g + c : from->g + c * step;
  const int32_t h = std::abs(params_.goal_x - nx) + std::abs(params_.goal_y - ny);
  const float f = mix_priority(g, h, weight_);
  if (Node* m = closed_.find(nx, ny)) {
    if (m->g > g) {
      closed_.unlink_found();
      m->parent = from;
      m->g = g;
      m->f = f;
      if (!insert_open(m)) stuck_ = true;
    }
    return;
  }
  for (int32_t i = open_.size() - 1; i >= 0; --i) {
    Node* m = open_.at(i);
    if (m->x != nx || m->y != ny) continue;
    if (m->g > g) {
      open_.erase(i);
      m->parent = from;
      m->g = g;
      m->f = f;
      if (!insert_open(m)) stuck_ = true;
    }
    return;
  }
  Node* m = factory_.take();
  if (!m) {
    stuck_ = true;
    return;
  }
  *m = Node{from, nx, ny, f, g, nullptr};
  if (!insert_open(m)) stuck_ = true;
}

bool ListAStarPlanner::run() {
  ++run_count_;
  const bool diagonal = params_.diagonal_moves;
  const float d = params_.diagonal_cost ? kDiagonalCost : 1.0f;
  while (!open_.empty() && !stuck_) {
    Node* n = open_.pop_back();
    const int32_t x = n->x, y = n->y;
    if (x == params_.goal_x && y == params_.goal_y) {
      closed_.insert(n);
      result_ = n;
      done_ = true;
      return true;
    }
    if (diagonal) visit(n, x - 1, y - 1, d);
    visit(n, x, y - 1, 1.0f);
    if (diagonal) visit(n, x + 1, y - 1, d);
    visit(n, x + 1, y, 1.0f);
    visit(n, x - 1, y, 1.0f);
    if (diagonal) visit(n, x - 1, y + 1, d);
    visit(n, x, y + 1, 1.0f);
    if (diagonal) visit(n, x + 1, y + 1, d);
    closed_.insert(n);
  }
  done_ = true;
  return false;
}

}  // namespace mxt
