#include "app/update_check.h"

#include <atomic>

#include "app/build_settings.h"
#include "app/program_values.h"
#include "app/scramble_keys.h"
#include "app/toolkit/toolkit.h"
#include "http/http_request.h"
#include "text/codepage.h"
#include "text/scrambled_text.h"
#include "text/text_between.h"

namespace tuvaro {
namespace {

std::atomic<const UpdateCheckValues*> valuesForTesting{nullptr};

const UpdateCheckValues& currentValues() {
  const UpdateCheckValues* values = valuesForTesting.load();
  return values ? *values : builtInUpdateCheckValues();
}

// The key is made anew for each decode, from the number as it is held.
Text decodeAddress(std::string_view scrambled, double keyNumber) {
  const std::string key = keyTextOf(keyNumber);
  return unscrambleText(scrambled, key);
}

}  // namespace

const UpdateCheckValues& builtInUpdateCheckValues() {
  static const UpdateCheckValues values{kScrambledUpdateInfoUrl, kScrambledDownloadPageUrl,
                                        kUpdateKeyNumber};
  return values;
}

void setUpdateCheckValuesForTesting(const UpdateCheckValues* values) {
  valuesForTesting.store(values);
}

void startUpdateCheck() { toolkit::currentToolkit().startThread(updateCheckThread); }

void updateCheckThread() { checkForUpdate(); }

void checkForUpdate() { checkForUpdate(currentValues()); }

void checkForUpdate(const UpdateCheckValues& fixed) {
  ProgramValues& shared = programValues();

  const Text updateInfoUrl = decodeAddress(fixed.scrambledUpdateInfoUrl, fixed.keyNumber);
  shared.setUpdateInfoUrl(updateInfoUrl);
  const Text downloadPageUrl = decodeAddress(fixed.scrambledDownloadPageUrl, fixed.keyNumber);
  shared.setDownloadPageUrl(downloadPageUrl);

  const Text version = [&] {
    const Text page = httpRequest(updateInfoUrl);
    return textBetween(page.view(), "ruanjianbanben", "jieshu", 1);
  }();
  // Full-width digits count, the number is truncated toward zero, and the low 32 bits are kept.
  const std::int32_t remoteVersion = low32Bits(textToTruncatedInteger(version.view()));
  shared.setRemoteVersion(remoteVersion);
  if (remoteVersion != kAnnouncedVersion) return;

  toolkit::Toolkit& toolkit = toolkit::currentToolkit();
  toolkit.messageBox(
      TUVARO_CP936(
          "新版本更新：1.加强搜索能力，2.整合数万最新种子，3.优化界面，4.更新线程，5.加快搜索速度"),
      toolkit::kMessageBoxOk, TUVARO_CP936("新版本更新"));
  toolkit.openAddress(downloadPageUrl);
}

}  // namespace tuvaro
