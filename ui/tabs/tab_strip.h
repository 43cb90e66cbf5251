#pragma once
// TTabStrip: the strip of tabs whose pages are worker processes' views, the tab menu, the list
// of every tab at the strip's end, the auto-refresh menu, and the page events of every tab.
#include <gtkmm.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/tabs/page_ended_notice.h"
#include "session/tab_rules.h"
#include "ui/tabs/tab_sheet.h"

namespace kivo {

class TTabStrip : public sigc::trackable {
  public:
    // What the strip reaches of the rest of the window.
    struct TLinks {
        // Opens a free address in a new tab; throws when it cannot.
        std::function<N_TRzTabSheet*(const std::string& url, const std::string& post_data,
                                     const std::string& cache_dir)>
            OpenGame;
        // The X window id workers are told as the main window's handle.
        std::function<int32_t()> ServerWindow;
        std::function<bool(const std::string& caption, const std::string& prompt, std::string& text,
                           int max_length, bool masked)>
            InputBox;
        std::function<bool(const std::string& text, const std::string& caption)> Confirm;
        std::function<void(const std::string& text, const std::string& caption)> ShowError;
        // The active tab's name (empty without one) and address, shown by the window.
        std::function<void(const std::string& hint)> ShowTitle;
        // `same_tab`: the tab shown before is still the active one (its page changed).
        std::function<void(const std::string& url, bool same_tab)> ShowAddress;
        std::function<void(int percent)> ShowProgress;
        std::function<void(const std::string& text)> ShowStatusText;
        // A page the user reached, for the address box's completion.
        std::function<void(const std::string& url)> RecordVisitedUrl;
        // The favorites' add dialog for a page.
        std::function<void(const std::string& title, const std::string& url)> AddToFavorites;
        // A tab's top-level page completed (after the login fill): its thumbnail is new.
        std::function<void(int index)> PageCompleted;
        // Another tab became current.
        std::function<void()> ActiveTabChanged;
        // Takes the download events of each new worker.
        std::function<void(const std::shared_ptr<TWebControl>& proxy)> WatchDownloads;
        // Opens the page of a tab whose page ended again, in a new worker on the tab's session
        // folder (through ReconnectTab); throws when it cannot.
        std::function<void(N_TRzTabSheet& tab)> ReopenTab;
        // The open tabs, their order, addresses or names changed.
        std::function<void()> TabsChanged;
        // The page keys: a browser key a page's worker handed on (its command number), and
        // the count of a search's matches.
        std::function<void(int32_t command, int32_t TabHandle)> BrowserKey;
        std::function<void(int32_t count, int32_t TabHandle)> FindCount;
        // Whether a worker still has downloads that have not ended, and giving them up.
        std::function<bool(const TWebControl& worker)> DownloadsRunning;
        std::function<void(const TWebControl& worker)> AbandonDownloads;
        // A word in the status bar; a click on it runs `click`.
        std::function<void(const std::string& text, std::function<void()> click)> ShowNotice;
    };

    explicit TTabStrip(TLinks links);
    ~TTabStrip();

    Gtk::Notebook& Widget() { return pcMain; }
    // The strip with the notice shown over a tab whose page ended: what the window places.
    Gtk::Widget& Area() { return pnlTabArea; }

    // A new tab with its view, appended and made active. Throws when no worker can start (the
    // tab then stays with its "loading" caption).
    N_TRzTabSheet* NewGameTab();
    N_TRzTabSheet* FindTabByHandle(int32_t TabHandle);
    // Opens `url` in a new tab in the session of the tab `OpenerHandle`, sharing its worker as
    // the page's own pop-ups do; nothing when that tab or its worker has gone.
    void OpenInSessionOf(int32_t OpenerHandle, const std::string& url);
    N_TRzTabSheet* ActiveTab();
    int TabCount() const { return static_cast<int>(sheets_.size()); }
    N_TRzTabSheet* Tab(int index);
    // Asks to close the active tab as its close button does; true when it closed.
    bool CloseActiveTab();
    // Makes the tab at `index` active as a click on it does (the password is asked).
    void ActivateTab(int index);
    // After a failed call: when the tab's worker has gone, the tab shows that its page ended.
    void MarkIfWorkerGone(N_TRzTabSheet* tab);
    // Every tab whose worker's connection died shows that its page ended, and the status bar
    // names it. The tab stays until the user closes it or opens its page again.
    void MarkTabsOfEndedWorkers();
    // Gives a tab whose page ended a new worker (started on the session folders switched in
    // now) and a new view in the same tab window. Throws when no worker can start; the tab
    // then still shows that its page ended.
    void ReconnectTab(N_TRzTabSheet& tab);
    // The notice's "重新打开" on the current tab.
    void btnReopenClick();
    // The wheel over the window: over a tab it walks the strip.
    bool WindowScroll(Gtk::Widget& window, GdkEventScroll* event);
    // Whether something covers every tab (the window hidden or minimised, the 9-grid over the
    // tabs): then no tab is shown.
    void SetTabsCovered(bool covered);
    // Tells each tab's worker whether to draw its page: the tab in front, unless something
    // covers the tabs, and every tab that keeps running behind.
    void ShowPages();
    // Shut-down: frees every tab's page in its worker and removes the tab.
    void FreeAllTabs();
    // Removes every tab without asking its worker.
    void DestroyAllTabs();

    // Page events of every tab's worker.
    void WebControl1DocumentComplete(TWebControl& Sender, bool IsApplication,
                                     const std::u16string& Url, int32_t TabHandle);
    void WebControl1NewTab(TWebControl& Sender, int32_t& TabHandle, int32_t WebHandle);
    void WebControl1ProgressChange(TWebControl& Sender, int32_t Progress, int32_t ProgressMax,
                                   int32_t TabHandle);
    // Whether the tab may close though its worker still downloads: asks when the worker ends
    // with it.
    bool ConfirmDownloadsEnd(N_TRzTabSheet& tab);
    void WebControl1PopupBlocked(const std::string& url, int32_t TabHandle);
    void WebControl1StatusTextChange(TWebControl& Sender, const std::u16string& Text,
                                     int32_t TabHandle);
    void WebControl1Foreground(TWebControl& Sender);

    // The auto-refresh menu, acting on the active tab.
    void SetRefresh(RefreshItem item);
    void miCustClick();
    RefreshItem pmWebConfigPopup();
    std::string CustomRefreshItemCaption() const { return miCust.get_label(); }
    // Shows the auto-refresh menu above `anchor`.
    void PopupWebConfig(Gtk::Widget& anchor);

    // The tab menu.
    // Shows the active tab's lock and protection as check marks (no handler runs).
    void popTabPopup();
    void N11Click();
    void N1Click();
    void N31Click();
    void N22Click();
    void N19Click();
    // "后台继续运行" for the active tab, and for every open tab of its catalogue address, which
    // remembers it for that address.
    void miKeepRunningClick();

    void FitTabCaption(N_TRzTabSheet& Tab);
    // Names the tab after its page; null when the tab is gone, or when a newer page of it
    // completed while the worker was asked for this one.
    N_TRzTabSheet* UpdateTabHint(int32_t TabHandle);

  private:
    void BuildMenus();
    TabEventHandlers Handlers();
    N_TRzTabSheet* AppendTab();
    bool pcMainChanging(N_TRzTabSheet& Tab);
    void pcMainChange();
    bool pcMainClose();
    bool pcMainButtonPress(GdkEventButton* event);
    void DestroyTab(N_TRzTabSheet* Tab);
    bool IsLive(const N_TRzTabSheet* tab) const;
    // A tab whose worker has gone: shows so once the current handler is over, with a word in
    // the status bar.
    void MarkPageEnded(N_TRzTabSheet* tab);
    // The notice in place of the current tab's page when that page ended; the page otherwise.
    void ShowPageOrNotice(N_TRzTabSheet* active);
    void NotifyTabsChanged();
    // Asks the password of the covered current tab and shows it when given.
    void AskCoveredTab();
    int TabAt(double x, double y);
    void OpenBlankTab();
    // Fills the tab's login form from its login info; fields not in the page yet are asked for
    // again from the main loop for a few seconds.
    void StartLoginFill(N_TRzTabSheet& tab, int32_t TabHandle);

    TLinks links_;
    std::vector<std::unique_ptr<N_TRzTabSheet>> sheets_;
    bool NewTabPending = false;
    bool WheelBusy = false;
    bool allow_switch_ = false;
    // The tab a switch was allowed for, and the current tab whose page stays hidden because it
    // became current without its password.
    N_TRzTabSheet* approved_ = nullptr;
    N_TRzTabSheet* covered_ = nullptr;
    // The tab whose address the window shows.
    const N_TRzTabSheet* addressShownFor_ = nullptr;
    // Set while the menus' check marks are brought in line with the active tab.
    bool syncing_marks_ = false;
    bool tabsCovered_ = false;
    // The fills still waiting for a field, by tab.
    std::map<int32_t, sigc::connection> loginFills_;

    Gtk::Overlay pnlTabArea;
    Gtk::Notebook pcMain;
    TPageEndedNotice pageEnded_{[this] { btnReopenClick(); }};
    bool reopening_ = false;
    Gtk::MenuButton btnTabList;
    Gtk::Menu pmTabList;
    Gtk::Menu popTab, pmWebConfig;
    Gtk::MenuItem N11, N22;
    Gtk::CheckMenuItem N1, N31, miKeepRunning{"后台继续运行"};
    Gtk::RadioMenuItem mi0{"关闭"}, mi300{"5分钟"}, mi600{"10分钟"}, mi1800{"30分钟"},
        mi3600{"60分钟"}, miCust{"自定义（秒）：60"};
};

}  // namespace kivo
