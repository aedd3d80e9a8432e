// The A* planner behind the path commands (pathfind.h).
//
// A planner is set up once for a map and a request (set_up), then searched
// (start, run) and emptied again (reset); set-up allocates everything, so a
// search never allocates. Paths are a contract: games replay recorded
// sessions and expect the same path for the same map, so the order in which
// cells leave the open list is fixed exactly, ties included:
//
//   the smallest f leaves first; among equal f, the node put into the open
//   list earliest (its last insertion counts) leaves first.
//
// That is the order of a list kept sorted by f (largest at the front) into
// which each node goes in front of the nodes of equal f and out at the back.
// AStarPlanner reproduces it with an indexed heap keyed by (f, insertion
// number) and a table of one entry per cell; ListAStarPlanner
// (list_planner.h) keeps the sorted ring buffer and the bucket hash and is
// the yardstick the fast one is tested and measured against.
//
// [SECTION] Nodes and the node pool
// [SECTION] Parameters
// [SECTION] Planner
// [SECTION] AStarPlanner
#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <memory>

template <class T>
class RtArray;

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Nodes and the node pool

// Indices into the planner's arrays are never negative.
constexpr size_t ix(int32_t i) { return static_cast<size_t>(i); }

struct Node {
  Node* parent;  // none for the start
  int32_t x, y;
  float f;       // the open-list priority
  float g;       // the cost from the start
  Node* next;    // the chain of its closed-set bucket
};

// Preallocated nodes, handed out in order and given back all at once. The
// nodes handed out are exactly the cells a search has touched, which is what
// lets a reset forget them without sweeping the whole map.
class NodeFactory {
 public:
  bool allocate(int32_t size);  // false when the memory is not there
  Node* take() { return count_ < size_ ? &nodes_[ix(count_++)] : nullptr; }  // null when the pool is empty
  void give_back_all() { count_ = 0; }
  int32_t size() const { return size_; }
  int32_t count() const { return count_; }
  Node* item(int32_t i) { return &nodes_[ix(i)]; }
  int32_t index_of(const Node* n) const { return static_cast<int32_t>(n - nodes_.get()); }

 private:
  std::unique_ptr<Node[]> nodes_;
  int32_t size_ = 0;
  int32_t count_ = 0;
};

// ---------------------------------------------------------------------------
// [SECTION] Parameters

// The diagonal step factor: the float whose bit pattern is 0x3FB504F4.
constexpr float kDiagonalCost = 1.4142137f;

struct PlannerParams {
  int32_t start_x = 0, start_y = 0;
  int32_t goal_x = 0, goal_y = 0;
  bool diagonal_cost = true;    // a diagonal step costs the cell's cost times kDiagonalCost
  bool diagonal_moves = false;  // visit the four diagonal neighbours too
  int32_t pool_size = 0;        // nodes; 0: width * height
  int32_t open_capacity = 0;    // open-list entries; 0: width * height
  int32_t hash_bits = 8;        // closed-set buckets (ListAStarPlanner): 2^bits, at most 24, even
  double weight = 0.5;          // 0: cost alone, 1: Manhattan distance alone; clamped to 0 ... 1
};

// The one place the search's arithmetic is written: f mixes the cost so far
// and the Manhattan distance to the goal, in float.
inline float mix_priority(float g, int32_t h, float weight) {
  const float to_goal = static_cast<float>(h) - g;
  const float pulled = weight * to_goal;
  return g + pulled;
}

// ---------------------------------------------------------------------------
// [SECTION] Planner

class Planner {
 public:
  virtual ~Planner();
  virtual void start();   // empties the search and opens the start cell
  virtual bool run() = 0; // searches until the goal leaves the open list (true) or the list runs empty
  virtual void reset();   // gives every node back; done, no result

  // Builds the cost grid and allocates the pool and the open list. Refuses
  // (false) a start or goal outside the map, a start equal to the goal, a map
  // without a positive cell, and (with out_of_memory set) a map too large to
  // allocate for.
  bool set_up(const RtArray<double>& map, const PlannerParams& params);
  bool set_up(const RtArray<int>& map, const PlannerParams& params);  // the values as numbers
  // Moves the request to other cells of the same map, keeping the cost grid
  // and every allocation: the way to search one map many times. Refuses as
  // set_up does; the planner must be set up and reset.
  bool retarget(int32_t start_x, int32_t start_y, int32_t goal_x, int32_t goal_y);

  bool done() const { return done_; }
  int32_t run_count() const { return run_count_; }
  const Node* result() const { return result_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  float weight() const { return weight_; }
  const PlannerParams& params() const { return params_; }
  bool out_of_memory() const { return out_of_memory_; }
  int32_t nodes_used() const { return factory_.count(); }
  // The cell's cost in the grid: -1 blocked, else value / largest + 1.
  float cost(int32_t x, int32_t y) const { return cost_[ix(x) + ix(width_) * ix(y)]; }

  // The cost grid built from map values: a cell blocks unless its value is
  // above 0 (NaN blocks); an infinite value is the largest, costing 2, and
  // finite values then cost 1. Returns false when no cell is positive.
  template <class T>
  static bool build_cost_grid(const RtArray<T>& map, float* out);

 protected:
  // The subclass's own allocations for a map of `cells` cells; false when
  // the memory is not there.
  virtual bool allocate(int32_t cells, int32_t open_capacity) = 0;
  bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  template <class T>
  bool set_up_map(const RtArray<T>& map, const PlannerParams& params);
  bool request_ok(int32_t sx, int32_t sy, int32_t gx, int32_t gy) const {
    return inside(sx, sy) && inside(gx, gy) && (sx != gx || sy != gy);
  }

  bool done_ = true;
  NodeFactory factory_;
  PlannerParams params_;
  int32_t width_ = 0, height_ = 0;
  float weight_ = 0;
  int32_t run_count_ = 0;
  std::unique_ptr<float[]> cost_;
  Node* result_ = nullptr;
  bool out_of_memory_ = false;
};

// ---------------------------------------------------------------------------
// [SECTION] AStarPlanner

class AStarPlanner : public Planner {
 public:
  void start() override;
  bool run() override;
  void reset() override;
  // Insertion numbers are 32 bits; a search that uses them all renumbers
  // the open list in order and goes on. A test lowers the limit to see it.
  void limit_insertion_numbers(uint32_t limit) { order_limit_ = limit; }

 protected:
  bool allocate(int32_t cells, int32_t open_capacity) override;

 private:
  // A heap entry: the node's key and its pool index. The key is f's bits
  // (ordered as the floats are) above the insertion number, so one integer
  // compare orders by f and, among equal f, by the earlier insertion.
  struct Entry {
    uint64_t key;
    int32_t node;
  };
  static uint64_t key_of(float f, uint32_t order);
  static bool before(const Entry& a, const Entry& b) { return a.key < b.key; }
  bool push(Node* n);              // false when the open list is full
  void reposition(int32_t at);     // restores the heap around a changed entry
  void place(int32_t at, const Entry& e);
  void sift_up(int32_t at, Entry e);
  void sift_down(int32_t at, Entry e);
  void pop_top();
  void visit(Node* from, int32_t nx, int32_t ny, float step);
  void visit_inside(Node* from, int32_t nx, int32_t ny, float step);
  bool goal_reachable();           // a flood from the goal, looking for the start
  uint32_t next_order();           // the next insertion number, renumbering the heap when they run out

  static constexpr int32_t kClosed = -1;  // heap position of a node in the closed set

  std::unique_ptr<Entry[]> heap_;
  int32_t heap_size_ = 0;
  int32_t heap_capacity_ = 0;
  std::unique_ptr<int32_t[]> position_;  // per pool node: its heap index, or kClosed
  // Per cell its cost and its node (pool index + 1, 0 for none), side by
  // side: a neighbour's visit then reads one place in memory, not two.
  struct Cell {
    float cost;
    int32_t node;
  };
  std::unique_ptr<Cell[]> cell_node_;
  uint32_t order_ = 0;
  uint32_t order_limit_ = UINT32_MAX;
  bool stuck_ = false;                   // the pool or the open list ran out
  // Above a weight of one half a closed cell is opened again whenever a
  // cheaper way to it turns up, and with the goal walled off that can go on
  // for minutes over a large map. The answer then is "no path" whatever the
  // search does, so once the expansions pass twice the nodes the planner
  // asks once whether the goal can be reached at all.
  int64_t expansions_ = 0;
  bool reach_checked_ = false;
  std::unique_ptr<int32_t[]> flood_;     // the flood's queue of cells
  std::unique_ptr<uint64_t[]> flooded_;  // a bit per cell
};

}  // namespace mxt
