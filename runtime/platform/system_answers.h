// Inside the platform layer: the answers a test put in place of the
// machine's (set_system_answers), or null.
#pragma once

#include "runtime/platform/platform.h"

namespace mxt::platform {

const SystemAnswers* system_answers();

}  // namespace mxt::platform
