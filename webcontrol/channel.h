#pragma once
// One connection between two processes, carrying the framed messages of wire.h over a
// stream socket. Calls are synchronous: while a caller waits for its reply, the process keeps
// serving the calls and events that arrive on every open connection (nested to any depth),
// without returning to its main loop, so it takes no user input meanwhile. When the peer dies
// every pending and later call fails; a call that gets no answer in time fails as well.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
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

    // Sends the request and waits for its reply (which may be a failure reply).
    wire::Message Call(wire::Message request);
    // Sends a message that gets no reply.
    void Post(const wire::Message& message);
    // Waits until the peer has said Hello.
    void WaitForHello(std::chrono::milliseconds timeout);

    bool Alive() const { return alive_; }
    const std::string& DeathReason() const { return death_reason_; }
    void Close();

    // How long a call waits for its reply. The default is generous; GAMEKIVO_CALL_TIMEOUT_MS
    // overrides it for a whole process.
    static std::chrono::milliseconds CallTimeout();
    static void SetCallTimeout(std::chrono::milliseconds timeout);

private:
    using Clock = std::chrono::steady_clock;

    explicit Channel(UniqueFd socket);
    void Attach();
    void SendFrame(const std::string& frame, Clock::time_point deadline);
    // Reads what the socket has without dispatching; false when the connection ended.
    bool FillBuffer();
    void ReadAvailable();
    void ProcessFrames();
    void HandleRequest(const wire::Message& request);
    void MarkDead(const std::string& reason);
    void WaitUntil(const std::function<bool()>& done, Clock::time_point deadline);

    UniqueFd socket_;
    wire::FrameReader reader_;
    Glib::RefPtr<Glib::IOSource> source_;
    RequestHandler request_handler_;
    std::function<void()> closed_handler_;
    uint32_t next_id_ = 1;
    std::map<uint32_t, std::optional<wire::Message>> pending_;
    bool hello_received_ = false;
    bool alive_ = true;
    std::string death_reason_;
};

}  // namespace kivo
