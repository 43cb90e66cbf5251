#include "webcontrol/web_control_stub.h"

#include "platform/text.h"

namespace gameKivo_TLB {

using kivo::wire::Message;
using kivo::wire::Value;

namespace {

int32_t IntAt(const Message& m, size_t i) { return std::get<int32_t>(m.values[i]); }
const std::u16string& TextAt(const Message& m, size_t i) {
    return std::get<std::u16string>(m.values[i]);
}

void CheckArguments(const MemberDescription& member, const Message& request) {
    if (request.invoke_kind != member.kind)
        throw WebControlError("Member not found: " + std::string(member.name) +
                              " cannot be reached that way");
    if (request.values.size() != member.argument_count)
        throw WebControlError("Invalid number of parameters for " + std::string(member.name));
    for (size_t i = 0; i < request.values.size(); ++i) {
        if (kivo::wire::TypeOf(request.values[i]) != member.arguments[i])
            throw WebControlError("Type mismatch in argument " + std::to_string(i + 1) + " of " +
                                  std::string(member.name));
    }
}

}  // namespace

Message InvokeMember(IWebControl& object, const Message& request) {
    const MemberDescription* member = FindMember(request.dispid);
    if (!member) throw WebControlError("Member not found: " + std::to_string(request.dispid));
    CheckArguments(*member, request);
    std::vector<Value> result;
    switch (request.dispid) {
        case DispId::Navigate:
            object.Navigate(IntAt(request, 0), TextAt(request, 1), TextAt(request, 2));
            break;
        case DispId::CreateWeb: result.emplace_back(object.CreateWeb(IntAt(request, 0))); break;
        case DispId::LoginWeb:
            object.LoginWeb(TextAt(request, 0), TextAt(request, 1), IntAt(request, 2));
            break;
        case DispId::LoginSite: object.Set_LoginSite(IntAt(request, 0), TextAt(request, 1)); break;
        case DispId::WebHandle: result.emplace_back(object.Get_WebHandle(IntAt(request, 0))); break;
        case DispId::WebRefresh: object.WebRefresh(IntAt(request, 0)); break;
        case DispId::WebForward: object.WebForward(IntAt(request, 0)); break;
        case DispId::WebBack: object.WebBack(IntAt(request, 0)); break;
        case DispId::WebUrl: result.emplace_back(object.Get_WebUrl(IntAt(request, 0))); break;
        case DispId::WebTitle: result.emplace_back(object.Get_WebTitle(IntAt(request, 0))); break;
        case DispId::Serverhandle: object.Set_Serverhandle(IntAt(request, 0)); break;
        case DispId::FreeWeb: object.FreeWeb(IntAt(request, 0)); break;
        case DispId::WebCount: result.emplace_back(object.Get_WebCount()); break;
        case DispId::SetFoucseWeb: object.SetFoucseWeb(IntAt(request, 0)); break;
        case DispId::SetParent: object.SetParent(IntAt(request, 0)); break;
        case DispId::SaveWebToPic: object.SaveWebToPic(IntAt(request, 0)); break;
        case DispId::SaveWebToPicSmall: object.SaveWebToPicSmall(IntAt(request, 0)); break;
        case DispId::DownloadSaveTo:
            object.DownloadSaveTo(IntAt(request, 0), TextAt(request, 1));
            break;
        // The page keys.
        case DispId::FindText:
            object.FindText(IntAt(request, 0), TextAt(request, 1), IntAt(request, 2));
            break;
        case DispId::FindFinish:
            object.FindFinish(IntAt(request, 0));
            break;
        case DispId::SetWebZoom:
            result.emplace_back(object.SetWebZoom(IntAt(request, 0), IntAt(request, 1)));
            break;
        case DispId::WebZoom:
            result.emplace_back(object.Get_WebZoom(IntAt(request, 0)));
            break;
    }
    return kivo::wire::MakeReply(request.id, std::move(result));
}

std::vector<Value> WebControlEventsSender::Raise(int32_t dispid, std::vector<Value> arguments) {
    Message event;
    event.kind = kivo::wire::Kind::Event;
    event.dispid = dispid;
    event.values = std::move(arguments);
    Message reply = channel_->Call(std::move(event));
    if (reply.failed) throw WebControlError(kivo::Utf16ToUtf8(reply.error));
    return std::move(reply.values);
}

void WebControlEventsSender::ProgressChange(int32_t Progress, int32_t ProgressMax,
                                            int32_t TabHandle) {
    Raise(DispId::ProgressChange, {Progress, ProgressMax, TabHandle});
}

void WebControlEventsSender::StatusTextChange(const std::u16string& Text, int32_t TabHandle) {
    Raise(DispId::StatusTextChange, {Text, TabHandle});
}

void WebControlEventsSender::DocumentComplete(bool IsApplication, const std::u16string& Url,
                                              int32_t TabHandle) {
    Raise(DispId::DocumentComplete, {IsApplication, Url, TabHandle});
}

void WebControlEventsSender::NewTab(int32_t& TabHandle, int32_t WebHandle) {
    auto out = Raise(DispId::NewTab, {TabHandle, WebHandle});
    if (out.size() != 1 || !std::holds_alternative<int32_t>(out[0]))
        throw WebControlError("NewTab: the main process sent no tab handle back");
    TabHandle = std::get<int32_t>(out[0]);
}

void WebControlEventsSender::DownloadAsk(int32_t DownloadId, const std::u16string& SuggestedName,
                                         int32_t TabHandle) {
    Raise(DispId::DownloadAsk, {DownloadId, SuggestedName, TabHandle});
}

void WebControlEventsSender::DownloadProgress(int32_t DownloadId, int32_t ReceivedKiB,
                                              int32_t ExpectedKiB) {
    Raise(DispId::DownloadProgress, {DownloadId, ReceivedKiB, ExpectedKiB});
}

void WebControlEventsSender::DownloadEnded(bool Finished, const std::u16string& Text,
                                           int32_t DownloadId) {
    Raise(DispId::DownloadEnded, {Finished, Text, DownloadId});
}

void WebControlEventsSender::BrowserKey(int32_t Command, int32_t TabHandle) {
    Raise(DispId::BrowserKey, {Command, TabHandle});
}

void WebControlEventsSender::FindCount(int32_t Count, int32_t TabHandle) {
    Raise(DispId::FindCount, {Count, TabHandle});
}

void WebControlEventsSender::PopupBlocked(const std::u16string& Url, int32_t TabHandle) {
    Raise(DispId::PopupBlocked, {Url, TabHandle});
}

void WebControlEventSource::Advise(std::unique_ptr<WebControlEventsSender> subscriber) {
    if (subscriber_) throw WebControlError("Connection limit reached: the object has a subscriber");
    subscriber_ = std::move(subscriber);
}

void ServeWebControl(const std::shared_ptr<kivo::Channel>& channel,
                     std::shared_ptr<IWebControl> object, WebControlEventSource& events) {
    std::weak_ptr<kivo::Channel> weak = channel;
    channel->SetRequestHandler([weak, object, &events](const Message& request) -> Message {
        switch (request.kind) {
            case kivo::wire::Kind::Invoke: return InvokeMember(*object, request);
            case kivo::wire::Kind::Advise:
                if (auto channel = weak.lock())
                    events.Advise(std::make_unique<WebControlEventsSender>(channel));
                return kivo::wire::MakeReply(request.id);
            case kivo::wire::Kind::Unadvise:
                events.Unadvise();
                return kivo::wire::MakeReply(request.id);
            default: throw WebControlError("unexpected request");
        }
    });
}

}  // namespace gameKivo_TLB
