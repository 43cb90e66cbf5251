#pragma once
// TWebControl, the object a worker serves: it owns the worker's browser views, keyed by the
// tab window they are shown in, executes the members of the web-control interface, writes the
// page pictures and raises the views' events to the main process.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "webcontrol/browser_view.h"
#include "webcontrol/web_control_intf.h"
#include "webcontrol/web_control_stub.h"

namespace uitWebControl {

// The main window this worker serves, as told through Serverhandle; one per process.
int32_t ServerWindowHandle();
void SetServerWindowHandle(int32_t handle);

// Where errors go that no caller can take (the worker's invisible log).
void SetUncaughtErrorSink(std::function<void(const std::string&)> sink);
void ReportUncaught(const std::string& message);

// What a worker does when the process drawing its pages ends without being asked to: its views
// cannot show anything more, so by default it ends too, and the main process offers the tabs
// again. Reported once per ended page process.
void SetPageProcessEndedHandler(std::function<void()> handler);
void ReportPageProcessEnded();

// The worker's one message box (no owner, the given text, an empty caption).
void SetMessageBox(std::function<void(const std::string&)> show);

// The width a vertical scroll bar adds to a page picture.
inline constexpr int kVerticalScrollBarWidth = 17;
// The largest side of a picture the engine draws of a whole document.
inline constexpr int kMaxDrawnSide = 32767;
// The most pixels of a whole document drawn for a thumbnail and for a full picture: drawing
// takes four bytes a pixel in the page's process and again in the worker, so a page larger
// than that is drawn as far as the view shows it, whatever size it claims.
inline constexpr int64_t kMaxThumbnailPixels = int64_t{4096} * 4096;
inline constexpr int64_t kMaxFullPicturePixels = int64_t{8192} * 8192;

struct PictureSize {
    int width = 0;
    int height = 0;
};
// The size of a page picture for the body's scroll size; `capped`: at most twice as high as
// wide.
PictureSize PagePictureSize(ScrollSize body, bool capped);
// Whether the whole document of that body is drawn for the picture, rather than the view.
bool DrawsWholeDocument(ScrollSize body, bool capped);

class TWebControl final : public gameKivo_TLB::IWebControl,
                          public gameKivo_TLB::WebControlEventSource,
                          public BrowserViewEvents {
public:
    // `work_path`: the folder (ends with "/") that holds "WebImage/" and "Temp/" (see WorkPath).
    TWebControl(BrowserViewFactory* factory, std::string work_path)
        : factory_(factory),
          work_path_(std::move(work_path)),
          downloads_(DownloadReportsToMain()) {}

    void Navigate(int32_t TabHandle, const std::u16string& Url,
                  const std::u16string& PostData) override;
    int32_t CreateWeb(int32_t TabHandle) override;
    void LoginWeb(const std::u16string& Name, const std::u16string& Value,
                  int32_t TabHandle) override;
    void Set_LoginSite(int32_t TabHandle, const std::u16string& Url) override;
    int32_t Get_WebHandle(int32_t TabHandle) override;
    void WebRefresh(int32_t TabHandle) override;
    void WebForward(int32_t TabHandle) override;
    void WebBack(int32_t TabHandle) override;
    std::u16string Get_WebUrl(int32_t TabHandle) override;
    std::u16string Get_WebTitle(int32_t TabHandle) override;
    void Set_Serverhandle(int32_t Value) override;
    void FreeWeb(int32_t TabHandle) override;
    int32_t Get_WebCount() override;
    void SetFoucseWeb(int32_t TabHandle) override;
    void SetParent(int32_t TabHandle) override;
    void SaveWebToPic(int32_t TabHandle) override;
    void SaveWebToPicSmall(int32_t TabHandle) override;
    void DownloadSaveTo(int32_t DownloadId, const std::u16string& Path) override;
    // The page keys.
    void FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) override;
    void FindFinish(int32_t TabHandle) override;
    int32_t SetWebZoom(int32_t TabHandle, int32_t Percent) override;
    int32_t Get_WebZoom(int32_t TabHandle) override;

    // The view of the first entry keyed by TabHandle, or nothing.
    std::shared_ptr<BrowserView> FindView(int32_t TabHandle) const;
    // The TabHandle of the first entry holding `view`; throws when the view is not listed.
    int32_t TabOfView(const BrowserView* view) const;

    std::string WebImagePath(int32_t TabHandle) const;
    std::string TempPath(int32_t TabHandle) const;

    // BrowserViewEvents
    void ViewDocumentComplete(BrowserView& view, bool top_level, const std::string& url) override;
    std::shared_ptr<BrowserView> ViewNewWindow(BrowserView& opener) override;
    void ViewProgressChange(BrowserView& view, int32_t progress, int32_t progress_max) override;
    void ViewStatusTextChange(BrowserView& view, const std::string& text) override;
    void ViewDownload(BrowserView& view, std::shared_ptr<DownloadTransfer> transfer) override;
    void ViewBrowserKey(BrowserView& view, kivo::BrowserCommand command) override;
    void ViewFindCount(BrowserView& view, int32_t count) override;
    void ViewPopupBlocked(BrowserView& view, const std::string& url) override;

  private:
    struct ViewEntry {
        std::string key;
        std::shared_ptr<BrowserView> view;
    };

    std::shared_ptr<BrowserView> NeedView(int32_t TabHandle) const;
    std::shared_ptr<BrowserView> CreateView(int32_t TabHandle, BrowserView* related);
    void AppendView(int32_t TabHandle, std::shared_ptr<BrowserView> view);
    static void EmbedWindow(BrowserView& view, int32_t host);
    static void SaveViewBitmap(const std::string& path, BrowserView& view);
    static void SaveViewBitmapFull(const std::string& path, BrowserView& view);
    static void SaveViewPicture(const std::string& path, BrowserView& view, bool capped);
    // The whole document cut to its picture size when the engine can draw it, else what the
    // view shows.
    static kivo::imaging::RgbImage DrawPicture(BrowserView& view, std::optional<ScrollSize> body,
                                               bool capped);

    // What the download list reports goes to the subscriber as events.
    DownloadReports DownloadReportsToMain();

    BrowserViewFactory* factory_;
    std::string work_path_;
    DownloadList downloads_;
    // Absent until the first CreateWeb.
    std::optional<std::vector<ViewEntry>> ViewList;
    // The account address each tab's login fill is meant for (see Set_LoginSite).
    std::map<int32_t, std::string> login_sites_;
    // The failure of a page picture has been shown once; later ones go to the log.
    bool picture_failure_shown_ = false;
};

}  // namespace uitWebControl
