#include "webcontrol/document_access.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace kivo::document {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds question_timeout{3000};

// A strict reader of the one JSON shape a reply has: an array of arrays of strings.
class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    std::vector<InputElement> Elements() {
        std::vector<InputElement> elements;
        Expect('[');
        if (!Take(']')) {
            do {
                Expect('[');
                InputElement element;
                element.type = String();
                Expect(',');
                element.name = String();
                Expect(',');
                element.value = String();
                Expect(']');
                elements.push_back(std::move(element));
            } while (Take(','));
            Expect(']');
        }
        SkipBlanks();
        if (pos_ != text_.size())
            Fail();
        return elements;
    }

  private:
    [[noreturn]] void Fail() const {
        throw DocumentError("the page's answer is malformed (at byte " + std::to_string(pos_) +
                            ")");
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\n'))
            ++pos_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c))
            Fail();
    }
    unsigned Hex4() {
        if (text_.size() - pos_ < 4)
            Fail();
        unsigned unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            unit <<= 4;
            if (c >= '0' && c <= '9')
                unit |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                unit |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                unit |= static_cast<unsigned>(c - 'A' + 10);
            else
                Fail();
        }
        return unit;
    }
    std::string String() {
        Expect('"');
        std::u16string escaped;  // \u units, joined into pairs before conversion
        std::string out;
        auto flush = [&] {
            out += Utf16ToUtf8(escaped);
            escaped.clear();
        };
        while (true) {
            if (pos_ >= text_.size())
                Fail();
            const char c = text_[pos_++];
            if (c == '"')
                break;
            if (static_cast<unsigned char>(c) < 0x20)
                Fail();
            if (c != '\\') {
                flush();
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                Fail();
            const char e = text_[pos_++];
            if (e == 'u') {
                escaped += static_cast<char16_t>(Hex4());
                continue;
            }
            flush();
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                default:
                    Fail();
            }
        }
        flush();
        // Raw bytes pass as they came; anything that is not UTF-8 is made so.
        return Utf16ToUtf8(Utf8ToUtf16(out));
    }

    std::string_view text_;
    size_t pos_ = 0;
};

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// Waits for `events` on `fd` until the deadline; throws when it passes.
void WaitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, Remaining(deadline));
        if (ready > 0)
            return;
        if (ready == 0)
            throw DocumentError("the page did not answer in time");
        if (errno != EINTR)
            throw DocumentError(std::string("the page cannot be asked: ") + std::strerror(errno));
    }
}

void ReadExactly(int fd, char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        WaitFor(fd, POLLIN, deadline);
        const ssize_t got = ::recv(fd, data, size, MSG_DONTWAIT);
        if (got == 0)
            throw DocumentError("the page's document cannot be read");
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            throw DocumentError(std::string("the page's answer broke off: ") +
                                std::strerror(errno));
        }
        data += got;
        size -= static_cast<size_t>(got);
    }
}

}  // namespace

std::string SocketPathOf(long pid) {
    return RuntimeFolder() + std::string(kSocketPrefix) + std::to_string(pid);
}

bool IsSocketPath(std::string_view path) {
    std::string folder;
    try {
        folder = RuntimeFolder();
    } catch (const std::exception&) {
        return false;
    }
    const std::string prefix = folder + std::string(kSocketPrefix);
    if (path.size() <= prefix.size() || path.size() > 20 + prefix.size() ||
        path.substr(0, prefix.size()) != prefix)
        return false;
    return std::all_of(path.begin() + static_cast<long>(prefix.size()), path.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string FormatRequest(uint32_t window) {
    return "inputs " + std::to_string(window) + "\n";
}

uint32_t ParseRequest(std::string_view line) {
    constexpr std::string_view verb = "inputs ";
    if (line.substr(0, verb.size()) != verb || line.size() == verb.size() ||
        line.size() > verb.size() + 10)
        throw DocumentError("a question of no known kind");
    uint64_t window = 0;
    for (const char c : line.substr(verb.size())) {
        if (c < '0' || c > '9')
            throw DocumentError("a question of no known kind");
        window = window * 10 + static_cast<uint64_t>(c - '0');
    }
    if (window == 0 || window > UINT32_MAX)
        throw DocumentError("a question of no known kind");
    return static_cast<uint32_t>(window);
}

std::vector<InputElement> ParseInputElements(std::string_view json) {
    return JsonReader(json).Elements();
}

std::string FormatInputElements(const std::vector<InputElement>& elements) {
    std::string out = "[";
    for (const InputElement& element : elements) {
        if (out.size() > 1)
            out += ',';
        out += '[';
        AppendJsonString(out, element.type);
        out += ',';
        AppendJsonString(out, element.name);
        out += ',';
        AppendJsonString(out, element.value);
        out += ']';
    }
    return out + "]";
}

std::vector<InputElement> LoginFields(const std::vector<InputElement>& elements) {
    std::vector<InputElement> fields;
    for (const InputElement& element : elements) {
        if (element.name.empty())
            continue;
        if (EqualsIgnoringAsciiCase(element.type, "text") ||
            EqualsIgnoringAsciiCase(element.type, "password"))
            fields.push_back(element);
    }
    return fields;
}

unsigned long FindBrowserServerWindow(XDisplay* display, unsigned long window) {
    constexpr int kMaxDepth = 4;
    constexpr size_t kMaxWindows = 256;
    std::deque<std::pair<Window, int>> queue{{window, 0}};
    std::string address;
    for (size_t seen = 0; !queue.empty() && seen < kMaxWindows; ++seen) {
        const auto [current, depth] = queue.front();
        queue.pop_front();
        if (GetDocumentFromWindow(display, current, address) != 2)
            return current;
        if (depth >= kMaxDepth)
            continue;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &count))
            continue;
        for (unsigned i = 0; i < count; ++i) queue.emplace_back(children[i], depth + 1);
        if (children)
            XFree(children);
    }
    return 0;
}

int GetDocumentFromWindow(XDisplay* display, unsigned long window, std::string& address) {
    address.clear();
    if (!display || window == 0)
        return 2;
    const Atom property = XInternAtom(display, kAddressProperty, False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // A window that went away meanwhile must not end the process.
    auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const int status = XGetWindowProperty(display, window, property, 0, 256, False, AnyPropertyType,
                                          &type, &format, &items, &after, &data);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (status != Success || type == None) {
        if (data)
            XFree(data);
        return 2;
    }
    std::string text;
    if (data && format == 8)
        text.assign(reinterpret_cast<const char*>(data), items);
    if (data)
        XFree(data);
    if (after != 0 || !IsSocketPath(text))
        return 1;
    address = std::move(text);
    return 0;
}

std::chrono::milliseconds QuestionTimeout() {
    return question_timeout;
}
void SetQuestionTimeout(std::chrono::milliseconds timeout) {
    question_timeout = timeout;
}

std::vector<InputElement> AskInputElements(const std::string& address, uint32_t window) {
    const auto deadline = Clock::now() + question_timeout;
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    if (address.size() >= sizeof(name.sun_path))
        throw DocumentError("the page's address is too long");
    std::memcpy(name.sun_path, address.c_str(), address.size() + 1);
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.Valid())
        throw DocumentError(std::string("the page cannot be asked: ") + std::strerror(errno));
    if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&name), sizeof(name)) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            throw DocumentError("the page's document cannot be reached: " +
                                std::string(std::strerror(errno)));
        WaitFor(socket.Get(), POLLOUT, deadline);
    }
    ucred peer{};
    socklen_t peer_size = sizeof(peer);
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &peer_size) != 0 ||
        peer.uid != ::getuid())
        throw DocumentError("the page's document is served by another user");

    const std::string request = FormatRequest(window);
    size_t sent = 0;
    while (sent < request.size()) {
        WaitFor(socket.Get(), POLLOUT, deadline);
        const ssize_t done = ::send(socket.Get(), request.data() + sent, request.size() - sent,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            throw DocumentError("the page's document cannot be reached: " +
                                std::string(std::strerror(errno)));
        }
        sent += static_cast<size_t>(done);
    }

    unsigned char header[4];
    ReadExactly(socket.Get(), reinterpret_cast<char*>(header), sizeof(header), deadline);
    const uint32_t length = (uint32_t{header[0]} << 24) | (uint32_t{header[1]} << 16) |
                            (uint32_t{header[2]} << 8) | uint32_t{header[3]};
    if (length > kMaxReply)
        throw DocumentError("the page's answer is too long");
    std::string body(length, '\0');
    ReadExactly(socket.Get(), body.data(), body.size(), deadline);
    return ParseInputElements(body);
}

std::vector<InputElement> ReadLoginFields(XDisplay* display, unsigned long view_window) {
    const unsigned long window = FindBrowserServerWindow(display, view_window);
    std::string address;
    if (window == 0 || GetDocumentFromWindow(display, window, address) != 0)
        throw DocumentError("the page has no document to read");
    return LoginFields(AskInputElements(address, static_cast<uint32_t>(window)));
}

}  // namespace kivo::document
