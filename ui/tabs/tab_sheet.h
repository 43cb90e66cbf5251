#pragma once
// N_TRzTabSheet, one tab of the main window's tab strip. Its window is the host into which a
// worker places the page's view; the window's id is the TabHandle the worker knows it by.
#include <gtkmm.h>
#include <gtkmm/socket.h>

#include <functional>
#include <memory>
#include <string>

#include "webcontrol/web_control_proxy.h"

namespace kivo {

using gameKivo_Work_TLB::TWebControl;

// The auto-refresh timer of a tab: off by default; the next interval starts only after the
// previous tick has returned.
class TRefreshTimer {
public:
    explicit TRefreshTimer(std::function<void()> on_timer) : on_timer_(std::move(on_timer)) {}
    ~TRefreshTimer() { connection_.disconnect(); }
    bool Enabled() const { return enabled_; }
    uint32_t Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    void SetInterval(uint32_t interval_ms);

private:
    void Restart();

    std::function<void()> on_timer_;
    sigc::connection connection_;
    bool enabled_ = false;
    uint32_t interval_ = 1000;
};

// What the tab's proxy reports goes to the main window's handlers.
struct TabEventHandlers {
    TWebControl::TDocumentComplete DocumentComplete;
    TWebControl::TForeground Foreground;
    TWebControl::TNewTab NewTab;
    TWebControl::TProgressChange ProgressChange;
    TWebControl::TStatusTextChange StatusTextChange;
    // The page keys.
    TWebControl::TBrowserKey BrowserKey;
    TWebControl::TFindCount FindCount;
    TWebControl::TPopupBlocked PopupBlocked;
    int32_t ServerWindow = 0;
    // Takes the download events of a new proxy.
    std::function<void(const std::shared_ptr<TWebControl>& proxy)> WatchDownloads;
};

class N_TRzTabSheet : public Gtk::Socket {
public:
    N_TRzTabSheet(const TabEventHandlers& handlers);
    ~N_TRzTabSheet() override;

    // Makes the proxy and connects it to a new worker. Only the opening of a tab does this,
    // while the tab's session folders are switched in.
    TWebControl& ConnectWebControl();
    // The proxy; fails for a tab that has none (its calls would have no worker to go to).
    TWebControl& WebControl();
    std::shared_ptr<TWebControl> SharedWebControl() const { return proxy_; }
    // A tab made for a page's new window shares the proxy of the opener's tab.
    void ShareWebControl(std::shared_ptr<TWebControl> proxy) { proxy_ = std::move(proxy); }
    bool HasWebControl() const { return proxy_ != nullptr; }
    // Forgets the proxy of a worker that has gone; the tab then has no page until it is given
    // a new worker.
    void DropWebControl() { proxy_.reset(); }

    // The window handle the worker knows this tab by; the same for the sheet's whole life.
    int32_t TabHandle();

    std::string LoginInfo;
    std::string LoginUser;
    // The catalogue address of the account the tab was opened for: its values are filled only
    // into pages of that address's site.
    std::string LoginSite;
    bool LoginAcc = false;
    bool TabLocked = false;
    std::string TabPassword;
    std::string GameUrlID;
    bool AllowChangeCaption = true;
    // What opening the tab's page again needs: the session folder its worker was started on
    // (stored form), the account it was opened for, and the address it last showed.
    std::string SessionFolder;
    std::string LoginUserId;
    std::string Address;
    // The tab's page process or worker ended without the user closing the tab.
    bool PageEnded = false;
    // Counts the page completions the tab has heard of; see TTabStrip::UpdateTabHint.
    uint64_t PageCompletions = 0;
    // The page's zoom in percent as last set by the browser keys; the view keeps it from page to
    // page, and the status bar shows it without asking the worker.
    int ZoomPercent = 100;
    // "后台继续运行": the page keeps drawing while the tab is not shown.
    bool KeepRunning = false;
    // Whether the worker draws the page. A page not drawn is hidden to the engine while its
    // timers, network and sound go on. Each new view window of the tab is told again.
    void SetPageShown(bool shown);
    bool PageShown() const { return page_shown_; }

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    // Bold caption and close button on the current tab only.
    void SetCurrent(bool current);

    // The widget shown on the tab strip for this sheet.
    Gtk::Widget& TabLabel() { return tab_label_; }
    Gtk::Button& CloseButton() { return close_button_; }

    TRefreshTimer tmrFresh;

    // Refits the view when this sheet is the active page.
    std::function<bool()> IsActive;

private:
    void tmrTimer();
    void FrameResize(Gtk::Allocation& allocation);
    void UpdateLabel();
    void MarkViewWindow();

    TabEventHandlers handlers_;
    std::shared_ptr<TWebControl> proxy_;
    std::string hint_;
    std::string caption_;
    bool current_ = false;
    bool page_shown_ = true;  // as a view window without the mark
    Gtk::Box tab_label_{Gtk::ORIENTATION_HORIZONTAL, 4};
    Gtk::Image icon_;
    Gtk::Label label_;
    Gtk::Button close_button_;
};

}  // namespace kivo
