#include "webcontrol/web_control_proxy.h"

namespace gameKivo_Work_TLB {

using gameKivo_TLB::WebControlError;
using kivo::wire::Value;
namespace DispId = gameKivo_TLB::DispId;

TWebControl::~TWebControl() {
    try {
        Disconnect();
    } catch (...) {
        // A worker that is gone cannot be unsubscribed from; the reference is released anyway.
    }
}

void TWebControl::Connect() {
    if (object_) return;
    ConnectTo(gameKivo_TLB::ActivateWebControl());
}

void TWebControl::ConnectTo(std::shared_ptr<RemoteWebControl> object) {
    Disconnect();
    object->Advise(this);
    object_ = std::move(object);
}

void TWebControl::Disconnect() {
    auto object = std::move(object_);
    object_.reset();
    if (object && object->Alive()) object->Unadvise();
}

RemoteWebControl& TWebControl::Object() {
    if (!object_) throw WebControlError("the page's worker is not running");
    return *object_;
}

void TWebControl::Invoke(int32_t dispid, std::vector<Value>& arguments) {
    const auto* event = gameKivo_TLB::FindEvent(dispid);
    if (!event) return;
    if (arguments.size() != event->argument_count)
        throw WebControlError("Invalid number of parameters for " + std::string(event->name));
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (kivo::wire::TypeOf(arguments[i]) != event->arguments[i])
            throw WebControlError("Type mismatch in argument " + std::to_string(i + 1) + " of " +
                                  std::string(event->name));
    }
    auto integer = [&](size_t i) { return std::get<int32_t>(arguments[i]); };
    // Copies of the slots: a handler may clear them or drop this proxy while it runs.
    switch (dispid) {
        case DispId::ProgressChange:
            if (auto handler = OnProgressChange) handler(*this, integer(0), integer(1), integer(2));
            break;
        case DispId::StatusTextChange:
            if (auto handler = OnStatusTextChange)
                handler(*this, std::get<std::u16string>(arguments[0]), integer(1));
            break;
        case DispId::Foreground:
            if (auto handler = OnForeground) handler(*this);
            break;
        case DispId::DocumentComplete:
            if (auto handler = OnDocumentComplete)
                handler(*this, std::get<bool>(arguments[0]), std::get<std::u16string>(arguments[1]),
                        integer(2));
            break;
        case DispId::NewTab:
            if (auto handler = OnNewTab) handler(*this, std::get<int32_t>(arguments[0]), integer(1));
            break;
        case DispId::DownloadAsk:
            if (auto handler = OnDownloadAsk)
                handler(*this, integer(0), std::get<std::u16string>(arguments[1]), integer(2));
            break;
        case DispId::DownloadProgress:
            if (auto handler = OnDownloadProgress)
                handler(*this, integer(0), integer(1), integer(2));
            break;
        case DispId::DownloadEnded:
            if (auto handler = OnDownloadEnded)
                handler(*this, std::get<bool>(arguments[0]), std::get<std::u16string>(arguments[1]),
                        integer(2));
            break;
        case DispId::BrowserKey:
            if (auto handler = OnBrowserKey)
                handler(*this, integer(0), integer(1));
            break;
        case DispId::FindCount:
            if (auto handler = OnFindCount)
                handler(*this, integer(0), integer(1));
            break;
        case DispId::PopupBlocked:
            if (auto handler = OnPopupBlocked)
                handler(*this, std::get<std::u16string>(arguments[0]), integer(1));
            break;
    }
}

void TWebControl::Navigate(int32_t TabHandle, const std::u16string& Url,
                           const std::u16string& PostData) {
    Object().Navigate(TabHandle, Url, PostData);
}
int32_t TWebControl::CreateWeb(int32_t TabHandle) { return Object().CreateWeb(TabHandle); }
void TWebControl::LoginWeb(const std::u16string& Name, const std::u16string& Value,
                           int32_t TabHandle) {
    Object().LoginWeb(Name, Value, TabHandle);
}
void TWebControl::LoginSite(int32_t TabHandle, const std::u16string& Url) {
    Object().Set_LoginSite(TabHandle, Url);
}
int32_t TWebControl::WebHandle(int32_t TabHandle) { return Object().Get_WebHandle(TabHandle); }
void TWebControl::WebRefresh(int32_t TabHandle) { Object().WebRefresh(TabHandle); }
void TWebControl::WebForward(int32_t TabHandle) { Object().WebForward(TabHandle); }
void TWebControl::WebBack(int32_t TabHandle) { Object().WebBack(TabHandle); }
std::u16string TWebControl::WebUrl(int32_t TabHandle) { return Object().Get_WebUrl(TabHandle); }
std::u16string TWebControl::WebTitle(int32_t TabHandle) { return Object().Get_WebTitle(TabHandle); }
void TWebControl::Serverhandle(int32_t Value) { Object().Set_Serverhandle(Value); }
void TWebControl::FreeWeb(int32_t TabHandle) { Object().FreeWeb(TabHandle); }
int32_t TWebControl::WebCount() { return Object().Get_WebCount(); }
void TWebControl::SetFoucseWeb(int32_t TabHandle) { Object().SetFoucseWeb(TabHandle); }
void TWebControl::SetParent(int32_t TabHandle) { Object().SetParent(TabHandle); }
void TWebControl::SaveWebToPic(int32_t TabHandle) { Object().SaveWebToPic(TabHandle); }
void TWebControl::SaveWebToPicSmall(int32_t TabHandle) { Object().SaveWebToPicSmall(TabHandle); }

void TWebControl::DownloadSaveTo(int32_t DownloadId, const std::u16string& Path) {
    Object().DownloadSaveTo(DownloadId, Path);
}
void TWebControl::FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) {
    Object().FindText(TabHandle, Text, Options);
}
void TWebControl::FindFinish(int32_t TabHandle) {
    Object().FindFinish(TabHandle);
}
int32_t TWebControl::SetWebZoom(int32_t TabHandle, int32_t Percent) {
    return Object().SetWebZoom(TabHandle, Percent);
}
int32_t TWebControl::WebZoom(int32_t TabHandle) {
    return Object().Get_WebZoom(TabHandle);
}

void TWebControl::SaveWebToPicSmallAsync(int32_t TabHandle, std::chrono::milliseconds timeout,
                                         std::function<void(bool written)> done) {
    if (!object_) {
        Glib::signal_idle().connect_once([done = std::move(done)] { done(false); });
        return;
    }
    object_->SaveWebToPicSmallAsync(TabHandle, timeout, std::move(done));
}

}  // namespace gameKivo_Work_TLB
