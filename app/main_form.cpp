#include "app/main_form.h"

#include <array>

#include "app/controls.h"
#include "app/program.h"
#include "app/search.h"

namespace tuvaro {
namespace {

using toolkit::ControlForm;
using toolkit::ControlKind;
using toolkit::EditBorder;
using toolkit::PicturePlacement;

// In stacking order from the top, which is also the order of making.
constexpr std::array<ControlForm, 4> kControls{{
    {
        .name = kBackToSearchButton,
        .kind = ControlKind::kImageButton,
        .left = -11,
        .top = -8,
        .width = 113,
        .height = 55,
        .caption = "返回搜索",
        .picture = {.resource = kBackButtonPicture,
                    .placement = PicturePlacement::kTopLeftClipped,
                    .topLeftColourTransparent = true},
        .flat = true,
        .focusRectangle = false,
        .onClicked = &onBackToSearchClicked,
    },
    {
        .name = kBrowserBox,
        .kind = ControlKind::kBrowserBox,
        .left = 0,
        .top = 0,
        .width = 72,
        .height = 24,
        .textSize = 2,
        .offline = false,
        .silent = true,
        .onNewWindow = &onNewWindowRequested,
    },
    {
        .name = kSearchButton,
        .kind = ControlKind::kPushButton,
        .left = 223,
        .top = 384,
        .width = 119,
        .height = 46,
        .caption = "搜索",
        .captionShown = false,
        .picture = {.resource = kSearchButtonPicture,
                    .placement = PicturePlacement::kCentredClipped},
        .onClicked = &onSearchClicked,
    },
    {
        .name = kSearchWordsBox,
        .kind = ControlKind::kEditBox,
        .left = 122,
        .top = 336,
        .width = 326,
        .height = 26,
        .initialText = kSearchHintUtf8,
        .border = EditBorder::kSunken,
        .singleLine = true,
        .maxLength = 0,
        .hideSelectionUnfocused = true,
        .blackOnWhite = true,
    },
}};

constexpr toolkit::WindowForm kMainWindowForm{
    .outerWidth = 594,
    .outerHeight = 603,
    .storedLeft = 50,
    .storedTop = 50,
    .centred = true,
    .resizable = false,
    .minimisable = true,
    .maximisable = false,
    .shownInTaskBar = true,
    .alwaysOnTop = false,
    .caption = "",
    .background = {.resource = kBackgroundPicture, .placement = PicturePlacement::kCentredShrunk},
    .icon = kProgramIcon,
    .escapeCloses = true,
    .controls = kControls,
    .onCreated = &onMainWindowCreated,
};

}  // namespace

const toolkit::WindowForm& mainWindowForm() { return kMainWindowForm; }

}  // namespace tuvaro
