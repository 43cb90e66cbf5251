#pragma once
// One connection between two processes, carrying the framed messages of wire.h over a
// stream socket. Calls are synchronous: while a caller waits for its reply, the process keeps
// serving the calls and events that arrive on every open connection (nested to any depth),
// without returning to its main loop, so it takes no user input meanwhile. When the peer dies
// every pending and later call fails. A peer that does not answer a call in time, does not take
// a message within a moment, or sends what nobody asked for is taken for hung or hostile: the
// connection dies at once, so that no later call waits for it again. What is read from a peer
// and not yet handled is bounded; past the bound the connection stops reading.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include <glibmm/main.h>

#include "platform/unique_fd.h"
#include "webcontrol/wire.h"

namespace kivo {

// The connection broke, the peer sent garbage, or the peer did not answer in time.
class ConnectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Channel : public std::enable_shared_from_this<Channel> {
public:
    // Answers one incoming request (Invoke, Event, Advise, Unadvise). A thrown error becomes a
    // failure reply carrying its text.
    using RequestHandler = std::function<wire::Message(const wire::Message&)>;

    static std::shared_ptr<Channel> Create(UniqueFd socket);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    void SetRequestHandler(RequestHandler handler) { request_handler_ = std::move(handler); }
    // Runs once when the connection ends for any reason other than Close().
    void SetClosedHandler(std::function<void()> handler) { closed_handler_ = std::move(handler); }

    // Sends the request and waits for its reply (which may be a failure reply). The timeout
    // counts from the call or from the last request of the peer served meanwhile, whichever is
    // later: a peer busy asking us things is not hung.
    wire::Message Call(wire::Message request);
    wire::Message Call(wire::Message request, std::chrono::milliseconds timeout);
    // Sends the request and returns at once. `on_reply` runs later from the main loop, once, with
    // the reply (which may be a failure reply), or with nothing when none came within `timeout`
    // or the connection ended. A reply that comes after its time is dropped and the connection
    // lives on: a peer that is slow to answer this is not taken for hung.
    using ReplyCallback = std::function<void(const wire::Message* reply)>;
    void CallAsync(wire::Message request, std::chrono::milliseconds timeout,
                   ReplyCallback on_reply);
    // Sends a message that gets no reply.
    void Post(const wire::Message& message);
    // Waits until the peer has said Hello.
    void WaitForHello(std::chrono::milliseconds timeout);

    bool Alive() const { return alive_; }
    const std::string& DeathReason() const { return death_reason_; }
    void Close();

    // The longest a call waits for its reply (calls may ask for less). The default is generous;
    // GAMEKIVO_CALL_TIMEOUT_MS overrides it for a whole process.
    static std::chrono::milliseconds CallTimeout();
    static void SetCallTimeout(std::chrono::milliseconds timeout);
    // How long a message may take to be taken by the peer before the connection is given up.
    static std::chrono::milliseconds SendTimeout();
    static void SetSendTimeout(std::chrono::milliseconds timeout);

    // While one lives, no call or send of any connection waits beyond `deadline` (shut-down).
    class DeadlineCap {
    public:
        explicit DeadlineCap(std::chrono::steady_clock::time_point deadline);
        ~DeadlineCap();
        DeadlineCap(const DeadlineCap&) = delete;
        DeadlineCap& operator=(const DeadlineCap&) = delete;

    private:
        std::optional<std::chrono::steady_clock::time_point> previous_;
    };

    // What has been read and not yet handled, and the most it ever was.
    static constexpr size_t kMaxBuffered = 3 * (wire::kMaxBody + 4);
    size_t Buffered() const { return reader_.Buffered(); }
    size_t PeakBuffered() const { return peak_buffered_; }

private:
    using Clock = std::chrono::steady_clock;

    explicit Channel(UniqueFd socket);
    void Attach();
    void SendFrame(const std::string& frame, Clock::time_point deadline);
    // Reads what the socket has without dispatching; false when the connection ended.
    bool FillBuffer();
    bool BufferFull() const { return reader_.Buffered() >= kMaxBuffered; }
    void ReadAvailable();
    void ProcessFrames();
    void HandleRequest(const wire::Message& request);
    void MarkDead(const std::string& reason);
    // Runs the callback of every call sent with CallAsync that is still waiting, with nothing.
    void FailAsyncCalls();
    void ExpireAsyncCall(uint32_t id);
    // Serves every connection until `done`; past `deadline()` this connection dies.
    void WaitUntil(const std::function<bool()>& done,
                   const std::function<Clock::time_point()>& deadline);

    UniqueFd socket_;
    wire::FrameReader reader_;
    Glib::RefPtr<Glib::IOSource> source_;
    RequestHandler request_handler_;
    std::function<void()> closed_handler_;
    uint32_t next_id_ = 1;
    std::map<uint32_t, std::optional<wire::Message>> pending_;
    std::map<uint32_t, ReplyCallback> async_pending_;
    // Calls sent with CallAsync whose time ran out: their late replies are dropped.
    std::set<uint32_t> abandoned_;
    bool hello_received_ = false;
    Clock::time_point last_served_{};
    size_t peak_buffered_ = 0;
    bool alive_ = true;
    std::string death_reason_;
};

}  // namespace kivo
