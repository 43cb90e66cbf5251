#include "webcontrol/remote_web_control.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <glib.h>

#include "platform/text.h"
#include "platform/user_settings.h"
#include "webcontrol/registration.h"

namespace gameKivo_TLB {

using kivo::wire::Message;
using kivo::wire::Value;

namespace {

constexpr std::chrono::milliseconds kActivationTimeout{30000};

// A worker answers most members at once; one that takes longer is taken for hung.
constexpr std::chrono::milliseconds kPromptAnswer{10000};
// Making the first view also sets up the worker's engine, stores and page process.
constexpr std::chrono::milliseconds kFirstViewAnswer{20000};
// Reading or filling the document waits for the page's process; the worker gives up on a page
// that does not answer after its own two script waits of 10 s, and must be able to say so.
constexpr std::chrono::milliseconds kDocumentAnswer{25000};
// Pictures draw the whole page (up to 15 s in the worker), then cut and write it.
constexpr std::chrono::milliseconds kPictureAnswer{40000};

// Workers whose object was released and that may still be on their way out.
std::vector<kivo::ChildProcess>& ReleasedWorkers() {
    static std::vector<kivo::ChildProcess> workers;
    return workers;
}

// The descriptor number under which a worker finds its connection.
constexpr int kWorkerChannelFd = 3;

std::vector<Value> Values(std::initializer_list<Value> values) { return values; }

}  // namespace

RemoteWebControl::RemoteWebControl(std::shared_ptr<kivo::Channel> channel,
                                   kivo::ChildProcess process)
    : channel_(std::move(channel)), process_(std::move(process)) {
    // A worker ends when its object is released or when its main window is gone; it must not
    // linger as a zombie while this proxy lives on.
    process_.ReapWhenEnded();
    // A connection that dies leaves a worker that is gone, hung or hostile: it is ended, so a
    // hung one holds no tab's page hostage. Nothing else happens here, as this may run deep
    // inside a nested call; the callers learn of it from the calls that fail.
    channel_->SetClosedHandler([this] {
        process_.Kill();
        Glib::signal_idle().connect_once([] {
            if (WorkerEndedHandler()) WorkerEndedHandler()();
        });
    });
}

std::function<void()>& RemoteWebControl::WorkerEndedHandler() {
    static std::function<void()> handler;
    return handler;
}

void RemoteWebControl::SetWorkerEndedHandler(std::function<void()> handler) {
    WorkerEndedHandler() = std::move(handler);
}

RemoteWebControl::~RemoteWebControl() {
    // Closing the connection releases the worker's object; the worker then ends by itself.
    channel_->Close();
    auto& released = ReleasedWorkers();
    std::erase_if(released, [](const kivo::ChildProcess& worker) { return worker.Ended(); });
    if (!process_.Ended()) released.push_back(std::move(process_));
}

std::chrono::milliseconds RemoteWebControl::MemberTimeout(int32_t dispid) {
    switch (dispid) {
        case DispId::CreateWeb: return kFirstViewAnswer;
        case DispId::LoginWeb:
        case DispId::WebUrl:
        case DispId::WebTitle: return kDocumentAnswer;
        case DispId::SaveWebToPic:
        case DispId::SaveWebToPicSmall: return kPictureAnswer;
        default: return kPromptAnswer;
    }
}

Message RemoteWebControl::Request(kivo::wire::Kind kind) {
    Message request;
    request.kind = kind;
    Message reply = channel_->Call(std::move(request), kPromptAnswer);
    if (reply.failed) throw WebControlError(kivo::Utf16ToUtf8(reply.error));
    return reply;
}

std::vector<Value> RemoteWebControl::Invoke(int32_t dispid, InvokeKind kind,
                                            std::vector<Value> arguments) {
    Message request;
    request.kind = kivo::wire::Kind::Invoke;
    request.dispid = dispid;
    request.invoke_kind = kind;
    request.values = std::move(arguments);
    Message reply = channel_->Call(std::move(request), MemberTimeout(dispid));
    if (reply.failed) throw WebControlError(kivo::Utf16ToUtf8(reply.error));
    return std::move(reply.values);
}

Value RemoteWebControl::Result(int32_t dispid, InvokeKind kind, std::vector<Value> arguments) {
    auto values = Invoke(dispid, kind, std::move(arguments));
    const MemberDescription* member = FindMember(dispid);
    if (values.size() != 1 || kivo::wire::TypeOf(values[0]) != member->result)
        throw WebControlError("the worker sent a malformed result for " + std::string(member->name));
    return std::move(values[0]);
}

void RemoteWebControl::Navigate(int32_t TabHandle, const std::u16string& Url,
                                const std::u16string& PostData) {
    Invoke(DispId::Navigate, InvokeKind::Method, Values({TabHandle, Url, PostData}));
}

int32_t RemoteWebControl::CreateWeb(int32_t TabHandle) {
    return std::get<int32_t>(Result(DispId::CreateWeb, InvokeKind::Method, Values({TabHandle})));
}

void RemoteWebControl::LoginWeb(const std::u16string& Name, const std::u16string& Value,
                                int32_t TabHandle) {
    Invoke(DispId::LoginWeb, InvokeKind::Method, Values({Name, Value, TabHandle}));
}

void RemoteWebControl::Set_LoginSite(int32_t TabHandle, const std::u16string& Url) {
    Invoke(DispId::LoginSite, InvokeKind::PropertyPut, Values({TabHandle, Url}));
}

int32_t RemoteWebControl::Get_WebHandle(int32_t TabHandle) {
    return std::get<int32_t>(
        Result(DispId::WebHandle, InvokeKind::PropertyGet, Values({TabHandle})));
}

void RemoteWebControl::WebRefresh(int32_t TabHandle) {
    Invoke(DispId::WebRefresh, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::WebForward(int32_t TabHandle) {
    Invoke(DispId::WebForward, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::WebBack(int32_t TabHandle) {
    Invoke(DispId::WebBack, InvokeKind::Method, Values({TabHandle}));
}

std::u16string RemoteWebControl::Get_WebUrl(int32_t TabHandle) {
    return std::get<std::u16string>(
        Result(DispId::WebUrl, InvokeKind::PropertyGet, Values({TabHandle})));
}

std::u16string RemoteWebControl::Get_WebTitle(int32_t TabHandle) {
    return std::get<std::u16string>(
        Result(DispId::WebTitle, InvokeKind::PropertyGet, Values({TabHandle})));
}

void RemoteWebControl::Set_Serverhandle(int32_t Value) {
    Invoke(DispId::Serverhandle, InvokeKind::PropertyPut, Values({Value}));
}

void RemoteWebControl::FreeWeb(int32_t TabHandle) {
    Invoke(DispId::FreeWeb, InvokeKind::Method, Values({TabHandle}));
}

int32_t RemoteWebControl::Get_WebCount() {
    return std::get<int32_t>(Result(DispId::WebCount, InvokeKind::PropertyGet, {}));
}

void RemoteWebControl::SetFoucseWeb(int32_t TabHandle) {
    Invoke(DispId::SetFoucseWeb, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::SetParent(int32_t TabHandle) {
    Invoke(DispId::SetParent, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::SaveWebToPic(int32_t TabHandle) {
    Invoke(DispId::SaveWebToPic, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::SaveWebToPicSmall(int32_t TabHandle) {
    Invoke(DispId::SaveWebToPicSmall, InvokeKind::Method, Values({TabHandle}));
}

void RemoteWebControl::DownloadSaveTo(int32_t DownloadId, const std::u16string& Path) {
    Invoke(DispId::DownloadSaveTo, InvokeKind::Method, Values({DownloadId, Path}));
}

void RemoteWebControl::FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) {
    Invoke(DispId::FindText, InvokeKind::Method, Values({TabHandle, Text, Options}));
}

void RemoteWebControl::FindFinish(int32_t TabHandle) {
    Invoke(DispId::FindFinish, InvokeKind::Method, Values({TabHandle}));
}

int32_t RemoteWebControl::SetWebZoom(int32_t TabHandle, int32_t Percent) {
    return std::get<int32_t>(
        Result(DispId::SetWebZoom, InvokeKind::Method, Values({TabHandle, Percent})));
}

int32_t RemoteWebControl::Get_WebZoom(int32_t TabHandle) {
    return std::get<int32_t>(Result(DispId::WebZoom, InvokeKind::PropertyGet, Values({TabHandle})));
}

void RemoteWebControl::SaveWebToPicSmallAsync(int32_t TabHandle,
                                              std::chrono::milliseconds timeout,
                                              std::function<void(bool written)> done) {
    Message request;
    request.kind = kivo::wire::Kind::Invoke;
    request.dispid = DispId::SaveWebToPicSmall;
    request.invoke_kind = InvokeKind::Method;
    request.values = Values({TabHandle});
    channel_->CallAsync(std::move(request), timeout,
                        [done = std::move(done)](const Message* reply) {
                            done(reply != nullptr && !reply->failed);
                        });
}

void RemoteWebControl::Advise(IWebControlEvents* receiver) {
    Request(kivo::wire::Kind::Advise);
    receiver_ = receiver;
    channel_->SetRequestHandler([this](const Message& request) -> Message {
        if (request.kind != kivo::wire::Kind::Event || !receiver_)
            throw WebControlError("no receiver for this request");
        std::vector<Value> arguments = request.values;
        // The receiver may drop this object while it runs; touch nothing of it afterwards.
        receiver_->Invoke(request.dispid, arguments);
        if (request.dispid == DispId::NewTab && !arguments.empty())
            return kivo::wire::MakeReply(request.id, {arguments[0]});
        return kivo::wire::MakeReply(request.id);
    });
}

void RemoteWebControl::Unadvise() {
    if (!receiver_) return;
    receiver_ = nullptr;
    channel_->SetRequestHandler(nullptr);
    if (channel_->Alive()) Request(kivo::wire::Kind::Unadvise);
}

std::shared_ptr<RemoteWebControl> ActivateWebControl() {
    kivo::UserSettings settings;
    const auto server = RegisteredServer(settings);
    if (!server) throw WebControlError("Class not registered: " + std::string(CLASS_WebControl));

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw WebControlError(std::string("cannot make a connection: ") + std::strerror(errno));
    kivo::UniqueFd ours(pair[0]);
    kivo::UniqueFd theirs(pair[1]);
    if (theirs.Get() == kWorkerChannelFd) {
        // The child must receive it through a real dup2, which clears close-on-exec.
        theirs.Reset(fcntl(theirs.Get(), F_DUPFD_CLOEXEC, kWorkerChannelFd + 1));
    }
    kivo::ChildProcess process;
    try {
        process = kivo::ChildProcess::Start(
            *server, {*server, "-Embedding"}, {{theirs.Get(), kWorkerChannelFd}},
            {{"GAMEKIVO_CHANNEL_FD", std::to_string(kWorkerChannelFd)}});
    } catch (const std::exception& e) {
        throw WebControlError(std::string("Server execution failed: ") + e.what());
    }
    theirs.Reset();

    auto channel = kivo::Channel::Create(std::move(ours));
    try {
        channel->WaitForHello(kActivationTimeout);
    } catch (const kivo::ConnectionError& e) {
        channel->Close();
        process.Kill();
        throw WebControlError(std::string("Server execution failed: ") + e.what());
    }
    return std::make_shared<RemoteWebControl>(std::move(channel), std::move(process));
}

void EndReleasedWorkers(std::chrono::milliseconds grace) {
    auto& released = ReleasedWorkers();
    auto ended = [](const kivo::ChildProcess& worker) { return worker.Ended(); };
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (!std::all_of(released.begin(), released.end(), ended) &&
           std::chrono::steady_clock::now() < deadline) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& worker : released) worker.Kill();
    released.clear();  // reaped in the background
}

}  // namespace gameKivo_TLB
