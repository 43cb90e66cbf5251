#pragma once
// One browser view of a worker: a web page shown inside a tab window of the main process. The
// worker object drives it through this interface; the engine behind it lives elsewhere.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/rgb_image.h"
#include "webcontrol/download_list.h"
#include "webcontrol/browser_keys.h"

namespace uitWebControl {

class BrowserView;

// What a view reports; the worker object implements it.
class BrowserViewEvents {
public:
    virtual ~BrowserViewEvents() = default;
    // A document finished loading: the top-level page, or a frame inside it.
    virtual void ViewDocumentComplete(BrowserView& view, bool top_level,
                                      const std::string& url) = 0;
    // The page asks for a new window. Returns the view that is to show it (already listed and
    // embedded), or nothing to refuse the window.
    virtual std::shared_ptr<BrowserView> ViewNewWindow(BrowserView& opener) = 0;
    virtual void ViewProgressChange(BrowserView& view, int32_t progress, int32_t progress_max) = 0;
    virtual void ViewStatusTextChange(BrowserView& view, const std::string& text) = 0;
    // The page began a download; nothing takes it unless the receiver does.
    virtual void ViewDownload(BrowserView&, std::shared_ptr<DownloadTransfer> transfer) {
        transfer->Cancel();
    }
    // The page keys: a browser key pressed in the page (or Ctrl+wheel over it), handed on to
    // the window; the count of matches of the view's search (kTooManyMatches for too many).
    virtual void ViewBrowserKey(BrowserView& view, kivo::BrowserCommand command) = 0;
    virtual void ViewFindCount(BrowserView& view, int32_t count) = 0;
    // The page asked for a window at `url` that was refused (see page_gates.h).
    virtual void ViewPopupBlocked(BrowserView&, const std::string& /*url*/) {}
};

struct ScrollSize {
    int width = 0;
    int height = 0;
};

// Calls that need the page's document throw when there is none (or it does not answer).
class BrowserView : public std::enable_shared_from_this<BrowserView> {
public:
    virtual ~BrowserView() = default;

    // The window that holds the page (what the main process knows as WebHandle).
    virtual int32_t WindowHandle() const = 0;
    // Places the view into the host window at its full size and shows it; nothing when the
    // host window no longer exists.
    virtual void EmbedInto(int32_t host_window) = 0;

    virtual void Navigate(const std::string& url) = 0;
    // A POST of these body bytes as a form ("application/x-www-form-urlencoded").
    virtual void NavigatePost(const std::string& url, const std::string& body) = 0;
    // Both do nothing when there is nowhere to go.
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Reload() = 0;

    virtual bool HasDocument() const = 0;
    // How many top-level loads have started; a completion reported after a newer load started
    // is out of date.
    virtual uint64_t LoadsStarted() const { return 0; }
    virtual std::string DocumentUrl() = 0;
    // The address the view shows or loads (empty before the first navigation).
    virtual std::string LocationUrl() = 0;
    virtual std::string DocumentTitle() = 0;
    // Sets the value of the first element in document order whose id or name equals `name`
    // ignoring letter case, in the top-level document only and only while that document's
    // origin is one of `origins` (each "scheme://host:port", see OriginText); throws when the
    // page is of another origin, or there is no such element or it is not an input element.
    virtual void SetInputValue(const std::string& name, const std::string& value,
                               const std::vector<std::string>& origins) = 0;
    virtual ScrollSize BodyScrollSize() = 0;
    // The whole document, or just what the view shows.
    virtual kivo::imaging::RgbImage Snapshot(bool full_document) = 0;

    virtual void Focus() = 0;

    // The page keys. Find marks the matches of `text` in the page and shows the first, or the
    // next or previous one of the same search (options: kivo::find_options); the count comes
    // as ViewFindCount. FinishFind ends the search and its marks.
    virtual void Find(const std::string& text, int32_t options) = 0;
    virtual void FinishFind() = 0;
    // The page's zoom in percent of its natural size.
    virtual void SetZoom(int percent) = 0;
    virtual int Zoom() const = 0;
};

// Makes the views of a worker object; the worker's browser engine provides it.
class BrowserViewFactory {
public:
    virtual ~BrowserViewFactory() = default;
    // `related`: the view whose page asked for this one; the new view shares its session.
    virtual std::shared_ptr<BrowserView> CreateView(int32_t TabHandle, BrowserViewEvents& events,
                                                    BrowserView* related) = 0;
};

}  // namespace uitWebControl
