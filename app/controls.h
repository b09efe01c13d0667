// The form names of the main window's controls.
#pragma once

#include <string_view>

namespace tuvaro {

inline constexpr std::string_view kBackToSearchButton = "超级按钮1";  // image button
inline constexpr std::string_view kBrowserBox = "超文本浏览框1";      // web-browser box
inline constexpr std::string_view kSearchButton = "按钮1";            // push button
inline constexpr std::string_view kSearchWordsBox = "编辑框1";        // edit box

}  // namespace tuvaro
