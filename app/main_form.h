// The main window's form: the window's settings and its four controls, as data.
#pragma once

#include "app/toolkit/form.h"

namespace tuvaro {

// Picture resource names, as the program's resources carry them.
inline constexpr std::string_view kBackgroundPicture = "background.jpg";       // 800 x 782
inline constexpr std::string_view kBackButtonPicture = "back_button.jpg";      // 297 x 180
inline constexpr std::string_view kSearchButtonPicture = "search_button.jpg";  // 159 x 59
inline constexpr std::string_view kProgramIcon = "icon.png";                   // 250 x 250

// The initial content of the search-words box, a hint for the user.
inline constexpr std::string_view kSearchHintUtf8 =
    "点击搜索后，请往下拉，如果出现空白，多搜索几次";

const toolkit::WindowForm& mainWindowForm();

}  // namespace tuvaro
