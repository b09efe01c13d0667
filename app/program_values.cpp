#include "app/program_values.h"

namespace tuvaro {

Text ProgramValues::updateInfoUrl() const {
  std::lock_guard lock(mutex_);
  return updateInfoUrl_;
}

void ProgramValues::setUpdateInfoUrl(const Text& value) {
  std::lock_guard lock(mutex_);
  updateInfoUrl_ = value;
}

Text ProgramValues::downloadPageUrl() const {
  std::lock_guard lock(mutex_);
  return downloadPageUrl_;
}

void ProgramValues::setDownloadPageUrl(const Text& value) {
  std::lock_guard lock(mutex_);
  downloadPageUrl_ = value;
}

Text ProgramValues::scrambledTitle() const {
  std::lock_guard lock(mutex_);
  return scrambledTitle_;
}

void ProgramValues::setScrambledTitle(const Text& value) {
  std::lock_guard lock(mutex_);
  scrambledTitle_ = value;
}

std::int32_t ProgramValues::remoteVersion() const {
  std::lock_guard lock(mutex_);
  return remoteVersion_;
}

void ProgramValues::setRemoteVersion(std::int32_t value) {
  std::lock_guard lock(mutex_);
  remoteVersion_ = value;
}

std::int32_t ProgramValues::titleKeyNumber() const {
  std::lock_guard lock(mutex_);
  return titleKeyNumber_;
}

void ProgramValues::setTitleKeyNumber(std::int32_t value) {
  std::lock_guard lock(mutex_);
  titleKeyNumber_ = value;
}

void ProgramValues::releaseTexts() {
  std::lock_guard lock(mutex_);
  updateInfoUrl_ = Text();
  downloadPageUrl_ = Text();
  scrambledTitle_ = Text();
}

ProgramValues& programValues() {
  // Never destroyed: update-check threads may still read it while the process ends.
  static ProgramValues* const values = new ProgramValues;
  return *values;
}

}  // namespace tuvaro
