#include "webcontrol/remote_web_control.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/text.h"
#include "platform/user_settings.h"
#include "webcontrol/registration.h"

namespace gameKivo_TLB {

using kivo::wire::Message;
using kivo::wire::Value;

namespace {

constexpr std::chrono::milliseconds kActivationTimeout{30000};

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
}

RemoteWebControl::~RemoteWebControl() {
    // Closing the connection releases the worker's object; the worker then ends by itself.
    channel_->Close();
}

Message RemoteWebControl::Request(kivo::wire::Kind kind) {
    Message request;
    request.kind = kind;
    Message reply = channel_->Call(std::move(request));
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
    Message reply = channel_->Call(std::move(request));
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
        if (process.Pid() > 0) kill(process.Pid(), SIGKILL);
        throw WebControlError(std::string("Server execution failed: ") + e.what());
    }
    return std::make_shared<RemoteWebControl>(std::move(channel), std::move(process));
}

}  // namespace gameKivo_TLB
