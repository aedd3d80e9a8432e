// Settings for builds with AddressSanitizer. The system's graphics stack
// (Mesa's drivers, EGL/GLX, SDL's video back ends) keeps allocations until the
// process ends and unloads its driver before leaks are checked, which leaves
// them without a name to recognise. In these builds nothing is unloaded, so
// the driver's lasting allocations are recognised by library name and only
// our own leaks are reported. Expanded once in the program entry and once in
// the tests.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define MXT_SANITIZER_DEFAULTS                                                                     \
  extern "C" int dlclose(void*) { return 0; }                                                      \
  extern "C" const char* __lsan_default_suppressions() {                                           \
    return "leak:libGLX_mesa\nleak:swrast_dri\nleak:libLLVM\nleak:libEGL\nleak:libgallium\n"       \
           "leak:libglapi\nleak:libSDL2\nleak:libdbus\nleak:libasound\nleak:libpulse\n";          \
  }
#else
#define MXT_SANITIZER_DEFAULTS
#endif
