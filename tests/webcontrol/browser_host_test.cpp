// Real workers with real web views, embedded into tab windows of this process, against a local
// web server.
#include <gdkmm/pixbuf.h>
#include <gtest/gtest.h>
#include <gtkmm.h>
#include <gtkmm/socket.h>
#include <signal.h>
// After gtkmm: the X headers define macros that clash with it.
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "webcontrol/document_access.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"
#include "webcontrol/webkit_browser_view.h"

namespace {

using namespace std::chrono_literals;
using gameKivo_TLB::WebControlError;
using gameKivo_Work_TLB::TWebControl;
using kivo::Utf16ToUtf8;
using kivo::Utf8ToUtf16;
namespace fs = std::filesystem;

struct Completion {
    bool top;
    std::string url;
    int32_t tab;
    bool picture_existed;
};

// A tab window of this process: a socket the worker's view embeds into.
class TabWindow {
public:
    TabWindow() {
        window_.set_default_size(800, 600);
        window_.add(socket_);
        // A view that goes away (its worker ended) must not take the tab window with it.
        socket_.signal_plug_removed().connect([] { return true; }, false);
        window_.show_all();
        kivo::test::PumpUntil([&] { return socket_.get_id() != 0; }, 5s);
    }
    int32_t Handle() { return static_cast<int32_t>(socket_.get_id()); }
    unsigned long Toplevel() { return gdk_x11_window_get_xid(window_.get_window()->gobj()); }

private:
    Gtk::Window window_;
    Gtk::Socket socket_;
};

class BrowserHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay()) GTEST_SKIP() << "needs an X display";
        static bool gtk_ready = [] {
            if (!gtk_init_check(nullptr, nullptr)) return false;
            Gtk::Main::init_gtkmm_internals();
            return true;
        }();
        ASSERT_TRUE(gtk_ready);
        const std::string name = "kivo-worker-" + std::to_string(getpid());
        exe_ = kivo::test::CopyExecutable(KIVO_EXECUTABLE, home_.Path(), name);
        // The page processes' extension lies next to the executable, as it ships.
        fs::copy(fs::path(KIVO_EXECUTABLE).parent_path() / "page-extension", PageExtension(),
                 fs::copy_options::recursive);
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, exe_);
        fs::create_directories(home_.Path() + "/WebImage");
        fs::create_directories(home_.Path() + "/Temp");
        UseSession("a");
        tab_ = std::make_unique<TabWindow>();
    }

    void UseSession(const std::string& folder) {
        kivo::UserSettings settings;
        const std::string path = home_.Path() + "/sessions/" + folder + "/";
        settings.Write(kivo::kUserShellFoldersKey, kivo::kCookiesValue, path);
        settings.Write(kivo::kUserShellFoldersKey, kivo::kCacheValue, path);
    }

    std::string PageExtension() const { return home_.Path() + "/page-extension"; }

    // The next worker starts with the page processes' extension, or without it from now on.
    void NextWorker(bool extension) {
        if (!extension) fs::remove_all(PageExtension());
        has_view_ = false;
    }

    std::string WebImage(int32_t tab) const {
        return home_.Path() + "/WebImage/" + std::to_string(tab);
    }

    // The first page's thumbnail was written when it completed, and its full picture can be made.
    void ExpectBothPictures(TWebControl& web, int32_t tab) {
        ASSERT_TRUE(completions_.at(0).picture_existed);
        auto small = Gdk::Pixbuf::create_from_file(WebImage(tab));
        EXPECT_GT(small->get_width(), 0);
        web.SaveWebToPic(tab);
        auto full = Gdk::Pixbuf::create_from_file(home_.Path() + "/Temp/" + std::to_string(tab));
        EXPECT_GT(full->get_height(), 0);
    }

    // Connects `web` and records its page completions.
    void Watch(TWebControl& web) {
        web.OnDocumentComplete = [this](TWebControl&, bool top, const std::u16string& url,
                                        int32_t tab) {
            completions_.push_back({top, Utf16ToUtf8(url), tab, fs::exists(WebImage(tab))});
        };
    }

    bool WaitForTopLevel(size_t count = 1) {
        return kivo::test::PumpUntil(
            [&] {
                return std::count_if(completions_.begin(), completions_.end(),
                                     [](const Completion& c) { return c.top; }) >=
                       static_cast<long>(count);
            },
            30s);
    }

    // Opens `path` in a fresh view of `web` and waits for the page.
    int32_t Open(TWebControl& web, const std::string& path) {
        const int32_t tab = tab_->Handle();
        if (web.DefaultInterface() == nullptr || !has_view_) {
            web.Connect();
            web.Serverhandle(0);
            EXPECT_NE(web.CreateWeb(tab), 0);
            has_view_ = true;
        }
        completions_.clear();
        web.Navigate(tab, Utf8ToUtf16(server_.Url(path)), u"");
        EXPECT_TRUE(WaitForTopLevel()) << path;
        return tab;
    }

    kivo::test::TempHome home_;
    kivo::test::TestWebServer server_;
    std::string exe_;
    std::unique_ptr<TabWindow> tab_;
    std::vector<Completion> completions_;
    bool has_view_ = false;
};

TEST_F(BrowserHost, GetForAnEmptyBodyAndPostsWithTheSameBytes) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/echo");
    ASSERT_EQ(server_.RequestsTo("/echo").size(), 1u);
    EXPECT_EQ(server_.RequestsTo("/echo")[0].method, "GET");

    for (const std::string body : {"a=1&b=2", "keyword=%61%62%63", "v=%80%E9+x"}) {
        server_.ClearRequests();
        completions_.clear();
        web.Navigate(tab, Utf8ToUtf16(server_.Url("/echo")), Utf8ToUtf16(body));
        ASSERT_TRUE(WaitForTopLevel()) << body;
        kivo::test::PumpFor(300ms);
        EXPECT_EQ(completions_.size(), 1u) << "the generated form is no page of its own";
        const auto requests = server_.RequestsTo("/echo");
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].content_type, "application/x-www-form-urlencoded");
        const std::string expected = body == "keyword=%61%62%63" ? "keyword=abc" : body;
        EXPECT_EQ(requests[0].body, expected);
    }
    EXPECT_THROW(web.Navigate(tab, Utf8ToUtf16(server_.Url("/echo")), u"a=\u4e2d"),
                 WebControlError);
}

// The mapped top-level window (a dialog) that the process `pid` shows, else 0.
unsigned long ShownWindowOf(pid_t pid) {
    Display* display = kivo::test::TestDisplay();
    XSync(display, False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    unsigned long found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], XInternAtom(display, "_NET_WM_PID", False), 0,
                               1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success &&
            data) {
            if (items == 1 &&
                *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid))
                found = children[i];
            XFree(data);
        }
    }
    if (children)
        XFree(children);
    return found;
}

// Waits for the worker's dialog and answers it with these keys.
bool AnswerDialog(TWebControl& web, std::initializer_list<KeySym> keys) {
    const pid_t worker = web.DefaultInterface()->WorkerPid();
    unsigned long dialog = 0;
    if (!kivo::test::PumpUntil([&] { return (dialog = ShownWindowOf(worker)) != 0; }, 30s))
        return false;
    Display* display = kivo::test::TestDisplay();
    kivo::test::PumpFor(300ms);
    XSetInputFocus(display, static_cast<Window>(dialog), RevertToParent, CurrentTime);
    XSync(display, False);
    kivo::test::PumpFor(300ms);
    for (KeySym key : keys) {
        const KeyCode code = XKeysymToKeycode(display, key);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        kivo::test::PumpFor(100ms);
    }
    return kivo::test::PumpUntil([&] { return ShownWindowOf(worker) == 0; }, 30s);
}

TEST_F(BrowserHost, APostLeavesNoGeneratedFormInTheHistoryAndIsNotSentAgainUnasked) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/title?t=before");
    completions_.clear();
    web.Navigate(tab, Utf8ToUtf16(server_.Url("/echo")), u"a=1");
    ASSERT_TRUE(WaitForTopLevel());
    auto posts = [&] {
        const auto requests = server_.RequestsTo("/echo");
        return std::count_if(requests.begin(), requests.end(),
                             [](const auto& r) { return r.method == "POST"; });
    };
    ASSERT_EQ(posts(), 1);

    // Refresh asks first; "否" (the default: Enter) keeps the page and sends nothing.
    web.WebRefresh(tab);
    ASSERT_TRUE(AnswerDialog(web, {XK_Return}));
    kivo::test::PumpFor(500ms);
    EXPECT_EQ(posts(), 1);
    EXPECT_EQ(web.WebTitle(tab), u"Echo");

    completions_.clear();
    web.WebBack(tab);
    ASSERT_TRUE(WaitForTopLevel());
    EXPECT_EQ(web.WebTitle(tab), u"before");
    web.WebBack(tab);  // nothing before it: still succeeds

    // Stepping forward onto the answer asks too; "是" sends the same form again.
    completions_.clear();
    web.WebForward(tab);
    ASSERT_TRUE(AnswerDialog(web, {XK_Left, XK_Return}));
    ASSERT_TRUE(WaitForTopLevel());
    EXPECT_EQ(web.WebTitle(tab), u"Echo");
    EXPECT_EQ(posts(), 2);
    EXPECT_EQ(server_.RequestsTo("/echo").back().body, "a=1");

    // The address of the answer fetched again is a plain GET.
    completions_.clear();
    web.Navigate(tab, web.WebUrl(tab), u"");
    ASSERT_TRUE(WaitForTopLevel());
    EXPECT_EQ(posts(), 2);
    EXPECT_EQ(server_.RequestsTo("/echo").back().method, "GET");
}

TEST_F(BrowserHost, ANavigationThatCancelsAPostStillCompletes) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/title?t=first");
    completions_.clear();
    web.Navigate(tab, Utf8ToUtf16(server_.Url("/slow?ms=3000")), u"a=1");
    web.Navigate(tab, Utf8ToUtf16(server_.Url("/title?t=second")), u"");
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] {
            return std::any_of(completions_.begin(), completions_.end(), [](const Completion& c) {
                return c.top && c.url.find("second") != std::string::npos;
            });
        },
        30s));
}

// Whether a page process of the worker has loaded the extension.
bool PageProcessHasExtension(TWebControl& web) {
    bool found = false;
    for (pid_t child : kivo::test::PageProcessesBelow(web.DefaultInterface()->WorkerPid())) {
        std::ifstream maps("/proc/" + std::to_string(child) + "/maps");
        std::string line;
        while (std::getline(maps, line)) found |= line.find("/page-extension/") != std::string::npos;
    }
    return found;
}

TEST_F(BrowserHost, EveryFrameCompletesOnceWithoutPictureAndThePageAfterItsPicture) {
    struct Case {
        std::string page;
        std::vector<std::string> frames;  // in the order reported where it is fixed
        bool sorted;                       // frames loading side by side report in any order
    };
    std::vector<Case> cases = {
        {"/frame", {"/frame-inner"}, false},
        // A frame completes after the frames inside it.
        {"/frame-nested", {"/frame-inner?in=middle", "/frame-middle"}, false},
        {"/frameset", {"/frame-inner?side=left", "/frame-inner?in=middle", "/frame-middle"}, true},
        // Complete before the page has been parsed, and so before anybody listened.
        {"/frame-early", {"/frame-inner?early=1"}, false},
        {"/frame-blank", {"about:blank", "about:blank", "/frame-inner?after=blank"}, true},
    };
    // Games come in frames from other hosts than the page's.
    const std::string other_host = "http://localhost:" + std::to_string(server_.Port()) + "/frame-inner";
    cases.push_back({"/frame-of?src=" + other_host, {other_host}, false});
    auto address = [&](const std::string& path) { return path[0] == '/' ? server_.Url(path) : path; };
    for (const bool extension : {true, false}) {
        SCOPED_TRACE(extension ? "reported by the extension" : "reported by a frame script");
        NextWorker(extension);
        TWebControl web;
        Watch(web);
        for (const Case& page : cases) {
            SCOPED_TRACE(page.page);
            fs::remove(WebImage(tab_->Handle()));
            const int32_t tab = Open(web, page.page);
            if (page.page == "/frame") {
                EXPECT_EQ(PageProcessHasExtension(web), extension);
            }
            kivo::test::PumpFor(200ms);  // time for a report twice over
            ASSERT_FALSE(completions_.empty());
            std::vector<std::string> frames, expected;
            for (const Completion& c : completions_) {
                if (c.top) continue;
                frames.push_back(c.url);
                EXPECT_EQ(c.tab, tab);
                EXPECT_FALSE(c.picture_existed) << c.url;
            }
            for (const std::string& frame : page.frames) expected.push_back(address(frame));
            // The middle frame's inner frame comes first wherever both are.
            const auto inner = std::find(frames.begin(), frames.end(), address("/frame-inner?in=middle"));
            const auto middle = std::find(frames.begin(), frames.end(), address("/frame-middle"));
            if (middle != frames.end()) {
                EXPECT_LT(inner, middle);
            }
            if (page.sorted) {
                std::sort(frames.begin(), frames.end());
                std::sort(expected.begin(), expected.end());
            }
            EXPECT_EQ(frames, expected);
            const Completion& top = completions_.back();
            EXPECT_TRUE(top.top);
            EXPECT_EQ(top.url, server_.Url(page.page));
            EXPECT_TRUE(top.picture_existed);
            EXPECT_EQ(std::count_if(completions_.begin(), completions_.end(),
                                    [](const Completion& c) { return c.top; }),
                      1);
        }

        // A frame the page's own script adds after it has loaded.
        const int32_t tab = Open(web, "/frame-late");
        ASSERT_TRUE(kivo::test::PumpUntil([&] { return completions_.size() >= 2; }, 10s));
        kivo::test::PumpFor(200ms);
        ASSERT_EQ(completions_.size(), 2u);
        EXPECT_TRUE(completions_[0].top);
        EXPECT_FALSE(completions_[1].top);
        EXPECT_EQ(completions_[1].url, server_.Url("/frame-inner?late=1"));
        EXPECT_EQ(completions_[1].tab, tab);
    }
}

TEST_F(BrowserHost, PicturesOfATallPage) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/tall");
    auto small = Gdk::Pixbuf::create_from_file(WebImage(tab));
    EXPECT_EQ(small->get_width(), 320);
    EXPECT_EQ(small->get_height(), 640);
    web.SaveWebToPic(tab);
    auto full = Gdk::Pixbuf::create_from_file(home_.Path() + "/Temp/" + std::to_string(tab));
    EXPECT_EQ(full->get_width(), 320);
    EXPECT_EQ(full->get_height(), 920);
    // The bottom square of the page is blue in the full picture.
    const guint8* pixel = full->get_pixels() + 850 * full->get_rowstride() + 150 * full->get_n_channels();
    EXPECT_LT(pixel[0], 50);
    EXPECT_GT(pixel[2], 200);
    std::ifstream file(WebImage(tab), std::ios::binary);
    char header[30] = {};
    file.read(header, sizeof header);
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[28], 24);  // bits per pixel
}

// Presses a key in the page of the tab.
void PressKeyIn(TWebControl& web, int32_t tab, Window toplevel) {
    Display* display = kivo::test::TestDisplay();
    XSetInputFocus(display, toplevel, RevertToParent, CurrentTime);
    XSync(display, False);
    web.SetFoucseWeb(tab);
    kivo::test::PumpFor(500ms);
    const KeyCode code = XKeysymToKeycode(display, XK_space);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

TEST_F(BrowserHost, APopupOpenedForTheUsersKeyBecomesAViewOfTheTabTheMainSideReturned) {
    TWebControl web;
    Watch(web);
    Open(web, "/setcookie?name=opener&value=42");
    TabWindow popup_tab;
    int32_t asked_for = 0;
    web.OnNewTab = [&](TWebControl&, int32_t& tab, int32_t web_handle) {
        asked_for = tab;
        EXPECT_EQ(web_handle, 0);
        tab = popup_tab.Handle();
    };
    const int32_t tab = Open(web, "/popup?key=1");
    PressKeyIn(web, tab, static_cast<Window>(tab_->Toplevel()));
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return asked_for != 0; }, 30s));
    EXPECT_EQ(asked_for, tab);
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] {
            return std::any_of(completions_.begin(), completions_.end(), [&](const Completion& c) {
                return c.top && c.tab == popup_tab.Handle();
            });
        },
        30s));
    EXPECT_EQ(web.WebCount(), 2);
    EXPECT_NE(web.WebHandle(popup_tab.Handle()), web.WebHandle(tab));
    const auto cookies = server_.RequestsTo("/cookies");
    ASSERT_FALSE(cookies.empty());
    EXPECT_NE(cookies.back().cookie.find("opener=42"), std::string::npos);
}

TEST_F(BrowserHost, PopupsThePageOpensByItselfAreReportedNotOpened) {
    TWebControl web;
    Watch(web);
    int32_t new_tabs = 0;
    web.OnNewTab = [&](TWebControl&, int32_t&, int32_t) { ++new_tabs; };
    std::vector<std::string> blocked;
    web.OnPopupBlocked = [&](TWebControl&, const std::u16string& url, int32_t tab) {
        EXPECT_EQ(tab, tab_->Handle());
        blocked.push_back(Utf16ToUtf8(url));
    };
    Open(web, "/popup?auto=1&loop=1");
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return blocked.size() >= 5; }, 30s));
    EXPECT_EQ(blocked.front(), server_.Url("/cookies"));
    EXPECT_EQ(new_tabs, 0);
    EXPECT_EQ(web.WebCount(), 1);
    EXPECT_TRUE(server_.RequestsTo("/cookies").empty());
}

TEST_F(BrowserHost, MembersWithAndWithoutADocument) {
    TWebControl web;
    web.Connect();
    const int32_t tab = tab_->Handle();
    web.CreateWeb(tab);
    EXPECT_THROW(web.WebTitle(tab), WebControlError);
    EXPECT_EQ(web.WebUrl(tab), u"");
    has_view_ = true;
    Watch(web);
    Open(web, "/title?t=" + std::string("%E6%B8%B8%E6%88%8F%22x%22"));
    EXPECT_EQ(web.WebTitle(tab), u"游戏\"x\"");
    web.FreeWeb(tab);
    web.FreeWeb(tab);
    EXPECT_EQ(web.WebCount(), 0);
    EXPECT_THROW(web.WebTitle(tab), WebControlError);
}

TEST_F(BrowserHost, LoginWebSetsInputsOnlyAndLiterallyAndOnlyOnTheAccountsSite) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/login");
    // Without a site, with another host, port or scheme, nothing is written.
    const std::string port = std::to_string(server_.Port());
    EXPECT_THROW(web.LoginWeb(u"username", u"x", tab), WebControlError);
    for (const std::string& other :
         {"http://localhost:" + port + "/login", std::string("http://127.0.0.1:1/login"),
          "https://127.0.0.1:" + port + "/"}) {
        web.LoginSite(tab, Utf8ToUtf16(other));
        EXPECT_THROW(web.LoginWeb(u"username", u"x", tab), WebControlError) << other;
    }
    web.LoginSite(tab, Utf8ToUtf16(server_.Url("/elsewhere-on-the-site")));
    const std::u16string nasty = u"a\"b'c\\d\n</script><script>document.title='pwned'</script>";
    web.LoginWeb(u"username", nasty, tab);  // by name, other letter case
    web.LoginWeb(u"PASSWORD", u"密码", tab);  // by id, other letter case
    EXPECT_THROW(web.LoginWeb(u"server", u"x", tab), WebControlError);  // a select
    EXPECT_THROW(web.LoginWeb(u"nothing-here", u"x", tab), WebControlError);
    EXPECT_THROW(web.LoginWeb(u"x\"]", u"x", tab), WebControlError);
    // A text input holds no line breaks: the page's own rules drop them.
    const std::u16string expected =
        u"fields:[\"a\\\"b'c\\\\d</script><script>document.title='pwned'</script>\",\"密码\"]";
    const bool mirrored =
        kivo::test::PumpUntil([&] { return web.WebTitle(tab) == expected; }, 5s);
    EXPECT_TRUE(mirrored) << Utf16ToUtf8(web.WebTitle(tab));
    EXPECT_TRUE(server_.RequestsTo("/login-submit").empty());  // nothing was submitted
    EXPECT_EQ(completions_.size(), 1u);                          // and no event raised
}

TEST_F(BrowserHost, TheMainSideReadsTheLoginFieldsOfAViewAsTypedAndAHungWorkerOnlyFailsThat) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/account-form");
    web.LoginSite(tab, Utf8ToUtf16(server_.Url("/")));
    EXPECT_THROW(web.LoginWeb(u"framed", u"x", tab), WebControlError);  // a frame's is not filled
    // Values as the page holds them now, not as its markup said.
    web.LoginWeb(u"user", u"玩家 \"1\"\n</script>", tab);
    web.LoginWeb(u"pass", u"p=w'd", tab);
    const auto view = static_cast<unsigned long>(web.WebHandle(tab));
    const auto fields = kivo::document::ReadLoginFields(kivo::test::TestDisplay(), view);
    std::vector<std::string> read;
    for (const auto& field : fields) read.push_back(field.type + ":" + field.name + "=" + field.value);
    // A text input drops line breaks itself; the framed field is not the page's.
    EXPECT_EQ(read, (std::vector<std::string>{"text:user=玩家 \"1\"</script>", "text:nick=",
                                              "password:pass=p=w'd"}));

    // A window nobody marked has no document; a marked one is found from the tab's window.
    Display* display = kivo::test::TestDisplay();
    const Window plain =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    EXPECT_THROW(kivo::document::ReadLoginFields(display, plain), kivo::document::DocumentError);
    XDestroyWindow(display, plain);
    std::string address;
    EXPECT_EQ(kivo::document::GetDocumentFromWindow(display, view, address), 0);
    EXPECT_EQ(kivo::document::FindBrowserServerWindow(display, tab_->Toplevel()), view);

    // A worker that stops answering costs the question its deadline, nothing more.
    const auto saved = kivo::document::QuestionTimeout();
    kivo::document::SetQuestionTimeout(1s);
    const pid_t worker = web.DefaultInterface()->WorkerPid();
    kill(worker, SIGSTOP);
    EXPECT_THROW(kivo::document::ReadLoginFields(kivo::test::TestDisplay(), view),
                 kivo::document::DocumentError);
    kill(worker, SIGCONT);
    kivo::document::SetQuestionTimeout(saved);
    EXPECT_EQ(kivo::document::ReadLoginFields(kivo::test::TestDisplay(), view).size(), 3u);
}

TEST_F(BrowserHost, WorkersOnOneSessionFolderShareCookiesAndOthersDoNot) {
    {
        TWebControl first;
        Watch(first);
        Open(first, "/setcookie?name=shared&value=1");
    }
    auto cookies_seen = [&](TWebControl& web) {
        // A tab window of its own: the engine cannot draw a page in a window whose view ended.
        tab_ = std::make_unique<TabWindow>();
        has_view_ = false;
        Watch(web);
        Open(web, "/cookies");
        return server_.RequestsTo("/cookies").back().cookie;
    };
    TWebControl second;  // one after the other
    EXPECT_NE(cookies_seen(second).find("shared=1"), std::string::npos);

    UseSession("b");
    TWebControl other;
    EXPECT_EQ(cookies_seen(other).find("shared"), std::string::npos);
}

TEST_F(BrowserHost, WorkersRunningSideBySideOnOneFolderSeeEachOthersCookies) {
    TWebControl first, second;
    Watch(first);
    Open(first, "/title?t=first");
    auto tab2 = std::make_unique<TabWindow>();
    std::swap(tab_, tab2);
    has_view_ = false;
    Watch(second);
    Open(second, "/setcookie?name=later&value=2");  // set by the one started last
    std::swap(tab_, tab2);
    // The other engine hears of the change once the cookie file has been written.
    kivo::test::PumpFor(1500ms);
    completions_.clear();
    Watch(first);
    first.Navigate(tab_->Handle(), Utf8ToUtf16(server_.Url("/cookies")), u"");
    ASSERT_TRUE(WaitForTopLevel());
    EXPECT_NE(server_.RequestsTo("/cookies").back().cookie.find("later=2"), std::string::npos);
}

TEST_F(BrowserHost, TypingReachesTheFocusedPage) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/keys");
    Display* display = kivo::test::TestDisplay();
    XSetInputFocus(display, static_cast<Window>(tab_->Toplevel()), RevertToParent, CurrentTime);
    XSync(display, False);
    web.SetFoucseWeb(tab);
    kivo::test::PumpFor(500ms);
    for (KeySym key : {XK_a, XK_b, XK_c}) {
        const KeyCode code = XKeysymToKeycode(display, key);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        kivo::test::PumpFor(50ms);
    }
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return web.WebTitle(tab) == u"keys:abc"; }, 5s))
        << Utf16ToUtf8(web.WebTitle(tab));
}

TEST_F(BrowserHost, DocumentScriptsAnswerTheSameThroughThePageExtensionAndWithoutIt) {
    std::map<std::string, std::string> seen;  // by page: address, title and picture size
    for (const bool extension : {true, false}) {
        SCOPED_TRACE(extension ? "through the extension" : "without the extension");
        NextWorker(extension);
        TWebControl web;
        Watch(web);
        const int32_t tab = Open(web, "/tall");
        EXPECT_EQ(PageProcessHasExtension(web), extension);
        // The picture's size comes from the body's size.
        auto small = Gdk::Pixbuf::create_from_file(WebImage(tab));
        EXPECT_EQ(small->get_width(), 320);
        EXPECT_EQ(small->get_height(), 640);
        EXPECT_EQ(Utf16ToUtf8(web.WebUrl(tab)), server_.Url("/tall"));
        EXPECT_EQ(web.WebTitle(tab), u"Tall");

        // A frame set is its document's body; a drawing has none and is pictured as shown.
        for (const std::string page : {"/frameset", "/drawing", "/title?t=", "/title?t=%20a%20%20b%20",
                                       "/frame-nested"}) {
            completions_.clear();
            web.Navigate(tab, Utf8ToUtf16(server_.Url(page)), u"");
            ASSERT_TRUE(WaitForTopLevel()) << page;
            auto picture = Gdk::Pixbuf::create_from_file(WebImage(tab));
            std::ostringstream answers;
            answers << Utf16ToUtf8(web.WebUrl(tab)) << " \"" << Utf16ToUtf8(web.WebTitle(tab)) << "\" "
                    << picture->get_width() << "x" << picture->get_height();
            if (extension)
                seen[page] = answers.str();
            else
                EXPECT_EQ(answers.str(), seen[page]);
        }
        EXPECT_EQ(seen["/drawing"].substr(0, seen["/drawing"].find(' ')), server_.Url("/drawing"));
        EXPECT_NE(seen["/drawing"].find(" \"Drawing\" "), std::string::npos);
        EXPECT_NE(seen["/title?t=%20a%20%20b%20"].find(" \"a b\" "), std::string::npos);

        completions_.clear();
        web.Navigate(tab, Utf8ToUtf16(server_.Url("/login")), u"");
        ASSERT_TRUE(WaitForTopLevel());
        web.LoginSite(tab, Utf8ToUtf16(server_.Url("/login")));
        web.LoginWeb(u"UserName", u"\"quoted\" \\ name", tab);
        EXPECT_THROW(web.LoginWeb(u"server", u"x", tab), WebControlError);
        EXPECT_THROW(web.LoginWeb(u"nothing-here", u"x", tab), WebControlError);
        const std::u16string expected = u"fields:[\"\\\"quoted\\\" \\\\ name\",\"\"]";
        EXPECT_TRUE(kivo::test::PumpUntil([&] { return web.WebTitle(tab) == expected; }, 5s))
            << Utf16ToUtf8(web.WebTitle(tab));
    }
}

// The engine's views driven from this process, to see failures the worker object hides.
class ViewEvents final : public uitWebControl::BrowserViewEvents {
public:
    void ViewDocumentComplete(uitWebControl::BrowserView&, bool top_level, const std::string&) override {
        pages += top_level;
    }
    std::shared_ptr<uitWebControl::BrowserView> ViewNewWindow(uitWebControl::BrowserView&) override {
        return nullptr;
    }
    void ViewProgressChange(uitWebControl::BrowserView&, int32_t, int32_t) override {}
    void ViewStatusTextChange(uitWebControl::BrowserView&, const std::string&) override {}
    void ViewBrowserKey(uitWebControl::BrowserView&, kivo::BrowserCommand) override {}
    void ViewFindCount(uitWebControl::BrowserView&, int32_t) override {}
    int pages = 0;
};

TEST_F(BrowserHost, APageWithoutBodyFailsToGiveItsSizeAlikeThroughThePageExtensionAndWithoutIt) {
    std::vector<std::string> failures;
    for (const bool extension : {true, false}) {
        SCOPED_TRACE(extension ? "through the extension" : "without the extension");
        const std::string folder = home_.Path() + "/engine-" + std::to_string(extension) + "/";
        uitWebControl::WebKitEngine engine({folder, folder}, extension ? PageExtension() : "");
        ViewEvents events;
        auto view = engine.CreateView(0, events, nullptr);
        view->Navigate(server_.Url("/drawing"));
        ASSERT_TRUE(kivo::test::PumpUntil([&] { return events.pages == 1; }, 30s));
        EXPECT_EQ(view->DocumentTitle(), "Drawing");
        EXPECT_EQ(view->DocumentUrl(), server_.Url("/drawing"));
        try {
            view->BodyScrollSize();
            ADD_FAILURE() << "a size without a body";
        } catch (const WebControlError& e) {
            failures.push_back(e.what());
        }
    }
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], "the page's document cannot be read: the page has no body");
    EXPECT_NE(failures[1].find("the page has no body"), std::string::npos) << failures[1];
}

// A worker whose page process is killed cannot show its pages any more: it ends, so the main
// process learns of it as of any ended worker (and offers the tabs' pages again), and calls
// fail at once instead of waiting.
TEST_F(BrowserHost, AKilledPageProcessEndsTheWorker) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/title?t=alive");
    const pid_t worker = web.DefaultInterface()->WorkerPid();
    bool killed = false;
    for (pid_t page : kivo::test::PageProcessesBelow(worker))
        killed |= kill(page, SIGKILL) == 0;
    ASSERT_TRUE(killed);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(worker); }, 30s));
    EXPECT_THROW(web.WebTitle(tab), std::exception);
}

TEST_F(BrowserHost, PicturesOfAPageTallerThanTheEngineDrawsWhole) {
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/wide-tall?w=400&h=40000");
    ExpectBothPictures(web, tab);
}

// The most memory a process has held at once, in KiB; 0 when it cannot be read.
long PeakKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

TEST_F(BrowserHost, PicturesOfAHugePageAreMadeWithinAFixedMemoryBound) {
    constexpr long kBoundKiB = 1024 * 1024;  // drawing it whole takes four times that
    TWebControl web;
    Watch(web);
    const int32_t tab = Open(web, "/wide-tall?w=32000&h=32000");
    ExpectBothPictures(web, tab);
    const pid_t worker = web.DefaultInterface()->WorkerPid();
    EXPECT_LT(PeakKiB(worker), kBoundKiB);
    for (pid_t process : kivo::test::DescendantsOf(worker))
        EXPECT_LT(PeakKiB(process), kBoundKiB) << kivo::test::ProcessCommand(process);
}

TEST_F(BrowserHost, APictureFailureIsShownOncePerWorker) {
    TWebControl web;
    Watch(web);
    fs::remove_all(home_.Path() + "/WebImage");
    web.Connect();
    web.Serverhandle(0);
    const int32_t tab = tab_->Handle();
    ASSERT_NE(web.CreateWeb(tab), 0);
    web.Navigate(tab, Utf8ToUtf16(server_.Url("/title?t=one")), u"");
    ASSERT_TRUE(AnswerDialog(web, {XK_Return}));
    ASSERT_TRUE(WaitForTopLevel(1));
    EXPECT_FALSE(completions_.back().picture_existed);
    web.Navigate(tab, Utf8ToUtf16(server_.Url("/title?t=two")), u"");
    ASSERT_TRUE(WaitForTopLevel(2)) << "a second message box holds the completion back";
    EXPECT_EQ(ShownWindowOf(web.DefaultInterface()->WorkerPid()), 0u);
}

// The program's own pages, served by the worker itself: no web server is involved.
class OwnPages : public BrowserHost {
protected:
    int32_t Start(TWebControl& web) {
        Watch(web);
        web.Connect();
        web.Serverhandle(0);
        const int32_t tab = tab_->Handle();
        EXPECT_NE(web.CreateWeb(tab), 0);
        return tab;
    }

    // Loads `url` (posting `body` unless empty) and gives the page's title once it has loaded.
    std::string Load(TWebControl& web, int32_t tab, const std::string& url, const std::string& body = "") {
        completions_.clear();
        web.Navigate(tab, Utf8ToUtf16(url), Utf8ToUtf16(body));
        if (!WaitForTopLevel()) return "(no completion: " + url + ")";
        EXPECT_EQ(Utf16ToUtf8(web.WebUrl(tab)), url);
        return Utf16ToUtf8(web.WebTitle(tab));
    }
};

TEST_F(OwnPages, TheGameSearchShowsThePostedKeywordAsText) {
    TWebControl web;
    const int32_t tab = Start(web);
    const std::string search = kivo::MakerSearchUrl();
    EXPECT_EQ(Load(web, tab, search), "网页游戏搜索");
    EXPECT_EQ(Load(web, tab, search, "keyword=%E6%B8%B8%E6%88%8F"), "游戏 - 网页游戏搜索");
    // Were the keyword markup, its script would rename the page.
    const std::string markup = "<script>document.title='x'</script>\"'&amp;";
    std::string encoded = "keyword=";
    for (unsigned char byte : markup) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", byte);
        encoded += hex;
    }
    EXPECT_EQ(Load(web, tab, search, encoded), markup + " - 网页游戏搜索");
    kivo::test::PumpFor(300ms);
    EXPECT_EQ(Utf16ToUtf8(web.WebTitle(tab)), markup + " - 网页游戏搜索");
}

TEST_F(OwnPages, EveryMiniGamePageLoadsOffline) {
    TWebControl web;
    const int32_t tab = Start(web);
    for (size_t index = 0; index < kivo::kMiniGameCategories.size(); ++index)
        EXPECT_EQ(Load(web, tab, kivo::MiniGameUrl(static_cast<int>(index))),
                  std::string(kivo::kMiniGameCategories[index].caption) + " - Kivo小游戏");
    EXPECT_EQ(Load(web, tab, kivo::MiniGameUrl(-1)), "小游戏首页 - Kivo小游戏");
    EXPECT_EQ(Load(web, tab, std::string(kivo::kMiniGameHost) + "/play/9_1.htm"), "五子棋 - Kivo小游戏");
}

}  // namespace
