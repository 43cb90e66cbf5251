// A worker that speaks the protocol well until it is told to misbehave, for tests of how the
// main side copes with a worker that hangs, floods or stops reading.
//
// Registered as the server executable, it answers every member with a plausible result (views
// are numbered by their TabHandle, WebUrl is "about:blank", WebCount counts CreateWeb) until a
// Navigate arrives whose address contains GAMEKIVO_MISBEHAVE_URL (any Navigate when that is
// unset). From that Navigate on it does what GAMEKIVO_MISBEHAVE says, without answering it:
//   hang    reads nothing and answers nothing again (as a worker stuck in a page would)
//   deaf    stops reading and sends DocumentComplete events for that tab without end
//   flood   stops reading and sends StatusTextChange events of 1 MiB each without end
//   crash   ends at once with exit status 3
//   linger  never misbehaves in its answers, but stays when the connection is closed, as a
//           worker would that cannot see its release
// Without GAMEKIVO_MISBEHAVE it never misbehaves.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "webcontrol/wire.h"

namespace {

namespace DispId = gameKivo_TLB::DispId;
using kivo::wire::Kind;
using kivo::wire::Message;
using kivo::wire::Value;

int channel_fd = -1;
bool stays_when_cut = false;

// The main side cut the connection: nothing left to do, unless told to linger.
[[noreturn]] void ConnectionGone() {
    while (stays_when_cut) pause();
    std::_Exit(0);
}

void WriteAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(channel_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ConnectionGone();
        done += static_cast<size_t>(n);
    }
}

void ReadAll(char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::recv(channel_fd, data + done, size - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ConnectionGone();
        done += static_cast<size_t>(n);
    }
}

Message ReadMessage() {
    unsigned char head[4];
    ReadAll(reinterpret_cast<char*>(head), 4);
    const uint32_t length =
        head[0] | (head[1] << 8) | (head[2] << 16) | (static_cast<uint32_t>(head[3]) << 24);
    if (length > kivo::wire::kMaxBody)
        std::_Exit(4);
    std::string body(length, '\0');
    ReadAll(body.data(), length);
    return kivo::wire::DecodeBody(body.data(), body.size());
}

void SendEventsForever(int32_t dispid, std::vector<Value> values) {
    for (uint32_t id = 1000000;; ++id) {
        Message event;
        event.kind = Kind::Event;
        event.id = id;
        event.dispid = dispid;
        event.values = values;
        WriteAll(kivo::wire::Encode(event));
    }
}

[[noreturn]] void Misbehave(const std::string& mode, int32_t tab) {
    if (mode == "crash")
        std::_Exit(3);
    if (mode == "deaf")
        SendEventsForever(DispId::DocumentComplete, {true, u"about:blank", tab});
    if (mode == "flood")
        SendEventsForever(DispId::StatusTextChange, {std::u16string(512 * 1024, u'x'), tab});
    for (;;) pause();  // "hang", and any mode not known
}

std::vector<Value> Answer(const Message& call, int32_t& views) {
    const int32_t tab =
        call.values.empty() || call.values[0].index() != 0 ? 0 : std::get<int32_t>(call.values[0]);
    switch (call.dispid) {
        case DispId::CreateWeb:
            ++views;
            return {tab};
        case DispId::WebHandle:
            return {tab};
        case DispId::WebCount:
            return {views};
        case DispId::FreeWeb:
            views = std::max(views - 1, 0);
            return {};
        case DispId::WebUrl:
            return {std::u16string(u"about:blank")};
        case DispId::WebTitle:
            return {std::u16string()};
        default:
            return {};
    }
}

}  // namespace

int main() {
    const char* fd_text = std::getenv("GAMEKIVO_CHANNEL_FD");
    channel_fd = fd_text ? std::atoi(fd_text) : -1;
    struct stat info {};
    if (channel_fd < 0 || fstat(channel_fd, &info) != 0 || !S_ISSOCK(info.st_mode))
        return 2;
    const char* mode_text = std::getenv("GAMEKIVO_MISBEHAVE");
    const char* trigger_text = std::getenv("GAMEKIVO_MISBEHAVE_URL");
    const std::string mode = mode_text ? mode_text : "";
    stays_when_cut = mode == "linger";
    const std::u16string trigger = kivo::Utf8ToUtf16(trigger_text ? trigger_text : "");

    Message hello;
    hello.kind = Kind::Hello;
    WriteAll(kivo::wire::Encode(hello));
    int32_t views = 0;
    for (;;) {
        const Message message = ReadMessage();
        if (message.kind == Kind::Reply || message.kind == Kind::Hello)
            continue;
        if (message.kind == Kind::Invoke && message.dispid == DispId::Navigate && !mode.empty() &&
            message.values.size() == 3 && message.values[0].index() == 0 &&
            message.values[1].index() == 1 &&
            std::get<std::u16string>(message.values[1]).find(trigger) != std::u16string::npos) {
            Misbehave(mode, std::get<int32_t>(message.values[0]));
        }
        const auto values =
            message.kind == Kind::Invoke ? Answer(message, views) : std::vector<Value>{};
        WriteAll(kivo::wire::Encode(kivo::wire::MakeReply(message.id, values)));
    }
}
