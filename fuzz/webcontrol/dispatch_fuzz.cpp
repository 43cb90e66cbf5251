// Feeds one frame body, as a peer could send it, into a live connection: byte 0 chooses the
// worker's end (calls into a fake object through the member dispatch) or the main process's
// end (events into a proxy with handlers attached). A sentinel request follows every frame;
// its reply proves the connection still answers. Anything but a reply, a failure reply or a
// connection dropped as malformed is a fault.
#include <fcntl.h>
#include <glib.h>
#include <glibmm/init.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "webcontrol/channel.h"
#include "webcontrol/web_control_proxy.h"
#include "webcontrol/web_control_stub.h"

namespace {

using gameKivo_TLB::IWebControl;
using gameKivo_TLB::WebControlError;
using kivo::wire::Kind;
using kivo::wire::Message;

constexpr uint32_t kSentinelId = 0xFFFFFFF0u;

// Behaves like a worker's object: a few tabs, failures for unknown ones.
class FakeWebControl final : public IWebControl {
  public:
    void Navigate(int32_t tab, const std::u16string& url, const std::u16string&) override {
        Check(tab);
        url_ = url;
    }
    int32_t CreateWeb(int32_t tab) override {
        return tab == 0 ? throw WebControlError("no tab") : tab + 1;
    }
    void LoginWeb(const std::u16string&, const std::u16string&, int32_t tab) override {
        Check(tab);
    }
    int32_t Get_WebHandle(int32_t tab) override { return Check(tab), 7; }
    void WebRefresh(int32_t tab) override { Check(tab); }
    void WebForward(int32_t) override {}
    void WebBack(int32_t) override {}
    std::u16string Get_WebUrl(int32_t tab) override { return Check(tab), url_; }
    std::u16string Get_WebTitle(int32_t tab) override { return Check(tab), url_.substr(0, 8); }
    void Set_Serverhandle(int32_t) override {}
    void FreeWeb(int32_t) override {}
    int32_t Get_WebCount() override { return 1; }
    void SetFoucseWeb(int32_t) override {}
    void SetParent(int32_t) override {}
    void SaveWebToPic(int32_t tab) override { Check(tab); }
    void SaveWebToPicSmall(int32_t tab) override { Check(tab); }
    // The page keys.
    void FindText(int32_t tab, const std::u16string&, int32_t) override { Check(tab); }
    void FindFinish(int32_t tab) override { Check(tab); }
    int32_t SetWebZoom(int32_t tab, int32_t percent) override {
        Check(tab);
        return percent;
    }
    int32_t Get_WebZoom(int32_t tab) override {
        Check(tab);
        return 100;
    }

  private:
    static void Check(int32_t tab) {
        if (tab < 0)
            throw WebControlError("no view for this tab");
    }
    std::u16string url_;
};

std::string Frame(const char* body, size_t size) {
    std::string frame(4, '\0');
    const uint32_t length = static_cast<uint32_t>(size);
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(length >> (8 * i));
    return frame.append(body, size);
}

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            std::abort();
        done += static_cast<size_t>(n);
    }
}

// One end of a connection under test, and the raw socket that plays the peer.
struct End {
    kivo::UniqueFd peer;
    std::shared_ptr<kivo::Channel> channel;
    kivo::wire::FrameReader replies;
    std::shared_ptr<FakeWebControl> object;
    gameKivo_TLB::WebControlEventSource events;
    std::shared_ptr<gameKivo_TLB::RemoteWebControl> remote;
    std::unique_ptr<gameKivo_Work_TLB::TWebControl> proxy;

    explicit End(bool worker_side) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            std::abort();
        peer.Reset(pair[0]);
        channel = kivo::Channel::Create(kivo::UniqueFd(pair[1]));
        if (worker_side) {
            object = std::make_shared<FakeWebControl>();
            gameKivo_TLB::ServeWebControl(channel, object, events);
            return;
        }
        remote = std::make_shared<gameKivo_TLB::RemoteWebControl>(channel, kivo::ChildProcess());
        proxy = std::make_unique<gameKivo_Work_TLB::TWebControl>();
        proxy->OnProgressChange = [](auto&, int32_t p, int32_t m, int32_t) { (void)(p + 0LL + m); };
        proxy->OnStatusTextChange = [](auto&, const std::u16string& text, int32_t) {
            (void)text.size();
        };
        proxy->OnForeground = [](auto&) {};
        proxy->OnDocumentComplete = [](auto&, bool, const std::u16string& url, int32_t) {
            (void)url.size();
        };
        proxy->OnNewTab = [](auto&, int32_t& tab, int32_t web) { tab = web ^ tab; };
        // The subscription is the first call on the connection; its reply is already waiting.
        WriteAll(peer.Get(), kivo::wire::Encode(kivo::wire::MakeReply(1)));
        proxy->ConnectTo(remote);
        fcntl(peer.Get(), F_SETFL, O_NONBLOCK);
        // Take the subscription request off the socket: from here on only replies may come.
        kivo::wire::FrameReader requests;
        while (!requests.Next()) {
            char buffer[256];
            const ssize_t n = read(peer.Get(), buffer, sizeof buffer);
            if (n <= 0)
                std::abort();
            requests.Append(buffer, static_cast<size_t>(n));
        }
    }

    ~End() {
        // Leave the proxy without unsubscribing over the connection.
        if (proxy)
            channel->Close();
    }

    Message Sentinel() const {
        Message m;
        m.id = kSentinelId;
        if (object) {
            m.kind = Kind::Invoke;
            m.dispid = gameKivo_TLB::DispId::WebCount;
            m.invoke_kind = gameKivo_TLB::InvokeKind::PropertyGet;
        } else {
            m.kind = Kind::Event;
            m.dispid = 999;  // no such event: ignored, and answered
        }
        return m;
    }

    // Runs the connection until the sentinel is answered; false when the connection dropped.
    bool Exchange(const std::string& frame) {
        if (object)
            fcntl(peer.Get(), F_SETFL, O_NONBLOCK);
        WriteAll(peer.Get(), frame + kivo::wire::Encode(Sentinel()));
        for (;;) {
            g_main_context_iteration(nullptr, FALSE);
            char buffer[4096];
            const ssize_t n = read(peer.Get(), buffer, sizeof buffer);
            if (n > 0)
                replies.Append(buffer, static_cast<size_t>(n));
            while (auto reply = replies.Next()) {
                if (reply->kind != Kind::Reply)
                    std::abort();
                if (reply->id == kSentinelId) {
                    if (reply->failed)
                        std::abort();
                    return true;
                }
            }
            if (!channel->Alive())
                return false;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool initialised = (Glib::init(), true);
    (void)initialised;
    static std::unique_ptr<End> ends[2];
    if (size < 1)
        return 0;
    const bool worker_side = data[0] & 1;
    auto& end = ends[worker_side];
    if (!end)
        end = std::make_unique<End>(worker_side);
    const std::string frame = Frame(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (!end->Exchange(frame))
        end.reset();  // dropped as malformed: a new connection next time
    return 0;
}
