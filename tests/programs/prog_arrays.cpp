// A small game whose arrays fail on purpose: MXT_TEST_SCENARIO picks the
// fault. The tests read what it printed, on which stream, and its exit code.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <moxtril.h>
#include "tests/programs/scenario.h"

namespace {

using scenario_support::scenario;

RtArray<int> ints;
RtArray<double> numbers;
RtArray<RtString> texts;

const DataItem kItems[] = {{2.9, nullptr}, {0, "12abc"}};
DataList list = {kItems, 2, 0};

void reached(const char* what) { std::printf("reached %s\n", what); }

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 64;
  mxt_settings().screen_height = 64;
  mxt_app_title() = "Arrays";
}

int mxt_main() {
  const std::string s = scenario();
  if (s == "index_past_end") {
    mxt_dim(ints, 10);
    ints(9) = 1;
    reached("9");
    ints(10) = 1;
  } else if (s == "negative_index") {
    mxt_dim(ints, 10);
    ints(-1) = 5;
    std::printf("last %d\n", ints(9));
    ints(-11) = 1;
  } else if (s == "two_dimensions") {
    mxt_dim(ints, 10, 10);
    ints(12, 3) = 1;
  } else if (s == "negative_second_index") {
    mxt_dim(numbers, 4, 4);
    numbers(1, -1) = 1;
  } else if (s == "never_sized") {
    std::printf("%d\n", static_cast<int>(texts(0).length));
  } else if (s == "four_dimensions") {
    mxt_dim(texts, 2, 3, 4, 5);
    texts(1, 2, 3, 5) = "x";
  } else if (s == "push_two_dimensions") {
    mxt_dim(texts, 2, 2);
    mxt_array_push(texts, RtString("x"));
  } else if (s == "negative_size") {
    mxt_dim(ints, 3, -2);
  } else if (s == "count_overflow") {
    mxt_dim(numbers, 65536, 65536);
  } else if (s == "read_past_end") {
    mxt_restore_data(list);
    int a = 0;
    RtString b;
    mxt_read_int(a);
    mxt_read_text(b);
    std::printf("read %d %s\n", a, b.c_str());
    mxt_read_int(a);
  } else if (s == "read_without_list") {
    double d = 0;
    mxt_read_number(d);
  }
  reached("end of main");
  return 0;
}
