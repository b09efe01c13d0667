// The update check against a real loopback server, on the headless toolkit: what version each
// page reads as, when the user is told, and which address the browser is handed.
#include "app/update_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "app/program_values.h"
#include "app/scramble_keys.h"
#include "app/toolkit/headless/headless_toolkit.h"
#include "tests/http/loopback_server.h"
#include "text/codepage.h"
#include "tools/scrambler.h"

namespace tuvaro {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using toolkit::HeadlessToolkit;

constexpr double kKeyNumber = 7315946.0;

// Scrambled addresses of a check, and the texts that keep them alive.
struct CheckAddresses {
  std::string updateInfoUrl, downloadPageUrl;
  std::string scrambledUpdateInfoUrl, scrambledDownloadPageUrl;
  UpdateCheckValues values() const {
    return {scrambledUpdateInfoUrl, scrambledDownloadPageUrl, kKeyNumber};
  }
};

CheckAddresses addressesFor(const std::string& updateInfoUrl, const std::string& downloadPageUrl) {
  const std::string key = keyTextOf(kKeyNumber);
  return {updateInfoUrl, downloadPageUrl, scrambleText(updateInfoUrl, key).str(),
          scrambleText(downloadPageUrl, key).str()};
}

Reply pageReply(const std::string& body) {
  return {
      testing::rawResponse("HTTP/1.1 200 OK",
                           {"Content-Type: text/html",
                            "Content-Length: " + std::to_string(body.size()), "Connection: close"},
                           body)};
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { toolkit::installToolkit(&toolkit_); }
  void TearDown() override {
    toolkit_.joinThreads();
    toolkit::installToolkit(nullptr);
    programValues().setRemoteVersion(0);
    releaseGlobals();
  }

  std::vector<HeadlessToolkit::Operation> announcements() const {
    std::vector<HeadlessToolkit::Operation> shown;
    for (const auto& operation : toolkit_.operations()) {
      if (operation.name == "messageBox" || operation.name == "openAddress") {
        shown.push_back(operation);
      }
    }
    return shown;
  }

  HeadlessToolkit toolkit_;
};

TEST_F(UpdateCheckTest, VersionTable) {
  const struct {
    std::string page;
    std::int32_t version;
    const char* why;
  } cases[] = {
      {"<p>ruanjianbanben2jieshu</p>", 2, "plain"},
      {"ruanjianbanben 2 jieshu", 2, "leading white space skipped"},
      {"ruanjianbanben2.9jieshu", 2, "truncated, not rounded"},
      {"ruanjianbanben02jieshu", 2, "leading zero"},
      {"ruanjianbanben\xA3\xB2jieshu", 2, "the full-width two"},
      {"RuanJianBanBen2JieShu", 2, "markers in any letter case"},
      {"ruanjianbanben3jieshu", 3, "a later version announces nothing"},
      {"ruanjianbanben1jieshu", 1, "the running version"},
      {"ruanjianbanbenv2jieshu", 0, "no leading number"},
      {"ruanjianbanben1jieshu ruanjianbanben2jieshu", 1, "the first pair counts"},
      {"", 0, "an empty page"},
      {"ruanjianbanben2", 0, "no end marker"},
      {"ruanjianbanben4294967298jieshu", 2, "the low 32 bits are kept"},
  };
  std::string page;
  LoopbackServer server([&](const RecordedRequest&) { return pageReply(page); });
  const CheckAddresses addresses =
      addressesFor(server.origin() + "/update", server.origin() + "/download");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    page = c.page;
    const std::size_t before = announcements().size();
    checkForUpdate(addresses.values());
    EXPECT_EQ(programValues().remoteVersion(), c.version);
    EXPECT_EQ(announcements().size(), before + (c.version == 2 ? 2 : 0));
  }
  EXPECT_EQ(server.requests().size(), std::size(cases));
  EXPECT_EQ(server.requests().front().requestLine, "GET /update HTTP/1.1");
}

TEST_F(UpdateCheckTest, AnnouncesThenOpensTheDownloadPage) {
  LoopbackServer server([](const RecordedRequest&) { return pageReply("ruanjianbanben2jieshu"); });
  const CheckAddresses addresses =
      addressesFor(server.origin() + "/update", server.origin() + "/download");
  checkForUpdate(addresses.values());

  const auto shown = announcements();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].name, "messageBox");
  EXPECT_EQ(
      textToUtf8(shown[0].value.view()),
      "新版本更新：1.加强搜索能力，2.整合数万最新种子，3.优化界面，4.更新线程，5.加快搜索速度");
  EXPECT_EQ(textToUtf8(shown[0].title.view()), "新版本更新");
  EXPECT_EQ(shown[0].number, toolkit::kMessageBoxOk);
  EXPECT_EQ(shown[1].name, "openAddress");
  EXPECT_EQ(shown[1].value.str(), addresses.downloadPageUrl);
  EXPECT_EQ(programValues().updateInfoUrl().str(), addresses.updateInfoUrl);
  EXPECT_EQ(programValues().downloadPageUrl().str(), addresses.downloadPageUrl);
}

TEST_F(UpdateCheckTest, DownloadAddressThatDoesNotDecodeStillAnnounces) {
  LoopbackServer server([](const RecordedRequest&) { return pageReply("ruanjianbanben2jieshu"); });
  CheckAddresses addresses = addressesFor(server.origin() + "/update", "unused");
  addresses.scrambledDownloadPageUrl = "00";  // too short for a check tail: decodes empty
  checkForUpdate(addresses.values());
  const auto shown = announcements();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].name, "openAddress");
  EXPECT_TRUE(shown[1].value.empty());
}

TEST_F(UpdateCheckTest, NoServerReadsAsZero) {
  std::string origin;
  {
    LoopbackServer gone([](const RecordedRequest&) { return Reply{}; });
    origin = gone.origin();
  }  // nothing listens on its port any more
  programValues().setRemoteVersion(7);
  const CheckAddresses addresses = addressesFor(origin + "/update", origin + "/download");
  checkForUpdate(addresses.values());
  EXPECT_EQ(programValues().remoteVersion(), 0);
  EXPECT_TRUE(announcements().empty());
}

TEST_F(UpdateCheckTest, EverySearchStartsOneCheckOnItsOwnThread) {
  const UpdateCheckValues nothing{"", "", kKeyNumber};
  setUpdateCheckValuesForTesting(&nothing);
  startUpdateCheck();
  startUpdateCheck();
  toolkit_.joinThreads();
  setUpdateCheckValuesForTesting(nullptr);
  int started = 0;
  for (const auto& operation : toolkit_.operations()) started += operation.name == "startThread";
  EXPECT_EQ(started, 2);
  EXPECT_TRUE(programValues().updateInfoUrl().empty()) << "nothing decodes from an empty text";
}

// Many checks at once against a slow server while the exit hook releases the shared texts:
// every check fetches the address it decoded itself and opens the download page it decoded.
TEST_F(UpdateCheckTest, ConcurrentChecksAndTheExitHookKeepTheirOwnTexts) {
  constexpr int kChecks = 200;
  LoopbackServer server([](const RecordedRequest&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return pageReply("ruanjianbanben2jieshu");
  });
  std::vector<CheckAddresses> addresses;
  for (int i = 0; i < kChecks; ++i) {
    addresses.push_back(addressesFor(server.origin() + "/update/" + std::to_string(i),
                                     server.origin() + "/download/" + std::to_string(i)));
  }
  std::atomic<bool> checking{true};
  std::thread exitHook([&] {
    while (checking) {
      releaseGlobals();
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> checks;
  for (const auto& a : addresses) checks.emplace_back([&a] { checkForUpdate(a.values()); });
  for (auto& check : checks) check.join();
  checking = false;
  exitHook.join();

  std::multiset<std::string> fetched;
  for (const auto& request : server.requests()) fetched.insert(request.requestLine);
  std::multiset<std::string> opened;
  for (const auto& operation : announcements()) {
    if (operation.name == "openAddress") opened.insert(operation.value.str());
  }
  std::multiset<std::string> expectedFetched, expectedOpened;
  for (const auto& a : addresses) {
    expectedFetched.insert("GET " + a.updateInfoUrl.substr(server.origin().size()) + " HTTP/1.1");
    expectedOpened.insert(a.downloadPageUrl);
  }
  EXPECT_EQ(fetched, expectedFetched);
  EXPECT_EQ(opened, expectedOpened);
}

}  // namespace
}  // namespace tuvaro
