// The tab strip of the real main window, with real workers and a local web server.
#include <gtest/gtest.h>
#include <gtkmm.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/identity.h"
#include "data/database.h"
#include "data/statements.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "ui/dialogs/frm_input.h"
#include "ui/frm_mult_open_app.h"
#include "ui/dialogs/message_box.h"
#include "session/tab_rules.h"
#include "platform/typed_urls.h"
#include "ui/window_frame.h"
#include "webcontrol/registration.h"

// After the headers above: the X11 ones define short macro names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;
using kivo::N_TRzTabSheet;
using kivo::TFrmMultOpenApp;
using kivo::TWebControl;

TEST(TabRules, CaptionsKeepTheFirstPrefixWiderThanTheLimit) {
    // Every character 10 pixels wide: the limit at width 130 is 60 pixels.
    auto width = [](const std::string& text) {
        return static_cast<int>(kivo::Utf8ToUtf16(text).size()) * 10;
    };
    EXPECT_EQ(kivo::FitTabCaptionText("abcdefghij", 130, width), "abcdefg..");
    EXPECT_EQ(kivo::FitTabCaptionText("网页游戏专用多开浏览器", 130, width), "网页游戏专用多..");
    EXPECT_EQ(kivo::FitTabCaptionText("abcdef", 130, width), "abcdef");
    EXPECT_EQ(kivo::FitTabCaptionText("abcdefghij", 80, width), "abc..");  // (80 - 40) / 2
    EXPECT_EQ(kivo::FitTabCaptionText("abc", 59, width), "..");
    EXPECT_FALSE(kivo::FitTabCaptionText("", 130, width).has_value());
}

TEST(TabRules, ProgressIntervalsAndHints) {
    EXPECT_EQ(kivo::ProgressPercent(5, 0), 100);
    EXPECT_FALSE(kivo::ProgressPercent(-1, 100).has_value());
    EXPECT_EQ(kivo::ProgressPercent(1, 8), 12);  // 12.5 goes to the even neighbour
    EXPECT_EQ(kivo::ProgressPercent(3, 8), 38);  // 37.5 likewise
    EXPECT_EQ(kivo::ProgressPercent(10000, 10000), 100);
    EXPECT_FALSE(kivo::SameTabHandle(-5, 0xFFFFFFFBul));
    EXPECT_TRUE(kivo::SameTabHandle(0x2a00005, 0x2a00005));

    EXPECT_FALSE(kivo::ParseRefreshSeconds("9").has_value());
    EXPECT_FALSE(kivo::ParseRefreshSeconds("abc").has_value());
    EXPECT_FALSE(kivo::ParseRefreshSeconds("").has_value());
    EXPECT_FALSE(kivo::ParseRefreshSeconds("99999999999").has_value());  // beyond the timer
    EXPECT_EQ(kivo::ParseRefreshSeconds("10"), 10u);
    EXPECT_EQ(kivo::CustomRefreshCaption(10000), "自定义（秒）：10");
    EXPECT_EQ(kivo::CustomRefreshCaption(12500), "自定义（秒）：12.5");
    EXPECT_EQ(kivo::CustomRefreshPromptText("自定义（秒）："), "60");
    EXPECT_EQ(kivo::RefreshItemFor(600000), kivo::RefreshItem::Min10);
    EXPECT_EQ(kivo::RefreshItemFor(std::nullopt), kivo::RefreshItem::Off);

    EXPECT_EQ(kivo::TabHint("张三", "游戏"), "[张三]游戏");
    EXPECT_EQ(kivo::TabHint("", "游戏"), "游戏");
}

TEST(TabRules, LoginFillTakesTheFirstValueOfEachName) {
    using Calls = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(kivo::LoginFillCalls("user=a\r\nPASS=x=y\nUSER=b"),
              (Calls{{"user", "a"}, {"PASS", "x=y"}, {"USER", "a"}}));
    EXPECT_TRUE(kivo::LoginFillCalls("user=a").empty());  // fewer than two lines
    // A lone carriage return ends a line too: the login info of a saved account uses it.
    EXPECT_EQ(kivo::LoginFillCalls("user=a\rpass=b\r\rx=\n"),
              (Calls{{"user", "a"}, {"pass", "b"}, {"", ""}, {"x", ""}}));
    EXPECT_EQ(kivo::LoginFillCalls("novalue\nx=1"), (Calls{{"novalue", ""}, {"x", "1"}}));
}

class Tabs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay())
            GTEST_SKIP() << "needs an X display";
        static bool ready = [] {
            if (!gtk_init_check(nullptr, nullptr))
                return false;
            Gtk::Main::init_gtkmm_internals();
            gdk_set_program_class(kivo::kMainWindowClass);
            return true;
        }();
        ASSERT_TRUE(ready);
        name_ = "kivo-tabs-" + std::to_string(getpid());
        const std::string exe = kivo::test::CopyExecutable(KIVO_EXECUTABLE, home_.Path(), name_);
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, exe);
        std::filesystem::create_directories(home_.Path() + "/WebImage");
        std::filesystem::create_directories(home_.Path() + "/Temp");
        window_ = std::make_unique<TFrmMultOpenApp>();
        window_->show();
        kivo::test::PumpUntil([&] { return window_->Handle() != 0; }, 5s);
    }
    void TearDown() override { window_.reset(); }

    size_t Workers() const { return kivo::FindProcessesByName(name_).size(); }
    static size_t ZombieChildren() {
        size_t zombies = 0;
        for (pid_t child : kivo::test::ChildrenOf(getpid())) {
            std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
            std::string line;
            std::getline(stat, line);
            const auto close = line.rfind(')');
            if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z')
                ++zombies;
        }
        return zombies;
    }

    N_TRzTabSheet* Open(const std::string& path) {
        N_TRzTabSheet* tab = window_->TabStrip().NewGameTab();
        tab->GameUrlID = "0";
        tab->WebControl().Navigate(tab->TabHandle(), kivo::Utf8ToUtf16(server_.Url(path)), u"");
        return tab;
    }
    bool HintBecomes(N_TRzTabSheet* tab, const std::string& hint) {
        return kivo::test::PumpUntil([&] { return tab->Hint() == hint; }, 20s);
    }

    kivo::test::TempHome home_;
    kivo::test::TestWebServer server_;
    std::string name_;
    std::unique_ptr<TFrmMultOpenApp> window_;
};

TEST_F(Tabs, PageTitlesNameTheTabsAndFollowTheActiveOne) {
    N_TRzTabSheet* first = Open("/title?t=first");
    ASSERT_TRUE(HintBecomes(first, "first"));
    EXPECT_EQ(first->Caption(), "first");
    EXPECT_EQ(window_->TitleText(), "first-Kivo游戏盒-网页游戏专用多开浏览器");
    EXPECT_EQ(window_->AddressText(), server_.Url("/title?t=first"));

    N_TRzTabSheet* second = Open("/title?t=a%20very%20long%20page%20title%20indeed");
    ASSERT_TRUE(HintBecomes(second, "a very long page title indeed"));
    EXPECT_TRUE(second->Caption().ends_with(".."));
    EXPECT_EQ(Workers(), 2u);  // one worker per tab

    // A renamed tab keeps its name; an account's tab shows the account.
    window_->InputBox = [](const std::string&, const std::string&, std::string& text, int, bool) {
        text = "mine";
        return true;
    };
    window_->TabStrip().N11Click();
    EXPECT_EQ(second->Hint(), "mine");
    second->WebControl().Navigate(second->TabHandle(), kivo::Utf8ToUtf16(server_.Url("/title?t=x")),
                                  u"");
    kivo::test::PumpFor(1500ms);
    EXPECT_EQ(second->Hint(), "mine");
    first->LoginUser = "张三";
    first->WebControl().WebRefresh(first->TabHandle());
    EXPECT_TRUE(HintBecomes(first, "[张三]first"));
}

// A pop-up the page opened by itself was refused; the status bar's notice opens it.
void OpenRefusedPopup(TFrmMultOpenApp& window) {
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] { return window.StatusBar().NoticeText() == kivo::kPopupBlockedNotice; }, 20s));
    window.StatusBar().spNoticeClick();
}

TEST_F(Tabs, APopupTabSharesItsOpenersWorkerUntilBothAreClosed) {
    N_TRzTabSheet* keeper = Open("/title?t=keeper");
    ASSERT_TRUE(HintBecomes(keeper, "keeper"));
    N_TRzTabSheet* opener = Open("/popup?auto=1");
    OpenRefusedPopup(*window_);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return window_->TabCount() == 3; }, 20s));
    N_TRzTabSheet* popup = window_->Tab(2);
    ASSERT_TRUE(HintBecomes(popup, "Cookies"));
    EXPECT_EQ(popup->SharedWebControl(), opener->SharedWebControl());
    EXPECT_EQ(Workers(), 2u);
    const pid_t shared = opener->SharedWebControl()->DefaultInterface()->WorkerPid();

    window_->ActivateTab(1);
    ASSERT_TRUE(window_->TabStrip().CloseActiveTab());
    kivo::test::PumpFor(1000ms);
    EXPECT_TRUE(kivo::test::ProcessRunning(shared));  // the pop-up still shows its page

    window_->ActivateTab(1);
    ASSERT_EQ(window_->ActiveTab(), popup);
    ASSERT_TRUE(window_->TabStrip().CloseActiveTab());
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(shared); }, 10s));

    EXPECT_FALSE(window_->TabStrip().CloseActiveTab());  // the last tab never closes
    EXPECT_EQ(window_->TabCount(), 1);
}

TEST_F(Tabs, LockedProtectedAndDeadTabs) {
    N_TRzTabSheet* first = Open("/title?t=one");
    N_TRzTabSheet* second = Open("/title?t=two");
    ASSERT_TRUE(HintBecomes(second, "two"));
    second->TabLocked = true;
    window_->Confirm = [](const std::string& text, const std::string&) {
        EXPECT_EQ(text, "是否关闭当前页面？");
        return false;
    };
    EXPECT_FALSE(window_->TabStrip().CloseActiveTab());
    EXPECT_EQ(window_->TabCount(), 2);
    EXPECT_NO_THROW(second->WebControl().WebTitle(second->TabHandle()));  // its worker is untouched

    first->TabPassword = "secret";
    std::string answer = "wrong";
    bool answered = true;
    window_->InputBox = [&](const std::string&, const std::string& prompt, std::string& text,
                            int max_length, bool masked) {
        EXPECT_EQ(prompt, "请输入解除保护的密码");
        EXPECT_EQ(max_length, 8);
        EXPECT_TRUE(masked);
        text = answer;
        return answered;
    };
    window_->ActivateTab(0);
    EXPECT_EQ(window_->ActiveTab(), second);  // a wrong password
    answered = false;
    answer = "secret";
    window_->ActivateTab(0);
    EXPECT_EQ(window_->ActiveTab(), second);  // a cancel
    answered = true;
    window_->ActivateTab(0);
    EXPECT_EQ(window_->ActiveTab(), first);

    // A tab whose worker is gone stays and says so without waiting for anyone to touch it.
    kill(second->SharedWebControl()->DefaultInterface()->WorkerPid(), SIGKILL);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return second->PageEnded; }, 10s));
    EXPECT_EQ(window_->TabCount(), 2);
}

TEST_F(Tabs, OnlyTheActiveTabTouchesTheStatusBarAndCustomIntervalsAreChecked) {
    N_TRzTabSheet* first = Open("/title?t=one");
    N_TRzTabSheet* second = Open("/title?t=two");
    ASSERT_TRUE(HintBecomes(second, "two"));
    TWebControl& proxy = *first->SharedWebControl();
    window_->TabStrip().WebControl1StatusTextChange(proxy, u"inactive", first->TabHandle());
    window_->TabStrip().WebControl1ProgressChange(proxy, 1, 8, first->TabHandle());
    EXPECT_NE(window_->StatusBar().StatusText(), "inactive");
    const int shown = window_->StatusBar().ProgressShown();
    window_->TabStrip().WebControl1ProgressChange(proxy, -1, 8, second->TabHandle());
    EXPECT_EQ(window_->StatusBar().ProgressShown(), shown);
    window_->TabStrip().WebControl1ProgressChange(proxy, 0, 0, second->TabHandle());
    EXPECT_EQ(window_->StatusBar().ProgressShown(), 100);
    window_->TabStrip().WebControl1StatusTextChange(proxy, u"链接", second->TabHandle());
    EXPECT_EQ(window_->StatusBar().StatusText(), "链接");

    std::string entered = "9";
    std::string error;
    window_->InputBox = [&](const std::string&, const std::string&, std::string& text, int, bool) {
        text = entered;
        return true;
    };
    window_->ShowError = [&](const std::string& text, const std::string&) { error = text; };
    window_->TabStrip().miCustClick();
    EXPECT_EQ(error, "输入错误！");
    EXPECT_FALSE(second->tmrFresh.Enabled());
    EXPECT_EQ(window_->TabStrip().pmWebConfigPopup(), kivo::RefreshItem::Off);
    entered = "10";
    error.clear();
    window_->TabStrip().miCustClick();
    EXPECT_TRUE(error.empty());
    EXPECT_TRUE(second->tmrFresh.Enabled());
    EXPECT_EQ(second->tmrFresh.Interval(), 10000u);
    EXPECT_EQ(window_->TabStrip().CustomRefreshItemCaption(), "自定义（秒）：10");
    EXPECT_EQ(window_->TabStrip().pmWebConfigPopup(), kivo::RefreshItem::Custom);
    window_->TabStrip().SetRefresh(kivo::RefreshItem::Off);
    EXPECT_FALSE(second->tmrFresh.Enabled());
}

}  // namespace

namespace {

std::string Setting(const char* key, const char* name) {
    return kivo::UserSettings().Read(key, name).value_or("<absent>");
}

TEST_F(Tabs, FreeOpeningsGetSessionsOfTheirOwnAndLeaveTheUsersSettingsAsTheyWere) {
    kivo::UserSettings settings;
    settings.Write(kivo::kUserShellFoldersKey, kivo::kCookiesValue, "/home/me/cookies");
    settings.Write(kivo::kUserShellFoldersKey, kivo::kCacheValue, "/home/me/cache");
    auto cookies_of = [&](N_TRzTabSheet* tab) {
        const std::u16string url = kivo::Utf8ToUtf16(server_.Url("/cookies"));
        tab->WebControl().Navigate(tab->TabHandle(), url, u"");
        kivo::test::PumpUntil([&] { return tab->Hint() == "Cookies"; }, 20s);
        return server_.RequestsTo("/cookies").back().cookie;
    };

    N_TRzTabSheet* a = window_->OpenGame(server_.Url("/setcookie?name=a&value=1"), "", "");
    ASSERT_TRUE(HintBecomes(a, "Cookie set"));
    EXPECT_EQ(Setting(kivo::kUserShellFoldersKey, kivo::kCookiesValue), "/home/me/cookies");
    EXPECT_EQ(Setting(kivo::kShellFoldersKey, kivo::kCacheValue), "/home/me/cache");
    kivo::test::PumpFor(20ms);  // another tick count, another folder
    N_TRzTabSheet* b = window_->OpenGame(server_.Url("/title?t=b"), "", "");
    ASSERT_TRUE(HintBecomes(b, "b"));
    EXPECT_EQ(cookies_of(b).find("a=1"), std::string::npos);  // independent sessions

    N_TRzTabSheet* c = window_->OpenGame(server_.Url("/setcookie?name=c&value=3"), "", "FlashGame");
    ASSERT_TRUE(HintBecomes(c, "Cookie set"));
    N_TRzTabSheet* d = window_->OpenGame(server_.Url("/title?t=d"), "", "FlashGame");
    ASSERT_TRUE(HintBecomes(d, "d"));
    EXPECT_NE(cookies_of(d).find("c=3"), std::string::npos);  // one suffix, one session

    const std::string sessions = window_->CacheFolders.GetCacheRoot() + "KivoCache/";
    int temporary = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sessions))
        temporary += entry.path().filename().string().starts_with("AppTemp");
    EXPECT_EQ(temporary, 3);

    // A worker that cannot start: the error reaches the caller, the settings are back.
    gameKivo_TLB::UnregisterServer(settings);
    EXPECT_THROW(window_->OpenGame(server_.Url("/title?t=e"), "", ""), std::exception);
    EXPECT_EQ(Setting(kivo::kUserShellFoldersKey, kivo::kCookiesValue), "/home/me/cookies");
    EXPECT_EQ(Setting(kivo::kUserShellFoldersKey, kivo::kCacheValue), "/home/me/cache");
}

}  // namespace

namespace {

TEST_F(Tabs, TheGoButtonNavigatesABlankTabAndOpensANewOneOtherwise) {
    window_->NavigationBar().SetAddressText(server_.Url("/title?t=nowhere"));
    window_->NavigationBar().btnGoClick();  // no tab: nothing at all
    EXPECT_EQ(window_->TabCount(), 0);
    EXPECT_TRUE(kivo::ReadTypedUrls(kivo::UserSettings()).empty());

    N_TRzTabSheet* blank = window_->OpenGame("about:blank", "", "");
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] { return blank->WebControl().WebUrl(blank->TabHandle()) == u"about:blank"; }, 20s));
    window_->NavigationBar().SetAddressText(server_.Url("/title?t=typed"));
    window_->NavigationBar().btnGoClick();
    ASSERT_TRUE(HintBecomes(blank, "typed"));
    EXPECT_EQ(window_->TabCount(), 1);  // the same tab

    window_->NavigationBar().SetAddressText(server_.Url("/title?t=second"));
    window_->NavigationBar().btnGoClick();  // a page tab: a new tab in a session of its own
    EXPECT_EQ(window_->TabCount(), 2);
    ASSERT_TRUE(HintBecomes(window_->Tab(1), "second"));
    EXPECT_NE(window_->Tab(1)->SharedWebControl(), blank->SharedWebControl());

    const auto typed = kivo::ReadTypedUrls(kivo::UserSettings());
    ASSERT_EQ(typed.size(), 2u);
    EXPECT_EQ(typed[0], server_.Url("/title?t=second"));  // newest first

    // The completed pages are what the address box completes from, newest first.
    const auto& visited = window_->NavigationBar().VisitedAddresses()->Urls();
    ASSERT_GE(visited.size(), 2u);
    EXPECT_EQ(visited[0], server_.Url("/title?t=second"));
    EXPECT_EQ(visited[1], server_.Url("/title?t=typed"));

    // Choosing from the drop-down goes as if the address had been typed.
    ASSERT_EQ(window_->NavigationBar().LoadTypedUrls(), typed);
    window_->NavigationBar().cbbUrlListSelect(typed[1]);
    ASSERT_EQ(window_->TabCount(), 3);
    EXPECT_TRUE(HintBecomes(window_->Tab(2), "typed"));
}

}  // namespace

namespace {

TEST_F(Tabs, TheHomePageWorksOfflineAndStartsOneSpareWorkerOnce) {
    // The spare ends about a second after it started, so the count is watched while the first
    // opening runs rather than read once after it.
    std::atomic<size_t> most_workers{0};
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        // Only this process's own children: a worker's page processes bear its name for the
        // moment between their start and their own program's.
        while (watching) {
            const auto children = kivo::test::ChildrenOf(getpid());
            size_t workers = 0;
            for (auto pid : kivo::FindProcessesByName(name_))
                workers += std::count(children.begin(), children.end(), static_cast<pid_t>(pid));
            most_workers = std::max(most_workers.load(), workers);
            std::this_thread::sleep_for(5ms);
        }
    });
    window_->actOpenMainUrlExecute();
    watching = false;
    watcher.join();
    ASSERT_EQ(window_->TabCount(), 1);
    EXPECT_EQ(most_workers, 2u);  // the home page's and the spare one
    EXPECT_TRUE(HintBecomes(window_->Tab(0), "Kivo游戏盒 - 首页"));
    // The spare one was never told the main window, so its watchdog ends it soon.
    window_->actOpenMainUrlExecute();
    EXPECT_TRUE(HintBecomes(window_->Tab(1), "Kivo游戏盒 - 首页"));
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return Workers() == 2u; }, 5s));
    // The spare's proxy lives on, but the ended worker does not linger as a zombie.
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return ZombieChildren() == 0; }, 5s));
}

}  // namespace

namespace {

TEST(WindowFrame, TheResizeBandsAreThreePixelsWithCornersFirst) {
    using kivo::HitTest;
    constexpr int W = 800, H = 600;
    for (int d : {0, 1, 2}) {
        EXPECT_EQ(kivo::FrameHitTest(d, d, W, H), HitTest::TopLeft);
        EXPECT_EQ(kivo::FrameHitTest(d, H - d, W, H), HitTest::BottomLeft);
        EXPECT_EQ(kivo::FrameHitTest(W - d, H - d, W, H), HitTest::BottomRight);
        EXPECT_EQ(kivo::FrameHitTest(W - d, d, W, H), HitTest::TopRight);
        EXPECT_EQ(kivo::FrameHitTest(d, 300, W, H), HitTest::Left);
        EXPECT_EQ(kivo::FrameHitTest(400, H - d, W, H), HitTest::Bottom);
        EXPECT_EQ(kivo::FrameHitTest(W - d, 300, W, H), HitTest::Right);
        EXPECT_EQ(kivo::FrameHitTest(400, d, W, H), HitTest::Top);
    }
    EXPECT_EQ(kivo::FrameHitTest(3, 3, W, H), HitTest::Default);
    EXPECT_EQ(kivo::FrameHitTest(W - 3, H - 3, W, H),
              HitTest::Default);  // distances from the far edges count from W and H
    EXPECT_EQ(kivo::FrameHitTest(2, 3, W, H), HitTest::Left);
}

TEST(WindowFrame, TwoTogglesRestoreTheBoundsSavedByTheFirst) {
    kivo::MaximizeToggle toggle;
    EXPECT_EQ(toggle.RestoreBounds(), (kivo::Bounds{0, 0, 972, 600}));
    const kivo::Bounds work{0, 0, 1280, 1000};
    EXPECT_EQ(toggle.Toggle({10, 20, 900, 650}, work), work);
    EXPECT_TRUE(toggle.WindowMaximized());
    EXPECT_EQ(toggle.Toggle(work, work), (kivo::Bounds{10, 20, 900, 650}));
    EXPECT_FALSE(toggle.WindowMaximized());
}

}  // namespace

namespace {

class CloseFlow : public Tabs {
  protected:
    void SetUp() override {
        Tabs::SetUp();
        if (IsSkipped())
            return;
        const std::string script = std::string(KIVO_SOURCE_DIR) + "/scripts/prepare-database.sh";
        ASSERT_EQ(kivo::ChildProcess::Start("/bin/bash", {"bash", script, home_.Path()}).Wait(), 0);
        database_ =
            std::make_unique<kivo::data::TDISQLite3Database>(home_.Path() + "/MultOpenApp.dat");
        window_ = std::make_unique<TFrmMultOpenApp>(database_.get());
        window_->Quit = [this] { quit_ = true; };
        // A desktop with a tray, unless a test says otherwise.
        window_->TrayIcon().Probe = [] { return kivo::TrayHosts{false, false, true}; };
        window_->show();
        kivo::test::PumpUntil([&] { return window_->Handle() != 0; }, 5s);
    }
    void TearDown() override {
        window_.reset();
        database_.reset();
    }
    std::string CloseType() {
        auto statement = database_->Prepare16(kivo::data::sql::kSelectCloseType);
        return statement.Step() == kivo::data::TDISQLite3Statement::kRow ? statement.Column_Str(0)
                                                                         : "";
    }
    void SetCloseType(const std::string& value) {
        auto statement = database_->Prepare16(kivo::data::sql::kUpdateCloseType);
        statement.Bind_Str(1, value);
        statement.Step();
    }

    std::unique_ptr<kivo::data::TDISQLite3Database> database_;
    bool quit_ = false;
};

TEST_F(CloseFlow, TheStoredPreferenceDecidesAndIsAskedWhileItIsMinusOne) {
    ASSERT_EQ(CloseType(), "-1");
    int asked = 0;
    bool answer = false, remember = false;
    std::string choice;
    window_->AskCloseType = [&](std::string& value, bool& save) {
        ++asked;
        value = choice;
        save = remember;
        return answer;
    };
    window_->btnCloseClick();  // Cancel: nothing changes
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(quit_);
    EXPECT_TRUE(window_->get_visible());

    answer = true;
    choice = "0";  // to the tray, not remembered
    window_->btnCloseClick();
    EXPECT_TRUE(window_->InTray());
    EXPECT_FALSE(quit_);
    EXPECT_EQ(CloseType(), "-1");
    window_->BossKey();  // the boss key restores it
    EXPECT_FALSE(window_->InTray());
    window_->BossKey();
    EXPECT_TRUE(window_->InTray());
    window_->BossKey();

    N_TRzTabSheet* tab = window_->OpenGame(server_.Url("/title?t=bye"), "", "");
    ASSERT_TRUE(HintBecomes(tab, "bye"));
    const pid_t worker = tab->SharedWebControl()->DefaultInterface()->WorkerPid();
    const std::string temporary = window_->CacheFolders.GetCacheRoot() + "KivoCache/";
    std::filesystem::create_directories(temporary + "张三");  // an account's folder stays
    // So does a saved account's whose name holds the temporary sessions' mark.
    database_->Execute(
        "insert into t_usermanage (ID,URLID,USERNAME,CACHEPATH,PASSWORD) values "
        "('{00000000-0000-0000-0000-000000000001}','x','myAppTempAccount',"
        "'KivoCache\\myAppTempAccount','')");
    std::filesystem::create_directories(temporary + "myAppTempAccount");
    choice = "1";
    remember = true;
    window_->btnCloseClick();
    EXPECT_TRUE(quit_);
    EXPECT_EQ(CloseType(), "1");
    EXPECT_EQ(window_->TabCount(), 0);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(worker); }, 10s));
    EXPECT_TRUE(std::filesystem::exists(temporary + "张三"));
    EXPECT_TRUE(std::filesystem::exists(temporary + "myAppTempAccount"));
    for (const auto& entry : std::filesystem::directory_iterator(temporary))
        EXPECT_FALSE(entry.path().filename().string().starts_with("AppTemp")) << entry.path();

    quit_ = false;
    asked = 0;
    window_->btnCloseClick();  // remembered: quits without asking
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(quit_);
}

TEST_F(Tabs, QuittingEndsWorkersThatDoNotAnswer) {
    // Two stopped workers would cost the whole call timeout per call; quitting ends them.
    N_TRzTabSheet* a = Open("/title?t=a");
    N_TRzTabSheet* b = Open("/title?t=b");
    ASSERT_TRUE(HintBecomes(a, "a"));
    ASSERT_TRUE(HintBecomes(b, "b"));
    const pid_t first = a->SharedWebControl()->DefaultInterface()->WorkerPid();
    const pid_t second = b->SharedWebControl()->DefaultInterface()->WorkerPid();
    kill(first, SIGSTOP);
    kill(second, SIGSTOP);
    window_->actAppHaltExecute();
    EXPECT_EQ(window_->TabCount(), 0);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(first); }, 10s));
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(second); }, 10s));
}

TEST_F(CloseFlow, AnUnreadablePreferenceAsksAndAFailedRememberIsReported) {
    SetCloseType("1");
    int asked = 0;
    window_->AskCloseType = [&](std::string& value, bool& save) {
        ++asked;
        value = "0";
        save = true;
        return true;
    };
    std::string error;
    window_->ShowError = [&](const std::string& text, const std::string&) { error = text; };
    {
        // Another program holds the database for longer than a statement waits.
        kivo::data::TDISQLite3Database other(home_.Path() + "/MultOpenApp.dat");
        other.Execute("BEGIN EXCLUSIVE");
        window_->btnCloseClick();
        other.Execute("ROLLBACK");
    }
    EXPECT_EQ(asked, 1) << "a preference that cannot be read is asked for, not taken as quit";
    EXPECT_FALSE(quit_);
    EXPECT_TRUE(window_->InTray());
    EXPECT_EQ(error, "保存失败请重试！");
    EXPECT_EQ(CloseType(), "1");  // nothing was written
}

TEST_F(CloseFlow, WithoutATrayTheWindowIsMinimisedAndStaysReachable) {
    window_->TrayIcon().Probe = [] { return kivo::TrayHosts{true, false, false}; };
    kivo::test::PumpFor(200ms);
    window_->btnMinClick();
    EXPECT_TRUE(window_->InTray());
    EXPECT_EQ(window_->TrayIcon().Kind(), kivo::TrayKind::Nowhere);
    EXPECT_TRUE(window_->get_visible()) << "hidden with no icon to bring it back";
    window_->BossKey();
    EXPECT_FALSE(window_->InTray());

    // A tray that has come since: the next time it hides.
    window_->TrayIcon().Probe = [] { return kivo::TrayHosts{false, false, true}; };
    window_->BossKey();
    EXPECT_EQ(window_->TrayIcon().Kind(), kivo::TrayKind::XEmbed);
    EXPECT_FALSE(window_->get_visible());
    window_->BossKey();
    EXPECT_TRUE(window_->get_visible());
}

using kivo::test::PressKeys;

TEST_F(CloseFlow, TheHotKeysTakeExactModifiers) {
    kivo::test::PumpFor(200ms);
    PressKeys({XK_Control_L}, XK_b);
    EXPECT_TRUE(window_->InTray());
    EXPECT_FALSE(window_->get_visible());
    PressKeys({XK_Control_L, XK_Shift_L}, XK_b);
    EXPECT_TRUE(window_->InTray()) << "Ctrl+Shift+B is not the boss key";
    PressKeys({XK_Control_L}, XK_b);
    EXPECT_FALSE(window_->InTray());
    EXPECT_TRUE(window_->get_visible());

    kivo::test::PumpFor(200ms);
    PressKeys({XK_Alt_L}, XK_b);  // the picture menu above its status pane
    EXPECT_TRUE(kivo::test::PumpUntil(
        [&] { return window_->StatusBar().PictureMenu().get_visible(); }, 2s));
    window_->StatusBar().PictureMenu().popdown();
    PressKeys({XK_Alt_L, XK_Control_L}, XK_b);
    EXPECT_FALSE(window_->StatusBar().PictureMenu().get_visible());
    EXPECT_FALSE(window_->InTray());
}

TEST_F(CloseFlow, TwoMaximiseTogglesRestoreTheFirstBounds) {
    window_->move(30, 40);
    window_->resize(900, 650);
    kivo::test::PumpFor(200ms);
    window_->btnMaxClick();
    EXPECT_TRUE(window_->WindowMaximized());
    kivo::test::PumpFor(200ms);
    window_->btnMaxClick();
    EXPECT_FALSE(window_->WindowMaximized());
    kivo::test::PumpFor(300ms);
    int w = 0, h = 0;
    window_->get_size(w, h);
    EXPECT_EQ(w, 900);
    EXPECT_EQ(h, 650);
    EXPECT_FALSE(window_->InTray()) << "a toggle is never taken for a minimise";
    EXPECT_TRUE(window_->get_visible());
}

}  // namespace

namespace {

TEST_F(Tabs, SearchesGoToTheEngineSiteAndGoAddsTheSchemeOrSearches) {
    setenv("KIVO_SEARCH_SITE", server_.Url("").c_str(), 1);
    window_->NavigationBar()
        .edtSearchRightButtonClick();  // nothing typed: the hint is searched for
    ASSERT_EQ(window_->TabCount(), 1);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return !server_.RequestsTo("/search").empty(); }, 20s));
    EXPECT_EQ(kivo::DecodeFormComponent(server_.RequestsTo("/search").back().query.substr(2)),
              "搜下，就有了");
    window_->NavigationBar().SetSearchEngine(1);
    window_->NavigationBar().edtSearchRightButtonClick();
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return !server_.RequestsTo("/s").empty(); }, 20s));
    EXPECT_TRUE(server_.RequestsTo("/s").back().query.starts_with("wd="));

    // Go: an address without scheme is opened with http://, other texts are searched for.
    std::string typed = server_.Url("/title?t=typed");
    typed = typed.substr(typed.find("://") + 3);
    window_->NavigationBar().SetAddressText(typed);
    window_->NavigationBar().btnGoClick();
    ASSERT_EQ(window_->TabCount(), 3);
    EXPECT_TRUE(HintBecomes(window_->Tab(2), "typed"));
    window_->NavigationBar().SetAddressText("two words");
    window_->NavigationBar().btnGoClick();
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return server_.RequestsTo("/s").size() == 2u; }, 20s));
    EXPECT_EQ(kivo::DecodeFormComponent(server_.RequestsTo("/s").back().query.substr(3)),
              "two words");
    unsetenv("KIVO_SEARCH_SITE");
}

}  // namespace

namespace {

// Acts on the prompt once it is on the screen.
void WhenPromptShows(std::function<void(kivo::TFrmInput&)> act) {
    Glib::signal_timeout().connect(
        [act] {
            kivo::TFrmInput* prompt = kivo::TFrmInput::Active();
            if (!prompt || !prompt->get_visible())
                return true;  // not yet
            act(*prompt);
            return false;
        },
        20);
}

TEST_F(Tabs, ThePromptHandsBackWhatWasTypedEvenWhenCancelled) {
    std::string value = "old";
    WhenPromptShows([](kivo::TFrmInput& prompt) {
        EXPECT_EQ(prompt.edit.get_text(), "old");
        prompt.edit.set_text("edited");
        prompt.btnCancel.clicked();
    });
    EXPECT_FALSE(kivo::ShowInputBox("输入", "请输入一个新的名字", value, false, 20));
    EXPECT_EQ(value, "edited");

    WhenPromptShows([](kivo::TFrmInput& prompt) {
        prompt.edit.set_text("typed");
        prompt.edit.activate();  // Enter
    });
    EXPECT_TRUE(kivo::ShowInputBox("输入", "请输入一个新的名字", value, false, 20));
    EXPECT_EQ(value, "typed");

    value.clear();
    WhenPromptShows([](kivo::TFrmInput& prompt) {
        EXPECT_FALSE(prompt.edit.get_visibility());
        EXPECT_EQ(prompt.edit.get_invisible_char(), U'*');
        prompt.edit.set_text("密码1234567890");  // longer than allowed
        prompt.btnOK.clicked();
    });
    EXPECT_TRUE(kivo::ShowInputBox("输入", "请输入保护密码", value, true, 8));
    EXPECT_EQ(value, "密码123456");  // plain text, at most 8 characters

    value = "x";
    WhenPromptShows([](kivo::TFrmInput& prompt) { prompt.btnClose.clicked(); });
    EXPECT_FALSE(kivo::ShowInputBox("输入", "间隔不能小于10秒", value, false, 20));
    EXPECT_EQ(value, "x");
}

TEST_F(Tabs, ALongerValueThanThePromptsLimitComesBackWholeAndTypingStopsAtTheLimit) {
    const std::string long_name = "一二三四五六七八九十abcdefghijklmnopqrst";  // 30 characters
    std::string value = long_name;
    WhenPromptShows([&](kivo::TFrmInput& prompt) {
        EXPECT_EQ(prompt.edit.get_text(), long_name);
        int position = prompt.edit.get_text_length();
        prompt.edit.insert_text("x", 1, position);  // over the limit already: nothing goes in
        EXPECT_EQ(prompt.edit.get_text(), long_name);
        prompt.btnOK.clicked();
    });
    EXPECT_TRUE(kivo::ShowInputBox("输入", "请输入一个新的名字", value, false, 20));
    EXPECT_EQ(value, long_name);

    value = "ab";
    WhenPromptShows([](kivo::TFrmInput& prompt) {
        int position = 1;
        prompt.edit.insert_text("123456", 6, position);  // typed or pasted: what fits goes in
        prompt.btnOK.clicked();
    });
    EXPECT_TRUE(kivo::ShowInputBox("输入", "请输入保护密码", value, true, 5));
    EXPECT_EQ(value, "a123b");
}

// The colour on the screen at a point, as the display shows it.
unsigned long ScreenPixel(int x, int y) {
    Display* display = kivo::test::TestDisplay();
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long pixel = image ? XGetPixel(image, 0, 0) : 0;
    if (image)
        XDestroyImage(image);
    return pixel;
}

TEST_F(Tabs, APageRepaintsWhatADialogOverItHadCovered) {
    N_TRzTabSheet* tab = Open("/title?t=covered");
    ASSERT_TRUE(HintBecomes(tab, "covered"));
    kivo::test::PumpFor(3s);  // the page has drawn its last frame
    // Under the title band of the prompt in the middle of the window, on the page.
    int x = 0, y = 0;
    window_->get_window()->get_origin(x, y);
    x += window_->get_width() / 2;
    y += window_->get_height() / 2 - 65;
    const unsigned long page = ScreenPixel(x, y);
    std::string value;
    WhenPromptShows([&](kivo::TFrmInput& prompt) {
        ASSERT_TRUE(kivo::test::PumpUntil([&] { return ScreenPixel(x, y) != page; }, 10s));
        kivo::test::PumpFor(500ms);
        prompt.btnCancel.clicked();
    });
    kivo::ShowInputBox("输入", "请输入一个新的名字", value, false, 20);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return ScreenPixel(x, y) == page; }, 10s))
        << "the uncovered part of the page stays empty";
}

// The origin of a window's outer frame on the screen.
Gdk::Point ScreenOrigin(Gtk::Window& window) {
    int x = 0, y = 0;
    window.get_window()->get_origin(x, y);
    return {x, y};
}

TEST_F(Tabs, DialogsAndMessageBoxesSitOnTheMainWindowWithChineseButtons) {
    window_->move(40, 30);
    window_->resize(900, 640);
    kivo::test::PumpFor(300ms);
    auto centred_on_window = [&](Gtk::Window& dialog) {
        EXPECT_EQ(dialog.get_transient_for(), window_.get());
        const Gdk::Point owner = ScreenOrigin(*window_), shown = ScreenOrigin(dialog);
        const int expected_x = owner.get_x() + (window_->get_width() - dialog.get_width()) / 2;
        const int expected_y = owner.get_y() + (window_->get_height() - dialog.get_height()) / 2;
        EXPECT_NEAR(shown.get_x(), expected_x, 2);
        EXPECT_NEAR(shown.get_y(), expected_y, 2);
    };
    std::string value;
    WhenPromptShows([&](kivo::TFrmInput& prompt) {
        centred_on_window(prompt);
        prompt.btnCancel.clicked();
    });
    kivo::ShowInputBox("输入", "请输入一个新的名字", value, false, 20);

    std::vector<std::string> captions, names;
    Glib::signal_timeout().connect(
        [&] {
            Gtk::Dialog* box = kivo::ActiveMessageBox();
            if (!box || !box->get_mapped())
                return true;
            centred_on_window(*box);
            for (Gtk::Widget* child : box->get_action_area()->get_children()) {
                auto* button = dynamic_cast<Gtk::Button*>(child);
                if (!button)
                    continue;
                captions.push_back(button->get_label());
                names.push_back(button->get_accessible()->get_name());
            }
            box->response(Gtk::RESPONSE_DELETE_EVENT);  // closed by its frame: "No"
            return false;
        },
        20);
    EXPECT_FALSE(window_->Confirm("是否关闭当前页面？", "提示"));
    EXPECT_EQ(captions, (std::vector<std::string>{"是", "否"}));
    EXPECT_EQ(names, captions);
}

}  // namespace

namespace {

TEST(RefreshTimer, TicksNeverOverlapWithASlowRefresh) {
    int ticks = 0;
    bool inside = false, overlapped = false;
    std::unique_ptr<kivo::TRefreshTimer> timer;
    timer = std::make_unique<kivo::TRefreshTimer>([&] {
        // As the tab does: off during the refresh, on again afterwards.
        timer->SetEnabled(false);
        overlapped |= inside;
        inside = true;
        ++ticks;
        kivo::test::PumpFor(60ms);  // a slow worker; its wait serves the main loop
        inside = false;
        timer->SetEnabled(true);
    });
    timer->SetInterval(10);
    timer->SetEnabled(true);
    kivo::test::PumpFor(400ms);
    timer->SetEnabled(false);
    EXPECT_GE(ticks, 3);
    EXPECT_FALSE(overlapped);
}

}  // namespace

namespace {

TEST_F(Tabs, TheTabMenuShowsLockAndProtectionWithoutChangingThem) {
    N_TRzTabSheet* first = Open("/title?t=one");
    N_TRzTabSheet* second = Open("/title?t=two");
    ASSERT_TRUE(HintBecomes(second, "two"));
    int asked = 0;
    window_->InputBox = [&](const std::string&, const std::string& prompt, std::string&, int,
                            bool) {
        ADD_FAILURE() << "asked: " << prompt;  // a check mark ran its item's handler
        ++asked;
        return false;
    };
    second->TabLocked = true;
    window_->TabStrip().popTabPopup();
    window_->TabStrip().popTabPopup();
    EXPECT_TRUE(second->TabLocked);
    window_->ActivateTab(0);
    ASSERT_EQ(window_->ActiveTab(), first);
    window_->TabStrip()
        .popTabPopup();  // the mark goes off for an unlocked tab: still no handler runs
    EXPECT_FALSE(first->TabLocked);
    EXPECT_TRUE(second->TabLocked);
    first->TabPassword = "pw";
    window_->TabStrip().popTabPopup();
    second->TabPassword.clear();
    window_->ActivateTab(1);
    window_->TabStrip().popTabPopup();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(first->TabPassword, "pw");
    EXPECT_TRUE(second->TabPassword.empty());
}

TEST_F(Tabs, AProtectedTabTheStripPicksStaysCoveredUntilItsPasswordIsGiven) {
    Open("/title?t=open");
    N_TRzTabSheet* guarded = Open("/title?t=guarded");
    N_TRzTabSheet* closing = Open("/title?t=closing");
    ASSERT_TRUE(HintBecomes(closing, "closing"));
    guarded->TabPassword = "pw";
    std::string answer = "wrong";
    int asked = 0;
    window_->InputBox = [&](const std::string&, const std::string&, std::string& text, int, bool) {
        ++asked;
        text = answer;
        return true;
    };
    auto shown = [](N_TRzTabSheet* tab) {
        return gtk_widget_get_child_visible(GTK_WIDGET(tab->gobj()));
    };

    // Closing its right neighbour: the password is asked; a wrong one leaves nothing active.
    ASSERT_TRUE(window_->TabStrip().CloseActiveTab());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(window_->ActiveTab(), nullptr);
    EXPECT_FALSE(shown(guarded));
    EXPECT_FALSE(window_->TabStrip().CloseActiveTab()) << "nothing active, nothing to close";
    // The next activation of that tab asks again.
    answer = "pw";
    window_->ActivateTab(1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(window_->ActiveTab(), guarded);
    EXPECT_TRUE(shown(guarded));

    // A dead worker's tab stays with a word, asking nothing, until the user closes it, which
    // needs no worker; the protected neighbour then asks its password as after any close.
    N_TRzTabSheet* dying = Open("/title?t=dying");
    ASSERT_TRUE(HintBecomes(dying, "dying"));
    asked = 0;
    kill(dying->SharedWebControl()->DefaultInterface()->WorkerPid(), SIGKILL);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return dying->PageEnded; }, 10s));
    EXPECT_EQ(window_->StatusBar().StatusText(), "页面“dying”已意外结束");
    EXPECT_EQ(window_->TabCount(), 3);
    EXPECT_EQ(asked, 0) << "the page's end itself asks nothing";
    ASSERT_EQ(window_->ActiveTab(), dying);
    answer = "wrong";
    ASSERT_TRUE(window_->TabStrip().CloseActiveTab());
    EXPECT_EQ(window_->TabCount(), 2);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(window_->ActiveTab(), nullptr);
    EXPECT_FALSE(shown(guarded));
    answer = "pw";
    window_->ActivateTab(1);
    EXPECT_EQ(window_->ActiveTab(), guarded);
    EXPECT_TRUE(shown(guarded));
}

// A worker killed under a page and its pop-up: both tabs stay and say so; "重新打开" on the
// pop-up brings only that one back, in a new worker on the opener's session folder.
TEST_F(Tabs, APopUpOfAKilledWorkerIsOfferedAgainInItsOpenersSession) {
    N_TRzTabSheet* opener =
        window_->OpenGame(server_.Url("/setcookie?name=k&value=v&popup=1"), "", "");
    OpenRefusedPopup(*window_);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return window_->TabCount() == 2; }, 20s));
    N_TRzTabSheet* popup = window_->Tab(1);
    ASSERT_TRUE(HintBecomes(popup, "Cookies"));
    kill(opener->SharedWebControl()->DefaultInterface()->WorkerPid(), SIGKILL);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return opener->PageEnded && popup->PageEnded; }, 10s));
    EXPECT_EQ(window_->TabCount(), 2);

    const size_t seen = server_.RequestsTo("/cookies").size();
    window_->ActivateTab(1);
    window_->TabStrip().btnReopenClick();
    EXPECT_FALSE(popup->PageEnded);
    EXPECT_TRUE(opener->PageEnded) << "only the tab asked for comes back";
    EXPECT_NE(popup->SharedWebControl(), opener->SharedWebControl());
    ASSERT_TRUE(
        kivo::test::PumpUntil([&] { return server_.RequestsTo("/cookies").size() > seen; }, 20s));
    EXPECT_NE(server_.RequestsTo("/cookies").back().cookie.find("k=v"), std::string::npos)
        << "not in the opener's session";
    EXPECT_TRUE(HintBecomes(popup, "Cookies"));
}

TEST_F(Tabs, ClosingTabsWhileOtherPagesCompleteKeepsTheWindowWhole) {
    std::vector<N_TRzTabSheet*> tabs;
    for (int i = 0; i < 5; ++i) tabs.push_back(Open("/slow?ms=" + std::to_string(100 + 150 * i)));
    window_->ActivateTab(4);
    for (int round = 0; round < 4; ++round) {
        // Every other tab starts its page again, so completions arrive during the closing calls.
        for (int i = 0; i < window_->TabCount(); ++i) {
            N_TRzTabSheet* tab = window_->Tab(i);
            if (tab != window_->ActiveTab())
                tab->WebControl().WebRefresh(tab->TabHandle());
        }
        kivo::test::PumpFor(std::chrono::milliseconds(60 * round));
        EXPECT_TRUE(window_->TabStrip().CloseActiveTab());
    }
    EXPECT_EQ(window_->TabCount(), 1);
    EXPECT_TRUE(HintBecomes(window_->Tab(0), "Slow"));
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return Workers() == 1u; }, 20s));
}

TEST_F(Tabs, ABlankTabIsNamedByItsAddressAndGoSurvivesAnUnwritableList) {
    window_->TabStrip().N22Click();
    ASSERT_EQ(window_->TabCount(), 1);
    N_TRzTabSheet* blank = window_->Tab(0);
    EXPECT_TRUE(HintBecomes(blank, "about:blank"));
    EXPECT_EQ(blank->Caption(), "about:blank");

    // The settings file turned into a folder: recording fails, the blank tab navigates all the
    // same.
    const std::string settings = kivo::UserSettings().File();
    std::filesystem::rename(settings, settings + ".away");
    std::filesystem::create_directories(settings);
    window_->NavigationBar().SetAddressText(server_.Url("/title?t=went"));
    EXPECT_NO_THROW(window_->NavigationBar().btnGoClick());
    EXPECT_TRUE(HintBecomes(blank, "went"));
    std::filesystem::remove(settings);
    std::filesystem::rename(settings + ".away", settings);
}

}  // namespace

namespace {

TEST_F(Tabs, TheAddressDropDownLeavesTheRowAsItWas) {
    for (int i = 0; i < 3; ++i)
        kivo::RecordTypedUrl(kivo::UserSettings(),
                             server_.Url("/title?t=") + std::string(150, 'x'));
    window_->btnMaxClick();  // the row as wide as the screen allows
    kivo::test::PumpFor(500ms);
    int x = 0, y = 0;
    auto search_left = [&] {
        window_->NavigationBar().SearchBox().translate_coordinates(*window_, 0, 0, x, y);
        return x;
    };
    const int before = search_left();
    const int window_width = window_->get_allocated_width();
    window_->NavigationBar().btnDropClick();
    kivo::test::PumpFor(500ms);
    EXPECT_EQ(search_left(), before);
    EXPECT_EQ(window_->get_allocated_width(), window_width);
    // A long address chosen from the list does not widen the box either.
    window_->NavigationBar().SetAddressText(server_.Url("/title?t=") + std::string(300, 'y'));
    kivo::test::PumpFor(500ms);
    EXPECT_EQ(search_left(), before);
    EXPECT_EQ(window_->get_allocated_width(), window_width);
}

}  // namespace

namespace {

TEST_F(Tabs, APageCompletingWhileTheUserTypesLeavesTheTypedAddressAlone) {
    N_TRzTabSheet* slow = Open("/slow?ms=1500");
    Gtk::Entry& box = window_->NavigationBar().AddressBox();
    box.grab_focus();
    box.set_text("typed by me");  // as keys would, while the box has the focus
    ASSERT_TRUE(HintBecomes(slow, "Slow"));
    kivo::test::PumpFor(200ms);
    EXPECT_EQ(window_->AddressText(), "typed by me");

    // Another tab shows its own address, and so do its later pages.
    N_TRzTabSheet* other = Open("/slow?ms=300");
    ASSERT_TRUE(HintBecomes(other, "Slow"));
    EXPECT_TRUE(kivo::test::PumpUntil(
        [&] { return window_->AddressText() == server_.Url("/slow?ms=300"); }, 10s))
        << window_->AddressText();
}

TEST_F(Tabs, TypingFastIntoTheAddressBoxNeverMixesWithTheCompletion) {
    N_TRzTabSheet* tab = Open("/title?t=visited");
    ASSERT_TRUE(HintBecomes(tab, "visited"));
    const std::string url = server_.Url("/title?t=visited");
    const std::string bare = url.substr(url.find("://") + 3);
    window_->present();
    Gtk::Entry& box = window_->NavigationBar().AddressBox();
    box.set_text("");
    box.grab_focus();
    Display* display = kivo::test::TestDisplay();
    int x = 0, y = 0;
    box.translate_coordinates(*window_, 5, 5, x, y);
    int left = 0, top = 0;
    window_->get_window()->get_origin(left, top);
    XTestFakeMotionEvent(display, -1, left + x, top + y, CurrentTime);
    kivo::test::PumpFor(300ms);
    for (KeySym key : {XK_1, XK_2, XK_7, XK_period}) {  // no pause between the keys
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    }
    XSync(display, False);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return window_->AddressText() == bare; }, 10s))
        << window_->AddressText();
    int start = 0, end = 0;
    ASSERT_TRUE(box.get_selection_bounds(start, end));
    EXPECT_EQ(start, 4) << "the typed text stays before the appended rest";
    EXPECT_EQ(end, static_cast<int>(bare.size()));
}

}  // namespace

namespace {

TEST_F(Tabs, TheLinkAddressLeavesTheStatusBarWithThePointer) {
    N_TRzTabSheet* tab = Open("/popup");
    ASSERT_TRUE(HintBecomes(tab, "Popup"));
    window_->present();
    kivo::test::PumpFor(300ms);
    int left = 0, top = 0;
    tab->get_window()->get_origin(left, top);
    Display* display = kivo::test::TestDisplay();
    auto move_to = [&](int x, int y) {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    };
    // Onto the link at the page's top left; then another page loads under the resting pointer.
    move_to(left + 30, top + 20);
    move_to(left + 32, top + 16);
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] { return window_->StatusBar().StatusText().find("/cookies") != std::string::npos; },
        10s))
        << window_->StatusBar().StatusText();
    tab->WebControl().Navigate(tab->TabHandle(), kivo::Utf8ToUtf16(server_.Url("/title?t=next")),
                               u"");
    ASSERT_TRUE(HintBecomes(tab, "next"));
    kivo::test::PumpFor(300ms);
    EXPECT_EQ(window_->StatusBar().StatusText(), "");
}

}  // namespace

namespace {

// The worker reports the next page while the window still asks about the blank one; the older
// report must not win. A race, so it is run a dozen times with different head starts.
TEST_F(Tabs, ABlankTabSentOnAtOnceIsNamedByThePageItReached) {
    window_->OpenGame("about:blank", "", "");  // the last tab never closes
    for (int i = 0; i < 12; ++i) {
        N_TRzTabSheet* tab = window_->OpenGame("about:blank", "", "");
        kivo::test::PumpFor(std::chrono::milliseconds(i % 4 * 3));
        const std::string name = "reached" + std::to_string(i);
        const std::string url = server_.Url("/title?t=" + name);
        tab->WebControl().Navigate(tab->TabHandle(), kivo::Utf8ToUtf16(url), u"");
        ASSERT_TRUE(HintBecomes(tab, name)) << "round " << i;
        kivo::test::PumpFor(50ms);  // a late report of the blank page would come now
        EXPECT_EQ(tab->Hint(), name);
        EXPECT_EQ(tab->Address, url);  // what the tab reopens after a crash
        ASSERT_TRUE(window_->TabStrip().CloseActiveTab());
    }
}

}  // namespace
