// The main side against workers that misbehave: hang, stop reading, flood, or are stopped.
// Each must cost a failed call, never a frozen or swollen main process, and must be ended.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "platform/process.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"

namespace {

using gameKivo_Work_TLB::TWebControl;
using kivo::Channel;
using kivo::ConnectionError;
using namespace std::chrono_literals;

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        worker_ = kivo::test::CopyExecutable(KIVO_MISBEHAVING_WORKER, home_.Path(), "kivo-misfit");
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, worker_);
        Channel::SetCallTimeout(2000ms);
        Channel::SetSendTimeout(1000ms);
    }
    void TearDown() override {
        unsetenv("GAMEKIVO_MISBEHAVE");
        Channel::SetCallTimeout(60000ms);
        Channel::SetSendTimeout(3000ms);
    }
    // Connects a proxy to a worker that misbehaves as `mode` from its first Navigate on.
    pid_t Start(TWebControl& web, const char* mode) {
        setenv("GAMEKIVO_MISBEHAVE", mode, 1);
        web.Connect();
        EXPECT_EQ(web.CreateWeb(7), 7);  // well-behaved until told otherwise
        return web.DefaultInterface()->WorkerPid();
    }
    static bool Ended(pid_t pid) {
        return kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(pid); }, 20s);
    }
    static std::string Failure(const std::function<void()>& call) {
        try {
            call();
        } catch (const ConnectionError& e) {
            return e.what();
        }
        return "no failure";
    }

    kivo::test::TempHome home_;
    std::string worker_;
};

TEST_F(Faults, TheFirstCallAHungWorkerDoesNotAnswerEndsIt) {
    TWebControl web, other;
    const pid_t pid = Start(web, "hang");
    const pid_t healthy = Start(other, "hang");
    EXPECT_EQ(Failure([&] { web.Navigate(7, u"http://127.0.0.1/", u""); }),
              "the connected process did not answer in time");
    EXPECT_TRUE(Ended(pid));
    EXPECT_FALSE(web.DefaultInterface()->Alive());
    // Every later call fails without waiting, and no new worker takes its place.
    EXPECT_THROW(web.WebCount(), ConnectionError);
    EXPECT_THROW(web.SetParent(7), ConnectionError);
    EXPECT_EQ(kivo::FindProcessesByName("kivo-misfit").size(), 1u);
    EXPECT_EQ(other.WebCount(), 1);  // the other worker is untouched
    EXPECT_TRUE(kivo::test::ProcessRunning(healthy));
}

TEST_F(Faults, AStoppedWorkerIsEndedByTheCallThatTimesOut) {
    TWebControl web;
    const pid_t pid = Start(web, "");
    kill(pid, SIGSTOP);
    EXPECT_THROW(web.WebUrl(7), ConnectionError);
    EXPECT_TRUE(Ended(pid));
    EXPECT_THROW(web.WebUrl(7), ConnectionError);
}

TEST_F(Faults, AWorkerThatStopsReadingWhileItSendsEventsIsCutOff) {
    TWebControl web;
    const pid_t pid = Start(web, "deaf");
    size_t events = 0;
    web.OnDocumentComplete = [&](TWebControl&, bool, const std::u16string&, int32_t tab) {
        EXPECT_EQ(tab, 7);
        ++events;
    };
    EXPECT_EQ(Failure([&] { web.Navigate(7, u"http://127.0.0.1/", u""); }),
              "the connected process did not take the message in time");
    EXPECT_GT(events, 0u);
    EXPECT_TRUE(Ended(pid));
    EXPECT_THROW(web.WebCount(), ConnectionError);
}

TEST_F(Faults, AFloodingWorkerIsCutOffWithLittleBuffered) {
    TWebControl web;
    const pid_t pid = Start(web, "flood");
    std::string nested;
    web.OnStatusTextChange = [&](TWebControl& sender, const std::u16string&, int32_t tab) {
        if (!nested.empty())
            return;
        // A large message to the flooding worker: while it cannot be sent, what the worker
        // keeps sending must not pile up.
        nested = Failure([&] { sender.Navigate(tab, u"x", std::u16string(4u << 20, u'a')); });
    };
    EXPECT_THROW(web.Navigate(7, u"http://127.0.0.1/", u""), ConnectionError);
    EXPECT_EQ(nested, "the connected process did not take the message in time");
    EXPECT_LE(web.DefaultInterface()->Connection().PeakBuffered(), Channel::kMaxBuffered);
    EXPECT_TRUE(Ended(pid));
}

TEST_F(Faults, AWorkerThatStaysAfterReleaseIsEndedOnQuit) {
    pid_t pid = 0;
    {
        TWebControl web;
        pid = Start(web, "linger");  // stays when its connection is closed
    }
    EXPECT_TRUE(kivo::test::ProcessRunning(pid));
    gameKivo_TLB::EndReleasedWorkers(200ms);
    EXPECT_TRUE(Ended(pid));
}

}  // namespace
