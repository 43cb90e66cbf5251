// Calls and events between this process and real worker processes (the scripted peer).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <optional>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"

namespace {

using gameKivo_TLB::WebControlError;
using gameKivo_Work_TLB::TWebControl;
using namespace std::chrono_literals;

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        peer_ = kivo::test::CopyExecutable(KIVO_TEST_PEER, home_.Path(), "kivo-peer");
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, peer_);
    }
    size_t PeerCount() const { return kivo::FindProcessesByName("kivo-peer").size(); }

    kivo::test::TempHome home_;
    std::string peer_;
};

TEST_F(Transport, EachConnectStartsExactlyOneWorker) {
    TWebControl a, b;
    EXPECT_EQ(PeerCount(), 0u);
    a.Connect();
    EXPECT_EQ(PeerCount(), 1u);
    a.Connect();  // already connected
    EXPECT_EQ(PeerCount(), 1u);
    EXPECT_THROW(b.WebCount(), WebControlError);  // a wrapper never starts a worker
    EXPECT_EQ(PeerCount(), 1u);
    b.Connect();
    EXPECT_EQ(PeerCount(), 2u);
    EXPECT_NE(a.DefaultInterface()->WorkerPid(), b.DefaultInterface()->WorkerPid());

    const pid_t pid = a.DefaultInterface()->WorkerPid();
    a.Disconnect();  // the released worker ends by itself
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(pid); }, 5s));
    // A disconnected proxy does not connect again behind the caller's back.
    EXPECT_THROW(a.Navigate(1, u"x", u""), WebControlError);
    EXPECT_EQ(PeerCount(), 1u);
}

TEST_F(Transport, ValuesCrossInBothDirections) {
    TWebControl web;
    web.Connect();
    const std::u16string url = u"http://127.0.0.1/游戏?q=\"'\\\n𝄞";
    web.Navigate(-2147483647 - 1, url, u"");
    web.LoginWeb(u"用户", u"", 3);
    EXPECT_EQ(web.WebUrl(0), url + u"||用户=@3");
    EXPECT_EQ(web.CreateWeb(-21), -42);
    web.Serverhandle(-5);
    EXPECT_EQ(web.WebCount(), -5);

    std::vector<std::string> seen;
    web.OnProgressChange = [&](TWebControl& sender, int32_t p, int32_t max, int32_t tab) {
        EXPECT_EQ(&sender, &web);
        seen.push_back("progress " + std::to_string(p) + "/" + std::to_string(max) + " " +
                       std::to_string(tab));
    };
    web.OnStatusTextChange = [&](TWebControl&, const std::u16string& text, int32_t tab) {
        seen.push_back("status " + kivo::Utf16ToUtf8(text) + " " + std::to_string(tab));
    };
    web.OnDocumentComplete = [&](TWebControl&, bool top, const std::u16string& u, int32_t tab) {
        seen.push_back(std::string("complete ") + (top ? "true " : "false ") +
                       kivo::Utf16ToUtf8(u) + " " + std::to_string(tab));
    };
    web.Navigate(-9, u"raise:all", u"状态 \"x\"");
    web.Navigate(8, u"raise:DocumentComplete", u"");
    EXPECT_EQ(seen, (std::vector<std::string>{"progress -5/100 -9", "status 状态 \"x\" -9",
                                              "complete false 状态 \"x\" -9", "complete true  8"}));

    // An event raised later arrives through the main loop.
    seen.clear();
    web.Navigate(1, u"raise-later:DocumentComplete", u"later");
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !seen.empty(); }, 5s));
    EXPECT_EQ(seen.front(), "complete true later 1");
}

TEST_F(Transport, FailuresCarryTheWorkersText) {
    TWebControl web;
    web.Connect();
    try {
        web.Navigate(1, u"fail", u"页面不存在 \"x\"");
        FAIL() << "no error";
    } catch (const WebControlError& e) {
        EXPECT_STREQ(e.what(), "页面不存在 \"x\"");
    }
    EXPECT_EQ(web.CreateWeb(2), 4);  // the object stays usable
}

TEST_F(Transport, HandlersMayCallBackIntoTheSameWorkerBeforeReturning) {
    TWebControl web;
    web.Connect();
    std::u16string title_seen;
    web.OnDocumentComplete = [&](TWebControl& sender, bool, const std::u16string&, int32_t tab) {
        // The worker is still inside Navigate, waiting for this handler.
        sender.LoginWeb(u"name", u"value", tab);
        title_seen = sender.WebTitle(tab);
        // Nested once more: this call makes the worker raise again, inside the handler.
        sender.OnDocumentComplete = nullptr;
        sender.Navigate(tab, u"raise:DocumentComplete", u"");
    };
    web.Navigate(6, u"raise:DocumentComplete", u"");
    EXPECT_EQ(title_seen, u"0");
    EXPECT_EQ(web.WebUrl(6), u"||name=value@6");
}

TEST_F(Transport, NewTabSendsBackWhatTheHandlerLeft) {
    TWebControl web;
    web.Connect();
    web.Navigate(31, u"raise:NewTab", u"");  // no handler: the handle goes back unchanged
    EXPECT_EQ(web.WebHandle(0), 31);

    int32_t web_handle = 0;
    web.OnNewTab = [&](TWebControl&, int32_t& tab, int32_t handle) {
        web_handle = handle;
        EXPECT_EQ(tab, 31);
    };
    web.Navigate(31, u"raise:NewTab", u"");
    EXPECT_EQ(web.WebHandle(0), 31);
    EXPECT_EQ(web_handle, 4242);

    web.OnNewTab = [&](TWebControl&, int32_t& tab, int32_t) { tab = -77; };
    web.Navigate(31, u"raise:NewTab", u"");
    EXPECT_EQ(web.WebHandle(0), -77);

    // A handler that fails sends no handle back; the worker sees the failure.
    web.OnNewTab = [&](TWebControl&, int32_t& tab, int32_t) {
        tab = 5;
        throw std::runtime_error("no tab");
    };
    EXPECT_THROW(web.Navigate(31, u"raise:NewTab", u""), WebControlError);
    EXPECT_EQ(web.WebHandle(0), -77);
}

TEST_F(Transport, TwoWorkersShareNothingButTheHandlers) {
    TWebControl a, b;
    a.Connect();
    b.Connect();
    std::vector<int32_t> tabs;
    auto handler = [&](TWebControl&, bool, const std::u16string&, int32_t tab) {
        tabs.push_back(tab);
    };
    a.OnDocumentComplete = handler;
    b.OnDocumentComplete = handler;
    a.Navigate(1, u"raise:DocumentComplete", u"");
    b.Navigate(2, u"raise:DocumentComplete", u"");
    a.Serverhandle(10);
    b.Serverhandle(20);
    EXPECT_EQ(a.WebCount(), 10);
    EXPECT_EQ(b.WebCount(), 20);
    EXPECT_EQ(tabs, (std::vector<int32_t>{1, 2}));
}

TEST_F(Transport, OneSubscriberPerObject) {
    TWebControl first, second;
    first.Connect();
    EXPECT_THROW(second.ConnectTo(first.DefaultInterface()), WebControlError);
    EXPECT_FALSE(second.Connected());
    first.Disconnect();
    // Once the first has unsubscribed, the reference can be taken over... but the first
    // released it, so the worker is gone: the takeover fails with an error, not a crash.
}

TEST_F(Transport, AKilledWorkerFailsEveryLaterCall) {
    TWebControl web;
    web.Connect();
    web.Connect();
    kill(web.DefaultInterface()->WorkerPid(), SIGKILL);
    EXPECT_THROW(web.WebCount(), kivo::ConnectionError);
    EXPECT_THROW(web.Navigate(1, u"x", u""), kivo::ConnectionError);
    TWebControl other;  // the main process goes on
    other.Connect();
    EXPECT_EQ(other.CreateWeb(1), 2);
}

TEST_F(Transport, NoRegistrationNoWorker) {
    kivo::UserSettings settings;
    gameKivo_TLB::UnregisterServer(settings);
    TWebControl web;
    EXPECT_THROW(web.Connect(), WebControlError);
    EXPECT_THROW(web.WebCount(), WebControlError);
    EXPECT_EQ(PeerCount(), 0u);
    // A proxy whose connection failed stays without a worker once the class is back.
    gameKivo_TLB::RegisterServer(settings, peer_);
    EXPECT_THROW(web.CreateWeb(1), WebControlError);
    EXPECT_EQ(PeerCount(), 0u);
}

TEST_F(Transport, PictureRequestsRunWithoutWaitingAndALateAnswerKeepsTheWorker) {
    TWebControl a, b, never;
    a.Connect();
    b.Connect();
    std::optional<bool> first, second, failed, late, unconnected;
    auto into = [](std::optional<bool>& slot) { return [&slot](bool ok) { slot = ok; }; };
    a.SaveWebToPicSmallAsync(300, 20s, into(first));
    b.SaveWebToPicSmallAsync(300, 20s, into(second));
    a.SaveWebToPicSmallAsync(-1, 20s, into(failed));
    never.SaveWebToPicSmallAsync(1, 20s, into(unconnected));
    // Nothing is answered inside the call, even for a proxy without a worker.
    EXPECT_FALSE(first || second || failed || unconnected);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return first && second && failed && unconnected; },
                                      20s));
    EXPECT_TRUE(*first);
    EXPECT_TRUE(*second);
    EXPECT_FALSE(*failed);
    EXPECT_FALSE(*unconnected);

    // Out of time: reported as not written; the answer that follows is dropped quietly and the
    // worker goes on serving.
    b.SaveWebToPicSmallAsync(1500, 100ms, into(late));
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return late.has_value(); }, 20s));
    EXPECT_FALSE(*late);
    EXPECT_EQ(b.CreateWeb(4), 8);  // served after the late answer
    EXPECT_TRUE(b.DefaultInterface()->Alive());

    // A worker that dies with a request outstanding answers it with false.
    std::optional<bool> orphan;
    a.SaveWebToPicSmallAsync(5000, 20s, into(orphan));
    kill(a.DefaultInterface()->WorkerPid(), SIGKILL);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return orphan.has_value(); }, 20s));
    EXPECT_FALSE(*orphan);
}

}  // namespace
