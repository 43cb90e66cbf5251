#include "webcontrol/uit_web_control.h"

#include "platform/text.h"

namespace uitWebControl {

using gameKivo_TLB::WebControlError;

namespace {

int32_t server_window_handle = 0;

std::string KeyOf(int32_t TabHandle) { return std::to_string(TabHandle); }

}  // namespace

int32_t ServerWindowHandle() { return server_window_handle; }
void SetServerWindowHandle(int32_t handle) { server_window_handle = handle; }

BrowserView* TWebControl::FindView(int32_t TabHandle) const {
    if (!ViewList) return nullptr;
    const std::string key = KeyOf(TabHandle);
    for (const ViewEntry& entry : *ViewList) {
        if (kivo::EqualsIgnoringAsciiCase(entry.key, key)) return entry.view.get();
    }
    return nullptr;
}

int32_t TWebControl::TabOfView(const BrowserView* view) const {
    if (ViewList) {
        for (const ViewEntry& entry : *ViewList) {
            if (entry.view.get() == view) return std::stoi(entry.key);
        }
    }
    throw WebControlError("the view is not listed");
}

BrowserView& TWebControl::NeedView(int32_t TabHandle) const {
    BrowserView* view = FindView(TabHandle);
    if (!view) throw WebControlError("no browser view for the tab " + KeyOf(TabHandle));
    return *view;
}

void TWebControl::AddView(int32_t TabHandle, std::unique_ptr<BrowserView> view) {
    if (!ViewList) ViewList.emplace();
    ViewList->push_back(ViewEntry{KeyOf(TabHandle), std::move(view)});
}

int32_t TWebControl::CreateWeb(int32_t TabHandle) {
    if (!ViewList) ViewList.emplace();
    if (!factory_) throw WebControlError("this worker has no browser engine");
    auto view = factory_->CreateView(TabHandle);
    BrowserView* created = view.get();
    ViewList->push_back(ViewEntry{KeyOf(TabHandle), std::move(view)});
    created->EmbedInto(TabHandle);
    return created->WindowHandle();
}

void TWebControl::Navigate(int32_t TabHandle, const std::u16string&, const std::u16string&) {
    NeedView(TabHandle);
}

void TWebControl::LoginWeb(const std::u16string& Name, const std::u16string&, int32_t TabHandle) {
    if (Name.empty()) return;
    NeedView(TabHandle);
}

int32_t TWebControl::Get_WebHandle(int32_t TabHandle) { return NeedView(TabHandle).WindowHandle(); }

void TWebControl::WebRefresh(int32_t TabHandle) { NeedView(TabHandle); }

void TWebControl::WebForward(int32_t) {}

void TWebControl::WebBack(int32_t) {}

std::u16string TWebControl::Get_WebUrl(int32_t TabHandle) {
    NeedView(TabHandle);
    return {};
}

std::u16string TWebControl::Get_WebTitle(int32_t TabHandle) {
    NeedView(TabHandle);
    return {};
}

void TWebControl::Set_Serverhandle(int32_t Value) { SetServerWindowHandle(Value); }

void TWebControl::FreeWeb(int32_t TabHandle) {
    if (!ViewList) return;
    const std::string key = KeyOf(TabHandle);
    for (auto it = ViewList->begin(); it != ViewList->end(); ++it) {
        if (kivo::EqualsIgnoringAsciiCase(it->key, key)) {
            // Detach before destroying: the view's own teardown may re-enter this object.
            std::unique_ptr<BrowserView> view = std::move(it->view);
            ViewList->erase(it);
            view.reset();
            return;
        }
    }
}

int32_t TWebControl::Get_WebCount() {
    if (!ViewList) throw WebControlError("the worker has no view list yet");
    return static_cast<int32_t>(ViewList->size());
}

void TWebControl::SetFoucseWeb(int32_t) {}

void TWebControl::SetParent(int32_t TabHandle) {
    if (BrowserView* view = FindView(TabHandle)) view->EmbedInto(TabHandle);
}

void TWebControl::SaveWebToPic(int32_t TabHandle) { NeedView(TabHandle); }

void TWebControl::SaveWebToPicSmall(int32_t TabHandle) { NeedView(TabHandle); }

}  // namespace uitWebControl
