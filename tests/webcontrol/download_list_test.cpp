// The worker's download list with a stand-in for the engine's transfer, which writes where it
// is told as the engine does.
#include "webcontrol/download_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/files.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kivo::test::NamesIn;
using kivo::test::ReadBytes;
using uitWebControl::DownloadList;
using uitWebControl::DownloadReports;
using uitWebControl::DownloadTransfer;

class FakeTransfer final : public DownloadTransfer {
  public:
    void Start(const std::string& path) override { started = path; }
    void Cancel() override { cancelled = true; }
    // The engine writes `bytes` more and tells how far it is.
    void Write(const std::string& bytes) {
        std::ofstream(started, std::ios::binary | std::ios::app) << bytes;
        received += bytes.size();
        if (events)
            events->TransferReceived(*this, received);
    }

    std::string started;
    bool cancelled = false;
    uint64_t received = 0;
};

struct Reported {
    std::vector<std::string> asked;  // "id name tab"
    std::vector<std::pair<int32_t, int32_t>> progress;
    std::vector<std::string> ended;  // "id ok|failed text"
};

DownloadReports Into(Reported& reported) {
    DownloadReports reports;
    reports.Ask = [&](int32_t id, const std::string& name, int32_t tab) {
        reported.asked.push_back(std::to_string(id) + " " + name + " " + std::to_string(tab));
    };
    reports.Progress = [&](int32_t, int32_t received, int32_t expected) {
        reported.progress.emplace_back(received, expected);
    };
    reports.Ended = [&](int32_t id, bool finished, const std::string& text) {
        reported.ended.push_back(std::to_string(id) + (finished ? " ok " : " failed ") + text);
    };
    return reports;
}

class DownloadListTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(folder); }

    // A transfer taken by the list for tab 77 and named by its response.
    std::shared_ptr<FakeTransfer> Begin(const std::string& suggested, uint64_t size) {
        auto transfer = std::make_shared<FakeTransfer>();
        list.Add(transfer, 77);
        transfer->events->TransferNamed(*transfer, suggested, size);
        return transfer;
    }

    kivo::test::TempHome home;
    const std::string folder = home.Path() + "/chosen";
    Reported reported;
    DownloadList list{Into(reported)};
};

TEST_F(DownloadListTest, WritesNothingBeforeTheAnswerAndTheChosenFileOnlyWhenComplete) {
    auto transfer = Begin("../../.bashrc", 8);
    EXPECT_EQ(reported.asked, std::vector<std::string>{"1 bashrc 77"});
    EXPECT_TRUE(transfer->started.empty());
    EXPECT_TRUE(NamesIn(folder).empty());

    const std::string chosen = folder + "/saved.rc";
    list.SaveTo(1, chosen);
    ASSERT_FALSE(transfer->started.empty());
    EXPECT_EQ(fs::path(transfer->started).parent_path(), fs::path(folder));
    transfer->Write("half");
    EXPECT_FALSE(fs::exists(chosen));
    transfer->Write("done");
    transfer->events->TransferFinished(*transfer);

    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"saved.rc"});
    EXPECT_EQ(ReadBytes(chosen), "halfdone");
    EXPECT_EQ(reported.ended, std::vector<std::string>{"1 ok " + chosen});
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(transfer->cancelled);
}

TEST_F(DownloadListTest, AFailureOnTheWayRemovesThePartialFileAndSaysWhy) {
    auto transfer = Begin("game.bin", 1 << 20);
    list.SaveTo(1, folder + "/game.bin");
    transfer->Write(std::string(4096, 'x'));
    // As the engine reports a full disk.
    transfer->events->TransferFailed(*transfer, "无法写入文件：No space left on device");
    EXPECT_TRUE(NamesIn(folder).empty());
    EXPECT_EQ(reported.ended,
              std::vector<std::string>{"1 failed 无法写入文件：No space left on device"});
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(DownloadListTest, TooBigForTheDiskIsRefusedBeforeAnythingIsWritten) {
    auto transfer = Begin("huge.iso", uint64_t{1} << 62);
    list.SaveTo(1, folder + "/huge.iso");
    EXPECT_TRUE(transfer->started.empty());
    EXPECT_TRUE(transfer->cancelled);
    EXPECT_TRUE(NamesIn(folder).empty());
    EXPECT_EQ(reported.ended, std::vector<std::string>{"1 failed 磁盘空间不足"});
}

TEST_F(DownloadListTest, CancelAndUnusableAnswersLeaveNoFile) {
    auto cancelled = Begin("a.bin", 10);
    list.SaveTo(1, "");
    EXPECT_TRUE(cancelled->cancelled);
    EXPECT_TRUE(reported.ended.empty()) << "the user knows already";
    list.SaveTo(1, folder + "/a.bin");  // too late: nothing happens
    EXPECT_TRUE(cancelled->started.empty());

    auto nowhere = Begin("b.bin", 10);
    list.SaveTo(2, home.Path() + "/missing/b.bin");
    EXPECT_TRUE(nowhere->cancelled);
    ASSERT_EQ(reported.ended.size(), 1u);
    EXPECT_TRUE(reported.ended[0].starts_with("2 failed ")) << reported.ended[0];

    list.SaveTo(99, folder + "/c.bin");  // no such download
    EXPECT_TRUE(NamesIn(folder).empty());
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(DownloadListTest, ProgressIsReportedOncePerPercentOrMebibyte) {
    auto known = Begin("k.bin", 1000);
    list.SaveTo(1, folder + "/k.bin");
    for (int i = 0; i < 100; ++i) known->Write("xxxx");  // 4 bytes: 0.4 % each
    EXPECT_EQ(reported.progress.size(), 41u);            // 0 % to 40 %

    reported.progress.clear();
    auto unknown = Begin("u.bin", 0);
    list.SaveTo(2, folder + "/u.bin");
    for (int i = 0; i < 10; ++i) unknown->Write(std::string(300 * 1024, 'y'));
    ASSERT_FALSE(reported.progress.empty());
    EXPECT_LE(reported.progress.size(), 3u);
    EXPECT_EQ(reported.progress.back().second, 0) << "no expected size";
}

TEST_F(DownloadListTest, EndingTheListCancelsWhatRunsAndRemovesItsFiles) {
    auto transfer = std::make_shared<FakeTransfer>();
    {
        DownloadList own(Into(reported));
        own.Add(transfer, 1);
        transfer->events->TransferNamed(*transfer, "x.bin", 0);
        own.SaveTo(1, folder + "/x.bin");
        transfer->Write("part");
    }
    EXPECT_TRUE(transfer->cancelled);
    EXPECT_TRUE(NamesIn(folder).empty());
}

}  // namespace
