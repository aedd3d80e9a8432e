// Settings for builds with AddressSanitizer. The system's graphics stack
// (Mesa's drivers, EGL/GLX, SDL's video back ends) keeps allocations until the
// process ends; the slow unwinder walks into those libraries so that their
// lasting allocations are recognised by library name and only our own leaks
// are reported. Expanded once in the program entry and once in the tests.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define MXT_SANITIZER_DEFAULTS                                                                     \
  extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }            \
  extern "C" const char* __lsan_default_suppressions() {                                           \
    return "leak:libGLX_mesa\nleak:swrast_dri\nleak:libLLVM\nleak:libEGL\nleak:libgallium\n"       \
           "leak:libglapi\nleak:libSDL2\nleak:libdbus\n";                                          \
  }
#else
#define MXT_SANITIZER_DEFAULTS
#endif
