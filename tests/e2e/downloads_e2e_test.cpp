// Downloads driven from outside: the local server offers files as attachments; the user answers
// the file chooser. What is checked is where the bytes land (only where the user said, never
// where the server's name points), what the status bar says, and that a cancel or a failure
// leaves no file behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "tests/support/files.h"
#include "session/tab_rules.h"
#include "webcontrol/page_gates.h"

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;
using kivo::test::NamesIn;
using kivo::test::ReadBytes;

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

// Every file below `folder` of exactly `size` bytes.
std::vector<std::string> FilesOfSize(const std::string& folder, uintmax_t size) {
    std::vector<std::string> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && it->file_size(error) == size)
            found.push_back(it->path().string());
    }
    return found;
}

// A desktop whose download folder is `folder`.
void SetDownloadFolder(const std::string& home, const std::string& folder) {
    fs::create_directories(folder);
    WriteFile(home + "/config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + folder + "\"\n");
}

// The status bar's word on downloads that begins with `start`, empty while there is none.
std::string DownloadText(const UiDriver& ui, const std::string& start) {
    for (const Element& e : ui.FindAll([&](const Element& e) {
             return e.Role() == ATSPI_ROLE_LABEL && e.Name().starts_with(start);
         }))
        return e.Name();
    return "";
}

std::string WaitForDownloadText(const UiDriver& ui, const std::string& start) {
    std::string text;
    WaitUntil([&] { return !(text = DownloadText(ui, start)).empty(); }, 60s);
    return text;
}

void WaitForStartPage(const UiDriver& ui) {
    WaitUntil([&] {
        const auto names = ui.TabNames();
        return !names.empty() && names.front() != "载入中";
    });
}

// Goes to a download's address and waits for the chooser; its name box, empty when none came.
// The start page may take the address box back under the typing: the address is typed again
// as long as the server has not been asked for it.
Element BeginDownload(ProgramUnderTest& program, const UiDriver& ui, const std::string& path) {
    const size_t asked_before = program.Server().RequestsTo("/download").size();
    const auto asked = [&] {
        return program.Server().RequestsTo("/download").size() > asked_before;
    };
    for (int attempt = 0; attempt < 3 && !asked(); ++attempt) {
        Go(ui, program.Server().Url(path));
        WaitUntil(asked, 20s);
    }
    if (!ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存", 60s))
        return {};
    return NameBoxOfSaveDialog(ui);
}

// Presses a button of the chooser until the chooser has gone; a click the name box's
// completion pop-up takes is made again.
void PressChooserButton(const UiDriver& ui, const std::string& caption) {
    const Element button = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, caption);
    ASSERT_TRUE(button) << caption;
    for (int attempt = 0; attempt < 3 && button.Showing(); ++attempt) {
        Click(button);
        WaitUntil([&] { return !button.Showing(); }, 10s);
    }
    ASSERT_FALSE(button.Showing()) << "the chooser did not take " << caption;
}

// Starts the program with the user's download folder set to `name` in its home; that folder.
std::string StartWithDownloadFolder(ProgramUnderTest& program, const std::string& name) {
    const std::string downloads = program.Home() + "/" + name;
    SetDownloadFolder(program.Home(), downloads);
    program.Start();
    return downloads;
}

TEST(DownloadsE2E, SavedExactlyWhereTheUserSaidAndNeverWhereTheServersNamePoints) {
    ProgramUnderTest program(ProgramOptions{.start = false});
    const std::string downloads = StartWithDownloadFolder(program, "下载");
    UiDriver ui(program.Pid());
    WaitForStartPage(ui);

    // The server's name leads out of any folder: the chooser offers it as a plain visible name
    // in the user's download folder, and saving puts it there and nowhere else.
    constexpr uintmax_t kSize = 200'003;
    Element name_box = BeginDownload(program, ui, "/download?name=../../.bashrc&size=200003");
    ASSERT_TRUE(name_box) << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return name_box.Text() == "bashrc"; }, 10s)) << name_box.Text();
    PressChooserButton(ui, "保存");
    const std::string saved = downloads + "/bashrc";
    EXPECT_EQ(WaitForDownloadText(ui, "下载完成："), "下载完成：" + saved) << program.Output();
    EXPECT_EQ(NamesIn(downloads), std::vector<std::string>{"bashrc"});
    EXPECT_EQ(ReadBytes(saved), kivo::test::DownloadBytes(kSize));
    EXPECT_FALSE(fs::exists(program.Home() + "/.bashrc"));
    EXPECT_FALSE(fs::exists(fs::path(program.Home()).parent_path() / ".bashrc"));
    EXPECT_EQ(FilesOfSize(program.Home(), kSize), std::vector<std::string>{saved});

    // A name and folder the user types: the file lands exactly there.
    constexpr uintmax_t kOtherSize = 300'007;
    const std::string chosen = program.Home() + "/chosen/mine.dat";
    fs::create_directories(program.Home() + "/chosen");
    name_box = BeginDownload(program, ui, "/download?name=report.dat&size=300007");
    ASSERT_TRUE(name_box);
    EXPECT_TRUE(WaitUntil([&] { return name_box.Text() == "report.dat"; }, 10s)) << name_box.Text();
    Click(name_box);
    ASSERT_TRUE(WaitUntil([&] { return name_box.Has(ATSPI_STATE_FOCUSED); }, 10s));
    PressKeys("ctrl+a");
    TypeText(chosen);
    ASSERT_TRUE(WaitUntil([&] { return name_box.Text() == chosen; }, 10s)) << name_box.Text();
    PressChooserButton(ui, "保存");
    EXPECT_EQ(WaitForDownloadText(ui, "下载完成：" + chosen), "下载完成：" + chosen);
    EXPECT_EQ(ReadBytes(chosen), kivo::test::DownloadBytes(kOtherSize));
    EXPECT_EQ(NamesIn(program.Home() + "/chosen"), std::vector<std::string>{"mine.dat"});
    EXPECT_EQ(NamesIn(downloads), std::vector<std::string>{"bashrc"});
    EXPECT_EQ(FilesOfSize(program.Home(), kOtherSize), std::vector<std::string>{chosen});
}

TEST(DownloadsE2E, CancelADroppedConnectionAndAFullDiskLeaveNoFile) {
    ProgramUnderTest program(ProgramOptions{.start = false});
    const std::string downloads = StartWithDownloadFolder(program, "Downloads");
    UiDriver ui(program.Pid());
    WaitForStartPage(ui);

    // A file the server does not call an attachment, of a type no page shows, is a download
    // too; it is named after its address.
    const Element name_box = BeginDownload(program, ui, "/download?mode=plain&size=5000");
    ASSERT_TRUE(name_box) << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return name_box.Text() == "download"; }, 10s)) << name_box.Text();
    PressChooserButton(ui, "取消");
    EXPECT_EQ(WaitForDownloadText(ui, "下载已取消："), "下载已取消：download");

    // The server stops half way: what came is removed.
    ASSERT_TRUE(BeginDownload(program, ui, "/download?name=cut.bin&size=4000000&mode=cut"));
    PressChooserButton(ui, "保存");
    const std::string cut = WaitForDownloadText(ui, "下载失败：cut.bin");
    EXPECT_TRUE(cut.starts_with("下载失败：cut.bin（连接中断")) << cut;
    EXPECT_TRUE(NamesIn(downloads).empty()) << ::testing::PrintToString(NamesIn(downloads));

    // 10 TB does not fit on this disk: refused before anything is written.
    ASSERT_TRUE(BeginDownload(program, ui, "/download?name=huge.bin&mode=huge"));
    PressChooserButton(ui, "保存");
    EXPECT_EQ(WaitForDownloadText(ui, "下载失败：huge.bin"), "下载失败：huge.bin（磁盘空间不足）");
    EXPECT_TRUE(NamesIn(downloads).empty()) << ::testing::PrintToString(NamesIn(downloads));
    EXPECT_TRUE(DownloadText(ui, "下载完成：").empty());
}

// The worker that started since `before`.
pid_t NewWorker(ProgramUnderTest& program, const std::vector<pid_t>& before) {
    pid_t found = -1;
    WaitUntil([&] {
        for (pid_t pid : program.Workers())
            if (std::find(before.begin(), before.end(), pid) == before.end()) found = pid;
        return found > 0;
    });
    return found;
}

size_t ChoosersShowing(const UiDriver& ui) {
    return ui.FindAll([](const Element& e) {
                 return e.Role() == ATSPI_ROLE_PUSH_BUTTON && e.Name() == "保存" && e.Showing();
             }).size();
}

// The page of a new tab starts two downloads by itself; the user answers the question its
// worker asks about the second with `answer`.
pid_t OpenTwoDownloads(ProgramUnderTest& program, const UiDriver& ui, const std::string& answer) {
    const auto before = program.Workers();
    Go(ui, program.Server().Url("/two-downloads"));
    const pid_t worker = NewWorker(program, before);
    EXPECT_GT(worker, 0);
    const UiDriver question(worker);
    const Element button = question.WaitFor(ATSPI_ROLE_PUSH_BUTTON, answer, 60s);
    EXPECT_TRUE(button) << "no question about the second download\n" << Tree(question.App());
    if (!button)
        return worker;
    EXPECT_TRUE(WaitForShowing(question, kivo::kMultipleDownloadsQuestion));
    Click(button);
    EXPECT_TRUE(question.WaitGone(ATSPI_ROLE_PUSH_BUTTON, answer));
    return worker;
}

TEST(DownloadsE2E, APageDownloadingByItselfAsksOnceAndChoosersOpenOneAtATime) {
    ProgramUnderTest program(ProgramOptions{.start = false});
    const std::string downloads = StartWithDownloadFolder(program, "Downloads");
    UiDriver ui(program.Pid());
    WaitForStartPage(ui);

    // Allowed: both come, the second chooser only once the first is answered.
    OpenTwoDownloads(program, ui, "允许");
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存", 60s)) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return program.Server().RequestsTo("/download").size() == 2; }));
    kivo::test::PumpFor(2s);  // room for a second chooser to come too soon
    EXPECT_EQ(ChoosersShowing(ui), 1u);
    Element name_box = NameBoxOfSaveDialog(ui);
    ASSERT_TRUE(name_box);
    EXPECT_TRUE(WaitUntil([&] { return name_box.Text() == "first.bin"; }, 10s)) << name_box.Text();
    PressChooserButton(ui, "保存");
    ASSERT_TRUE(WaitUntil([&] { return ChoosersShowing(ui) == 1; }, 60s));
    name_box = NameBoxOfSaveDialog(ui);
    EXPECT_TRUE(WaitUntil([&] { return name_box.Text() == "second.bin"; }, 10s)) << name_box.Text();
    PressChooserButton(ui, "保存");
    // Both files complete: their partial files are renamed, not merely there.
    const std::vector<std::string> both{"first.bin", "second.bin"};
    EXPECT_TRUE(WaitUntil([&] { return NamesIn(downloads) == both; }, 60s))
        << ::testing::PrintToString(NamesIn(downloads));

    // Refused: the first one still asks for its file, the second never does.
    OpenTwoDownloads(program, ui, "阻止");
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存", 60s));
    PressChooserButton(ui, "取消");
    kivo::test::PumpFor(2s);  // room for a chooser that should not come
    EXPECT_EQ(ChoosersShowing(ui), 0u);
    EXPECT_EQ(NamesIn(downloads), (std::vector<std::string>{"first.bin", "second.bin"}));
}

TEST(DownloadsE2E, ClosingARunningDownloadsTabAsksAndAKilledWorkersPartialFileGoesAtTheNextStart) {
    ProgramUnderTest program(ProgramOptions{.start = false});
    const std::string downloads = StartWithDownloadFolder(program, "Downloads");
    {
        UiDriver ui(program.Pid());
        WaitForStartPage(ui);
        ASSERT_TRUE(BeginDownload(program, ui, "/download?name=slow.bin&size=4000000&mode=slow"));
        PressChooserButton(ui, "保存");
        ASSERT_FALSE(WaitForDownloadText(ui, "下载中").empty()) << program.Output();

        // "否" keeps the tab and its download; "是" closes it and says the download is over.
        const auto close = [&](const std::string& answer) {
            const auto tabs = Tabs(ui);
            ASSERT_EQ(tabs.size(), 2u);
            Activate(tabs[1]);
            ClickCloseButton(tabs[1]);
            ASSERT_TRUE(WaitForShowing(ui, kivo::kCloseWhileDownloadingQuestion))
                << "the tab closed unasked";
            Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, answer));
        };
        close("否");
        EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, kivo::kCloseWhileDownloadingQuestion); }));
        EXPECT_EQ(ui.TabNames().size(), 2u);
        EXPECT_FALSE(DownloadText(ui, "下载中").empty());
        close("是");
        EXPECT_EQ(WaitForDownloadText(ui, "下载已取消："), "下载已取消：slow.bin");
        EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; }));
        EXPECT_TRUE(WaitUntil([&] { return NamesIn(downloads).empty(); }, 60s))
            << ::testing::PrintToString(NamesIn(downloads));

        // A worker killed in the middle of a download cannot remove its partial file.
        const auto before = program.Workers();
        ASSERT_TRUE(BeginDownload(program, ui, "/download?name=killed.bin&size=4000000&mode=slow"));
        const pid_t worker = NewWorker(program, before);
        PressChooserButton(ui, "保存");
        ASSERT_FALSE(WaitForDownloadText(ui, "下载中").empty());
        // The partial file, and the engine's own file beside it while it writes.
        ASSERT_TRUE(WaitUntil([&] {
            const auto names = NamesIn(downloads);
            return std::any_of(names.begin(), names.end(), [](const std::string& name) {
                return name.starts_with(".killed.bin.") && name.ends_with(".part");
            });
        })) << ::testing::PrintToString(NamesIn(downloads));
        ASSERT_GT(worker, 0);
        kill(worker, SIGKILL);
    }
    kill(program.Pid(), SIGKILL);
    ASSERT_TRUE(program.WaitForEnd(30s).has_value());
    // The engine's network process outlives the worker and may remove its own file once it sees
    // the worker gone, so what is left here varies; whatever it is must go at the next start.

    // The next start removes it.
    program.Start();
    UiDriver ui(program.Pid());
    EXPECT_TRUE(WaitUntil([&] { return NamesIn(downloads).empty(); }, 60s))
        << ::testing::PrintToString(NamesIn(downloads));
}

}  // namespace
