// The program-wide values: what the exit hook releases, and sharing between threads.
#include "app/program_values.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tuvaro {
namespace {

TEST(ProgramValuesTest, ReleasingTouchesTheThreeTextsOnly) {
  ProgramValues values;
  values.setUpdateInfoUrl(Text("u"));
  values.setDownloadPageUrl(Text("d"));
  values.setScrambledTitle(Text("t"));
  values.setRemoteVersion(2);
  values.setTitleKeyNumber(583217);

  values.releaseTexts();

  EXPECT_EQ(values.updateInfoUrl(), Text());
  EXPECT_EQ(values.downloadPageUrl(), Text());
  EXPECT_EQ(values.scrambledTitle(), Text());
  EXPECT_EQ(values.remoteVersion(), 2);
  EXPECT_EQ(values.titleKeyNumber(), 583217);
}

// Threads write and read the values while the exit hook releases them: a reader sees either a
// whole text that some writer wrote or the empty text, never a torn or freed one.
TEST(ProgramValuesConcurrencyTest, ReadersSeeWholeTextsWhileWritersAndTheHookRun) {
  ProgramValues values;
  const Text a(std::string(200, 'a'));
  const Text b(std::string(300, 'b'));
  std::atomic<bool> bad{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if ((i + t) % 3 == 0) {
          values.setUpdateInfoUrl((i % 2) != 0 ? a : b);
          values.setRemoteVersion(i);
        } else if ((i + t) % 3 == 1) {
          const Text seen = values.updateInfoUrl();
          if (!(seen == a || seen == b || seen.empty())) bad = true;
        } else {
          values.releaseTexts();
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(bad);
}

}  // namespace
}  // namespace tuvaro
