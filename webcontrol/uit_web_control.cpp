#include "webcontrol/uit_web_control.h"

#include <malloc.h>

#include <filesystem>
#include <iostream>
#include <utility>

#include "imaging/bmp_file.h"
#include "platform/text.h"
#include "platform/web_origin.h"
#include "webcontrol/post_form.h"

namespace uitWebControl {

using gameKivo_TLB::WebControlError;
using kivo::Utf16ToUtf8;
using kivo::Utf8ToUtf16;

namespace {

int32_t server_window_handle = 0;

std::function<void(const std::string&)>& UncaughtSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

std::function<void(const std::string&)>& MessageBoxShow() {
    static std::function<void(const std::string&)> show;
    return show;
}

std::string KeyOf(int32_t TabHandle) {
    return std::to_string(TabHandle);
}

}  // namespace

int32_t ServerWindowHandle() {
    return server_window_handle;
}
void SetServerWindowHandle(int32_t handle) {
    server_window_handle = handle;
}

void SetUncaughtErrorSink(std::function<void(const std::string&)> sink) {
    UncaughtSink() = std::move(sink);
}

void ReportUncaught(const std::string& message) {
    if (UncaughtSink())
        UncaughtSink()(message);
    else
        std::cerr << "gameKivo worker: " << message << '\n';
}

namespace {
std::function<void()>& PageProcessEndedHandler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void SetPageProcessEndedHandler(std::function<void()> handler) {
    PageProcessEndedHandler() = std::move(handler);
}

void ReportPageProcessEnded() {
    if (PageProcessEndedHandler())
        PageProcessEndedHandler()();
}

void SetMessageBox(std::function<void(const std::string&)> show) {
    MessageBoxShow() = std::move(show);
}

PictureSize PagePictureSize(ScrollSize body, bool capped) {
    PictureSize size{body.width + kVerticalScrollBarWidth + 3,
                     body.height + kVerticalScrollBarWidth + 3};
    if (capped && size.height > 2 * size.width)
        size.height = 2 * size.width;
    return size;
}

bool DrawsWholeDocument(ScrollSize body, bool capped) {
    const PictureSize whole = PagePictureSize(body, false);
    if (body.width < 0 || body.height < 0 || whole.width > kMaxDrawnSide ||
        whole.height > kMaxDrawnSide)
        return false;
    const int64_t pixels = int64_t{whole.width} * whole.height;
    return pixels <= (capped ? kMaxThumbnailPixels : kMaxFullPicturePixels);
}

std::shared_ptr<BrowserView> TWebControl::FindView(int32_t TabHandle) const {
    if (!ViewList)
        return nullptr;
    const std::string key = KeyOf(TabHandle);
    for (const ViewEntry& entry : *ViewList) {
        if (kivo::EqualsIgnoringAsciiCase(entry.key, key))
            return entry.view;
    }
    return nullptr;
}

int32_t TWebControl::TabOfView(const BrowserView* view) const {
    if (ViewList) {
        for (const ViewEntry& entry : *ViewList) {
            if (entry.view.get() == view)
                return std::stoi(entry.key);
        }
    }
    throw WebControlError("the view is not listed");
}

std::shared_ptr<BrowserView> TWebControl::NeedView(int32_t TabHandle) const {
    auto view = FindView(TabHandle);
    if (!view)
        throw WebControlError("no browser view for the tab " + KeyOf(TabHandle));
    return view;
}

std::string TWebControl::WebImagePath(int32_t TabHandle) const {
    return work_path_ + "WebImage/" + KeyOf(TabHandle);
}

std::string TWebControl::TempPath(int32_t TabHandle) const {
    return work_path_ + "Temp/" + KeyOf(TabHandle);
}

std::shared_ptr<BrowserView> TWebControl::CreateView(int32_t TabHandle, BrowserView* related) {
    if (!factory_)
        throw WebControlError("this worker has no browser engine");
    return factory_->CreateView(TabHandle, *this, related);
}

void TWebControl::AppendView(int32_t TabHandle, std::shared_ptr<BrowserView> view) {
    if (!ViewList)
        ViewList.emplace();
    ViewList->push_back(ViewEntry{KeyOf(TabHandle), std::move(view)});
}

void TWebControl::EmbedWindow(BrowserView& view, int32_t host) {
    view.EmbedInto(host);
}

int32_t TWebControl::CreateWeb(int32_t TabHandle) {
    if (!ViewList)
        ViewList.emplace();
    auto view = CreateView(TabHandle, nullptr);
    AppendView(TabHandle, view);
    EmbedWindow(*view, TabHandle);
    return view->WindowHandle();
}

void TWebControl::Navigate(int32_t TabHandle, const std::u16string& Url,
                           const std::u16string& PostData) {
    auto view = NeedView(TabHandle);
    if (PostData.empty())
        view->Navigate(Utf16ToUtf8(Url));
    else
        view->NavigatePost(Utf16ToUtf8(Url), PostBodyBytes(PostData));
}

void TWebControl::Set_LoginSite(int32_t TabHandle, const std::u16string& Url) {
    login_sites_[TabHandle] = Utf16ToUtf8(Url);
}

void TWebControl::LoginWeb(const std::u16string& Name, const std::u16string& Value,
                           int32_t TabHandle) {
    if (Name.empty())
        return;
    auto view = NeedView(TabHandle);
    const auto site = login_sites_.find(TabHandle);
    std::vector<std::string> origins;
    if (site != login_sites_.end()) {
        for (const kivo::WebOrigin& origin : kivo::AccountSiteOrigins(site->second))
            origins.push_back(kivo::OriginText(origin));
    }
    if (origins.empty())
        throw WebControlError("the tab has no site its login values may go to");
    view->SetInputValue(Utf16ToUtf8(Name), Utf16ToUtf8(Value), origins);
}

int32_t TWebControl::Get_WebHandle(int32_t TabHandle) {
    return NeedView(TabHandle)->WindowHandle();
}

void TWebControl::WebRefresh(int32_t TabHandle) {
    NeedView(TabHandle)->Reload();
}

void TWebControl::WebForward(int32_t TabHandle) {
    try {
        if (auto view = FindView(TabHandle))
            view->GoForward();
    } catch (const std::exception&) {
        // Nothing to go to: the call still succeeds.
    }
}

void TWebControl::WebBack(int32_t TabHandle) {
    try {
        if (auto view = FindView(TabHandle))
            view->GoBack();
    } catch (const std::exception&) {
    }
}

std::u16string TWebControl::Get_WebUrl(int32_t TabHandle) {
    auto view = NeedView(TabHandle);
    if (view->HasDocument())
        return Utf8ToUtf16(view->DocumentUrl());
    return Utf8ToUtf16(view->LocationUrl());
}

std::u16string TWebControl::Get_WebTitle(int32_t TabHandle) {
    auto view = NeedView(TabHandle);
    if (!view->HasDocument())
        throw WebControlError("the view has no document yet");
    return Utf8ToUtf16(view->DocumentTitle());
}

void TWebControl::Set_Serverhandle(int32_t Value) {
    SetServerWindowHandle(Value);
}

void TWebControl::FreeWeb(int32_t TabHandle) {
    try {
        if (!ViewList)
            return;
        const std::string key = KeyOf(TabHandle);
        for (auto it = ViewList->begin(); it != ViewList->end(); ++it) {
            if (kivo::EqualsIgnoringAsciiCase(it->key, key)) {
                // Detach first: the view may be in the middle of a call of its own, which keeps
                // it alive until that call returns.
                std::shared_ptr<BrowserView> view = std::move(it->view);
                ViewList->erase(it);
                return;
            }
        }
    } catch (const std::exception&) {
        // Freeing never fails.
    }
}

int32_t TWebControl::Get_WebCount() {
    if (!ViewList)
        throw WebControlError("the worker has no view list yet");
    return static_cast<int32_t>(ViewList->size());
}

void TWebControl::SetFoucseWeb(int32_t TabHandle) {
    if (auto view = FindView(TabHandle))
        view->Focus();
}

void TWebControl::SetParent(int32_t TabHandle) {
    if (auto view = FindView(TabHandle))
        EmbedWindow(*view, TabHandle);
}

void TWebControl::SaveViewPicture(const std::string& path, BrowserView& view, bool capped) {
    std::optional<ScrollSize> body;
    try {
        body = view.BodyScrollSize();
    } catch (const std::exception&) {
        // Without the body's size the picture is what the view shows.
    }
    try {
        kivo::imaging::RgbImage picture = DrawPicture(view, body, capped);
        kivo::imaging::WriteBmp24(path, picture);
    } catch (const std::exception&) {
        // A picture that cannot be drawn leaves no file, not the previous page's picture:
        // reading it back reports the failure.
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    // The page picture is large and short-lived: give its memory back at once.
    malloc_trim(0);
}

kivo::imaging::RgbImage TWebControl::DrawPicture(BrowserView& view, std::optional<ScrollSize> body,
                                                 bool capped) {
    if (body && DrawsWholeDocument(*body, capped)) {
        const PictureSize size = PagePictureSize(*body, capped);
        try {
            kivo::imaging::RgbImage whole = view.Snapshot(true);
            if (whole.Width() == size.width && whole.Height() == size.height)
                return whole;  // already the size wanted: no copy
            return kivo::imaging::FitToSize(whole, size.width, size.height);
        } catch (const std::exception& e) {
            ReportUncaught(std::string("the whole page cannot be drawn: ") + e.what());
        }
    }
    return view.Snapshot(false);
}

void TWebControl::SaveViewBitmap(const std::string& path, BrowserView& view) {
    SaveViewPicture(path, view, true);
}

void TWebControl::SaveViewBitmapFull(const std::string& path, BrowserView& view) {
    SaveViewPicture(path, view, false);
}

void TWebControl::SaveWebToPic(int32_t TabHandle) {
    auto view = NeedView(TabHandle);
    const std::string path = TempPath(TabHandle);
    SaveViewBitmapFull(path, *view);
    kivo::imaging::ReencodeBitmap(path);
    EmbedWindow(*view, TabHandle);
}

void TWebControl::SaveWebToPicSmall(int32_t TabHandle) {
    auto view = NeedView(TabHandle);
    const std::string path = WebImagePath(TabHandle);
    SaveViewBitmap(path, *view);
    kivo::imaging::ReencodeBitmap(path);
    EmbedWindow(*view, TabHandle);
}

void TWebControl::FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) {
    auto view = NeedView(TabHandle);
    if (Text.find(u'\0') != std::u16string::npos)
        throw WebControlError("a text holding a NUL character cannot be searched for");
    if (Text.empty())
        view->FinishFind();
    else
        view->Find(Utf16ToUtf8(Text), Options);
}

void TWebControl::FindFinish(int32_t TabHandle) {
    if (auto view = FindView(TabHandle))
        view->FinishFind();
}

int32_t TWebControl::SetWebZoom(int32_t TabHandle, int32_t Percent) {
    auto view = NeedView(TabHandle);
    view->SetZoom(kivo::ClampZoom(Percent));
    return view->Zoom();
}

int32_t TWebControl::Get_WebZoom(int32_t TabHandle) {
    return NeedView(TabHandle)->Zoom();
}

void TWebControl::ViewDocumentComplete(BrowserView& view, bool top_level, const std::string& url) {
    auto keep = view.shared_from_this();
    const int32_t tab = TabOfView(&view);
    const uint64_t loads = view.LoadsStarted();
    if (top_level) {
        try {
            const std::string path = WebImagePath(tab);
            SaveViewBitmap(path, view);
            kivo::imaging::ReencodeBitmap(path);
        } catch (const std::exception& e) {
            // One message box per worker: a page that fails again and again (or opens pop-up
            // after pop-up) must not raise it again and again.
            if (MessageBoxShow() && !std::exchange(picture_failure_shown_, true))
                MessageBoxShow()(e.what());
            else
                ReportUncaught(e.what());
        }
        EmbedWindow(view, tab);
        // Drawing the picture runs the loop, so the next page may have started meanwhile, and
        // may even have reported its own completion: this one would come after it.
        if (view.LoadsStarted() != loads)
            return;
    }
    if (auto* events = Subscriber())
        events->DocumentComplete(top_level, Utf8ToUtf16(url), tab);
}

std::shared_ptr<BrowserView> TWebControl::ViewNewWindow(BrowserView& opener) {
    auto keep = opener.shared_from_this();
    int32_t tab = TabOfView(&opener);
    if (auto* events = Subscriber())
        events->NewTab(tab, 0);
    auto view = CreateView(tab, &opener);
    EmbedWindow(*view, tab);
    AppendView(tab, view);
    return view;
}

void TWebControl::ViewProgressChange(BrowserView& view, int32_t progress, int32_t progress_max) {
    const int32_t tab = TabOfView(&view);
    if (auto* events = Subscriber())
        events->ProgressChange(progress, progress_max, tab);
}

void TWebControl::ViewStatusTextChange(BrowserView& view, const std::string& text) {
    const int32_t tab = TabOfView(&view);
    if (auto* events = Subscriber())
        events->StatusTextChange(Utf8ToUtf16(text), tab);
}

void TWebControl::ViewBrowserKey(BrowserView& view, kivo::BrowserCommand command) {
    const int32_t tab = TabOfView(&view);
    if (auto* events = Subscriber())
        events->BrowserKey(static_cast<int32_t>(command), tab);
}

void TWebControl::ViewPopupBlocked(BrowserView& view, const std::string& url) {
    const int32_t tab = TabOfView(&view);
    if (auto* events = Subscriber())
        events->PopupBlocked(Utf8ToUtf16(url), tab);
}

void TWebControl::ViewFindCount(BrowserView& view, int32_t count) {
    const int32_t tab = TabOfView(&view);
    if (auto* events = Subscriber())
        events->FindCount(count, tab);
}

}  // namespace uitWebControl

namespace uitWebControl {

DownloadReports TWebControl::DownloadReportsToMain() {
    // An event the main process cannot take (it has gone) is logged; the download goes on.
    auto raise = [this](const char* what,
                        const std::function<void(gameKivo_TLB::WebControlEventsSender&)>& send) {
        try {
            if (auto* events = Subscriber())
                send(*events);
        } catch (const std::exception& e) {
            ReportUncaught(std::string(what) + ": " + e.what());
        }
    };
    DownloadReports reports;
    reports.Ask = [raise](int32_t id, const std::string& name, int32_t tab) {
        raise("download", [&](auto& events) { events.DownloadAsk(id, Utf8ToUtf16(name), tab); });
    };
    reports.Progress = [raise](int32_t id, int32_t received_kib, int32_t expected_kib) {
        raise("download",
              [&](auto& events) { events.DownloadProgress(id, received_kib, expected_kib); });
    };
    reports.Ended = [raise](int32_t id, bool finished, const std::string& text) {
        raise("download",
              [&](auto& events) { events.DownloadEnded(finished, Utf8ToUtf16(text), id); });
    };
    return reports;
}

void TWebControl::DownloadSaveTo(int32_t DownloadId, const std::u16string& Path) {
    downloads_.SaveTo(DownloadId, Utf16ToUtf8(Path));
}

void TWebControl::ViewDownload(BrowserView& view, std::shared_ptr<DownloadTransfer> transfer) {
    int32_t tab = 0;
    try {
        tab = TabOfView(&view);
    } catch (const WebControlError&) {
        // A view on its way out: the download still belongs to this worker.
    }
    downloads_.Add(std::move(transfer), tab);
}

}  // namespace uitWebControl
