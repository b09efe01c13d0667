// The program-wide values. The user-interface thread and the update-check threads share them,
// so every access goes through one lock, and a reader gets its own copy of a text: no text is
// used after the exit hook has released it.
#pragma once

#include <cstdint>
#include <mutex>

#include "text/text.h"

namespace tuvaro {

class ProgramValues {
 public:
  Text updateInfoUrl() const;
  void setUpdateInfoUrl(const Text& value);
  Text downloadPageUrl() const;
  void setDownloadPageUrl(const Text& value);
  Text scrambledTitle() const;
  void setScrambledTitle(const Text& value);
  std::int32_t remoteVersion() const;
  void setRemoteVersion(std::int32_t value);
  std::int32_t titleKeyNumber() const;
  void setTitleKeyNumber(std::int32_t value);

  // Releases updateInfoUrl, downloadPageUrl and scrambledTitle, in this order; the two numbers
  // stay as they are.
  void releaseTexts();

 private:
  mutable std::mutex mutex_;
  Text updateInfoUrl_;
  Text downloadPageUrl_;
  Text scrambledTitle_;
  std::int32_t remoteVersion_ = 0;
  std::int32_t titleKeyNumber_ = 0;
};

// The one set of program-wide values.
ProgramValues& programValues();

}  // namespace tuvaro
