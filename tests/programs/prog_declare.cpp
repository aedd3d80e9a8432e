// A small game that declares external functions from its static
// initialisers, as generated game code does, and says which were bound by
// the time its main routine runs.
#include <cstdio>

#include <moxtril.h>

namespace {

double (*cosine)(double) = nullptr;
int (*missing_function)() = nullptr;
int (*missing_library)() = nullptr;

// Registered before main(), before the runtime's state is otherwise touched.
const bool registered = [] {
  mxt_declare("libm.so.6", "cos", reinterpret_cast<void**>(&cosine));
  mxt_declare("LIBM.so.6", "no_such_function", reinterpret_cast<void**>(&missing_function));
  mxt_declare("NoSuchLibrary.dll", "anything", reinterpret_cast<void**>(&missing_library));
  return true;
}();

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 64;
  mxt_settings().screen_height = 64;
  mxt_app_title() = "Declare";
}

int mxt_main() {
  std::printf("registered=%d cos=%s missing_function=%s missing_library=%s\n", registered ? 1 : 0,
              cosine && cosine(0.0) == 1.0 ? "bound" : "null", missing_function ? "bound" : "null",
              missing_library ? "bound" : "null");
  std::fflush(stdout);
  return 0;
}
