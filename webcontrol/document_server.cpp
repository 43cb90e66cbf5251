#include "webcontrol/document_server.h"

#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "webcontrol/document_access.h"
#include "webcontrol/uit_web_control.h"

namespace uitWebControl {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRequestTimeout{1000};
constexpr std::chrono::milliseconds kReplyTimeout{5000};

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

std::string ReadRequest(int fd) {
    const auto deadline = Clock::now() + kRequestTimeout;
    std::string line;
    while (line.size() < kivo::document::kMaxRequest) {
        if (!WaitFor(fd, POLLIN, deadline))
            throw std::runtime_error("no question in time");
        char c = 0;
        const ssize_t got = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (got == 0)
            throw std::runtime_error("the question broke off");
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            throw std::runtime_error("the question broke off");
        }
        if (c == '\n')
            return line;
        line += c;
    }
    throw std::runtime_error("a question too long");
}

void SendAll(int fd, const std::string& data) {
    const auto deadline = Clock::now() + kReplyTimeout;
    size_t sent = 0;
    while (sent < data.size()) {
        if (!WaitFor(fd, POLLOUT, deadline))
            throw std::runtime_error("the answer was not taken in time");
        const ssize_t done =
            ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            throw std::runtime_error("the answer broke off");
        }
        sent += static_cast<size_t>(done);
    }
}

}  // namespace

DocumentServer& DocumentServer::Instance() {
    static DocumentServer server;
    return server;
}

DocumentServer::DocumentServer() : address_(kivo::document::SocketPathOf(::getpid())) {
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    if (address_.size() >= sizeof(name.sun_path))
        throw std::runtime_error("the document socket's path is too long: " + address_);
    std::memcpy(name.sun_path, address_.c_str(), address_.size() + 1);
    listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener_.Valid())
        throw std::runtime_error("no document socket: " + std::string(std::strerror(errno)));
    // Left by an earlier process of the same number.
    ::unlink(address_.c_str());
    const mode_t previous = ::umask(0077);
    const int bound = ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&name), sizeof(name));
    ::umask(previous);
    if (bound != 0 || ::listen(listener_.Get(), 8) != 0)
        throw std::runtime_error("no document socket at " + address_ + ": " + std::strerror(errno));
    source_ = g_unix_fd_add(listener_.Get(), G_IO_IN,
                            reinterpret_cast<GUnixFDSourceFunc>(&DocumentServer::OnIncoming), this);
}

DocumentServer::~DocumentServer() {
    if (source_)
        g_source_remove(source_);
    ::unlink(address_.c_str());
}

int DocumentServer::OnIncoming(int fd, unsigned, void* data) {
    auto* self = static_cast<DocumentServer*>(data);
    kivo::UniqueFd client(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    // A question that arrives while one is answered (its script runs nested loops) is turned
    // away: the asker sees the connection close.
    if (client.Valid() && !self->serving_) {
        self->serving_ = true;
        try {
            self->Serve(client.Get());
        } catch (const std::exception& e) {
            ReportUncaught(std::string("document question: ") + e.what());
        }
        self->serving_ = false;
    }
    return G_SOURCE_CONTINUE;
}

void DocumentServer::Serve(int client) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid())
        throw std::runtime_error("a question from another user");
    const uint32_t window = kivo::document::ParseRequest(ReadRequest(client));
    const auto reader = readers_.find(window);
    if (reader == readers_.end())
        throw std::runtime_error("a question for no view of this worker");
    const InputsReader read = reader->second;  // the list may change while the script runs
    const std::string body = read();
    if (body.size() > kivo::document::kMaxReply)
        throw std::runtime_error("the answer is too long");
    const auto length = static_cast<uint32_t>(body.size());
    std::string reply{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                      static_cast<char>(length >> 8), static_cast<char>(length)};
    SendAll(client, reply + body);
}

}  // namespace uitWebControl
