// A window and its controls described as data: every setting that a toolkit backend needs in
// order to make them. The program states its main window as one constant WindowForm; each
// backend builds it. Texts in a form are UTF-8, as the source files are written; a backend
// turns them into the program's code-page-936 Text where the program reads them back.
#pragma once

#include <span>
#include <string_view>

#include "app/toolkit/toolkit.h"

namespace tuvaro::toolkit {

// The main window has no form name of its own; the program addresses it by the empty name.
inline constexpr std::string_view kMainWindow = "";

enum class ControlKind { kEditBox, kPushButton, kImageButton, kBrowserBox };

// How a picture sits on its control or window.
enum class PicturePlacement {
  kNone,
  kTopLeftClipped,  // at its own size, top-left corner on the control's, cut at the edges
  kCentredClipped,  // at its own size, centred, cut at the edges
  kCentredShrunk,   // centred; shrunk to fit with proportions kept, never enlarged
};

// A picture carried in the program's own resources, by its resource name.
struct Picture {
  std::string_view resource{};  // e.g. "background.jpg"; empty for none
  PicturePlacement placement = PicturePlacement::kNone;
  // Pixels of the colour of the picture's own top-left pixel let the background show through.
  bool topLeftColourTransparent = false;
};

enum class EditBorder { kNone, kSunken };

struct ControlForm {
  std::string_view name{};
  ControlKind kind = ControlKind::kEditBox;
  int left = 0;  // pixels from the client area's top-left corner; may be negative
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  bool enabled = true;

  // Buttons: the caption, drawn centred unless `captionShown` is false, in which case it is
  // the button's accessible name only (its face is the picture).
  std::string_view caption{};
  bool captionShown = true;
  Picture picture{};
  bool flat = false;  // no raised edges; a thin border while hovered or pressed
  bool focusRectangle = true;
  bool defaultButton = false;  // Enter presses it

  // Edit box.
  std::string_view initialText{};
  EditBorder border = EditBorder::kNone;
  bool singleLine = true;  // one line that scrolls sideways
  int maxLength = 0;       // 0: no limit
  bool hideSelectionUnfocused = true;
  bool blackOnWhite = false;

  // Browser box.
  int textSize = 2;      // 0 (smallest) to 4 (largest)
  bool offline = false;  // true: from the cache alone
  bool silent = false;   // no dialog boxes of the browser's own

  EventHandler onClicked = nullptr;        // buttons: event 0
  AnsweringHandler onNewWindow = nullptr;  // browser box: event 9
};

struct WindowForm {
  int outerWidth = 0;  // frame and title bar included
  int outerHeight = 0;
  int storedLeft = 0;  // the stored position, which centring replaces
  int storedTop = 0;
  bool centred = true;  // left = (screen width - outer width) / 2, top likewise
  bool resizable = false;
  bool minimisable = true;
  bool maximisable = false;
  bool shownInTaskBar = true;
  bool alwaysOnTop = false;
  std::string_view caption{};
  Picture background{};
  std::string_view icon{};   // resource name of the program icon
  bool escapeCloses = true;  // unless the focused control takes the key
  // The controls in their stacking order from the top, which is also the order of making.
  std::span<const ControlForm> controls{};
  EventHandler onCreated = nullptr;  // event 0, inside loadWindow
};

// The control of `form` named `name`, or nullptr.
constexpr const ControlForm* findControl(const WindowForm& form, std::string_view name) {
  for (const ControlForm& control : form.controls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

}  // namespace tuvaro::toolkit
