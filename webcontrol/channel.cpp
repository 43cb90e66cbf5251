#include "webcontrol/channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace kivo {

namespace {

constexpr std::chrono::milliseconds kDefaultCallTimeout{60000};
// A peer that reads its socket takes any message within a moment, even a large one.
constexpr std::chrono::milliseconds kDefaultSendTimeout{3000};

std::chrono::milliseconds& CallTimeoutSetting() {
    static std::chrono::milliseconds timeout = [] {
        if (const char* text = std::getenv("GAMEKIVO_CALL_TIMEOUT_MS")) {
            const long value = std::strtol(text, nullptr, 10);
            if (value > 0) return std::chrono::milliseconds(value);
        }
        return kDefaultCallTimeout;
    }();
    return timeout;
}

std::chrono::milliseconds& SendTimeoutSetting() {
    static std::chrono::milliseconds timeout = kDefaultSendTimeout;
    return timeout;
}

std::optional<std::chrono::steady_clock::time_point>& DeadlineCapSetting() {
    static std::optional<std::chrono::steady_clock::time_point> cap;
    return cap;
}

std::chrono::steady_clock::time_point Capped(std::chrono::steady_clock::time_point deadline) {
    const auto& cap = DeadlineCapSetting();
    return cap ? std::min(deadline, *cap) : deadline;
}

// Every open connection of this process, so that a waiting caller can serve them all.
std::vector<std::weak_ptr<Channel>>& OpenChannels() {
    static std::vector<std::weak_ptr<Channel>> channels;
    return channels;
}

int PollTimeout(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
}

}  // namespace

std::chrono::milliseconds Channel::CallTimeout() { return CallTimeoutSetting(); }

void Channel::SetCallTimeout(std::chrono::milliseconds timeout) { CallTimeoutSetting() = timeout; }

std::chrono::milliseconds Channel::SendTimeout() { return SendTimeoutSetting(); }

void Channel::SetSendTimeout(std::chrono::milliseconds timeout) { SendTimeoutSetting() = timeout; }

Channel::DeadlineCap::DeadlineCap(std::chrono::steady_clock::time_point deadline)
    : previous_(DeadlineCapSetting()) {
    DeadlineCapSetting() = Capped(deadline);
}

Channel::DeadlineCap::~DeadlineCap() { DeadlineCapSetting() = previous_; }

std::shared_ptr<Channel> Channel::Create(UniqueFd socket) {
    std::shared_ptr<Channel> channel(new Channel(std::move(socket)));
    channel->Attach();
    return channel;
}

Channel::Channel(UniqueFd socket) : socket_(std::move(socket)) {
    const int flags = fcntl(socket_.Get(), F_GETFL);
    fcntl(socket_.Get(), F_SETFL, flags | O_NONBLOCK);
    fcntl(socket_.Get(), F_SETFD, FD_CLOEXEC);
}

void Channel::Attach() {
    auto& channels = OpenChannels();
    std::erase_if(channels, [](const auto& weak) { return weak.expired(); });
    channels.push_back(weak_from_this());

    source_ = Glib::IOSource::create(socket_.Get(), Glib::IO_IN | Glib::IO_HUP | Glib::IO_ERR);
    // Handlers may run nested main loops (dialogs, script results); frames must still flow.
    source_->set_can_recurse(true);
    std::weak_ptr<Channel> weak = weak_from_this();
    source_->connect([weak](Glib::IOCondition) {
        auto self = weak.lock();
        if (!self || !self->alive_) return false;
        self->ReadAvailable();
        return self->alive_;
    });
    source_->attach(Glib::MainContext::get_default());
}

Channel::~Channel() {
    if (source_) source_->destroy();
}

void Channel::Close() {
    if (!alive_) return;
    alive_ = false;
    death_reason_ = "the connection was closed";
    if (source_) source_->destroy();
    source_.reset();
    socket_.Reset();
    request_handler_ = nullptr;
    closed_handler_ = nullptr;
    FailAsyncCalls();
}

void Channel::FailAsyncCalls() {
    // From the main loop, as this may run deep inside a nested call.
    for (auto& [id, callback] : std::exchange(async_pending_, {}))
        Glib::signal_idle().connect_once([callback = std::move(callback)] { callback(nullptr); });
    abandoned_.clear();
}

void Channel::ExpireAsyncCall(uint32_t id) {
    auto it = async_pending_.find(id);
    if (it == async_pending_.end()) return;
    ReplyCallback callback = std::move(it->second);
    async_pending_.erase(it);
    abandoned_.insert(id);
    callback(nullptr);
}

void Channel::MarkDead(const std::string& reason) {
    if (!alive_) return;
    alive_ = false;
    death_reason_ = reason;
    if (source_) source_->destroy();
    source_.reset();
    socket_.Reset();
    request_handler_ = nullptr;  // the served object may hold this channel: break the cycle
    FailAsyncCalls();
    if (auto handler = std::exchange(closed_handler_, nullptr)) {
        try {
            handler();
        } catch (const std::exception&) {
            // The connection is dead all the same; whoever waits on it learns of it.
        }
    }
}

bool Channel::FillBuffer() {
    char chunk[65536];
    // Past the bound nothing more is read until what was read is handled: the peer then blocks
    // on its own sending, and a peer that does not take our messages meanwhile is cut off.
    while (!BufferFull()) {
        const size_t room = std::min(sizeof chunk, kMaxBuffered - reader_.Buffered());
        const ssize_t n = ::recv(socket_.Get(), chunk, room, MSG_DONTWAIT);
        if (n > 0) {
            reader_.Append(chunk, static_cast<size_t>(n));
            peak_buffered_ = std::max(peak_buffered_, reader_.Buffered());
            if (static_cast<size_t>(n) < room) return true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        MarkDead(n == 0 ? "the connected process has ended"
                        : std::string("the connection failed: ") + std::strerror(errno));
        return false;
    }
    return true;
}

void Channel::ReadAvailable() {
    auto keep = shared_from_this();
    if (alive_ && FillBuffer()) ProcessFrames();
}

void Channel::ProcessFrames() {
    auto keep = shared_from_this();
    while (alive_) {
        std::optional<wire::Message> message;
        try {
            message = reader_.Next();
        } catch (const wire::ProtocolError& e) {
            MarkDead(std::string("malformed message from the connected process: ") + e.what());
            return;
        }
        if (!message) return;
        switch (message->kind) {
            case wire::Kind::Hello:
                if (hello_received_) return MarkDead("the connected process said hello twice");
                hello_received_ = true;
                break;
            case wire::Kind::Reply: {
                // A call that timed out killed the connection, so every reply has its caller.
                auto it = pending_.find(message->id);
                if (it != pending_.end() && !it->second) {
                    it->second = std::move(*message);
                    break;
                }
                if (auto async = async_pending_.find(message->id); async != async_pending_.end()) {
                    ReplyCallback callback = std::move(async->second);
                    async_pending_.erase(async);
                    Glib::signal_idle().connect_once(
                        [callback = std::move(callback), reply = std::move(*message)] {
                            callback(&reply);
                        });
                    break;
                }
                if (abandoned_.erase(message->id) > 0) break;  // came after its time
                return MarkDead("the connected process sent a reply nobody asked for");
            }
            default: HandleRequest(*message); break;
        }
    }
}

void Channel::HandleRequest(const wire::Message& request) {
    // A copy: the handler may replace or drop the channel's handler while it runs.
    RequestHandler handler = request_handler_;
    wire::Message reply;
    if (!handler) {
        reply = wire::MakeFailure(request.id, u"no object is served on this connection");
    } else {
        try {
            reply = handler(request);
            reply.kind = wire::Kind::Reply;
            reply.id = request.id;
        } catch (const std::exception& e) {
            reply = wire::MakeFailure(request.id, Utf8ToUtf16(e.what()));
        }
    }
    if (!alive_) return;
    std::string frame;
    try {
        frame = wire::Encode(reply);
    } catch (const wire::ProtocolError& e) {
        frame = wire::Encode(wire::MakeFailure(request.id, Utf8ToUtf16(e.what())));
    }
    try {
        SendFrame(frame, Clock::now() + SendTimeout());
    } catch (const ConnectionError&) {
        return;  // the connection is dead: the peer will not miss the reply
    }
    last_served_ = Clock::now();
}

void Channel::SendFrame(const std::string& frame, Clock::time_point deadline) {
    if (!alive_) throw ConnectionError(death_reason_);
    deadline = Capped(deadline);
    // A frame sent in part would leave the stream cut in the middle of a message: any failure
    // to send the whole frame in time ends the connection.
    size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::send(socket_.Get(), frame.data() + done, frame.size() - done,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (Clock::now() >= deadline) {
                MarkDead("the connected process did not take the message in time");
                throw ConnectionError(death_reason_);
            }
            // While the peer's buffer is full, keep taking what it sends (up to the bound), so
            // that two large messages crossing each other cannot block both sides.
            const short wanted = BufferFull() ? POLLOUT : POLLIN | POLLOUT;
            pollfd p{socket_.Get(), wanted, 0};
            ::poll(&p, 1, PollTimeout(deadline));
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && !FillBuffer())
                throw ConnectionError(death_reason_);
            continue;
        }
        MarkDead(std::string("the connection failed: ") + std::strerror(errno));
        throw ConnectionError(death_reason_);
    }
    // What arrived while sending is served from the main loop once the caller returns to it.
    if (reader_.Buffered() > 0) {
        std::weak_ptr<Channel> weak = weak_from_this();
        Glib::signal_idle().connect_once([weak] {
            if (auto self = weak.lock()) self->ProcessFrames();
        });
    }
}

void Channel::WaitUntil(const std::function<bool()>& done,
                        const std::function<Clock::time_point()>& deadline) {
    auto keep = shared_from_this();
    for (;;) {
        if (done()) return;
        if (!alive_) throw ConnectionError(death_reason_);
        if (Clock::now() >= Capped(deadline())) {
            // Taken for hung: no later call is to wait for it again.
            MarkDead("the connected process did not answer in time");
            throw ConnectionError(death_reason_);
        }

        std::vector<std::shared_ptr<Channel>> open;
        std::vector<pollfd> fds;
        for (const auto& weak : OpenChannels()) {
            auto channel = weak.lock();
            if (!channel || !channel->alive_) continue;
            if (channel->reader_.Buffered() > 0) {
                channel->ProcessFrames();
                if (done()) return;
            }
            if (!channel->alive_ || channel->BufferFull()) continue;
            fds.push_back(pollfd{channel->socket_.Get(), POLLIN, 0});
            open.push_back(std::move(channel));
        }
        if (fds.empty()) continue;
        const int ready = ::poll(fds.data(), fds.size(), PollTimeout(Capped(deadline())));
        if (ready <= 0) continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0) open[i]->ReadAvailable();
        }
    }
}

wire::Message Channel::Call(wire::Message request) {
    return Call(std::move(request), CallTimeout());
}

wire::Message Channel::Call(wire::Message request, std::chrono::milliseconds timeout) {
    auto keep = shared_from_this();
    if (!alive_) throw ConnectionError(death_reason_);
    request.id = next_id_++;
    const uint32_t id = request.id;
    timeout = std::min(timeout, CallTimeout());
    const auto start = Clock::now();
    pending_[id];
    struct Forget {
        std::map<uint32_t, std::optional<wire::Message>>& pending;
        uint32_t id;
        ~Forget() { pending.erase(id); }
    } forget{pending_, id};
    SendFrame(wire::Encode(request), start + SendTimeout());
    WaitUntil([&] { return pending_[id].has_value(); },
              [&] { return std::max(start, last_served_) + timeout; });
    return std::move(*pending_[id]);
}

void Channel::CallAsync(wire::Message request, std::chrono::milliseconds timeout,
                        ReplyCallback on_reply) {
    auto keep = shared_from_this();
    if (!alive_) {
        Glib::signal_idle().connect_once([on_reply = std::move(on_reply)] { on_reply(nullptr); });
        return;
    }
    request.id = next_id_++;
    const uint32_t id = request.id;
    async_pending_[id] = std::move(on_reply);
    std::weak_ptr<Channel> weak = weak_from_this();
    Glib::signal_timeout().connect_once(
        [weak, id] {
            if (auto self = weak.lock()) self->ExpireAsyncCall(id);
        },
        static_cast<unsigned>(std::min(timeout, CallTimeout()).count()));
    try {
        SendFrame(wire::Encode(request), Clock::now() + SendTimeout());
    } catch (const ConnectionError&) {
        // The connection died and took the callback with it.
    }
}

void Channel::Post(const wire::Message& message) {
    SendFrame(wire::Encode(message), Clock::now() + SendTimeout());
}

void Channel::WaitForHello(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    WaitUntil([&] { return hello_received_; }, [&] { return deadline; });
}

}  // namespace kivo
