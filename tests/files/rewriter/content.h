// What the kill test's rewriter writes: generation after generation of one
// INI file or one line file, every value naming its generation, so that a
// file mixing two generations, cut short or empty is told from a whole one.
#pragma once

#include <cstdio>
#include <string>

namespace rewriter {

constexpr int kIniKeys = 400;
constexpr int kLines = 256;

inline std::string key(int i) {
  char k[16];
  std::snprintf(k, sizeof k, "k%03d", i);
  return k;
}

// Long enough that one file takes many writes in the old, in-place way.
inline std::string value(int generation, int i) {
  return "g" + std::to_string(generation) + "-" + std::to_string(i) + "-" + std::string(48, static_cast<char>('a' + generation % 26));
}

inline std::string ini_text(int generation) {
  std::string s = "[Save]\r\n";
  for (int i = 0; i < kIniKeys; ++i) s += key(i) + "=" + value(generation, i) + "\r\n";
  return s;
}

inline std::string lines_text(int generation) {
  std::string s;
  for (int i = 0; i < kLines; ++i) s += value(generation, i) + "\r\n";
  return s;
}

}  // namespace rewriter
