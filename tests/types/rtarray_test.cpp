#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <moxtril.h>
#include "runtime/types/rtarray.h"

namespace {

// A game record: a class with a virtual operation, as the game's particles are.
struct Tape {
  virtual ~Tape() = default;
  virtual void update() {}
  double x, y;
  int frame;
};

template <class T>
std::vector<T> elements(const RtArray<T>& a) {
  return std::vector<T>(a.data, a.data + a.count);
}

std::vector<std::string> texts(const RtArray<RtString>& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.count; ++i) out.push_back(a.data[i].str());
  return out;
}

RtArray<RtString> string_array(const std::vector<std::string>& values) {
  RtArray<RtString> a;
  for (const std::string& v : values) mxt_array_push(a, RtString(v.c_str()));
  return a;
}

int compare_nocase(const RtString& a, const RtString& b) { return strcasecmp(a.data, b.data); }

}  // namespace

TEST(RtArray, DimRoundsAllocationsPerElementTypeAndZeroes) {
  struct Case {
    const char* what;
    int first, second;
    int32_t count, dims, capacity;
    bool has_data;
  };
  RtArray<int> ints;
  RtArray<double> numbers;
  RtArray<RtString> strings;
  RtArray<uint8_t> bytes;
  const Case int_cases[] = {{"int 10", 10, 0, 10, 1, 16, true},
                            {"int 0", 0, 0, 0, 0, 8, true},
                            {"int 8x2", 8, 2, 16, 2, 24, true}};
  for (const Case& c : int_cases) {
    mxt_dim(ints, c.first, c.second);
    EXPECT_EQ(ints.count, c.count) << c.what;
    EXPECT_EQ(ints.dims, c.dims) << c.what;
    EXPECT_EQ(ints.capacity, c.capacity) << c.what;
  }
  mxt_dim(numbers, 8);
  EXPECT_EQ(numbers.capacity, 16);
  mxt_dim(strings, 10);
  EXPECT_EQ(strings.capacity, 64);
  mxt_dim(strings, 0);
  EXPECT_EQ(strings.capacity, 0);
  EXPECT_EQ(strings.data, nullptr);
  mxt_dim(bytes, 64);
  EXPECT_EQ(bytes.capacity, 128);
  RtArray<int> pixels;
  mxt::dim_exact(pixels, 10, 3);
  EXPECT_EQ(pixels.capacity, 30);

  // Sizing smaller reuses the allocation and zeroes only the new count.
  ints = RtArray<int>();
  mxt_dim(ints, 10);
  EXPECT_EQ(ints.capacity, 16);
  int* const block = ints.data;
  std::fill(ints.data, ints.data + ints.capacity, 7);
  mxt_dim(ints, 5);
  EXPECT_EQ(ints.data, block);
  EXPECT_EQ(ints.capacity, 16);
  EXPECT_EQ(elements(ints), std::vector<int>(5, 0));
  EXPECT_EQ(ints.data[5], 7);
}

TEST(RtArray, StringElementsAreEmptiedButKeepTheirBuffers) {
  RtArray<RtString> a;
  mxt_dim(a, 3);
  a(1) = "a text long enough to own a buffer";
  const char* buffer = a(1).data;
  mxt_dim(a, 3);
  EXPECT_EQ(a(1).length, 0u);
  EXPECT_EQ(a(1).data, buffer);
}

TEST(RtArray, FirstIndexIsFastestAndMissingDimensionsReportZero) {
  RtArray<int> a;
  mxt_dim(a, 9, 9);
  a(2, 3) = 42;
  EXPECT_EQ(a.data[2 + 3 * 9], 42);
  EXPECT_EQ(mxt_array_bounds(a, 0), 9);
  EXPECT_EQ(mxt_array_bounds(a, 1), 9);
  EXPECT_EQ(mxt_array_bounds(a, 2), 0);
  EXPECT_EQ(mxt_array_bounds(a, 7), 0);
  EXPECT_EQ(mxt_array_bounds(a, -1), 0);
  a(8, 8) = 1;
  EXPECT_EQ(a(-1, 8), 1);  // only the first index counts from the end

  RtArray<double> d;
  mxt_dim(d, 2, 3, 4, 5);
  EXPECT_EQ(d.count, 120);
  EXPECT_EQ(d.dims, 4);
  d(1, 2, 3, 4) = 2.5;
  EXPECT_EQ(d.data[1 + 2 * 2 + 3 * 6 + 4 * 24], 2.5);
}

TEST(RtArray, ZeroMiddleDimensionStillGivesEveryElementItsOwnPlace) {
  RtArray<int> a;
  mxt_dim(a, 5, 0, 3);
  ASSERT_EQ(a.count, 15);
  EXPECT_EQ(a.dims, 3);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 5; ++i) a(i, 0, k) = 10 * k + i;
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a(i, 0, k), 10 * k + i);
}

TEST(RtArray, RedimKeepsTheOverlap) {
  RtArray<int> a;
  mxt_dim(a, 3, 3);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) a(i, j) = 1 + i + 10 * j;
  mxt_redim(a, 5, 2);
  ASSERT_EQ(a.count, 10);
  const std::vector<int> expected = {1, 2, 3, 0, 0, 11, 12, 13, 0, 0};
  EXPECT_EQ(elements(a), expected);

  // A one-dimensional array gaining dimensions keeps its row.
  RtArray<double> d;
  mxt_dim_data(d, 3, std::vector<double>{1.5, 2.5, 3.5}.data());
  mxt_redim(d, 2, 2, 2);
  EXPECT_EQ(d(0, 0, 0), 1.5);
  EXPECT_EQ(d(1, 0, 0), 2.5);
  EXPECT_EQ(d(1, 1, 1), 0.0);

  // Numbers keep all four dimensions.
  mxt_dim(d, 2, 2, 2, 2);
  d(1, 1, 1, 1) = 9;
  mxt_redim(d, 3, 3, 3, 3);
  EXPECT_EQ(d(1, 1, 1, 1), 9);

  // Size 0 empties the array but keeps its allocation.
  int* block = a.data;
  mxt_redim(a, 0);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.dims, 0);
  EXPECT_EQ(a.size1, 0);
  EXPECT_EQ(a.data, block);
  EXPECT_EQ(a.capacity, 16);
}

TEST(RtArray, RedimOfStringsAndRecordsKeepsTheFirstTwoDimensions) {
  RtArray<RtString> s;
  mxt_dim(s, 2, 2, 2);
  s(1, 1, 0) = "kept";
  s(1, 1, 1) = "third dimension";
  mxt_redim(s, 3, 3, 2);
  EXPECT_EQ(s(1, 1, 0).view(), "kept");
  EXPECT_EQ(s(1, 1, 1).view(), "");

  RtArray<Tape> t;
  mxt_dim(t, 2);
  t(1).x = 4.5;
  t(1).frame = 3;
  mxt_redim(t, 40);
  EXPECT_EQ(t(1).x, 4.5);
  EXPECT_EQ(t(1).frame, 3);
  EXPECT_EQ(t(39).x, 0.0);
  EXPECT_EQ(t(39).frame, 0);
  t(39).update();  // the element is a live object
}

TEST(RtArray, PushAppendsAndReusesTheAllocation) {
  RtArray<RtString> a;
  mxt_array_push(a, RtString("first"));
  EXPECT_EQ(a.size0, 1);
  EXPECT_EQ(a.dims, 1);
  std::vector<std::string> expected = {"first"};
  for (int i = 0; i < 200; ++i) {
    mxt_array_push(a, RtString(i));
    expected.push_back(std::to_string(i));
  }
  EXPECT_EQ(texts(a), expected);
  EXPECT_EQ(a.capacity, 256);

  // Pushing an element of the array itself, just as the array must move.
  RtArray<RtString> b;
  mxt_array_push(b, RtString("self"));
  while (b.size0 + 1 < b.capacity) mxt_array_push(b, b(0));
  RtString* before = b.data;
  mxt_array_push(b, b(0));
  EXPECT_NE(b.data, before);
  EXPECT_EQ(b(-1).view(), "self");

  // An emptied integer array has room left and grows in place.
  RtArray<int> n;
  mxt_dim(n, 0);
  mxt_array_push(n, 4);
  EXPECT_EQ(n.dims, 1);
  EXPECT_EQ(elements(n), std::vector<int>{4});
}

TEST(RtArray, CopyDuplicatesEveryElement) {
  RtArray<RtString> a;
  mxt_dim(a, 2, 2);
  a(0, 0) = "a";
  a(1, 1) = "d";
  RtArray<RtString> b;
  mxt_array_copy(b, a);
  a(0, 0) = "changed";
  EXPECT_EQ(b.size1, 2);
  EXPECT_EQ(b(0, 0).view(), "a");
  EXPECT_EQ(b(1, 1).view(), "d");

  mxt_array_copy(b, b);  // copying onto itself keeps the content
  EXPECT_EQ(b(1, 1).view(), "d");

  RtArray<RtString> c(b);
  RtArray<RtString> empty;
  b = empty;
  EXPECT_EQ(b.count, 0);
  EXPECT_EQ(c(1, 1).view(), "d");
  RtArray<RtString> moved(std::move(c));
  EXPECT_EQ(moved(1, 1).view(), "d");
  EXPECT_EQ(c.data, nullptr);  // NOLINT(bugprone-use-after-move)
}

TEST(RtArray, BoundsReportWritesBothLinesToStandardError) {
  struct Case {
    int first, second, third;
    int i, j, k;
    const char* report;
  } cases[] = {
      {10, 10, 0, 12, 3, 0, "bounds: [  10][  10]\naccess: [  12][   3]\n"},
      {10, 0, 0, -1, 0, 0, "bounds: [  10]\naccess: [  -1]\n"},
      {10, 0, 0, 10, 0, 0, "bounds: [  10]\naccess: [  10]\n"},
      {3, 0, 0, 0, 2, 0, "bounds: [   3][   0]\naccess: [   0][   2]\n"},
      {2, 3, 4, 1, 2, 12345, "bounds: [   2][   3][   4]\naccess: [   1][   2][12345]\n"},
  };
  for (const Case& c : cases) {
    RtArray<int> a;
    mxt_dim(a, c.first, c.second, c.third);
    testing::internal::CaptureStderr();
    mxt_report_bounds(a, c.i, c.j, c.k);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.report);
  }
}

TEST(RtArray, SortOrdersWithOrWithoutACallback) {
  struct Case {
    std::vector<std::string> in, out;
    SortCompare compare;
  } cases[] = {
      {{"pear", "apple", "fig", "apple", "banana"}, {"apple", "apple", "banana", "fig", "pear"}, nullptr},
      {{"b", "B", "a", "C"}, {"B", "C", "a", "b"}, nullptr},  // bytes: upper case first
      {{"b", "C", "a", "D"}, {"a", "b", "C", "D"}, compare_nocase},
      {{"\xE9", "z", ""}, {"", "z", "\xE9"}, nullptr},  // unsigned bytes
      {{"x"}, {"x"}, nullptr},
  };
  for (const Case& c : cases) {
    RtArray<RtString> a = string_array(c.in);
    mxt_sort_array(&a(0), &a(-1), c.compare);
    EXPECT_EQ(texts(a), c.out);
  }
  // Only the given range moves.
  RtArray<RtString> a = string_array({"z", "c", "b", "a"});
  mxt_sort_array(&a(1), &a(2));
  EXPECT_EQ(texts(a), (std::vector<std::string>{"z", "b", "c", "a"}));
}

TEST(RtArray, SortStaysFastAndInRangeOnHostileInput) {
  constexpr int n = 20000;
  std::vector<std::string> sorted, equal(n, "same");
  for (int i = 0; i < n; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%08d", i);
    sorted.push_back(name);
  }
  std::vector<std::string> reversed(sorted.rbegin(), sorted.rend());
  for (const auto* input : {&sorted, &reversed, &equal}) {
    RtArray<RtString> a = string_array(*input);
    mxt_sort_array(&a(0), &a(-1));
    std::vector<std::string> expected = *input;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(texts(a), expected);
  }
  // A callback that contradicts itself cannot make the sort leave the range
  // or lose elements.
  RtArray<RtString> a = string_array(reversed);
  static std::mt19937 coin(7);
  mxt_sort_array(&a(0), &a(-1), [](const RtString&, const RtString&) { return static_cast<int>(coin() % 3) - 1; });
  std::vector<std::string> got = texts(a);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, sorted);
}

TEST(RtArray, DataListsConvertEachItemToTheReadersType) {
  const DataItem items[] = {{2.9, nullptr}, {-2.9, nullptr}, {0, "12abc"}, {0, "12abc"},
                            {3.0, nullptr}, {0, " 1.5e1x"},  {0.25, nullptr}};
  DataList list = {items, 7, 5};
  mxt_restore_data(list);
  EXPECT_EQ(list.position, 0);
  int i = 0;
  double d = 0;
  RtString s;
  mxt_read_int(i);
  EXPECT_EQ(i, 2);
  mxt_read_int(i);
  EXPECT_EQ(i, -2);
  mxt_read_int(i);
  EXPECT_EQ(i, 12);
  mxt_read_text(s);
  EXPECT_EQ(s.view(), "12abc");
  mxt_read_text(s);
  EXPECT_EQ(s.view(), "3");
  mxt_read_number(d);
  EXPECT_EQ(d, 15.0);
  mxt_read_number(d);
  EXPECT_EQ(d, 0.25);
  EXPECT_EQ(list.position, 7);
}
