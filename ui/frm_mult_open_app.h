#pragma once
// TFrmMultOpenApp, the main window: the title, the address box, the tab strip whose tabs show
// pages of worker processes, and the status bar.
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/database.h"
#include "session/cache_folders.h"
#include "ui/window_frame.h"
#include "ui/tab_rules.h"
#include "ui/tab_sheet.h"

namespace kivo {

class TFrmMultOpenApp : public Gtk::Window {
public:
    // `database`: the program's connection (the close preference); may be null in tests.
    explicit TFrmMultOpenApp(data::TDISQLite3Database* database = nullptr);
    ~TFrmMultOpenApp() override;

    // The X window id that workers are told as the main window's handle (0 before realised).
    int32_t Handle() const;

    // Opens a free address in a new tab whose worker runs on a session folder of its own:
    // "AppTemp" + CacheDir when given (tabs passing the same one share a session), else a new
    // folder each time. The user's own folder settings are back afterwards, whatever failed.
    N_TRzTabSheet* OpenGame(const std::string& Url, const std::string& PostData,
                            const std::string& CacheDir);
    TCacheFolders CacheFolders;

    // A new tab with its view, appended and made active. Throws when no worker can start (the
    // tab then stays with its "loading" caption).
    N_TRzTabSheet* NewGameTab();
    N_TRzTabSheet* FindTabByHandle(int32_t TabHandle);
    N_TRzTabSheet* ActiveTab();
    int TabCount() const { return static_cast<int>(sheets_.size()); }
    N_TRzTabSheet* Tab(int index);
    // Asks to close the active tab as its close button does; true when it closed.
    bool CloseActiveTab();
    // Makes the tab at `index` active as a click on it does (the password is asked).
    void ActivateTab(int index);

    std::string StatusText() const { return spText.get_text(); }
    int ProgressShown() const { return progress_shown_; }
    std::string TitleText() const { return lblTitle.get_text(); }
    std::string AddressText() const { return edtUrl.get_text(); }

    // Asks for a line of text; replaced by the prompt dialog of the shared dialogs.
    std::function<bool(const std::string& caption, const std::string& prompt, std::string& text,
                       int max_length, bool masked)>
        InputBox;
    // Asks a yes/no question (No is the default).
    std::function<bool(const std::string& text, const std::string& caption)> Confirm;
    // Shows an error message.
    std::function<void(const std::string& text, const std::string& caption)> ShowError;

    // Page events of every tab's worker.
    void WebControl1DocumentComplete(TWebControl& Sender, bool IsApplication,
                                     const std::u16string& Url, int32_t TabHandle);
    void WebControl1NewTab(TWebControl& Sender, int32_t& TabHandle, int32_t WebHandle);
    void WebControl1ProgressChange(TWebControl& Sender, int32_t Progress, int32_t ProgressMax,
                                   int32_t TabHandle);
    void WebControl1StatusTextChange(TWebControl& Sender, const std::u16string& Text,
                                     int32_t TabHandle);
    void WebControl1Foreground(TWebControl& Sender);

    // The auto-refresh menu, acting on the active tab.
    void SetRefresh(RefreshItem item);
    void miCustClick();
    RefreshItem pmWebConfigPopup();
    std::string CustomRefreshItemCaption() const { return miCust.get_label(); }

    // Opens the maker's home page in a new tab; the first time it also starts one spare worker
    // that is never used, so the next tab's worker starts warm.
    void actOpenMainUrlExecute();

    // The frame.
    void btnMaxClick();
    bool WindowMaximized() const { return maximize_.WindowMaximized(); }
    void btnMinClick();  // to the tray
    void RestoreFromTray();
    bool InTray() const { return InTray_; }
    // Ctrl+B: the boss key.
    void BossKey();
    void btnCloseClick();
    // Shut-down: hides the window, closes every tab and removes the run's temporary folders.
    void actAppHaltExecute();
    // Asks the close preference; replaced by the close dialog. Returns false for Cancel, else
    // sets the chosen value ("0" tray, "1" quit) and whether to remember it.
    std::function<bool(std::string& value, bool& remember)> AskCloseType;
    // Ends the process (the message loop); replaceable for tests.
    std::function<void()> Quit;

    // The navigation bar.
    void btnGoClick();
    void btnBackClick();
    void btnNextClick();
    void btnRefreshClick();
    void SetAddressText(const std::string& text) { edtUrl.set_text(text); }
    // The search box: the text as it stands (the hint itself when nothing was typed).
    void edtSearchRightButtonClick();
    void SetSearchEngine(int engine) { search_engine_ = engine; }
    Gtk::Entry& SearchBox() { return edtSearch; }

    // The tab menu.
    void N11Click();
    void N1Click();
    void N31Click();
    void N22Click();

    void FitTabCaption(N_TRzTabSheet& Tab);
    N_TRzTabSheet* UpdateTabHint(int32_t TabHandle);

protected:
    bool on_scroll_event(GdkEventScroll* event) override;
    bool on_button_press_event(GdkEventButton* event) override;
    bool on_motion_notify_event(GdkEventMotion* event) override;
    bool on_window_state_event(GdkEventWindowState* event) override;
    bool on_delete_event(GdkEventAny* event) override;

private:
    TabEventHandlers Handlers();
    N_TRzTabSheet* AppendTab();
    bool pcMainChanging(N_TRzTabSheet& Tab);
    void pcMainChange();
    bool pcMainClose();
    bool pcMainButtonPress(GdkEventButton* event);
    void DestroyTab(N_TRzTabSheet* Tab);
    int TabAt(double x, double y);
    void ShowProgress(int percent);
    void ShowStatusText(const std::string& text);
    void OpenBlankTab();

    void BuildTitleRow();
    void OpenTitleRowDrag(Gtk::Widget& widget);

    data::TDISQLite3Database* database_;
    MaximizeToggle maximize_;
    bool InTray_ = false;
    Glib::RefPtr<Gtk::StatusIcon> tray_;
    std::unique_ptr<TWebControl> WarmUpControl;
    std::vector<std::unique_ptr<N_TRzTabSheet>> sheets_;
    bool NewTabPending = false;
    bool WheelBusy = false;
    bool allow_switch_ = false;
    int progress_shown_ = 50;

    Gtk::Box pnlMain{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox pnlMainBtn;
    Gtk::Box pnlTitleRow{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Button btnMin, btnMax, btnClose;
    Gtk::Menu pmMainApp;
    Gtk::Label lblTitle;
    Gtk::Box pnlIEToolBar{Gtk::ORIENTATION_HORIZONTAL, 2};
    Gtk::Button btnBack, btnNext, btnRefresh, btnHome, btnGo;
    Gtk::Entry edtUrl;
    Gtk::Entry edtSearch;
    Gtk::Menu popSearch;
    int search_engine_ = 0;
    Gtk::Notebook pcMain;
    Gtk::Box sbWeb{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::ProgressBar psWeb;
    Gtk::Label spText;
    Gtk::Button spWebConfig;
    Gtk::Label spBug, spMenu, spSC9;
    Gtk::MenuButton btnTabList;
    Gtk::Menu pmTabList;
    Gtk::Menu popTab, pmWebConfig;
    Gtk::MenuItem N11, N22;
    Gtk::CheckMenuItem N1, N31;
    Gtk::RadioMenuItem mi0, mi300, mi600, mi1800, mi3600, miCust;
};

}  // namespace kivo
