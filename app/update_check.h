// The update check that every search click starts on a thread of its own: it decodes the
// addresses of the update-information page and of the download page, fetches the page, reads
// the version between the words "ruanjianbanben" and "jieshu", and when it is exactly 2 tells
// the user and then opens the download page in the default browser. Nothing waits for it and
// nothing is reported back; a check that fails on the way ends silently.
#pragma once

#include <cstdint>
#include <string_view>

namespace tuvaro {

// Starts one check on a new, detached thread through the toolkit (the last step of a search).
void startUpdateCheck();

// The thread's body: runs checkForUpdate and ends.
void updateCheckThread();

// The fixed values a check uses.
struct UpdateCheckValues {
  std::string_view scrambledUpdateInfoUrl;
  std::string_view scrambledDownloadPageUrl;
  double keyNumber;  // the key is its "%.13g" text
};

// One check, on the built-in values (or those a test has put in their place). Each check works
// on the texts it decoded itself; the program-wide values only receive copies, under their
// lock, so another check or the exit hook replacing or releasing them never pulls a text from
// under this one.
void checkForUpdate();
// The same on the given values.
void checkForUpdate(const UpdateCheckValues& fixed);

// The built-in values, unless a test has put others in their place.
const UpdateCheckValues& builtInUpdateCheckValues();
void setUpdateCheckValuesForTesting(const UpdateCheckValues* values);  // nullptr: built-in

// The version that announces an update.
inline constexpr std::int32_t kAnnouncedVersion = 2;

}  // namespace tuvaro
