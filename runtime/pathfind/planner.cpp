// The planner's set-up (cost grid, allocations) and AStarPlanner's search:
// an indexed binary heap for the open list, one pool index per cell in
// place of the closed-set hash.
//
// [SECTION] Node pool
// [SECTION] Set-up and the cost grid
// [SECTION] AStarPlanner: the open list
// [SECTION] AStarPlanner: the search
#include "runtime/pathfind/planner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <new>

#include "runtime/types/rtarray.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Node pool

bool NodeFactory::allocate(int32_t size) {
  nodes_.reset();
  size_ = count_ = 0;
  if (size <= 0) return false;
  nodes_.reset(new (std::nothrow) Node[static_cast<size_t>(size)]);  // left uninitialised: taking a node sets it
  if (!nodes_) return false;
  size_ = size;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Set-up and the cost grid

Planner::~Planner() = default;

template <class T>
bool Planner::build_cost_grid(const RtArray<T>& map, float* out) {
  const int32_t width = map.size0, height = map.size1;
  const T* data = map.data;
  const size_t stride = static_cast<size_t>(map.stride1);
  double largest = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double v = static_cast<double>(data[static_cast<size_t>(x) + stride * static_cast<size_t>(y)]);
      if (v > largest) largest = v;  // NaN is never larger
    }
  if (!(largest > 0)) return false;
  const bool infinite = std::isinf(largest);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double v = static_cast<double>(data[static_cast<size_t>(x) + stride * static_cast<size_t>(y)]);
      float c = -1;
      if (v > 0) c = infinite ? (std::isinf(v) ? 2.0f : 1.0f) : static_cast<float>(v / largest + 1.0);
      out[static_cast<size_t>(x) + static_cast<size_t>(width) * static_cast<size_t>(y)] = c;
    }
  return true;
}
template bool Planner::build_cost_grid(const RtArray<double>&, float*);
template bool Planner::build_cost_grid(const RtArray<int>&, float*);

bool Planner::set_up(const RtArray<double>& map, const PlannerParams& params) { return set_up_map(map, params); }
bool Planner::set_up(const RtArray<int>& map, const PlannerParams& params) { return set_up_map(map, params); }

template <class T>
bool Planner::set_up_map(const RtArray<T>& map, const PlannerParams& params) {
  reset();
  out_of_memory_ = false;
  // A map has two dimensions; a one-dimensional array has no second size and
  // so no cell a request can name.
  width_ = map.size0;
  height_ = map.dims >= 2 ? map.size1 : 0;
  if (!map.data || !request_ok(params.start_x, params.start_y, params.goal_x, params.goal_y)) {
    cost_.reset();
    return false;
  }
  const int32_t cells = width_ * height_;  // the array's element count bounds it: no overflow
  cost_.reset(new (std::nothrow) float[static_cast<size_t>(cells)]);
  if (!cost_) {
    out_of_memory_ = true;
    return false;
  }
  if (!build_cost_grid(map, cost_.get())) {
    cost_.reset();
    return false;
  }
  const int32_t pool = params.pool_size > 0 ? params.pool_size : cells;
  const int32_t open = params.open_capacity > 0 ? params.open_capacity : cells;
  if (!factory_.allocate(pool) || !allocate(cells, open)) {
    cost_.reset();
    factory_ = NodeFactory();
    out_of_memory_ = true;
    return false;
  }
  params_ = params;
  // NaN is no weight at all: it searches by cost alone, like 0.
  weight_ = std::isnan(params.weight) ? 0.0f : static_cast<float>(std::fmin(std::fmax(params.weight, 0.0), 1.0));
  run_count_ = 0;
  done_ = true;
  return true;
}

bool Planner::retarget(int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y) {
  if (!cost_ || !request_ok(start_x, start_y, goal_x, goal_y)) return false;
  reset();
  params_.start_x = start_x;
  params_.start_y = start_y;
  params_.goal_x = goal_x;
  params_.goal_y = goal_y;
  return true;
}

void Planner::start() {
  done_ = false;
  run_count_ = 0;
  result_ = nullptr;
}

void Planner::reset() {
  factory_.give_back_all();
  result_ = nullptr;
  done_ = true;
}

// ---------------------------------------------------------------------------
// [SECTION] AStarPlanner: the open list

bool AStarPlanner::allocate(int32_t cells, int32_t open_capacity) {
  heap_.reset(new (std::nothrow) Entry[static_cast<size_t>(open_capacity)]);
  position_.reset(new (std::nothrow) int32_t[static_cast<size_t>(factory_.size())]);
  cell_node_.reset(new (std::nothrow) Cell[static_cast<size_t>(cells)]);
  if (cell_node_)
    for (int32_t i = 0; i < cells; ++i) cell_node_[ix(i)] = Cell{cost_[ix(i)], 0};
  flood_.reset(new (std::nothrow) int32_t[static_cast<size_t>(cells)]);
  flooded_.reset(new (std::nothrow) uint64_t[static_cast<size_t>(cells) / 64 + 1]);
  heap_capacity_ = open_capacity;
  heap_size_ = 0;
  return heap_ && position_ && cell_node_ && flood_ && flooded_;
}

// A four-way heap: half the depth of a binary one, and the four children
// of an entry share a cache line.
constexpr int32_t kArity = 4;

uint64_t AStarPlanner::key_of(float f, uint32_t order) {
  // Adding +0 turns -0 into +0, which the float compare holds equal. Bits of
  // a negative float are flipped so that their order is the floats' order.
  uint32_t bits = std::bit_cast<uint32_t>(f + 0.0f);
  bits = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
  return (static_cast<uint64_t>(bits) << 32) | order;
}

uint32_t AStarPlanner::next_order() {
  if (order_ >= order_limit_) {
    // Sorted by key, the open list is still a heap; numbered 0, 1, 2, ... in
    // that order, it keeps every tie as it was. std::sort allocates nothing.
    Entry* begin = heap_.get();
    std::sort(begin, begin + heap_size_, before);
    for (int32_t i = 0; i < heap_size_; ++i) {
      Entry& e = heap_[ix(i)];
      e.key = (e.key & 0xFFFFFFFF00000000u) | static_cast<uint32_t>(i);
      position_[ix(e.node)] = i;
    }
    order_ = static_cast<uint32_t>(heap_size_);
  }
  return order_++;
}

inline void AStarPlanner::place(int32_t at, const Entry& e) {
  heap_[ix(at)] = e;
  position_[ix(e.node)] = at;
}

void AStarPlanner::sift_up(int32_t at, Entry e) {
  while (at > 0) {
    const int32_t parent = (at - 1) / kArity;
    if (!before(e, heap_[ix(parent)])) break;
    place(at, heap_[ix(parent)]);
    at = parent;
  }
  place(at, e);
}

void AStarPlanner::sift_down(int32_t at, Entry e) {
  for (;;) {
    const int32_t first = kArity * at + 1;
    if (first >= heap_size_) break;
    const int32_t last = first + kArity < heap_size_ ? first + kArity : heap_size_;
    int32_t child = first;
    for (int32_t c = first + 1; c < last; ++c)
      if (before(heap_[ix(c)], heap_[ix(child)])) child = c;
    if (!before(heap_[ix(child)], e)) break;
    place(at, heap_[ix(child)]);
    at = child;
  }
  place(at, e);
}

// Takes the top away: the hole runs down along the smaller children to a
// leaf and the last entry rises from there, which is where it mostly
// belongs, saving the compares a sift from the top would make.
void AStarPlanner::pop_top() {
  if (--heap_size_ == 0) return;
  const Entry last = heap_[ix(heap_size_)];
  int32_t at = 0;
  for (;;) {
    const int32_t first = kArity * at + 1;
    if (first >= heap_size_) break;
    const int32_t end = first + kArity < heap_size_ ? first + kArity : heap_size_;
    int32_t child = first;
    for (int32_t c = first + 1; c < end; ++c)
      if (before(heap_[ix(c)], heap_[ix(child)])) child = c;
    place(at, heap_[ix(child)]);
    at = child;
  }
  sift_up(at, last);
}

void AStarPlanner::reposition(int32_t at) {
  const Entry e = heap_[ix(at)];
  if (at > 0 && before(e, heap_[ix((at - 1) / kArity)]))
    sift_up(at, e);
  else
    sift_down(at, e);
}

bool AStarPlanner::push(Node* n) {
  if (heap_size_ >= heap_capacity_) return false;
  const uint64_t key = key_of(n->f, next_order());
  sift_up(heap_size_++, Entry{key, factory_.index_of(n)});
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] AStarPlanner: the search

void AStarPlanner::reset() {
  if (cell_node_) {
    for (int32_t i = 0; i < factory_.count(); ++i) {
      const Node* n = factory_.item(i);
      cell_node_[static_cast<size_t>(n->x) + static_cast<size_t>(width_) * static_cast<size_t>(n->y)].node = 0;
    }
  }
  heap_size_ = 0;
  order_ = 0;
  stuck_ = false;
  expansions_ = 0;
  reach_checked_ = false;
  Planner::reset();
}

void AStarPlanner::start() {
  if (factory_.count() > 0 || heap_size_ > 0) reset();
  Planner::start();
  if (!cost_) {
    stuck_ = true;
    return;
  }
  // A wall on the goal is never entered: no path, without searching for one.
  Node* n = cost(params_.goal_x, params_.goal_y) == -1.0f ? nullptr : factory_.take();
  if (!n) {
    stuck_ = true;
    return;
  }
  *n = Node{nullptr, params_.start_x, params_.start_y, 0.0f, 0.0f, nullptr};
  cell_node_[static_cast<size_t>(n->x) + static_cast<size_t>(width_) * static_cast<size_t>(n->y)].node = factory_.index_of(n) + 1;
  if (!push(n)) stuck_ = true;
}

[[gnu::always_inline]] inline void AStarPlanner::visit(Node* from, int32_t nx, int32_t ny, float step) {
  if (inside(nx, ny)) visit_inside(from, nx, ny, step);
}

[[gnu::always_inline]] inline void AStarPlanner::visit_inside(Node* from, int32_t nx, int32_t ny, float step) {
  const size_t cell = static_cast<size_t>(nx) + static_cast<size_t>(width_) * static_cast<size_t>(ny);
  Cell& here = cell_node_[cell];
  const float c = here.cost;
  if (c == -1.0f) return;
  const float g = step == 1.0f ? from->g + c : from->g + c * step;
  const int32_t h = std::abs(params_.goal_x - nx) + std::abs(params_.goal_y - ny);
  const float f = mix_priority(g, h, weight_);
  const int32_t known = here.node;
  if (known == 0) {
    Node* n = factory_.take();
    if (!n) {
      stuck_ = true;
      return;
    }
    *n = Node{from, nx, ny, f, g, nullptr};
    here.node = factory_.index_of(n) + 1;
    if (!push(n)) stuck_ = true;
    return;
  }
  Node* n = factory_.item(known - 1);
  if (!(n->g > g)) return;
  n->parent = from;
  n->g = g;
  n->f = f;
  if (position_[ix(known - 1)] == kClosed) {  // reopened: a weight above one half overestimates
    if (!push(n)) stuck_ = true;
    return;
  }
  const uint32_t order = next_order();  // before the position: renumbering may move entries
  const int32_t at = position_[ix(known - 1)];
  heap_[ix(at)].key = key_of(f, order);  // taken out and put in again: behind its equals in leaving
  reposition(at);
}

bool AStarPlanner::goal_reachable() {
  const size_t cells = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  for (size_t i = 0; i < cells / 64 + 1; ++i) flooded_[i] = 0;
  auto mark = [&](int32_t x, int32_t y) {
    const size_t c = ix(x) + ix(width_) * ix(y);
    if (flooded_[c / 64] & (uint64_t{1} << (c % 64))) return false;
    flooded_[c / 64] |= uint64_t{1} << (c % 64);
    return true;
  };
  int32_t head = 0, tail = 0;
  flood_[ix(tail++)] = params_.goal_x + width_ * params_.goal_y;
  mark(params_.goal_x, params_.goal_y);
  const int32_t step = params_.diagonal_moves ? 1 : 2;  // every neighbour, or the orthogonal ones
  static constexpr int32_t kDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1}, kDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
  while (head < tail) {
    const int32_t c = flood_[ix(head++)];
    const int32_t x = c % width_, y = c / width_;
    for (int32_t k = step == 1 ? 0 : 1; k < 8; k += step) {
      const int32_t nx = x + kDx[k], ny = y + kDy[k];
      if (!inside(nx, ny)) continue;
      if (nx == params_.start_x && ny == params_.start_y) return true;  // the start may be a wall: it is only left
      if (cost(nx, ny) == -1.0f || !mark(nx, ny)) continue;
      flood_[ix(tail++)] = nx + width_ * ny;
    }
  }
  return false;
}

bool AStarPlanner::run() {
  ++run_count_;
  const bool diagonal = params_.diagonal_moves;
  const float d = params_.diagonal_cost ? kDiagonalCost : 1.0f;
  while (heap_size_ > 0 && !stuck_) {
    const Entry top = heap_[0];
    pop_top();
    position_[ix(top.node)] = kClosed;  // its own cell is none of its neighbours, so closing it now changes nothing
    Node* n = factory_.item(top.node);
    const int32_t x = n->x, y = n->y;
    if (x == params_.goal_x && y == params_.goal_y) {
      result_ = n;
      done_ = true;
      return true;
    }
    if (++expansions_ > 2 * static_cast<int64_t>(factory_.count()) + 1024 && !reach_checked_) {
      reach_checked_ = true;
      if (!goal_reachable()) break;
    }
    if (diagonal) {
      visit(n, x - 1, y - 1, d);
      visit(n, x, y - 1, 1.0f);
      visit(n, x + 1, y - 1, d);
      visit(n, x + 1, y, 1.0f);
      visit(n, x - 1, y, 1.0f);
      visit(n, x - 1, y + 1, d);
      visit(n, x, y + 1, 1.0f);
      visit(n, x + 1, y + 1, d);
    } else {
      // The bounds each direction can cross, checked here; visit checks all.
      if (y > 0) visit_inside(n, x, y - 1, 1.0f);
      if (x + 1 < width_) visit_inside(n, x + 1, y, 1.0f);
      if (x > 0) visit_inside(n, x - 1, y, 1.0f);
      if (y + 1 < height_) visit_inside(n, x, y + 1, 1.0f);
    }
  }
  // Run empty, out of nodes or open-list room, or the goal out of reach: no
  // path either way.
  done_ = true;
  return false;
}

}  // namespace mxt
