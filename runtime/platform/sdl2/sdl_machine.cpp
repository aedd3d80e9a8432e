// SDL side of the machine's facts: power, the screen's resolution, the
// user's preferred language as a Windows language identifier, and whether
// the current OpenGL context offers a function.
//
// [SECTION] Power and screen
// [SECTION] Language
// [SECTION] OpenGL functions
#include <SDL.h>
#include <dlfcn.h>

#include <cctype>
#include <cmath>
#include <cstring>

#include "runtime/platform/platform.h"
#include "runtime/platform/system_answers.h"

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Power and screen

int battery_percent() {
  if (const SystemAnswers* a = system_answers(); a && a->battery >= 0) return a->battery;
  int percent = -1;
  const SDL_PowerState state = SDL_GetPowerInfo(nullptr, &percent);
  if (state == SDL_POWERSTATE_UNKNOWN || state == SDL_POWERSTATE_NO_BATTERY || percent < 0) return 255;
  return percent > 100 ? 100 : percent;
}

int screen_dpi() {
  if (const SystemAnswers* a = system_answers(); a && a->dpi >= 0) return a->dpi;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  float horizontal = 0;
  if (SDL_GetDisplayDPI(0, nullptr, &horizontal, nullptr) != 0 || !std::isfinite(horizontal)) return 0;
  if (horizontal <= 0 || horizontal > 10000) return 0;
  return static_cast<int>(std::lround(horizontal));
}

// ---------------------------------------------------------------------------
// [SECTION] Language
//
// A Windows language identifier is (sub-language << 10) | primary language.
// The primary numbers follow the ISO code; the sub-language the country,
// 1 (the language's home) when the country is missing or not listed.

namespace {

struct Primary {
  const char* code;
  uint16_t id;
};
constexpr Primary kPrimary[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07},
    {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E},
    {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14},
    {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A},
    {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21},
    {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29},
    {"vi", 0x2A}, {"hy", 0x2B}, {"az", 0x2C}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36}, {"ka", 0x37},
    {"fo", 0x38}, {"hi", 0x39}, {"ms", 0x3E}, {"kk", 0x3F}, {"ky", 0x40}, {"sw", 0x41}, {"uz", 0x43},
    {"tt", 0x44}, {"bn", 0x45}, {"pa", 0x46}, {"gu", 0x47}, {"or", 0x48}, {"ta", 0x49}, {"te", 0x4A},
    {"kn", 0x4B}, {"ml", 0x4C}, {"as", 0x4D}, {"mr", 0x4E}, {"sa", 0x4F}, {"mn", 0x50}, {"gl", 0x56},
    {"kok", 0x57}, {"syr", 0x5A}, {"dv", 0x65},
};

struct Variant {
  const char* language;
  const char* country;
  uint16_t sub;
};
constexpr Variant kVariants[] = {
    {"en", "US", 1},  {"en", "GB", 2},  {"en", "AU", 3},  {"en", "CA", 4},  {"en", "NZ", 5},
    {"en", "IE", 6},  {"en", "ZA", 7},  {"en", "JM", 8},  {"en", "BZ", 10}, {"en", "TT", 11},
    {"en", "ZW", 12}, {"en", "PH", 13}, {"de", "CH", 2},  {"de", "AT", 3},  {"de", "LU", 4},
    {"de", "LI", 5},  {"fr", "BE", 2},  {"fr", "CA", 3},  {"fr", "CH", 4},  {"fr", "LU", 5},
    {"fr", "MC", 6},  {"es", "MX", 2},  {"es", "ES", 3},  {"es", "GT", 4},  {"es", "CR", 5},
    {"es", "PA", 6},  {"es", "DO", 7},  {"es", "VE", 8},  {"es", "CO", 9},  {"es", "PE", 10},
    {"es", "AR", 11}, {"es", "EC", 12}, {"es", "CL", 13}, {"es", "UY", 14}, {"es", "PY", 15},
    {"es", "BO", 16}, {"es", "SV", 17}, {"es", "HN", 18}, {"es", "NI", 19}, {"es", "PR", 20},
    {"ar", "IQ", 2},  {"ar", "EG", 3},  {"ar", "LY", 4},  {"ar", "DZ", 5},  {"ar", "MA", 6},
    {"ar", "TN", 7},  {"ar", "OM", 8},  {"ar", "YE", 9},  {"ar", "SY", 10}, {"ar", "JO", 11},
    {"ar", "LB", 12}, {"ar", "KW", 13}, {"ar", "AE", 14}, {"ar", "BH", 15}, {"ar", "QA", 16},
    {"zh", "CN", 2},  {"zh", "HK", 3},  {"zh", "SG", 4},  {"zh", "MO", 5},  {"pt", "PT", 2},
    {"it", "CH", 2},  {"nl", "BE", 2},  {"sv", "FI", 2},  {"ms", "BN", 2},  {"ur", "IN", 2},
    {"nn", "", 2},    {"nn", "NO", 2},  {"sr", "", 3},    {"sr", "RS", 3},
};

uint16_t language_of(const char* language, const char* country) {
  if (!language) return 0;
  std::string lang;
  for (const char* c = language; *c; ++c) lang += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  const std::string land = country ? country : "";
  uint16_t primary = 0;
  for (const Primary& p : kPrimary)
    if (lang == p.code) primary = p.id;
  if (primary == 0) return 0;
  uint16_t sub = 1;
  for (const Variant& v : kVariants)
    if (lang == v.language && land == v.country) sub = v.sub;
  return static_cast<uint16_t>((sub << 10) | primary);
}

}  // namespace

uint16_t language_id() {
  if (const SystemAnswers* a = system_answers(); a && a->language >= 0) return static_cast<uint16_t>(a->language);
  SDL_Locale* locales = SDL_GetPreferredLocales();
  if (!locales) return 0;
  uint16_t id = 0;
  for (const SDL_Locale* l = locales; l->language && id == 0; ++l) id = language_of(l->language, l->country);
  SDL_free(locales);
  return id;
}

// ---------------------------------------------------------------------------
// [SECTION] OpenGL functions

bool gl_function_offered(const char* name) {
  if (!name || !*name || !SDL_GL_GetCurrentContext()) return false;
  if (!SDL_GL_GetProcAddress(name)) return false;
  // The GL library exports every function of the GL registry under its
  // name; a name it lacks is one no context has, whatever stub the driver
  // made up for it.
  if (dlsym(RTLD_DEFAULT, name)) return true;
  void* gl = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
  if (!gl) return false;
  const bool known = dlsym(gl, name) != nullptr;
  dlclose(gl);
  return known;
}

}  // namespace mxt::platform
