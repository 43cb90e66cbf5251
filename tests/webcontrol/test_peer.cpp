// A worker stand-in for transport tests and benchmarks: it serves a scripted object over the
// same connection, stub and event sender as the real worker, and raises events on request.
// Navigate(TabHandle, Url, PostData) takes these addresses as commands:
//   raise:DocumentComplete   DocumentComplete(true, PostData, TabHandle) before returning
//   raise:NewTab             NewTab(TabHandle, 4242); the handle that comes back is kept
//   raise:all                ProgressChange(-5, 100, TabHandle), StatusTextChange(PostData,
//                            TabHandle), DocumentComplete(false, PostData, TabHandle)
//   raise-later:DocumentComplete   the same event from the main loop, after returning
//   bench:N                  N DocumentComplete events in a row; WebTitle then reports the
//                            median round trip in nanoseconds
//   fail                     fails with PostData as the error text
// SaveWebToPicSmall(TabHandle) takes TabHandle milliseconds; a negative handle fails.
#include <glibmm.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "webcontrol/channel.h"
#include "webcontrol/web_control_stub.h"

using gameKivo_TLB::WebControlError;

namespace {

class ScriptedWebControl final : public gameKivo_TLB::IWebControl,
                                 public gameKivo_TLB::WebControlEventSource {
public:
    void Navigate(int32_t TabHandle, const std::u16string& Url,
                  const std::u16string& PostData) override {
        const std::string command = kivo::Utf16ToUtf8(Url);
        if (command == "raise:DocumentComplete") {
            Events().DocumentComplete(true, PostData, TabHandle);
        } else if (command == "raise:NewTab") {
            int32_t tab = TabHandle;
            Events().NewTab(tab, 4242);
            new_tab_ = tab;
        } else if (command == "raise:all") {
            Events().ProgressChange(-5, 100, TabHandle);
            Events().StatusTextChange(PostData, TabHandle);
            Events().DocumentComplete(false, PostData, TabHandle);
        } else if (command == "raise-later:DocumentComplete") {
            Glib::signal_idle().connect_once([this, PostData, TabHandle] {
                try {
                    Events().DocumentComplete(true, PostData, TabHandle);
                } catch (const std::exception& e) {
                    std::cerr << "peer: " << e.what() << '\n';
                }
            });
        } else if (command.starts_with("bench:")) {
            const int count = std::atoi(command.c_str() + 6);
            std::vector<long long> times;
            for (int i = 0; i < count; ++i) {
                const auto start = std::chrono::steady_clock::now();
                Events().DocumentComplete(true, PostData, TabHandle);
                times.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
            }
            std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
            bench_median_ = times.empty() ? 0 : times[times.size() / 2];
        } else if (command == "fail") {
            throw WebControlError(kivo::Utf16ToUtf8(PostData));
        } else {
            url_ = Url;
            post_ = PostData;
        }
    }
    int32_t CreateWeb(int32_t TabHandle) override { return TabHandle * 2; }
    void LoginWeb(const std::u16string& Name, const std::u16string& Value,
                  int32_t TabHandle) override {
        login_ = Name + u"=" + Value + u"@" + kivo::Utf8ToUtf16(std::to_string(TabHandle));
    }
    int32_t Get_WebHandle(int32_t) override { return new_tab_; }
    void WebRefresh(int32_t) override {}
    void WebForward(int32_t) override {}
    void WebBack(int32_t) override {}
    std::u16string Get_WebUrl(int32_t) override { return url_ + u"|" + post_ + u"|" + login_; }
    std::u16string Get_WebTitle(int32_t) override {
        return kivo::Utf8ToUtf16(std::to_string(bench_median_));
    }
    void Set_Serverhandle(int32_t Value) override { server_handle_ = Value; }
    void FreeWeb(int32_t) override {}
    int32_t Get_WebCount() override { return server_handle_; }
    void SetFoucseWeb(int32_t) override {}
    void SetParent(int32_t) override {}
    void SaveWebToPic(int32_t) override {}
    void SaveWebToPicSmall(int32_t TabHandle) override {
        if (TabHandle < 0) throw WebControlError("no picture");
        std::this_thread::sleep_for(std::chrono::milliseconds(TabHandle));
    }
    // The page keys.
    void FindText(int32_t, const std::u16string&, int32_t) override {}
    void FindFinish(int32_t) override {}
    int32_t SetWebZoom(int32_t, int32_t Percent) override { return Percent; }
    int32_t Get_WebZoom(int32_t) override { return 100; }

  private:
    gameKivo_TLB::WebControlEventsSender& Events() {
        if (!Subscriber()) throw WebControlError("no subscriber");
        return *Subscriber();
    }

    std::u16string url_, post_, login_;
    int32_t new_tab_ = 0;
    int32_t server_handle_ = 0;
    long long bench_median_ = 0;
};

}  // namespace

int main() {
    const char* fd_text = std::getenv("GAMEKIVO_CHANNEL_FD");
    const int fd = fd_text ? std::atoi(fd_text) : -1;
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) return 2;
    Glib::init();
    auto loop = Glib::MainLoop::create();
    auto channel = kivo::Channel::Create(kivo::UniqueFd(fd));
    auto object = std::make_shared<ScriptedWebControl>();
    gameKivo_TLB::ServeWebControl(channel, object, *object);
    channel->SetClosedHandler([loop] { loop->quit(); });
    kivo::wire::Message hello;
    hello.kind = kivo::wire::Kind::Hello;
    channel->Post(hello);
    loop->run();
    return 0;
}
