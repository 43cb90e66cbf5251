#pragma once
// TFrmMultOpenApp, the main window: the title, the address box, the tab strip whose tabs show
// pages of worker processes, and the status bar.
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/database.h"
#include "platform/visited_urls.h"
#include "session/cache_folders.h"
#include "ui/pictures.h"
#include "ui/tab_rules.h"
#include "ui/window_frame.h"
#include "ui/tab_sheet.h"
#include "ui/tray_icon.h"

namespace kivo {

// A row whose parts are placed by its owner when it changes size. It asks only for its minimum
// width, so parts widened to fill it never keep the window from shrinking again.
class TPlacedRow : public Gtk::Fixed {
public:
    explicit TPlacedRow(int min_width) : min_width_(min_width) {}

protected:
    void get_preferred_width_vfunc(int& minimum, int& natural) const override {
        minimum = natural = min_width_;
    }

private:
    int min_width_;
};

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

    // The start-up steps that follow the window's construction: the program's folders, the
    // window maximised and shown (the probe page loaded on the way), the start-up timer and the
    // home page in the first tab.
    void FormCreate();
    std::string ProbeUrl;

    // The frame.
    void btnMaxClick();
    void pnlMainBtnDblClick();
    bool WindowMaximized() const { return maximize_.WindowMaximized(); }
    // To the tray: hidden where a tray shows the icon, else minimised so it stays reachable.
    void btnMinClick();
    void RestoreFromTray();
    bool InTray() const { return InTray_; }
    TTrayIcon& TrayIcon() { return *tray_; }
    // Ctrl+B: the boss key.
    void BossKey();
    // Alt+B and the status pane: the picture menu above the pane.
    void spMenuClick();
    Gtk::Menu& PictureMenu() { return pmPic; }
    void btnBigICONClick();
    void Internet1Click();
    void btnCloseClick();
    void N2Click();
    // Shut-down: hides the window, closes every tab and removes the run's temporary folders.
    void actAppHaltExecute();
    // Asks the close preference; replaced by the close dialog. Returns false for Cancel, else
    // sets the chosen value ("0" tray, "1" quit) and whether to remember it.
    std::function<bool(std::string& value, bool& remember)> AskCloseType;
    // Ends the process (the message loop); replaceable for tests.
    std::function<void()> Quit;
    // Whether a quit came before the message loop ran.
    bool QuitRequested() const { return QuitRequested_; }

    // The navigation bar.
    void btnGoClick();
    void btnBackClick();
    void btnNextClick();
    void btnRefreshClick();
    void SetAddressText(const std::string& text) { edtUrl.set_text(text); }
    Gtk::Entry& AddressBox() { return edtUrl; }
    // The typed-address drop-down: rebuilt from the typed-address list each time it opens.
    void btnDropClick();
    std::vector<std::string> LoadTypedUrls();
    void cbbUrlListSelect(const std::string& url);
    void edtUrlClick();
    // Appends the rest of the newest visited address that continues what was typed, selected.
    void edtUrlAppendCompletion();
    // The addresses the box completes from, newest first.
    const VisitedUrls* VisitedAddresses() const { return FVisitedUrls.get(); }
    // The search box: the text as it stands (the hint itself when nothing was typed).
    void edtSearchRightButtonClick();
    void SetSearchEngine(int engine);
    Gtk::Entry& SearchBox() { return edtSearch; }

    // The tab menu.
    // Shows the active tab's lock and protection as check marks (no handler runs).
    void popTabPopup();
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
    void on_show() override;

private:
    // The session folder names of the saved accounts, which the exit clean-up keeps; nothing
    // when they cannot be read.
    std::optional<std::set<std::string>> AccountFolders();
    TabEventHandlers Handlers();
    N_TRzTabSheet* AppendTab();
    bool pcMainChanging(N_TRzTabSheet& Tab);
    void pcMainChange();
    bool pcMainClose();
    bool pcMainButtonPress(GdkEventButton* event);
    void DestroyTab(N_TRzTabSheet* Tab);
    bool IsLive(const N_TRzTabSheet* tab) const;
    // A tab whose worker has gone: removed once the current handler is over, with a word in
    // the status bar.
    void DiscardDeadTab(N_TRzTabSheet* tab);
    // Every tab whose worker's connection died: removed, its caption named in the status bar.
    void DiscardTabsOfEndedWorkers();
    // Back, forward or refresh on the active tab; a tab whose worker died on it is discarded.
    void StepActiveTab(void (TWebControl::*step)(int32_t));
    // After a failed call: discards the tab when its worker has gone.
    void DiscardIfWorkerGone(N_TRzTabSheet* tab);
    // Asks the password of the covered current tab and shows it when given.
    void AskCoveredTab();
    std::string CurrentSearchAddress() const;
    int TabAt(double x, double y);
    void ShowProgress(int percent);
    void ShowStatusText(const std::string& text);
    void OpenBlankTab();
    void OpenGameDroppingErrors(const std::string& url, const std::string& suffix);

    void BuildTopBar();
    void BuildAddressRow();
    void BuildTabArea();
    void BuildStatusBar();
    void BuildMenus();
    void OpenTitleRowDrag(Gtk::EventBox& area);
    void OnToggleMaximizeMessage();
    void RegisterHotKeys();
    void UnregisterHotKeys();
    void FormShow();
    void tmrAdTimer();
    void pnlAdrResize();
    void SetupUrlAutoComplete();
    void RecordVisitedUrl(const std::string& url);
    void SaveVisitedUrls();

    data::TDISQLite3Database* database_;
    MaximizeToggle maximize_;
    bool InTray_ = false;
    std::unique_ptr<TTrayIcon> tray_;
    // Set while the window went to the tray by minimising, as no tray shows the icon.
    bool iconified_to_tray_ = false;
    std::unique_ptr<TWebControl> WarmUpControl;
    std::vector<std::unique_ptr<N_TRzTabSheet>> sheets_;
    bool NewTabPending = false;
    bool WheelBusy = false;
    bool allow_switch_ = false;
    // The tab a switch was allowed for, and the current tab whose page stays hidden because it
    // became current without its password.
    N_TRzTabSheet* approved_ = nullptr;
    N_TRzTabSheet* covered_ = nullptr;
    // Set while the menus' check marks are brought in line with the active tab.
    bool syncing_marks_ = false;
    bool appending_completion_ = false;
    int progress_shown_ = 50;

    bool shown_once_ = false;
    bool QuitRequested_ = false;
    sigc::connection tmrAd_;
    std::unique_ptr<VisitedUrls> FVisitedUrls;
    Gtk::TreeModelColumnRecord UrlColumns_;
    Gtk::TreeModelColumn<Glib::ustring> UrlColumn_;
    Glib::RefPtr<Gtk::ListStore> FUrlStore;
    Glib::RefPtr<Gtk::EntryCompletion> FAutoComplete;
    sigc::connection visited_save_;
    int address_row_width_ = -1;
    int search_selection_start_ = 0, search_selection_end_ = 0;

    // The frame: a line along each edge around the rest.
    Gtk::Box pnlFrame{Gtk::ORIENTATION_VERTICAL};
    Gtk::Box pnlFrameMiddle{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::EventBox imgLineTop, imgLineBottom, imgLineLeft, imgLineRight;
    Gtk::Box pnlMain{Gtk::ORIENTATION_VERTICAL};
    // The top bar: the big icon, the title row and the toolbar row on the banner.
    Gtk::EventBox pnlTop;
    Gtk::Box pnlTopRow{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::EventBox pnlBigICON;
    Gtk::Button btnBigICON;
    Gtk::Image imgBigICON;
    Gtk::Box pnlTopCaption{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox pnlMainBtn;
    Gtk::Box pnlTitleRow{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Label lblTitle;
    Gtk::Box pnlsysbtnAndsysmenu{Gtk::ORIENTATION_HORIZONTAL};
    PictureButton btnMin{Glyph::Minimize, 20, 18, "最小化"};
    PictureButton btnMax{Glyph::Maximize, 20, 18, "最大化/还原"};
    PictureButton btnClose{Glyph::Close, 20, 18, "关闭"};
    Gtk::Menu pmMainApp;
    Gtk::MenuItem miRestore{"显示主窗口"};
    Gtk::Box pnlIEToolBar{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Box RzPanel1{Gtk::ORIENTATION_HORIZONTAL, 2};
    PictureButton btnLeftCLose{Glyph::LeftPanel, 29, 25, "隐藏左栏"};
    PictureButton btnBack{Glyph::Back, 29, 25, "后退"};
    PictureButton btnNext{Glyph::Forward, 29, 25, "前进"};
    PictureButton btnRefresh{Glyph::Refresh, 35, 25, "刷新"};
    PictureButton btnHome{Glyph::Home, 57, 25, "主页"};
    PictureButton btnAddList{Glyph::AddList, 29, 25, "添加到游戏列表"};
    PictureButton btnSaveForm{Glyph::SaveForm, 29, 25, "保存登录表单"};
    // The address row.
    TPlacedRow pnlAdr{kWebMenuWidth + 40};
    Gtk::Entry edtUrl;
    Gtk::Menu cbbUrlList;
    PictureButton btnGo{Glyph::Go, 27, 24, "转到"};
    Gtk::Box pnlWebMenu{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Entry edtSearch;
    Gtk::Menu popSearch;
    int search_engine_ = 0;
    // Below the top bar: the left panel, then the tab area with the status bar at its foot.
    Gtk::Box pnlBody{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::EventBox pnlLeft;
    Gtk::Box pnlLeftIn{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox pnlSpot;
    Gtk::Box pnlpcMain{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox imgTabTop;
    Gtk::Notebook pcMain;
    Gtk::Box sbWeb{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::ProgressBar psWeb;
    Gtk::Label spText;
    Gtk::Button spBug, spMenu, spWebConfig, spSC9;
    Gtk::Menu pmPic;
    Gtk::MenuButton btnTabList;
    Gtk::Menu pmTabList;
    Gtk::Menu popTab, pmWebConfig;
    Gtk::MenuItem N11, N22;
    Gtk::CheckMenuItem N1, N31;
    Gtk::RadioMenuItem mi0, mi300, mi600, mi1800, mi3600, miCust;
};

}  // namespace kivo
