// What the small test programs share: the scenario the test asked for, and a
// clock the program runs the frame loop on when a test checks timing logic
// rather than the machine's speed.
#pragma once

#include <cstdlib>
#include <string>

#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/platform/platform.h"

namespace scenario_support {

inline std::string scenario() {
  const char* s = std::getenv("MXT_TEST_SCENARIO");
  return s ? s : "";
}

// Time passes only when the runtime sleeps, naps or waits for an event.
struct FakeTime {
  double now = 0;
  int sleeps = 0;   // long sleeps (pacing, the idle pump)
  int naps = 0;
  int waits = 0;    // bounded waits for an event
};

inline FakeTime& fake_time() {
  static FakeTime t;
  return t;
}

// From here on the frame loop runs on the fake clock, which starts where the
// real one stands so that the renderer's next frame time stays meaningful.
inline void use_fake_clock() {
  fake_time() = FakeTime{};
  fake_time().now = mxt::accurate_ms();
  mxt::FrameClock& c = mxt::rt.core->clock;
  c.now = [] { return fake_time().now; };
  c.sleep_ms = [](int ms) {
    fake_time().now += ms;
    ++fake_time().sleeps;
  };
  c.nap = [] {
    fake_time().now += 0.25;
    ++fake_time().naps;
  };
  c.wait_event = [](int ms) {
    mxt::platform::Event e;
    if (mxt::platform::peek_event(e)) return true;
    fake_time().now += ms;
    ++fake_time().waits;
    return false;
  };
}

}  // namespace scenario_support
