// The parts of RtArray that do not depend on the element type: planning a
// size, the fatal errors and the bounds report, sorting string elements, and
// the data lists.
//
// [SECTION] Sizing
// [SECTION] Errors and the bounds report
// [SECTION] Sorting
// [SECTION] Data lists
#include "runtime/types/rtarray.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/types/numbers.h"
#include "runtime/types/numtext.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Sizing

bool plan_shape(int first, int second, int third, int fourth, ArrayShape& out) {
  if (first < 0 || second < 0 || third < 0 || fourth < 0) {
    fatal_error(RuntimeError::out_of_memory);
    return false;
  }
  auto at_least_one = [](int n) { return static_cast<int64_t>(n > 0 ? n : 1); };
  // Each partial product is at most INT32_MAX before the next multiply, so
  // none of them can overflow 64 bits.
  const int64_t stride2 = static_cast<int64_t>(first) * at_least_one(second);
  const int64_t stride3 = stride2 <= INT32_MAX ? stride2 * at_least_one(third) : INT64_MAX;
  const int64_t count = stride3 <= INT32_MAX ? stride3 * at_least_one(fourth) : INT64_MAX;
  if (count > INT32_MAX) {
    fatal_error(RuntimeError::out_of_memory);
    return false;
  }
  out.size0 = first;
  out.size1 = second;
  out.size2 = third;
  out.size3 = fourth;
  // Strides follow the count: a dimension of size 0 takes one place, so no
  // two elements share an address even when a middle size is 0.
  out.stride1 = first;
  out.stride2 = static_cast<int32_t>(stride2);
  out.stride3 = static_cast<int32_t>(stride3);
  out.count = static_cast<int32_t>(count);
  out.dims = fourth ? 4 : third ? 3 : second ? 2 : first > 0 ? 1 : 0;
  return true;
}

int64_t elements_to_allocate(int32_t count, int rounding, bool allocates_when_empty, bool exact) {
  if (exact) return count;
  if (count == 0 && !allocates_when_empty) return 0;
  const int64_t n = (static_cast<int64_t>(count) & ~static_cast<int64_t>(rounding - 1)) + rounding;
  if (n > INT32_MAX) {
    fatal_error(RuntimeError::out_of_memory);
    return -1;
  }
  return n;
}

// ---------------------------------------------------------------------------
// [SECTION] Errors and the bounds report

void fail_access(const ArrayShape& a, int i, int j, int k, int l) {
  mxt_report_bounds(a, i, j, k, l);
  fatal_error(RuntimeError::out_of_bounds);
}

}  // namespace mxt

using namespace mxt;

int mxt_array_bounds(const ArrayShape& a, int dimension) {
  switch (dimension) {
    case 0: return a.size0;
    case 1: return a.size1;
    case 2: return a.size2;
    case 3: return a.size3;
    default: return 0;
  }
}

// Every size and index in a field of four: "bounds: [  10][  10]". A dimension
// is shown when it, or one after it, has a size or a non-zero index, so a
// failing index is never left out.
void mxt_report_bounds(const ArrayShape& a, int i, int j, int k, int l) {
  const int sizes[4] = {a.size0, a.size1, a.size2, a.size3};
  const int indices[4] = {i, j, k, l};
  int shown = 1;
  for (int d = 1; d < 4; ++d)
    if (sizes[d] > 0 || indices[d] != 0) shown = d + 1;
  RtString bounds("bounds: ");
  RtString access("access: ");
  for (int d = 0; d < shown; ++d) {
    bounds.append_char('[');
    bounds.append(mxt_format_int(4, 0, sizes[d]));
    bounds.append_char(']');
    access.append_char('[');
    access.append(mxt_format_int(4, 0, indices[d]));
    access.append_char(']');
  }
  bounds.append_char('\n');
  access.append_char('\n');
  write_debugger(bounds.c_str());
  write_debugger(access.c_str());
  for (const RtString* line : {&bounds, &access}) {
    std::fputs(line->data, stderr);
    std::fflush(stderr);
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Sorting
//
// Quicksort with the value of the range's last element as the pivot, split
// three ways so that runs of equal texts cost nothing. It recurses into the
// smaller side only, and a range that has been split too often without
// getting small (sorted input, an awkward callback) is finished by heap sort:
// the stack stays shallow and the time n log n whatever the input. Indices
// never leave the range, even for a callback that contradicts itself.

namespace {

struct Sorter {
  RtString* a;
  SortCompare compare;

  int cmp(const RtString& x, const RtString& y) const {
    return compare ? compare(x, y) : std::strcmp(x.data, y.data);
  }

  void sift_down(ptrdiff_t root, ptrdiff_t n, RtString* base) const {
    for (;;) {
      ptrdiff_t child = 2 * root + 1;
      if (child >= n) return;
      if (child + 1 < n && cmp(base[child], base[child + 1]) < 0) ++child;
      if (cmp(base[root], base[child]) >= 0) return;
      base[root].swap(base[child]);
      root = child;
    }
  }

  void heap_sort(ptrdiff_t lo, ptrdiff_t hi) const {
    RtString* base = a + lo;
    const ptrdiff_t n = hi - lo + 1;
    for (ptrdiff_t i = n / 2 - 1; i >= 0; --i) sift_down(i, n, base);
    for (ptrdiff_t end = n - 1; end > 0; --end) {
      base[0].swap(base[end]);
      sift_down(0, end, base);
    }
  }

  void sort(ptrdiff_t lo, ptrdiff_t hi, int budget) const {
    while (lo < hi) {
      if (budget-- <= 0) {
        heap_sort(lo, hi);
        return;
      }
      const RtString& pivot = a[hi];
      ptrdiff_t lt = lo, i = lo, gt = hi - 1;
      while (i <= gt) {
        const int c = cmp(a[i], pivot);
        if (c < 0)
          a[lt++].swap(a[i++]);
        else if (c > 0)
          a[i].swap(a[gt--]);
        else
          ++i;
      }
      // [lo, lt) below the pivot, [lt, gt] equal, (gt, hi) above; the pivot
      // joins the equal run.
      a[gt + 1].swap(a[hi]);
      const ptrdiff_t left_hi = lt - 1, right_lo = gt + 2;
      if (left_hi - lo < hi - right_lo) {
        sort(lo, left_hi, budget);
        lo = right_lo;
      } else {
        sort(right_lo, hi, budget);
        hi = left_hi;
      }
    }
  }
};

}  // namespace

void mxt_sort_array(RtString* first, RtString* last, SortCompare compare) {
  if (!first || !last || last <= first) return;
  const ptrdiff_t n = last - first + 1;
  const Sorter sorter{first, compare};
  sorter.sort(0, n - 1, 2 * static_cast<int>(std::bit_width(static_cast<size_t>(n))));
}

// ---------------------------------------------------------------------------
// [SECTION] Data lists

namespace {

// The next item, or null after raising error 20.
const DataItem* next_item() {
  DataList* list = rt.data_list;
  if (!list || !list->items || list->position < 0 || list->position >= list->count) {
    fatal_error(RuntimeError::out_of_data);
    return nullptr;
  }
  return &list->items[list->position++];
}

}  // namespace

void mxt_restore_data(DataList& list) {
  rt.data_list = &list;
  list.position = 0;
}

void mxt_read_int(int& out) {
  if (const DataItem* item = next_item()) out = item->text ? parse_atoi(item->text) : truncate_to_int(item->value);
}

void mxt_read_number(double& out) {
  if (const DataItem* item = next_item()) out = item->text ? parse_atof(item->text) : item->value;
}

void mxt_read_text(RtString& out) {
  if (const DataItem* item = next_item()) out = item->text ? RtString(item->text) : RtString(item->value);
}
