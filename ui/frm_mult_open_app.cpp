#include "ui/frm_mult_open_app.h"

#include <gdk/gdkx.h>
#include <keybinder.h>
#include <signal.h>

#include <chrono>
#include <iostream>

#include "platform/identity.h"
#include "data/statements.h"
#include "platform/page_sandbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/web_origin.h"
#include "session/folder_cleanup.h"
#include "session/session_names.h"
#include "session/shell_folders.h"
#include "session/wait_messages.h"
#include "ui/accounts/frm_open_type.h"
#include "ui/accounts/frm_save_table.h"
#include "data/accounts/login_info.h"
#include "session/address_rules.h"
#include "data/catalogue/catalogue_edit.h"
#include "ui/catalogue/frm_save_url.h"
#include "data/catalogue/history.h"
#include "ui/dialogs/frm_close_type.h"
#include "ui/dialogs/frm_input.h"
#include "session/keep_running.h"
#include "ui/dialogs/message_box.h"
#include "ui/drawn_pictures.h"
#include "ui/side/clear_cache.h"
#include "ui/side/frm_about.h"
#include "ui/side/ordinary_profile.h"
#include "ui/side/preferences.h"
#include "webcontrol/document_access.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/webkit_browser_view.h"

namespace kivo {

namespace {

constexpr const char* kBossKey = "<Ctrl>B";
constexpr const char* kPictureKey = "<Alt>B";
TFrmMultOpenApp* hot_key_window = nullptr;

// A menu caption as shown: the marker "&" before the letter to underline goes, "&&" is "&".
std::string MenuCaption(const std::string& caption) {
    std::string shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&') {
            shown += '&';
            ++i;
        } else if (caption[i] != '&') {
            shown += caption[i];
        }
    }
    return shown;
}

}  // namespace

TFrmMultOpenApp::TFrmMultOpenApp(data::TDISQLite3Database* database)
    : CacheFolders(UserSettings(), WorkPath()),
      database_(database),
      navigationBar_(NavigationBarLinks()),
      tabStrip_(TabStripLinks()),
      statusBar_(StatusBarLinks()),
      thumbnailGrid_({ThumbnailLinks(),
                      [this](bool shown) {
                          tabStrip_.Area().set_visible(!shown);
                          UpdatePagesShown();
                      },
                      [this] {
                          const Gtk::Allocation area = tabStrip_.Widget().get_allocation();
                          return std::pair{area.get_width(), area.get_height()};
                      },
                      [this] { thumbnailStrip_.LoadSC8(); }}),
      thumbnailStrip_(ThumbnailLinks()),
      findBar_({[this] { return ActiveTab(); },
                [this](N_TRzTabSheet* tab) { tabStrip_.MarkIfWorkerGone(tab); }}),
      pageCommands_({[this] { return ActiveTab(); }, [this] { navigationBar_.btnRefreshClick(); },
                     [this] { findBar_.Open(); },
                     [this](int percent) { statusBar_.ShowZoom(percent); },
                     [this](N_TRzTabSheet* tab) { tabStrip_.MarkIfWorkerGone(tab); }}),
      pictureMenu_({[this] { return ActiveTab(); }, [this] { return this; }}, AppPath(),
                   WorkPath()),
      leftHost_(MakeLeftHost()),
      leftPanel_(*leftHost_),
      vstWebGame_(*leftHost_, catalogue::kWebGameTree, context_, [this] { actLoadWebGamePnl(); }),
      vstSNS_(*leftHost_, catalogue::kSnsTree, context_, [this] { actLoadWebGamePnl(); }),
      vstHistory_(*leftHost_, context_, vstWebGame_),
      miniGames_(*leftHost_),
      favorites_(*leftHost_),
      lastSession_(LastSessionPath(),
                   {[this] { return SessionTabs(); },
                    [this](const std::string& question) { return Confirm(question, "提示"); },
                    [this](const SessionTab& entry) { RestoreTab(entry); }}) {
    InstallStyleSheet();
    get_style_context()->add_class("kivo-main");
    gameKivo_TLB::RemoteWebControl::SetWorkerEndedHandler([this] {
        tabStrip_.MarkTabsOfEndedWorkers();
        downloads_.WorkersEnded();
    });
    set_title(kMainWindowCaption);
    set_icon(AppIcon(48));
    set_default_size(972, 600);
    set_size_request(800, 600);

    // The window draws its own frame: no system caption or border.
    set_decorated(false);
    add_events(Gdk::BUTTON_PRESS_MASK | Gdk::POINTER_MOTION_MASK | Gdk::SCROLL_MASK);
    BuildTopBar();
    BuildTabArea();
    BuildMenus();
    // Hidden to the tray or by the boss key, no tab is shown.
    signal_map().connect([this] { UpdatePagesShown(); }, true);
    signal_unmap().connect([this] { UpdatePagesShown(); }, true);

    // A 1-pixel line along each edge, around everything else.
    for (Gtk::EventBox* line : {&imgLineTop, &imgLineBottom, &imgLineLeft, &imgLineRight})
        line->get_style_context()->add_class("kivo-line");
    imgLineTop.set_size_request(-1, 1);
    imgLineBottom.set_size_request(-1, 1);
    imgLineLeft.set_size_request(1, -1);
    imgLineRight.set_size_request(1, -1);
    // Each box: a fixed part, the part that takes the rest, another fixed part.
    const std::tuple<Gtk::Box*, Gtk::Widget*, Gtk::Widget*, Gtk::Widget*> rows[] = {
        {&pnlMain, &pnlTop, &pnlBody, nullptr},
        {&pnlFrameMiddle, &imgLineLeft, &pnlMain, &imgLineRight},
        {&pnlFrame, &imgLineTop, &pnlFrameMiddle, &imgLineBottom}};
    for (const auto& [box, before, rest, after] : rows) {
        box->pack_start(*before, Gtk::PACK_SHRINK);
        box->pack_start(*rest, Gtk::PACK_EXPAND_WIDGET);
        if (after)
            box->pack_start(*after, Gtk::PACK_SHRINK);
    }
    add(pnlFrame);
    show_all_children();
    // The browser keys, wherever the focus is in the window (inside the page included, whose
    // keys pass the window first).
    signal_key_press_event().connect(
        [this](GdkEventKey* event) { return pageCommands_.HandleKey(event); }, false);
    tabStrip_.Widget().grab_focus();  // not an edit box, whose text would show selected

    // A quit asked for before the message loop runs (during start-up) ends it as it starts.
    Quit = [this] {
        if (gtk_main_level() > 0)
            Gtk::Main::quit();
        else
            QuitRequested_ = true;
    };
    AskCloseType = [this](std::string& value, bool& remember) {
        return kivo::AskCloseType(*this, value, remember);
    };
    RegisterHotKeys();
    tray_ = std::make_unique<TTrayIcon>(pmMainApp, miRestore, [this] { RestoreFromTray(); });
    tray_->Refresh();
    SetDialogOwner(this);

    InputBox = [](const std::string& caption, const std::string& prompt, std::string& text,
                  int max_length,
                  bool masked) { return ShowInputBox(caption, prompt, text, masked, max_length); };
    Confirm = [this](const std::string& text, const std::string& caption) {
        return ShowMessageBox(text, caption, Gtk::MESSAGE_QUESTION, MessageButtons::YesNo, this,
                              false) == Gtk::RESPONSE_YES;
    };
    ShowError = [this](const std::string& text, const std::string& caption) {
        ShowMessageBox(text, caption, Gtk::MESSAGE_ERROR, MessageButtons::Ok, this);
    };
}

TNavigationBar::TLinks TFrmMultOpenApp::NavigationBarLinks() {
    TNavigationBar::TLinks links;
    links.ActiveTab = [this] { return ActiveTab(); };
    links.OpenGame = [this](const std::string& url) { return OpenGame(url, "", ""); };
    links.MarkIfWorkerGone = [this](N_TRzTabSheet* tab) { tabStrip_.MarkIfWorkerGone(tab); };
    return links;
}

TTabStrip::TLinks TFrmMultOpenApp::TabStripLinks() {
    TTabStrip::TLinks links;
    links.OpenGame = [this](const std::string& url, const std::string& post_data,
                            const std::string& cache_dir) {
        return OpenGame(url, post_data, cache_dir);
    };
    links.ServerWindow = [this] {
        realize();
        return Handle();
    };
    // The prompts are looked up at each call, as they are replaced after construction.
    links.InputBox = [this](const std::string& caption, const std::string& prompt,
                            std::string& text, int max_length, bool masked) {
        return InputBox(caption, prompt, text, max_length, masked);
    };
    links.Confirm = [this](const std::string& text, const std::string& caption) {
        return Confirm(text, caption);
    };
    links.ShowError = [this](const std::string& text, const std::string& caption) {
        ShowError(text, caption);
    };
    links.ShowTitle = [this](const std::string& hint) {
        lblTitle.set_text(hint.empty() ? std::string(kApplicationTitle)
                                       : hint + "-" + kApplicationTitle);
    };
    links.ShowAddress = [this](const std::string& url, bool same_tab) {
        navigationBar_.ShowAddress(url, same_tab);
    };
    links.ShowProgress = [this](int percent) { statusBar_.ShowProgress(percent); };
    links.ShowStatusText = [this](const std::string& text) { statusBar_.ShowStatusText(text); };
    links.DownloadsRunning = [this](const TWebControl& worker) {
        return downloads_.Running(worker);
    };
    links.AbandonDownloads = [this](const TWebControl& worker) { downloads_.Abandon(worker); };
    links.ShowNotice = [this](const std::string& text, std::function<void()> click) {
        statusBar_.ShowNotice(text, std::move(click));
    };
    links.RecordVisitedUrl = [this](const std::string& url) {
        navigationBar_.RecordVisitedUrl(url);
    };
    links.AddToFavorites = [this](const std::string& title, const std::string& url) {
        favorites_.N19Click(title, url);
    };
    links.PageCompleted = [this](int index) {
        thumbnailGrid_.PageComplete(index);
        thumbnailStrip_.PageComplete();
    };
    links.ActiveTabChanged = [this] {
        if (thumbnailStrip_.Showing())
            thumbnailStrip_.LoadSC8();
        findBar_.ActiveTabChanged();
        pageCommands_.ShowActiveZoom();
    };
    links.WatchDownloads = [this](const std::shared_ptr<TWebControl>& proxy) {
        downloads_.Watch(proxy);
    };
    links.ReopenTab = [this](N_TRzTabSheet& tab) { ReopenTab(tab); };
    links.TabsChanged = [this] { lastSession_.TabsChanged(); };
    links.BrowserKey = [this](int32_t command, int32_t tab) {
        pageCommands_.RunFromPage(command, tab);
    };
    links.FindCount = [this](int32_t count, int32_t tab) { findBar_.ShowCount(count, tab); };
    return links;
}

TThumbnailLinks TFrmMultOpenApp::ThumbnailLinks() {
    TThumbnailLinks links;
    links.TabCount = [this] { return tabStrip_.TabCount(); };
    links.CurrentIndex = [this] {
        N_TRzTabSheet* active = tabStrip_.ActiveTab();
        return active ? tabStrip_.Widget().page_num(*active) : -1;
    };
    links.TabHandle = [this](int index) -> int32_t {
        N_TRzTabSheet* tab = index >= 0 ? tabStrip_.Tab(index) : nullptr;
        return tab ? tab->TabHandle() : 0;
    };
    links.TabHint = [this](int index) -> std::string {
        N_TRzTabSheet* tab = index >= 0 ? tabStrip_.Tab(index) : nullptr;
        return tab ? tab->Hint() : "";
    };
    links.ActivateTab = [this](int index) { tabStrip_.ActivateTab(index); };
    links.FreshPicture = [this](int32_t handle, std::function<void(bool)> done) {
        N_TRzTabSheet* tab = tabStrip_.FindTabByHandle(handle);
        if (!tab || !tab->HasWebControl()) {
            Glib::signal_idle().connect_once([done] { done(false); });
            return;
        }
        tab->WebControl().SaveWebToPicSmallAsync(handle, kFreshPictureTime, std::move(done));
    };
    links.PictureWritten = [this](int32_t handle) { thumbnailGrid_.PictureWritten(handle); };
    links.WorkPath = [] { return WorkPath(); };
    links.ShowInfo = [this](const std::string& text, const std::string& caption) {
        ShowMessageBox(text, caption, Gtk::MESSAGE_INFO, MessageButtons::Ok, this);
    };
    return links;
}

TStatusBar::TLinks TFrmMultOpenApp::StatusBarLinks() {
    TStatusBar::TLinks links;
    links.OpenGame = [this](const std::string& url, const std::string& suffix) {
        OpenGameDroppingErrors(url, suffix);
    };
    links.WebConfigPopup = [this](Gtk::Widget& pane) { tabStrip_.PopupWebConfig(pane); };
    links.SC9Click = [this] { thumbnailGrid_.spSC9Click(); };
    links.PictureMenuClick = [this](int group, int output) { pictureMenu_.Click(group, output); };
    return links;
}

void TFrmMultOpenApp::BuildTopBar() {
    // The banner is drawn across the whole bar; the title row and the toolbar row sit on it.
    pnlTop.set_app_paintable(true);
    pnlTop.signal_draw().connect(
        [this](const Cairo::RefPtr<Cairo::Context>& cr) {
            DrawBanner(cr, pnlTop.get_allocated_width(), pnlTop.get_allocated_height());
            return false;
        },
        false);
    pnlTop.set_size_request(-1, 63);

    imgBigICON.set(AppIcon(48));
    btnBigICON.add(imgBigICON);
    btnBigICON.set_relief(Gtk::RELIEF_NONE);
    btnBigICON.set_can_focus(false);
    btnBigICON.set_size_request(63, 63);
    btnBigICON.signal_clicked().connect([this] { btnBigICONClick(); });
    btnBigICON.get_accessible()->set_name("主菜单");
    pnlBigICON.set_visible_window(false);
    pnlBigICON.add(btnBigICON);
    OpenTitleRowDrag(pnlBigICON);

    lblTitle.set_markup("<b>" + Glib::Markup::escape_text(kApplicationTitle) + "</b>");
    lblTitle.set_xalign(0);
    lblTitle.set_margin_start(4);
    lblTitle.override_color(Gdk::RGBA("#FFFFFF"));
    btnMin.signal_clicked().connect([this] { btnMinClick(); });
    btnMax.signal_clicked().connect([this] { btnMaxClick(); });
    btnClose.signal_clicked().connect([this] { btnCloseClick(); });
    pnlsysbtnAndsysmenu.pack_start(btnMin, Gtk::PACK_SHRINK);
    pnlsysbtnAndsysmenu.pack_start(btnMax, Gtk::PACK_SHRINK);
    pnlsysbtnAndsysmenu.pack_start(btnClose, Gtk::PACK_SHRINK);
    pnlsysbtnAndsysmenu.set_valign(Gtk::ALIGN_START);
    pnlsysbtnAndsysmenu.set_margin_end(4);
    pnlTitleRow.pack_start(lblTitle, Gtk::PACK_EXPAND_WIDGET);
    pnlTitleRow.pack_end(pnlsysbtnAndsysmenu, Gtk::PACK_SHRINK);
    pnlMainBtn.set_visible_window(false);
    pnlMainBtn.add(pnlTitleRow);
    pnlMainBtn.set_size_request(-1, 27);
    OpenTitleRowDrag(pnlMainBtn);

    btnLeftCLose.signal_clicked().connect([this] { leftPanel_.btnSpotClick(); });
    btnLeftOpen.signal_clicked().connect([this] { leftPanel_.btnSpotClick(); });
    btnLeftOpen.set_no_show_all(true);
    btnAddList.signal_clicked().connect([this] { btnAddListClick(); });
    btnSaveForm.signal_clicked().connect([this] { btnSaveFormClick(); });
    btnHome.signal_clicked().connect([this] {
        try {
            actOpenMainUrlExecute();
        } catch (const std::exception&) {
        }
    });
    for (PictureButton* button :
         {&btnLeftCLose, &btnLeftOpen, &navigationBar_.btnBack, &navigationBar_.btnNext,
          &navigationBar_.btnRefresh, &btnHome, &btnAddList, &btnSaveForm})
        RzPanel1.pack_start(*button, Gtk::PACK_SHRINK);
    RzPanel1.set_size_request(473 - 63, -1);
    RzPanel1.set_valign(Gtk::ALIGN_CENTER);
    pnlIEToolBar.pack_start(RzPanel1, Gtk::PACK_SHRINK);
    pnlIEToolBar.pack_start(navigationBar_.AddressRow(), Gtk::PACK_EXPAND_WIDGET);
    pnlIEToolBar.set_size_request(-1, 36);

    pnlTopCaption.pack_start(pnlMainBtn, Gtk::PACK_SHRINK);
    pnlTopCaption.pack_start(pnlIEToolBar, Gtk::PACK_SHRINK);
    pnlTopRow.pack_start(pnlBigICON, Gtk::PACK_SHRINK);
    pnlTopRow.pack_start(pnlTopCaption, Gtk::PACK_EXPAND_WIDGET);
    pnlTop.add(pnlTopRow);
}

void TFrmMultOpenApp::BuildTabArea() {
    // A line across the top of the tab area, whatever its width.
    imgTabTop.get_style_context()->add_class("kivo-tab-top");
    imgTabTop.set_size_request(-1, 1);
    pnlpcMain.pack_start(imgTabTop, Gtk::PACK_SHRINK);
    pnlpcMain.pack_start(tabStrip_.Area(), Gtk::PACK_EXPAND_WIDGET);
    // The grid takes the tab control's place while shown; the strip sits above the status bar.
    pnlpcMain.pack_start(thumbnailGrid_.Widget(), Gtk::PACK_EXPAND_WIDGET);
    pnlpcMain.pack_start(findBar_.Widget(), Gtk::PACK_SHRINK);
    pnlpcMain.pack_start(thumbnailStrip_.Widget(), Gtk::PACK_SHRINK);
    pnlpcMain.pack_end(statusBar_.Widget(), Gtk::PACK_SHRINK);

    BuildLeftPanel();
    for (catalogue::TCatalogueTree* tree : {&vstWebGame_, &vstSNS_})
        tree->OnMaintainLoginInfo = [this](const std::string& url_id) {
            accounts::ShowSaveTable(SaveTableHost(), url_id, true);
        };
    pnlBody.pack_start(pnlpcMain, Gtk::PACK_EXPAND_WIDGET);
}

void TFrmMultOpenApp::BuildMenus() {
    // The main menu. Items whose dialogs are not there yet are shown greyed.
    auto add_item = [this](const char* caption, bool shown, std::function<void()> click) {
        auto* item = Gtk::manage(new Gtk::MenuItem(MenuCaption(caption)));
        if (click)
            item->signal_activate().connect(std::move(click));
        else
            item->set_sensitive(false);
        pmMainApp.append(*item);
        item->set_no_show_all(!shown);
        if (shown)
            item->show();
    };
    auto add_separator = [this] {
        auto* separator = Gtk::manage(new Gtk::SeparatorMenuItem);
        separator->show();
        pmMainApp.append(*separator);
    };
    // Restore first: some desktops' indicators take no click, only this menu.
    miRestore.signal_activate().connect([this] { RestoreFromTray(); });
    miRestore.show();
    pmMainApp.append(miRestore);
    add_separator();
    add_item("设置&", true, [this] { N15Click(); });                // N15
    add_separator();                                                // N14
    add_item("Internet选项&", true, [this] { Internet1Click(); });  // Internet1
    add_item("清理系统缓存&", true, [this] { N10Click(); });        // N10
    add_separator();                                                // N9
    add_item("在线帮助", false, nullptr);                           // N7
    add_item("反馈问题", false, nullptr);                           // N6
    add_item("检查更新", false, nullptr);                           // N4
    add_item("关于&", true, [this] { N5Click(); });                 // N5
    add_separator();                                                // N3
    add_item("退出&", true, [this] { N2Click(); });                 // N2
    pmMainApp.get_style_context()->add_class("kivo-menu");
}

void TFrmMultOpenApp::OpenTitleRowDrag(Gtk::EventBox& area) {
    // Pressing moves the window; a double click toggles maximise.
    area.add_events(Gdk::BUTTON_PRESS_MASK);
    area.signal_button_press_event().connect([this](GdkEventButton* event) {
        if (event->type == GDK_2BUTTON_PRESS) {
            pnlMainBtnDblClick();
            return true;
        }
        int x = 0, y = 0;
        get_pointer(x, y);
        // The resize bands overlap the row's edges: those presses resize instead.
        if (FrameHitTest(x, y, get_width(), get_height()) != HitTest::Default)
            return false;
        if (event->type == GDK_BUTTON_PRESS) {
            begin_move_drag(static_cast<int>(event->button), static_cast<int>(event->x_root),
                            static_cast<int>(event->y_root), event->time);
        }
        return true;
    });
}

bool TFrmMultOpenApp::on_button_press_event(GdkEventButton* event) {
    int x = 0, y = 0;
    get_pointer(x, y);
    const HitTest hit = FrameHitTest(x, y, get_width(), get_height());
    static const std::pair<HitTest, Gdk::WindowEdge> edges[] = {
        {HitTest::TopLeft, Gdk::WINDOW_EDGE_NORTH_WEST},
        {HitTest::BottomLeft, Gdk::WINDOW_EDGE_SOUTH_WEST},
        {HitTest::BottomRight, Gdk::WINDOW_EDGE_SOUTH_EAST},
        {HitTest::TopRight, Gdk::WINDOW_EDGE_NORTH_EAST},
        {HitTest::Left, Gdk::WINDOW_EDGE_WEST},
        {HitTest::Bottom, Gdk::WINDOW_EDGE_SOUTH},
        {HitTest::Right, Gdk::WINDOW_EDGE_EAST},
        {HitTest::Top, Gdk::WINDOW_EDGE_NORTH}};
    for (const auto& [which, edge] : edges) {
        if (which == hit && event->button == 1) {
            begin_resize_drag(edge, 1, static_cast<int>(event->x_root),
                              static_cast<int>(event->y_root), event->time);
            return true;
        }
    }
    return Gtk::Window::on_button_press_event(event);
}

bool TFrmMultOpenApp::on_motion_notify_event(GdkEventMotion* event) {
    int x = 0, y = 0;
    get_pointer(x, y);
    static const std::pair<HitTest, const char*> cursors[] = {
        {HitTest::TopLeft, "nw-resize"},     {HitTest::BottomLeft, "sw-resize"},
        {HitTest::BottomRight, "se-resize"}, {HitTest::TopRight, "ne-resize"},
        {HitTest::Left, "w-resize"},         {HitTest::Bottom, "s-resize"},
        {HitTest::Right, "e-resize"},        {HitTest::Top, "n-resize"}};
    const HitTest hit = FrameHitTest(x, y, get_width(), get_height());
    Glib::RefPtr<Gdk::Cursor> cursor;
    for (const auto& [which, name] : cursors) {
        if (which == hit)
            cursor = Gdk::Cursor::create(get_display(), name);
    }
    if (auto window = get_window())
        window->set_cursor(cursor);
    return Gtk::Window::on_motion_notify_event(event);
}

void TFrmMultOpenApp::btnMaxClick() {
    // Drawing is held back while the window changes its bounds, so it paints once at the new.
    auto window = get_window();
    if (window)
        window->freeze_updates();
    struct Thaw {
        Glib::RefPtr<Gdk::Window> window;
        ~Thaw() {
            if (window)
                window->thaw_updates();
        }
    } thaw{window};
    OnToggleMaximizeMessage();
}

void TFrmMultOpenApp::pnlMainBtnDblClick() {
    // Posted rather than run at once, as the double click's own handling finishes first.
    Glib::signal_idle().connect_once([this] { OnToggleMaximizeMessage(); });
}

void TFrmMultOpenApp::OnToggleMaximizeMessage() {
    Gdk::Rectangle area;
    realize();
    get_display()->get_monitor_at_window(get_window())->get_workarea(area);
    int left = 0, top = 0, width = 0, height = 0;
    get_position(left, top);
    get_size(width, height);
    const Bounds target =
        maximize_.Toggle({left, top, width, height},
                         {area.get_x(), area.get_y(), area.get_width(), area.get_height()});
    // Moved and sized in place while shown: hiding it for the change would come back from the
    // display as an unmap after the new showing, which reads as a minimise to the tray.
    move(target.Left, target.Top);
    resize(target.Width, target.Height);
    if (!get_visible())
        show();
}

void TFrmMultOpenApp::on_show() {
    if (!shown_once_) {
        // The first showing centres the window once on the work area; later ones keep it.
        shown_once_ = true;
        realize();
        Gdk::Rectangle area;
        get_display()->get_monitor_at_window(get_window())->get_workarea(area);
        int width = 0, height = 0;
        get_size(width, height);
        const Bounds centred =
            CentredBounds({0, 0, width, height},
                          {area.get_x(), area.get_y(), area.get_width(), area.get_height()});
        move(centred.Left, centred.Top);
    }
    Gtk::Window::on_show();
}

void TFrmMultOpenApp::RegisterHotKeys() {
    // The keys belong to the display, not to a window: they are bound once and go to the
    // window that registered last, until it unregisters. Exact modifiers: Ctrl+Shift+B is
    // neither key. A key another program holds stays without effect.
    keybinder_init();
    if (!hot_key_window) {
        keybinder_bind(
            kBossKey,
            [](const char*, void*) {
                if (hot_key_window)
                    hot_key_window->BossKey(keybinder_get_current_event_time());
            },
            nullptr);
        keybinder_bind(
            kPictureKey,
            [](const char*, void*) {
                if (hot_key_window)
                    hot_key_window->StatusBar().spMenuClick();
            },
            nullptr);
    }
    hot_key_window = this;
}

void TFrmMultOpenApp::UnregisterHotKeys() {
    if (hot_key_window != this)
        return;
    hot_key_window = nullptr;
    keybinder_unbind_all(kBossKey);
    keybinder_unbind_all(kPictureKey);
}

void TFrmMultOpenApp::btnBigICONClick() {
    pmMainApp.popup_at_widget(&btnBigICON, Gdk::GRAVITY_SOUTH_WEST, Gdk::GRAVITY_NORTH_WEST,
                              nullptr);
}

void TFrmMultOpenApp::Internet1Click() {
    // The desktop's network settings, when one of the usual tools is installed; not waited for.
    const std::vector<std::vector<std::string>> tools = {
        {"gnome-control-center", "network"}, {"nm-connection-editor"}, {"xfce4-network-settings"}};
    for (const auto& command : tools) {
        if (Glib::find_program_in_path(command.front()).empty())
            continue;
        try {
            Glib::spawn_async("", command, Glib::SPAWN_SEARCH_PATH);
        } catch (const Glib::Error&) {
            continue;
        }
        return;
    }
}

void TFrmMultOpenApp::N15Click() {
    if (!database_)
        return;
    try {
        kivo::N15Click(*this, *database_);
    } catch (const std::exception&) {
        // Dropped, as every error that escapes a handler.
    }
}

void TFrmMultOpenApp::N5Click() {
    kivo::N5Click([this](const std::string& url) { OpenGame(url, "", ""); });
}

void TFrmMultOpenApp::N10Click() {
    TClearCache::Start(webkit_web_context_get_website_data_manager(OrdinaryProfile().Context()),
                       [this] { navigationBar_.ClearVisitedUrls(); });
}

void TFrmMultOpenApp::FormCreate() {
    // The cache root is found on its first use.
    for (const char* folder : {"Temp/", "WebImage/"}) {
        try {
            MakeFolders(WorkPath() + folder);
        } catch (const std::exception&) {
            // The pictures then fail where they are written.
        }
    }
    btnMaxClick();  // maximised and shown; the first showing loads the probe page
    FormShow();
    if (QuitRequested_)
        return;
    TellOfMissingSandbox();
    tmrAd_ = Glib::signal_timeout().connect(
        [this] {
            tmrAdTimer();
            return false;
        },
        1000);
    try {
        actOpenMainUrlExecute();
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the first tab cannot open: " << e.what() << '\n';
    }
    Glib::signal_idle().connect_once(
        sigc::track_obj([this] { lastSession_.OfferLastSession(); }, lastSession_));
}

void TFrmMultOpenApp::TellOfMissingSandbox() {
    // Said once per run: every worker finds the same and stays silent.
    if (uitWebControl::PageSandboxUsable())
        return;
    std::cerr << "gameKivo: " << kNoSandboxNotice << '\n';
    statusBar_.ShowNotice(kNoSandboxNotice);
}

void TFrmMultOpenApp::FormShow() {
    ProbeUrl = MakerProbeUrl();
    // The probe page goes through the ordinary profile's browser, so that it is in that cache.
    // The window paints only once the page has loaded or five seconds have passed.
    auto window = get_window();
    if (window)
        window->freeze_updates();
    try {
        uitWebControl::WebKitEngine& profile = OrdinaryProfile();
        auto wbU = GObjectRef<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(
            g_object_ref_sink(webkit_web_view_new_with_context(profile.Context()))));
        uitWebControl::ApplyMachineCompositing(wbU.Get());
        bool complete = false;
        auto on_load = +[](WebKitWebView*, WebKitLoadEvent event, gpointer done) {
            if (event == WEBKIT_LOAD_FINISHED)
                *static_cast<bool*>(done) = true;
        };
        const gulong handler =
            g_signal_connect(wbU.Get(), "load-changed", G_CALLBACK(on_load), &complete);
        webkit_web_view_load_uri(wbU.Get(), ProbeUrl.c_str());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(5000);
        while (!complete && std::chrono::steady_clock::now() < deadline) {
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(5000);
        }
        g_signal_handler_disconnect(wbU.Get(), handler);
        if (!complete)
            KeepProbeLoading(std::move(wbU));
    } catch (const std::exception&) {
        // Nothing is shown for the probe.
    }
    if (window)
        window->thaw_updates();
}

void TFrmMultOpenApp::KeepProbeLoading(GObjectRef<WebKitWebView> view) {
    probeView_ = std::move(view);
    auto on_load = +[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
        if (event != WEBKIT_LOAD_FINISHED)
            return;
        // Let go after the signal: the view must outlive its own emission.
        auto* window = static_cast<TFrmMultOpenApp*>(self);
        Glib::signal_idle().connect_once(
            sigc::track_obj([window] { window->DropProbe(); }, *window));
    };
    g_signal_connect(probeView_.Get(), "load-changed", G_CALLBACK(on_load), this);
    probeGiveUp_ = Glib::signal_timeout().connect_seconds(
        [this] {
            DropProbe();
            return false;
        },
        60);
}

void TFrmMultOpenApp::DropProbe() {
    probeGiveUp_.disconnect();
    if (probeView_)
        g_signal_handlers_disconnect_by_data(probeView_.Get(), this);
    probeView_.Reset();
}

void TFrmMultOpenApp::tmrAdTimer() {
    // Fires once per run, a second after start-up.
    tmrAd_.disconnect();
    actLoadWebGamePnl();
    actLoadHistory();
    ShowMiniWindow();
}

void TFrmMultOpenApp::ShowMiniWindow() {
    // Tests of other features run without it, so that it covers none of their clicks.
    if (frmMin_ || std::getenv("KIVO_NO_PROMOTION"))
        return;
    try {
        // Its pop-ups open as tabs in fresh temporary sessions; it is destroyed once closed.
        frmMin_ = std::make_unique<TFrmMin>(
            [this](const std::string& url) { OpenGame(url, "", ""); }, [this] { frmMin_.reset(); });
        WaitWithMessages(1000);
        if (!frmMin_)
            return;
        frmMin_->Navigate(PromotionUrl());
        frmMin_->ShowCentredOn(*this);
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the mini window cannot open: " << e.what() << '\n';
        frmMin_.reset();
    }
}

void TFrmMultOpenApp::actLoadWebGamePnl() {
    try {
        catalogue::actLoadWebGamePnl(vstWebGame_, vstSNS_);
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the catalogue cannot be read: " << e.what() << '\n';
    }
}

void TFrmMultOpenApp::actLoadHistory() {
    try {
        vstHistory_.actLoadHistoryExecute();
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the history cannot be read: " << e.what() << '\n';
    }
}

void TFrmMultOpenApp::AddHistory(const catalogue::CatalogueNode& Node,
                                 const catalogue::CatalogueNode* Parent) {
    if (database_)
        catalogue::AddHistory(*database_, Node, Parent);
    vstHistory_.actLoadHistoryExecute();
}

bool TFrmMultOpenApp::SaveActivePageOf(N_TRzTabSheet& tab) {
    // The reload's own failure counts as the saving's, unlike the timer's reload.
    const std::string url_id = catalogue::SaveActivePage(
        *leftHost_, tab.GameUrlID, [this] { catalogue::actLoadWebGamePnl(vstWebGame_, vstSNS_); });
    if (url_id.empty())
        return false;
    tab.GameUrlID = url_id;
    return true;
}

void TFrmMultOpenApp::btnAddListClick() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    try {
        SaveActivePageOf(*tab);
    } catch (const std::exception&) {
        ShowMessageBox(catalogue::kAddFailed, catalogue::kMessageTitle, Gtk::MESSAGE_ERROR,
                       MessageButtons::Ok, this);
    }
}

void TFrmMultOpenApp::btnSaveFormClick() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    if (tab->GameUrlID == "0") {
        ShowMessageBox(catalogue::kSaveGameFirst, catalogue::kMessageTitle, Gtk::MESSAGE_INFO,
                       MessageButtons::Ok, this);
        try {
            if (!SaveActivePageOf(*tab))
                return;
        } catch (const std::exception&) {
            ShowMessageBox(catalogue::kSaveGameFailed, catalogue::kMessageTitle, Gtk::MESSAGE_INFO,
                           MessageButtons::Ok, this);
            return;
        }
    }
    accounts::ShowSaveTable(SaveTableHost(), tab->GameUrlID, false);
}

accounts::TSaveTableHost TFrmMultOpenApp::SaveTableHost() {
    accounts::TSaveTableHost host;
    host.Database = database_;
    host.WorkPath = WorkPath();
    host.CacheRoot = [this] { return CacheFolders.GetCacheRoot(); };
    host.CaptureFields = [this] {
        N_TRzTabSheet* tab = ActiveTab();
        if (!tab || !tab->HasWebControl())
            throw document::DocumentError("no page to read");
        const int32_t web_handle = tab->WebControl().WebHandle(tab->TabHandle());
        GdkDisplay* display = gdk_display_get_default();
        if (!display || !GDK_IS_X11_DISPLAY(display))
            throw document::DocumentError("no page to read");
        std::vector<accounts::TEle> fields;
        for (const document::InputElement& element : document::ReadLoginFields(
                 gdk_x11_display_get_xdisplay(display), static_cast<uint32_t>(web_handle)))
            fields.push_back({element.name, element.value});
        return fields;
    };
    host.Owner = this;
    return host;
}

void TFrmMultOpenApp::BuildLeftPanel() {
    using catalogue::Section;
    leftPanel_.SetSectionContent(Section::History, vstHistory_.Widget());
    leftPanel_.SetSectionContent(Section::WebGame, vstWebGame_.Widget());
    leftPanel_.SetSectionContent(Section::Sns, vstSNS_.Widget());
    leftPanel_.SetSectionContent(Section::MiniGames, miniGames_.Widget());
    leftPanel_.SetSectionContent(Section::Favorites, favorites_.Widget());
    leftPanel_.OnSectionExpanded = [this](Section section) {
        if (section == Section::Favorites)
            favorites_.Repaint();
    };
    leftPanel_.OnShownChanged = [this](bool shown) {
        btnLeftCLose.set_visible(shown);
        btnLeftOpen.set_visible(!shown);
    };
    leftPanel_.OnGoBBSClick = [this] {
        OpenGameDroppingErrors(MakerUrl("/thread-42296-1-1.html"), "FlashGame");
    };
    pnlBody.pack_start(leftPanel_.Widget(), Gtk::PACK_SHRINK);
}

namespace {

// What the left panel's regions reach of the window.
class TWindowLeftHost : public TLeftPanelHost {
  public:
    TWindowLeftHost(TFrmMultOpenApp& window, data::TDISQLite3Database* database)
        : window_(window), database_(database) {}

    data::TDISQLite3Database* Database() override { return database_; }
    void OpenGame(const std::string& url, const std::string& post_data,
                  const std::string& cache_dir) override {
        try {
            window_.OpenGame(url, post_data, cache_dir);
        } catch (const std::exception& e) {
            std::cerr << "gameKivo: " << url << " cannot open: " << e.what() << '\n';
        }
    }
    void OpenGame(const catalogue::CatalogueNode& node, const catalogue::CatalogueNode* parent,
                  const std::string& user_id) override {
        try {
            window_.OpenGame(node, parent, user_id);
        } catch (const std::exception& e) {
            std::cerr << "gameKivo: " << node.Value << " cannot open: " << e.what() << '\n';
        }
    }
    void OpenGameForAllAccounts(const catalogue::CatalogueNode& node,
                                const catalogue::CatalogueNode* parent) override {
        try {
            window_.OpenGameForAllAccounts(node, parent);
        } catch (const std::exception& e) {
            std::cerr << "gameKivo: " << node.Value << " cannot open: " << e.what() << '\n';
        }
    }
    std::string ActivePageUrl() override { return ActivePage(&TWebControl::WebUrl); }
    std::string ActivePageTitle() override { return ActivePage(&TWebControl::WebTitle); }
    bool InputBox(const std::string& caption, const std::string& prompt, std::string& text,
                  int max_length, bool masked) override {
        return window_.InputBox(caption, prompt, text, max_length, masked);
    }
    bool Confirm(const std::string& text, const std::string& caption) override {
        return window_.Confirm(text, caption);
    }
    bool ConfirmOkCancel(const std::string& text, const std::string& caption) override {
        return ShowMessageBox(text, caption, Gtk::MESSAGE_QUESTION, MessageButtons::OkCancel,
                              &window_, false) == Gtk::RESPONSE_OK;
    }
    void ShowError(const std::string& text, const std::string& caption) override {
        window_.ShowError(text, caption);
    }
    void ShowInformation(const std::string& text, const std::string& caption) override {
        ShowMessageBox(text, caption, Gtk::MESSAGE_INFO, MessageButtons::Ok, &window_);
    }
    Gtk::Window& Owner() override { return window_; }

  private:
    std::string ActivePage(std::u16string (TWebControl::*read)(int32_t)) {
        N_TRzTabSheet* tab = window_.ActiveTab();
        if (!tab || !tab->HasWebControl())
            return "";
        try {
            return Utf16ToUtf8((tab->WebControl().*read)(tab->TabHandle()));
        } catch (const std::exception&) {
            return "";
        }
    }

    TFrmMultOpenApp& window_;
    data::TDISQLite3Database* database_;
};

}  // namespace

std::unique_ptr<TLeftPanelHost> TFrmMultOpenApp::MakeLeftHost() {
    return std::make_unique<TWindowLeftHost>(*this, database_);
}

void TFrmMultOpenApp::btnMinClick() {
    InTray_ = true;
    // Hidden only where a tray shows the icon to bring it back; else minimised, so that the
    // desktop's own task list still reaches it.
    if (tray_->Refresh() == TrayKind::Nowhere) {
        iconified_to_tray_ = true;
        iconify();
    } else {
        iconified_to_tray_ = false;
        hide();
    }
}

void TFrmMultOpenApp::RestoreFromTray(guint32 time) {
    InTray_ = false;
    iconified_to_tray_ = false;
    deiconify();
    show();
    // A window manager gives the keyboard back only for a request as recent as the user's last
    // input: the time of the key or click that asked.
    present(time ? time : gtk_get_current_event_time());
}

void TFrmMultOpenApp::BossKey(guint32 time) {
    if (InTray_)
        RestoreFromTray(time);
    else
        btnMinClick();
}

bool TFrmMultOpenApp::on_window_state_event(GdkEventWindowState* event) {
    const bool iconified_now = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
    if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
        if (iconified_now && !InTray_) {
            // A minimise requested by the desktop goes to the tray as well; without a tray
            // the window stays minimised.
            btnMinClick();
        } else if (!iconified_now && InTray_ && iconified_to_tray_) {
            // Brought back through the desktop's task list.
            InTray_ = false;
            iconified_to_tray_ = false;
        }
    }
    const bool handled = Gtk::Window::on_window_state_event(event);
    UpdatePagesShown();
    return handled;
}

void TFrmMultOpenApp::UpdatePagesShown() {
    const Glib::RefPtr<Gdk::Window> window = get_window();
    const bool away = !get_mapped() || !window ||
                      (window->get_state() &
                       (Gdk::WINDOW_STATE_ICONIFIED | Gdk::WINDOW_STATE_WITHDRAWN));
    tabStrip_.SetTabsCovered(away || !tabStrip_.Area().get_visible());
}

bool TFrmMultOpenApp::on_delete_event(GdkEventAny*) {
    // Closed by another route than the close button: the process ends at once.
    Quit();
    return true;
}

void TFrmMultOpenApp::btnCloseClick() {
    // A preference that cannot be read (the database busy or damaged) is asked for: guessing
    // "quit" would close every tab the user meant to keep.
    std::string value = "-1";
    try {
        if (database_) {
            auto statement = database_->Prepare16(data::sql::kSelectCloseType);
            value =
                statement.Step() == data::TDISQLite3Statement::kRow ? statement.Column_Str(0) : "";
        } else {
            value = "1";
        }
    } catch (const std::exception&) {
        value = "-1";
    }
    if (value == "-1") {
        bool remember = false;
        if (!AskCloseType(value, remember))
            return;
        if (remember && database_) {
            try {
                auto update = database_->Prepare16(data::sql::kUpdateCloseType);
                update.Bind_Str(1, value);
                update.Step();
            } catch (const std::exception&) {
                ShowError("保存失败请重试！", "提示");
            }
        }
    }
    if (value == "0") {
        btnMinClick();
    } else if (value == "1") {
        N2Click();
    }
}

void TFrmMultOpenApp::N2Click() {
    actAppHaltExecute();
    Quit();
}

void TFrmMultOpenApp::actAppHaltExecute() {
    lastSession_.Stop();  // the tabs closed on the way out are offered at the next start
    hide();
    UnregisterHotKeys();
    {
        // Quitting never waits long for the workers: one that has not answered when the time
        // is up is taken for hung and ended, and every call after that fails at once.
        const Channel::DeadlineCap cap(std::chrono::steady_clock::now() + std::chrono::seconds(3));
        tabStrip_.FreeAllTabs();
        WarmUpControl.reset();
    }
    // The released workers end by themselves, or are ended; their session folders go after.
    gameKivo_TLB::EndReleasedWorkers(std::chrono::seconds(2));
    try {
        CleanUpRunFolders(WorkPath(), CacheFolders.GetCacheRoot(), AccountFolders());
    } catch (const std::exception&) {
    }
}

std::optional<std::set<std::string>> TFrmMultOpenApp::AccountFolders() {
    if (!database_)
        return std::set<std::string>();  // no database, so no saved account
    try {
        std::vector<std::string> stored;
        auto statement = database_->Prepare16(data::sql::kSelectAccountFolders);
        while (statement.Step() == data::TDISQLite3Statement::kRow)
            stored.push_back(statement.Column_Str(0));
        return AccountFolderNames(stored);
    } catch (const std::exception&) {
        return std::nullopt;  // unknown: every session folder stays
    }
}

TFrmMultOpenApp::~TFrmMultOpenApp() {
    DropProbe();
    lastSession_.Stop();
    gameKivo_TLB::RemoteWebControl::SetWorkerEndedHandler(nullptr);
    if (DialogOwner() == this)
        SetDialogOwner(nullptr);
    UnregisterHotKeys();
    frmMin_.reset();
    tabStrip_.DestroyAllTabs();
}

int32_t TFrmMultOpenApp::Handle() const {
    auto window = get_window();
    if (!window)
        return 0;
    return static_cast<int32_t>(gdk_x11_window_get_xid(const_cast<GdkWindow*>(window->gobj())));
}

N_TRzTabSheet* TFrmMultOpenApp::OpenGame(const std::string& Url, const std::string& PostData,
                                         const std::string& CacheDir) {
    N_TRzTabSheet* tab = nullptr;
    const std::string folder = FreeSessionFolder(CacheDir);
    const std::string address = AddressForView(Url);
    RunInSession(CacheFolders, folder, [&] {
        tab = tabStrip_.NewGameTab();
        tab->GameUrlID.assign(1, '0');  // free browsing
        tab->SessionFolder = folder;
        tab->Address = address;
        try {
            tab->WebControl().Navigate(tab->TabHandle(), Utf8ToUtf16(address),
                                       Utf8ToUtf16(PostData));
        } catch (const std::exception&) {
            tabStrip_.MarkIfWorkerGone(tab);
            throw;
        }
    });
    return tab;
}

void TFrmMultOpenApp::OpenGame(const catalogue::CatalogueNode& Node,
                               const catalogue::CatalogueNode* Parent, const std::string& UserId) {
    OpenGameForAccounts(Node, Parent, UserId, false);
}

void TFrmMultOpenApp::OpenGameForAllAccounts(const catalogue::CatalogueNode& Node,
                                             const catalogue::CatalogueNode* Parent) {
    OpenGameForAccounts(Node, Parent, "", true);
}

void TFrmMultOpenApp::OpenGameForAccounts(const catalogue::CatalogueNode& Node,
                                          const catalogue::CatalogueNode* Parent,
                                          const std::string& UserId, bool check_all) {
    // The account choice, made without showing the form: the address's accounts listed, the
    // asked ones checked, independent sessions.
    accounts::TFrmOpenType form;
    form.LoadBaseConfig(database_, Node.ID, UserId);
    if (check_all)
        form.CheckAllUsers();
    form.SetClientOpen(true);
    form.btnOpenClick();
    const bool client_open = form.OpenType() == accounts::TOpenType::ClientOpen;

    const std::vector<accounts::TUser> users = form.CheckedUsers();
    for (const accounts::TUser& user : users) {
        if (client_open)
            OpenAccountTab(Node, user, Node.Value);
        AddHistory(Node, Parent);
    }
    if (users.empty()) {
        if (client_open)
            OpenAddressTab(Node, FreeSessionFolder(""), [](N_TRzTabSheet&) {});
        AddHistory(Node, Parent);
    }
}

N_TRzTabSheet* TFrmMultOpenApp::OpenAddressTab(const catalogue::CatalogueNode& Node,
                                               const std::string& cache_path,
                                               const std::function<void(N_TRzTabSheet&)>& arm) {
    N_TRzTabSheet* tab = nullptr;
    const std::string address = AddressForView(Node.Value);
    RunInSession(CacheFolders, cache_path, [&] {
        tab = tabStrip_.NewGameTab();
        tab->GameUrlID = Node.ID;
        tab->KeepRunning = KeepsRunning(UserSettings(), Node.ID);
        tab->SessionFolder = cache_path;
        tab->Address = address;
        try {
            tab->WebControl().Navigate(tab->TabHandle(), Utf8ToUtf16(address), u"");
        } catch (const std::exception&) {
            tabStrip_.MarkIfWorkerGone(tab);
            throw;
        }
        arm(*tab);
    });
    return tab;
}

N_TRzTabSheet* TFrmMultOpenApp::OpenAccountTab(const catalogue::CatalogueNode& Node,
                                               const accounts::TUser& user,
                                               const std::string& site) {
    return OpenAddressTab(Node, user.CACHEPATH, [&](N_TRzTabSheet& tab) {
        // Armed once the navigation has started; the fill waits for the page.
        tab.LoginInfo = accounts::LoadLoginInfo(*database_, libMain, user.Id);
        tab.LoginUser = user.UName;
        tab.LoginUserId = user.Id;
        tab.LoginSite = site;
        // An address of another site (a restored tab's last page) opens unfilled.
        tab.LoginAcc = IsAccountSite(site, Node.Value);
    });
}

void TFrmMultOpenApp::ReopenTab(N_TRzTabSheet& tab) {
    // The same session folder, so the account's cookies; a tab opened before its folder was
    // known gets a fresh one.
    if (tab.SessionFolder.empty())
        tab.SessionFolder = FreeSessionFolder("");
    RunInSession(CacheFolders, tab.SessionFolder, [&] {
        tabStrip_.ReconnectTab(tab);
        const std::string address = tab.Address.empty() ? "about:blank" : tab.Address;
        tab.WebControl().Navigate(tab.TabHandle(), Utf8ToUtf16(address), u"");
        tab.LoginAcc = !tab.LoginInfo.empty() && IsAccountSite(tab.LoginSite, address);
        // The new view starts at 100 %: it takes the zoom the tab shows.
        if (tab.ZoomPercent != 100)
            tab.ZoomPercent = tab.WebControl().SetWebZoom(tab.TabHandle(), tab.ZoomPercent);
    });
}

std::vector<SessionTab> TFrmMultOpenApp::SessionTabs() {
    std::vector<SessionTab> tabs;
    const std::string home = MakerUrl("/news/");  // opened at every start anyway
    for (int i = 0; i < tabStrip_.TabCount(); ++i) {
        const N_TRzTabSheet* tab = tabStrip_.Tab(i);
        if (tab && tab->Address != home && RestorableUrl(tab->Address))
            tabs.push_back(
                {tab->Address, tab->GameUrlID, tab->LoginUserId, tab->LoginUser, tab->Hint()});
    }
    return tabs;
}

void TFrmMultOpenApp::RestoreTab(const SessionTab& entry) {
    if (!entry.UserId.empty() && database_) {
        // The account opening: the account must still belong to that address.
        accounts::TFrmOpenType form;
        form.LoadBaseConfig(database_, entry.GameUrlID, entry.UserId);
        form.SetClientOpen(true);
        form.btnOpenClick();
        const std::vector<accounts::TUser> users = form.CheckedUsers();
        if (!users.empty()) {
            catalogue::CatalogueNode node;
            node.ID = entry.GameUrlID;
            node.Value = entry.Url;
            OpenAccountTab(node, users.front(),
                           accounts::AddressValue(*database_, entry.GameUrlID));
            return;
        }
    }
    OpenGame(entry.Url, "", "");
}

void TFrmMultOpenApp::OpenGameDroppingErrors(const std::string& url, const std::string& suffix) {
    try {
        OpenGame(url, "", suffix);
    } catch (const std::exception&) {
        // Dropped, as every error that escapes a handler.
    }
}

void TFrmMultOpenApp::actOpenMainUrlExecute() {
    if (!WarmUpControl) {
        WarmUpControl = std::make_unique<TWebControl>();
        try {
            WarmUpControl->Connect();
        } catch (const std::exception&) {
            // The home page below reports what keeps workers from starting.
        }
    }
    OpenGame(MakerUrl("/news/"), "", "");
}

bool TFrmMultOpenApp::on_scroll_event(GdkEventScroll* event) {
    return tabStrip_.WindowScroll(*this, event);
}

}  // namespace kivo
