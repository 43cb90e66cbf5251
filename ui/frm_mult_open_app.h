#pragma once
// TFrmMultOpenApp, the main window: its frame and title row, the start-up and shut-down, and
// the wiring between its regions (the navigation bar, the tab strip and the status bar), each a
// class of its own that reaches the window only through the links the window hands it.
#include <gtkmm.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cipher/crypt_lib.h"
#include "data/database.h"
#include "platform/gobject_ref.h"
#include "session/cache_folders.h"
#include "ui/accounts/frm_open_type.h"
#include "ui/accounts/frm_save_table.h"
#include "ui/catalogue/catalogue_tree.h"
#include "ui/drawn_pictures.h"
#include "ui/left/favorites_tree.h"
#include "ui/left/history_tree.h"
#include "ui/left/left_host.h"
#include "ui/left/left_panel.h"
#include "ui/left/mini_game_list.h"
#include "ui/navigation/find_bar.h"
#include "ui/navigation/navigation_bar.h"
#include "ui/pictures/picture_menu.h"
#include "ui/pictures/thumbnail_grid.h"
#include "ui/pictures/thumbnail_strip.h"
#include "ui/promotion/frm_min.h"
#include "ui/tabs/downloads.h"
#include "ui/tabs/last_session_keeper.h"
#include "ui/tabs/page_commands.h"
#include "ui/tabs/status_bar.h"
#include "ui/tabs/tab_sheet.h"
#include "ui/tabs/tab_strip.h"
#include "ui/tray_icon.h"
#include "ui/window_frame.h"

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
    // Opens a catalogue address or history entry for its accounts: once for the account whose
    // ID is UserId, each in the account's own session folder with its login form armed, or
    // once in a new temporary session when no account of the address has that ID; each tab
    // belongs to the address. A failure ends the opening where it happened: the tabs already
    // opened stay, the user's folder settings are back, and the error leaves.
    void OpenGame(const catalogue::CatalogueNode& Node, const catalogue::CatalogueNode* Parent,
                  const std::string& UserId);
    // The same for every saved account of the address, one tab each in list order.
    void OpenGameForAllAccounts(const catalogue::CatalogueNode& Node,
                                const catalogue::CatalogueNode* Parent);
    TCacheFolders CacheFolders;
    // The stored-value cipher.
    cipher::TCryptLib libMain;

    // The tab strip.
    TTabStrip& TabStrip() { return tabStrip_; }
    N_TRzTabSheet* ActiveTab() { return tabStrip_.ActiveTab(); }
    int TabCount() const { return tabStrip_.TabCount(); }
    N_TRzTabSheet* Tab(int index) { return tabStrip_.Tab(index); }
    void ActivateTab(int index) { tabStrip_.ActivateTab(index); }

    TStatusBar& StatusBar() { return statusBar_; }
    TFindBar& FindBar() { return findBar_; }
    TThumbnailGrid& ThumbnailGrid() { return thumbnailGrid_; }
    TThumbnailStrip& ThumbnailStrip() { return thumbnailStrip_; }
    std::string TitleText() const { return lblTitle.get_text(); }
    std::string AddressText() const { return navigationBar_.AddressText(); }

    // Asks for a line of text; replaced by the prompt dialog of the shared dialogs.
    std::function<bool(const std::string& caption, const std::string& prompt, std::string& text,
                       int max_length, bool masked)>
        InputBox;
    // Asks a yes/no question (No is the default).
    std::function<bool(const std::string& text, const std::string& caption)> Confirm;
    // Shows an error message.
    std::function<void(const std::string& text, const std::string& caption)> ShowError;

    // Opens the maker's home page in a new tab; the first time it also starts one spare worker
    // that is never used, so the next tab's worker starts warm.
    void actOpenMainUrlExecute();

    // The start-up steps that follow the window's construction: the program's folders, the
    // window maximised and shown (the probe page loaded on the way), the start-up timer and the
    // home page in the first tab.
    void FormCreate();
    std::string ProbeUrl;
    // A probe page still loading when the window shows goes on loading here, and is let go once
    // it has finished or after a minute: stopping it would leave the ordinary profile without it.
    GObjectRef<WebKitWebView> probeView_;
    sigc::connection probeGiveUp_;
    void KeepProbeLoading(GObjectRef<WebKitWebView> view);
    void DropProbe();

    // The frame.
    void btnMaxClick();
    void pnlMainBtnDblClick();
    bool WindowMaximized() const { return maximize_.WindowMaximized(); }
    // To the tray: hidden where a tray shows the icon, else minimised so it stays reachable.
    void btnMinClick();
    // `time`: of the input that asked, when it did not come through the toolkit (0: the
    // toolkit's current event).
    void RestoreFromTray(guint32 time = 0);
    bool InTray() const { return InTray_; }
    TTrayIcon& TrayIcon() { return *tray_; }
    // Ctrl+B: the boss key, pressed at `time`.
    void BossKey(guint32 time = 0);
    void btnBigICONClick();
    void Internet1Click();
    // The main menu's settings, about box and cleaning of the browser data.
    void N15Click();
    void N5Click();
    void N10Click();
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
    TNavigationBar& NavigationBar() { return navigationBar_; }

    // Rebuilds both catalogue trees of the left panel from the database; a failure is logged.
    void actLoadWebGamePnl();

  protected:
    bool on_scroll_event(GdkEventScroll* event) override;
    bool on_button_press_event(GdkEventButton* event) override;
    bool on_motion_notify_event(GdkEventMotion* event) override;
    bool on_window_state_event(GdkEventWindowState* event) override;
    bool on_delete_event(GdkEventAny* event) override;
    void on_show() override;

  private:
    // Tells the tab strip whether anything covers the tabs: the window hidden or minimised, or
    // the 9-grid over them.
    void UpdatePagesShown();
    // The session folder names of the saved accounts, which the exit clean-up keeps; nothing
    // when they cannot be read.
    std::optional<std::set<std::string>> AccountFolders();
    // What each region is handed of the window.
    TNavigationBar::TLinks NavigationBarLinks();
    TTabStrip::TLinks TabStripLinks();
    TStatusBar::TLinks StatusBarLinks();
    TThumbnailLinks ThumbnailLinks();
    void OpenGameDroppingErrors(const std::string& url, const std::string& suffix);
    // The catalogue form of OpenGame, with the accounts chosen by `check_all` (every one) or
    // `UserId`.
    void OpenGameForAccounts(const catalogue::CatalogueNode& Node,
                             const catalogue::CatalogueNode* Parent, const std::string& UserId,
                             bool check_all);
    // Opens one tab of a catalogue address in session folder `cache_path` (stored form).
    N_TRzTabSheet* OpenAddressTab(const catalogue::CatalogueNode& Node,
                                  const std::string& cache_path,
                                  const std::function<void(N_TRzTabSheet&)>& arm);
    // Opens one tab of a catalogue address for a saved account whose own address is `site`,
    // armed to fill its login form when the address is of that site.
    N_TRzTabSheet* OpenAccountTab(const catalogue::CatalogueNode& Node, const accounts::TUser& user,
                                  const std::string& site);
    // Opens the page of a tab whose page ended again: its address in a new worker on its
    // session folder, an account tab armed with its login info.
    void ReopenTab(N_TRzTabSheet& tab);
    // The open tabs as the list kept between runs, and one tab of that list opened again: an
    // account tab through the account opening, any other in a fresh session.
    std::vector<SessionTab> SessionTabs();
    void RestoreTab(const SessionTab& entry);

    void BuildTopBar();
    void BuildTabArea();
    void BuildMenus();
    void OpenTitleRowDrag(Gtk::EventBox& area);
    void OnToggleMaximizeMessage();
    void RegisterHotKeys();
    void UnregisterHotKeys();
    void FormShow();
    // Where the pages run without their sandbox, the user is told.
    void TellOfMissingSandbox();
    void tmrAdTimer();
    // Opens the promotion mini window, once per run.
    void ShowMiniWindow();
    void BuildLeftPanel();
    // Rebuilds both catalogue trees; a failure leaves them as the load left them.
    // Rebuilds the history tree; a failure leaves it as the load left it.
    void actLoadHistory();
    // Records an opening of a catalogue address or history entry and shows the history again.
    // Errors are thrown (and not shown: they end the opening as any of its failures do).
    void AddHistory(const catalogue::CatalogueNode& Node, const catalogue::CatalogueNode* Parent);
    std::unique_ptr<TLeftPanelHost> MakeLeftHost();
    // The toolbar's catalogue buttons: the active tab's page saved as an address; its login
    // form captured, the address saved first when the tab has none.
    void btnAddListClick();
    void btnSaveFormClick();
    // What the account dialog needs of the window.
    accounts::TSaveTableHost SaveTableHost();
    // Saves the active tab's page through the address dialog and makes the tab the new
    // address's; false when the dialog was cancelled. Throws when the saving fails.
    bool SaveActivePageOf(N_TRzTabSheet& tab);

    data::TDISQLite3Database* database_;
    MaximizeToggle maximize_;
    bool InTray_ = false;
    std::unique_ptr<TTrayIcon> tray_;
    // Set while the window went to the tray by minimising, as no tray shows the icon.
    bool iconified_to_tray_ = false;
    std::unique_ptr<TWebControl> WarmUpControl;

    bool shown_once_ = false;
    bool QuitRequested_ = false;
    sigc::connection tmrAd_;

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
    // One of the two shows, as the left panel is shown or hidden.
    PictureButton btnLeftCLose{Glyph::LeftPanel, 29, 25, "隐藏左栏"};
    PictureButton btnLeftOpen{Glyph::LeftPanel, 29, 25, "显示左栏"};
    PictureButton btnHome{Glyph::Home, 57, 25, "主页"};
    PictureButton btnAddList{Glyph::AddList, 29, 25, "添加到游戏列表"};
    PictureButton btnSaveForm{Glyph::SaveForm, 29, 25, "保存登录表单"};
    // The navigation buttons, the address row and the search box.
    TNavigationBar navigationBar_;
    // Below the top bar: the left panel, then the tab area with the status bar at its foot.
    Gtk::Box pnlBody{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Box pnlpcMain{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox imgTabTop;
    // Before the tabs: their workers' proxies report to it until the last tab has gone.
    TDownloads downloads_{{[this] { return this; },
                           [this](const std::string& text) { statusBar_.ShowDownloadText(text); }}};
    TTabStrip tabStrip_;
    TStatusBar statusBar_;
    // The tab thumbnails: the grid over the tab control and the strip above the status bar.
    TThumbnailGrid thumbnailGrid_;
    TThumbnailStrip thumbnailStrip_;
    // The browser keys, and the find bar below the page.
    TFindBar findBar_;
    TPageCommands pageCommands_;
    TPictureMenu pictureMenu_;
    // The left panel and the regions in its sections, which reach the window through leftHost_.
    std::unique_ptr<TLeftPanelHost> leftHost_;
    TLeftPanel leftPanel_;
    catalogue::TContextNode context_;
    catalogue::TCatalogueTree vstWebGame_, vstSNS_;
    THistoryTree vstHistory_;
    TMiniGameList miniGames_;
    TFavoritesTree favorites_;
    // The promotion mini window while it is open.
    std::unique_ptr<TFrmMin> frmMin_;
    TLastSessionKeeper lastSession_;
};

}  // namespace kivo
