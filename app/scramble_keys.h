// The numbers from which the keys of the program's scrambled texts are made. The build-time
// generator scrambles with these same keys, so the two can never disagree.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tuvaro {

// The window title's key is the decimal text of this number.
inline constexpr std::int32_t kTitleKeyNumber = 583217;
// The update addresses' key is the "%.13g" text of this number.
inline constexpr double kUpdateKeyNumber = 7315946.0;

inline std::string keyTextOf(std::int32_t number) { return std::to_string(number); }

inline std::string keyTextOf(double number) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%.13g", number);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace tuvaro
