#include "ui/frm_mult_open_app.h"

#include <gdk/gdkx.h>
#include <keybinder.h>
#include <signal.h>

#include <algorithm>
#include <chrono>

#include "app/identity.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "data/statements.h"
#include "session/folder_cleanup.h"
#include "session/session_names.h"
#include "ui/frm_close_type.h"
#include "ui/frm_input.h"
#include "ui/typed_urls.h"
#include "webcontrol/maker_pages.h"

namespace kivo {

namespace {

constexpr const char* kBlankPage = "about:blank";
constexpr const char* kSearchHint = "搜下，就有了";

}  // namespace

TFrmMultOpenApp::TFrmMultOpenApp(data::TDISQLite3Database* database)
    : CacheFolders(UserSettings(), AppPath()),
      database_(database),
      mi0("关闭"), mi300("5分钟"), mi600("10分钟"), mi1800("30分钟"), mi3600("60分钟"),
      miCust("自定义（秒）：60") {
    set_title(kMainWindowCaption);
    set_default_size(972, 600);
    set_size_request(800, 600);

    // The window draws its own frame: no system caption or border.
    set_decorated(false);
    add_events(Gdk::BUTTON_PRESS_MASK | Gdk::POINTER_MOTION_MASK);
    BuildTitleRow();
    btnBack.set_label("◀");
    btnBack.set_tooltip_text("后退");
    btnNext.set_label("▶");
    btnNext.set_tooltip_text("前进");
    btnRefresh.set_label("⟳");
    btnRefresh.set_tooltip_text("刷新");
    btnHome.set_label("⌂");
    btnHome.set_tooltip_text("主页");
    btnHome.signal_clicked().connect([this] {
        try {
            actOpenMainUrlExecute();
        } catch (const std::exception&) {
        }
    });
    btnGo.set_label("转到");
    btnBack.signal_clicked().connect([this] { btnBackClick(); });
    btnNext.signal_clicked().connect([this] { btnNextClick(); });
    btnRefresh.signal_clicked().connect([this] { btnRefreshClick(); });
    btnGo.signal_clicked().connect([this] { btnGoClick(); });
    // Enter in the address box clicks the go button.
    edtUrl.signal_activate().connect([this] { btnGo.clicked(); });
    pnlIEToolBar.pack_start(btnBack, Gtk::PACK_SHRINK);
    pnlIEToolBar.pack_start(btnNext, Gtk::PACK_SHRINK);
    pnlIEToolBar.pack_start(btnRefresh, Gtk::PACK_SHRINK);
    pnlIEToolBar.pack_start(btnHome, Gtk::PACK_SHRINK);
    pnlIEToolBar.pack_start(edtUrl, Gtk::PACK_EXPAND_WIDGET);
    pnlIEToolBar.pack_start(btnGo, Gtk::PACK_SHRINK);
    // The search box starts with its hint as real text, in silver, until it is changed.
    edtSearch.set_text(kSearchHint);
    edtSearch.override_color(Gdk::RGBA("#C0C0C0"));
    edtSearch.set_width_chars(14);
    edtSearch.signal_changed().connect([this] { edtSearch.unset_color(); });
    edtSearch.signal_activate().connect([this] { edtSearchRightButtonClick(); });
    edtSearch.set_icon_from_icon_name("edit-find", Gtk::ENTRY_ICON_SECONDARY);
    edtSearch.set_icon_from_icon_name("go-down", Gtk::ENTRY_ICON_PRIMARY);
    edtSearch.signal_icon_press().connect([this](Gtk::EntryIconPosition position, const GdkEventButton* event) {
        if (position == Gtk::ENTRY_ICON_SECONDARY) {
            edtSearchRightButtonClick();
        } else {
            popSearch.popup_at_pointer(reinterpret_cast<const GdkEvent*>(event));
        }
    });
    for (const auto& [caption, engine] : {std::pair{"谷歌", 0}, std::pair{"百度", 1}}) {
        auto* item = Gtk::manage(new Gtk::MenuItem(caption));
        item->signal_activate().connect([this, engine = engine] { SetSearchEngine(engine); });
        popSearch.append(*item);
    }
    popSearch.show_all();
    pnlIEToolBar.pack_end(edtSearch, Gtk::PACK_SHRINK);
    pnlIEToolBar.set_size_request(-1, 36);
    pnlMain.pack_start(pnlIEToolBar, Gtk::PACK_SHRINK);

    pcMain.set_scrollable(true);
    pcMain.popup_enable();  // the menu listing every tab in strip order
    pcMain.set_show_border(false);
    pcMain.signal_switch_page().connect(
        [this](Gtk::Widget* page, guint) {
            if (allow_switch_) return;
            auto* tab = dynamic_cast<N_TRzTabSheet*>(page);
            if (tab && !pcMainChanging(*tab)) g_signal_stop_emission_by_name(pcMain.gobj(), "switch-page");
        },
        false);
    pcMain.signal_switch_page().connect([this](Gtk::Widget*, guint) { pcMainChange(); }, true);
    pcMain.signal_button_press_event().connect(
        sigc::mem_fun(*this, &TFrmMultOpenApp::pcMainButtonPress), false);
    // The menu button at the end of the strip lists every tab in strip order.
    btnTabList.set_relief(Gtk::RELIEF_NONE);
    btnTabList.set_popup(pmTabList);
    btnTabList.signal_pressed().connect([this] {
        for (Gtk::Widget* item : pmTabList.get_children()) pmTabList.remove(*item);
        for (int i = 0; i < pcMain.get_n_pages(); ++i) {
            N_TRzTabSheet* tab = Tab(i);
            auto* item = Gtk::manage(new Gtk::MenuItem(tab ? tab->Hint() : ""));
            item->signal_activate().connect([this, i] { ActivateTab(i); });
            pmTabList.append(*item);
        }
        pmTabList.show_all();
    });
    btnTabList.show();
    pcMain.set_action_widget(&btnTabList, Gtk::PACK_END);
    pcMain.add_events(Gdk::POINTER_MOTION_MASK);
    pcMain.signal_motion_notify_event().connect([this](GdkEventMotion*) {
        if (!pcMain.has_focus()) pcMain.grab_focus();
        return false;
    });
    pnlMain.pack_start(pcMain, Gtk::PACK_EXPAND_WIDGET);

    psWeb.set_size_request(145, -1);
    psWeb.set_show_text(true);
    ShowProgress(50);
    spText.set_xalign(0);
    spText.set_ellipsize(Pango::ELLIPSIZE_END);
    spWebConfig.set_label("页面自动刷新设置");
    spWebConfig.set_relief(Gtk::RELIEF_NONE);
    spWebConfig.signal_clicked().connect([this] {
        pmWebConfigPopup();
        pmWebConfig.popup_at_widget(&spWebConfig, Gdk::GRAVITY_NORTH_WEST, Gdk::GRAVITY_SOUTH_WEST,
                                    nullptr);
    });
    sbWeb.pack_start(psWeb, Gtk::PACK_SHRINK);
    sbWeb.pack_start(spText, Gtk::PACK_EXPAND_WIDGET);
    spBug.set_text("问题提交");
    spBug.set_size_request(56, -1);
    spMenu.set_text("快速截图：Alt+B");
    spMenu.set_size_request(99, -1);
    spWebConfig.set_size_request(107, -1);
    spSC9.set_text("9格显示");
    spSC9.set_size_request(51, -1);
    sbWeb.pack_end(spSC9, Gtk::PACK_SHRINK);
    sbWeb.pack_end(spWebConfig, Gtk::PACK_SHRINK);
    sbWeb.pack_end(spMenu, Gtk::PACK_SHRINK);
    sbWeb.pack_end(spBug, Gtk::PACK_SHRINK);
    sbWeb.set_size_request(-1, 19);
    pnlMain.pack_end(sbWeb, Gtk::PACK_SHRINK);

    N11.set_label("修改标签页名称");
    N1.set_label("锁定标签页");
    N31.set_label("保护标签页");
    N22.set_label("新建浏览页");
    N11.signal_activate().connect([this] { N11Click(); });
    N1.signal_activate().connect([this] {
        if (!N1.get_inconsistent()) N1Click();
    });
    N31.signal_activate().connect([this] { N31Click(); });
    N22.signal_activate().connect([this] { N22Click(); });
    popTab.append(N11);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    popTab.append(N1);
    popTab.append(N31);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    // Adding to the favorites comes with the favorites themselves.
    auto* N19 = Gtk::manage(new Gtk::MenuItem("添加到收藏夹"));
    N19->set_sensitive(false);
    popTab.append(*N19);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    popTab.append(N22);
    popTab.show_all();

    Gtk::RadioMenuItem::Group group = mi0.get_group();
    for (Gtk::RadioMenuItem* item : {&mi300, &mi600, &mi1800, &mi3600, &miCust}) item->set_group(group);
    const std::pair<Gtk::RadioMenuItem*, RefreshItem> items[] = {
        {&mi0, RefreshItem::Off},     {&mi300, RefreshItem::Min5},  {&mi600, RefreshItem::Min10},
        {&mi1800, RefreshItem::Min30}, {&mi3600, RefreshItem::Min60}};
    for (const auto& [item, which] : items) {
        item->signal_activate().connect([this, item = item, which = which] {
            if (item->get_active()) SetRefresh(which);
        });
        pmWebConfig.append(*item);
    }
    miCust.signal_activate().connect([this] {
        if (miCust.get_active()) miCustClick();
    });
    pmWebConfig.append(miCust);
    pmWebConfig.show_all();

    add(pnlMain);
    show_all_children();
    add_events(Gdk::SCROLL_MASK);

    Quit = [] { Gtk::Main::quit(); };
    AskCloseType = [this](std::string& value, bool& remember) {
        return kivo::AskCloseType(*this, value, remember);
    };
    // The boss key, with exact modifiers (Ctrl+Shift+B is not it). A key another program holds
    // stays without effect.
    keybinder_init();
    keybinder_bind(
        "<Ctrl>B", [](const char*, void* self) { static_cast<TFrmMultOpenApp*>(self)->BossKey(); },
        this);
    tray_ = Gtk::StatusIcon::create("applications-games");
    tray_->signal_activate().connect([this] { RestoreFromTray(); });
    tray_->signal_popup_menu().connect([this](guint button, guint32 time) {
        pmMainApp.popup(button, time);
    });
    auto* N2 = Gtk::manage(new Gtk::MenuItem("退出"));
    N2->signal_activate().connect([this] {
        actAppHaltExecute();
        Quit();
    });
    pmMainApp.append(*N2);
    pmMainApp.show_all();

    InputBox = [](const std::string& caption, const std::string& prompt, std::string& text,
                  int max_length, bool masked) {
        return ShowInputBox(caption, prompt, text, masked, max_length);
    };
    Confirm = [this](const std::string& text, const std::string& caption) {
        Gtk::MessageDialog box(*this, text, false, Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_YES_NO, true);
        box.set_title(caption);
        box.set_default_response(Gtk::RESPONSE_NO);
        return box.run() == Gtk::RESPONSE_YES;
    };
    ShowError = [this](const std::string& text, const std::string& caption) {
        Gtk::MessageDialog box(*this, text, false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK, true);
        box.set_title(caption);
        box.run();
    };
}

void TFrmMultOpenApp::BuildTitleRow() {
    lblTitle.set_text(kApplicationTitle);
    lblTitle.set_xalign(0);
    lblTitle.set_margin_start(8);
    btnMin.set_label("—");
    btnMin.set_tooltip_text("最小化");
    btnMax.set_label("□");
    btnMax.set_tooltip_text("最大化/还原");
    btnClose.set_label("×");
    btnClose.set_tooltip_text("关闭");
    for (Gtk::Button* button : {&btnMin, &btnMax, &btnClose}) {
        button->set_relief(Gtk::RELIEF_NONE);
        button->set_size_request(20, 18);
        button->set_focus_on_click(false);
    }
    btnMin.signal_clicked().connect([this] { btnMinClick(); });
    btnMax.signal_clicked().connect([this] { btnMaxClick(); });
    btnClose.signal_clicked().connect([this] { btnCloseClick(); });
    pnlTitleRow.pack_start(lblTitle, Gtk::PACK_EXPAND_WIDGET);
    pnlTitleRow.pack_end(btnClose, Gtk::PACK_SHRINK);
    pnlTitleRow.pack_end(btnMax, Gtk::PACK_SHRINK);
    pnlTitleRow.pack_end(btnMin, Gtk::PACK_SHRINK);
    pnlMainBtn.add(pnlTitleRow);
    pnlMainBtn.set_size_request(-1, 27);
    pnlMainBtn.override_background_color(Gdk::RGBA("#136EB7"));
    lblTitle.override_color(Gdk::RGBA("#FFFFFF"));
    // The title row moves the window; a double click toggles maximise.
    pnlMainBtn.signal_button_press_event().connect([this](GdkEventButton* event) {
        if (event->type == GDK_2BUTTON_PRESS) {
            btnMaxClick();
            return true;
        }
        int x = 0, y = 0;
        get_pointer(x, y);
        // The resize bands overlap the row's edges: those presses resize instead.
        if (FrameHitTest(x, y, get_width(), get_height()) != HitTest::Default) return false;
        if (event->type == GDK_BUTTON_PRESS) {
            begin_move_drag(static_cast<int>(event->button), static_cast<int>(event->x_root),
                            static_cast<int>(event->y_root), event->time);
        }
        return true;
    });
    pnlMain.pack_start(pnlMainBtn, Gtk::PACK_SHRINK);
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
        {HitTest::TopLeft, "nw-resize"}, {HitTest::BottomLeft, "sw-resize"},
        {HitTest::BottomRight, "se-resize"}, {HitTest::TopRight, "ne-resize"},
        {HitTest::Left, "w-resize"},     {HitTest::Bottom, "s-resize"},
        {HitTest::Right, "e-resize"},    {HitTest::Top, "n-resize"}};
    const HitTest hit = FrameHitTest(x, y, get_width(), get_height());
    Glib::RefPtr<Gdk::Cursor> cursor;
    for (const auto& [which, name] : cursors) {
        if (which == hit) cursor = Gdk::Cursor::create(get_display(), name);
    }
    if (auto window = get_window()) window->set_cursor(cursor);
    return Gtk::Window::on_motion_notify_event(event);
}

void TFrmMultOpenApp::btnMaxClick() {
    Gdk::Rectangle area;
    get_display()->get_monitor_at_window(get_window())->get_workarea(area);
    int left = 0, top = 0, width = 0, height = 0;
    get_position(left, top);
    get_size(width, height);
    const Bounds target = maximize_.Toggle({left, top, width, height},
                                           {area.get_x(), area.get_y(), area.get_width(),
                                            area.get_height()});
    hide();
    move(target.Left, target.Top);
    resize(target.Width, target.Height);
    show();
}

void TFrmMultOpenApp::btnMinClick() {
    hide();
    InTray_ = true;
}

void TFrmMultOpenApp::RestoreFromTray() {
    InTray_ = false;
    show();
    present();
}

void TFrmMultOpenApp::BossKey() {
    if (InTray_)
        RestoreFromTray();
    else
        btnMinClick();
}

bool TFrmMultOpenApp::on_window_state_event(GdkEventWindowState* event) {
    // A minimise requested by the desktop goes to the tray as well.
    if ((event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) &&
        (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED)) {
        deiconify();
        btnMinClick();
    }
    return Gtk::Window::on_window_state_event(event);
}

bool TFrmMultOpenApp::on_delete_event(GdkEventAny*) {
    // Closed by another route than the close button: the process ends at once.
    Quit();
    return true;
}

void TFrmMultOpenApp::btnCloseClick() {
    std::string value = "1";
    try {
        if (database_) {
            auto statement = database_->Prepare16(data::sql::kSelectCloseType);
            value = statement.Step() == data::TDISQLite3Statement::kRow ? statement.Column_Str(0) : "";
        }
        if (value == "-1") {
            bool remember = false;
            if (!AskCloseType(value, remember)) return;
            if (remember && database_) {
                auto update = database_->Prepare16(data::sql::kUpdateCloseType);
                update.Bind_Str(1, value);
                update.Step();
            }
        }
    } catch (const std::exception&) {
        // The value reached so far decides.
    }
    if (value == "0") {
        btnMinClick();
    } else if (value == "1") {
        actAppHaltExecute();
        Quit();
    }
}

void TFrmMultOpenApp::actAppHaltExecute() {
    hide();
    keybinder_unbind_all("<Ctrl>B");
    allow_switch_ = true;
    std::vector<pid_t> workers;
    for (const auto& sheet : sheets_) {
        if (auto proxy = sheet->SharedWebControl(); proxy && proxy->DefaultInterface())
            workers.push_back(proxy->DefaultInterface()->WorkerPid());
    }
    while (!sheets_.empty()) {
        N_TRzTabSheet* first = Tab(0);
        if (!first) first = sheets_.front().get();
        try {
            if (first->HasWebControl()) first->WebControl().FreeWeb(first->TabHandle());
        } catch (const std::exception&) {
            // The tab goes all the same.
        }
        DestroyTab(first);
    }
    WarmUpControl.reset();
    // The released workers end by themselves; their session folders go once they have.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    auto running = [](pid_t pid) { return pid > 0 && kill(pid, 0) == 0; };
    while (std::any_of(workers.begin(), workers.end(), running) &&
           std::chrono::steady_clock::now() < deadline) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(20000);
    }
    try {
        CleanUpRunFolders(AppPath(), CacheFolders.GetCacheRoot());
    } catch (const std::exception&) {
    }
}

TFrmMultOpenApp::~TFrmMultOpenApp() {
    keybinder_unbind_all("<Ctrl>B");
    allow_switch_ = true;
    while (!sheets_.empty()) DestroyTab(sheets_.back().get());
}

int32_t TFrmMultOpenApp::Handle() const {
    auto window = get_window();
    if (!window) return 0;
    return static_cast<int32_t>(gdk_x11_window_get_xid(const_cast<GdkWindow*>(window->gobj())));
}

TabEventHandlers TFrmMultOpenApp::Handlers() {
    TabEventHandlers handlers;
    handlers.DocumentComplete = [this](TWebControl& s, bool top, const std::u16string& url,
                                       int32_t tab) { WebControl1DocumentComplete(s, top, url, tab); };
    handlers.Foreground = [this](TWebControl& s) { WebControl1Foreground(s); };
    handlers.NewTab = [this](TWebControl& s, int32_t& tab, int32_t web) {
        WebControl1NewTab(s, tab, web);
    };
    handlers.ProgressChange = [this](TWebControl& s, int32_t p, int32_t max, int32_t tab) {
        WebControl1ProgressChange(s, p, max, tab);
    };
    handlers.StatusTextChange = [this](TWebControl& s, const std::u16string& text, int32_t tab) {
        WebControl1StatusTextChange(s, text, tab);
    };
    realize();
    handlers.ServerWindow = Handle();
    return handlers;
}

N_TRzTabSheet* TFrmMultOpenApp::AppendTab() {
    auto sheet = std::make_unique<N_TRzTabSheet>(Handlers());
    N_TRzTabSheet* tab = sheet.get();
    tab->IsActive = [this, tab] { return ActiveTab() == tab; };
    tab->SetCaption(kLoadingCaption);
    tab->SetHint(kLoadingCaption);
    tab->CloseButton().signal_clicked().connect([this] { CloseActiveTab(); });
    sheets_.push_back(std::move(sheet));
    allow_switch_ = true;
    pcMain.append_page(*tab, tab->TabLabel());
    allow_switch_ = false;
    pcMain.set_tab_reorderable(*tab, true);
    pcMain.set_menu_label_text(*tab, tab->Hint());
    tab->show();
    tab->TabHandle();  // realises the window the worker will place the view in
    return tab;
}

N_TRzTabSheet* TFrmMultOpenApp::NewGameTab() {
    N_TRzTabSheet* tab = AppendTab();
    tab->WebControl().CreateWeb(tab->TabHandle());
    allow_switch_ = true;
    pcMain.set_current_page(pcMain.page_num(*tab));
    allow_switch_ = false;
    if (pcMain.get_n_pages() == 1) pcMainChange();
    try {
        tab->WebControl().SetParent(tab->TabHandle());
    } catch (const std::exception&) {
    }
    return tab;
}

N_TRzTabSheet* TFrmMultOpenApp::OpenGame(const std::string& Url, const std::string& PostData,
                                         const std::string& CacheDir) {
    N_TRzTabSheet* tab = nullptr;
    RunInSession(CacheFolders, FreeSessionFolder(CacheDir), [&] {
        tab = NewGameTab();
        tab->GameUrlID.assign(1, '0');  // free browsing
        tab->WebControl().Navigate(tab->TabHandle(), Utf8ToUtf16(Url), Utf8ToUtf16(PostData));
    });
    return tab;
}

N_TRzTabSheet* TFrmMultOpenApp::FindTabByHandle(int32_t TabHandle) {
    for (int i = 0; i < pcMain.get_n_pages(); ++i) {
        auto* tab = dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(i));
        if (tab && SameTabHandle(TabHandle, static_cast<unsigned long>(tab->get_id()))) return tab;
    }
    return nullptr;
}

N_TRzTabSheet* TFrmMultOpenApp::ActiveTab() {
    const int index = pcMain.get_current_page();
    return index < 0 ? nullptr : dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(index));
}

N_TRzTabSheet* TFrmMultOpenApp::Tab(int index) {
    return dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(index));
}

void TFrmMultOpenApp::ActivateTab(int index) { pcMain.set_current_page(index); }

void TFrmMultOpenApp::DestroyTab(N_TRzTabSheet* Tab) {
    const bool was = allow_switch_;
    allow_switch_ = true;
    pcMain.remove_page(*Tab);
    allow_switch_ = was;
    std::erase_if(sheets_, [Tab](const auto& sheet) { return sheet.get() == Tab; });
}

bool TFrmMultOpenApp::pcMainChanging(N_TRzTabSheet& Tab) {
    if (!Tab.TabPassword.empty()) {
        std::string text;
        if (!InputBox("输入", "请输入解除保护的密码", text, 8, true)) return false;
        if (text != Tab.TabPassword) return false;
    }
    try {
        if (Tab.HasWebControl()) Tab.WebControl().SetParent(Tab.TabHandle());
    } catch (const std::exception&) {
        // The worker no longer answers: the tab goes, once the switch is over.
        Glib::signal_idle().connect_once([this, tab = &Tab] {
            for (const auto& sheet : sheets_) {
                if (sheet.get() == tab) return DestroyTab(tab);
            }
        });
    }
    return true;
}

void TFrmMultOpenApp::pcMainChange() {
    N_TRzTabSheet* active = ActiveTab();
    for (const auto& sheet : sheets_) sheet->SetCurrent(sheet.get() == active);
    if (!active) return;
    lblTitle.set_text(active->Hint().empty() ? std::string(kApplicationTitle)
                                             : active->Hint() + "-" + kApplicationTitle);
    try {
        if (active->HasWebControl())
            edtUrl.set_text(Utf16ToUtf8(active->WebControl().WebUrl(active->TabHandle())));
    } catch (const std::exception&) {
        Glib::signal_idle().connect_once([this, active] {
            for (const auto& sheet : sheets_) {
                if (sheet.get() == active) return DestroyTab(active);
            }
        });
        return;
    }
    if (NewTabPending) {
        try {
            active->WebControl().SetParent(active->TabHandle());
        } catch (const std::exception&) {
        }
    }
    NewTabPending = false;
    queue_draw();
}

bool TFrmMultOpenApp::pcMainClose() {
    try {
        if (pcMain.get_n_pages() == 1) return false;  // the last tab never closes
        N_TRzTabSheet* active = ActiveTab();
        if (!active) return false;
        if (active->TabLocked && !Confirm("是否关闭当前页面？", "提示")) return false;
        if (active->HasWebControl()) active->WebControl().FreeWeb(active->TabHandle());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TFrmMultOpenApp::CloseActiveTab() {
    if (!pcMainClose()) return false;
    N_TRzTabSheet* active = ActiveTab();
    const int index = pcMain.page_num(*active);
    DestroyTab(active);
    // The tab to its left becomes active (or the new first one), asked as any activation is.
    const int left = std::max(index - 1, 0);
    if (left < pcMain.get_n_pages()) {
        if (pcMain.get_current_page() == left) {
            if (N_TRzTabSheet* tab = Tab(left); tab && pcMainChanging(*tab)) pcMainChange();
        } else {
            pcMain.set_current_page(left);
        }
    }
    return true;
}

int TFrmMultOpenApp::TabAt(double x, double y) {
    for (int i = 0; i < pcMain.get_n_pages(); ++i) {
        Gtk::Widget* label = pcMain.get_tab_label(*pcMain.get_nth_page(i));
        if (!label || !label->get_mapped()) continue;
        int lx = 0, ly = 0;
        if (!label->translate_coordinates(pcMain, 0, 0, lx, ly)) continue;
        const auto a = label->get_allocation();
        if (x >= lx && x < lx + a.get_width() && y >= ly && y < ly + a.get_height()) return i;
    }
    return -1;
}

void TFrmMultOpenApp::OpenBlankTab() {
    try {
        OpenGame(kBlankPage, "", "");
    } catch (const std::exception&) {
        // Dropped, as every error that escapes a handler.
    }
}

bool TFrmMultOpenApp::pcMainButtonPress(GdkEventButton* event) {
    // Only presses on the strip itself: the pages below it are the workers' views.
    if (event->window != pcMain.get_window()->gobj() && TabAt(event->x, event->y) < 0 &&
        event->y > 30)
        return false;
    const int over = TabAt(event->x, event->y);
    const int active = pcMain.get_current_page();
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1) {
        if (over < 0)
            OpenBlankTab();
        else if (over == active)
            CloseActiveTab();
        return true;
    }
    if (event->type == GDK_BUTTON_PRESS && event->button == 3) {
        if (over == active && over >= 0) {
            if (N_TRzTabSheet* tab = ActiveTab()) {
                N1.set_active(tab->TabLocked);
                N31.set_active(!tab->TabPassword.empty());
            }
            popTab.popup_at_pointer(reinterpret_cast<GdkEvent*>(event));
        } else if (over < 0) {
            OpenBlankTab();
        }
        return true;
    }
    return false;
}

bool TFrmMultOpenApp::on_scroll_event(GdkEventScroll* event) {
    if (WheelBusy) return true;
    WheelBusy = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{WheelBusy};
    int x = 0, y = 0;
    if (!translate_coordinates(pcMain, static_cast<int>(event->x), static_cast<int>(event->y), x, y))
        return true;
    if (TabAt(x, y) < 0) return true;
    const int active = pcMain.get_current_page();
    const bool away = event->direction == GDK_SCROLL_UP ||
                      (event->direction == GDK_SCROLL_SMOOTH && event->delta_y < 0);
    if (away && active > 0) pcMain.set_current_page(active - 1);
    if (!away && active < pcMain.get_n_pages() - 1) pcMain.set_current_page(active + 1);
    return true;
}

void TFrmMultOpenApp::FitTabCaption(N_TRzTabSheet& Tab) {
    auto layout = Tab.TabLabel().create_pango_layout("");
    const auto caption = FitTabCaptionText(Tab.Hint(), kTabWidth, [&](const std::string& text) {
        layout->set_text(text);
        int width = 0, height = 0;
        layout->get_pixel_size(width, height);
        return width;
    });
    if (caption) Tab.SetCaption(*caption);
    pcMain.set_menu_label_text(Tab, Tab.Hint());
    if (&Tab == ActiveTab()) pcMainChange();
}

N_TRzTabSheet* TFrmMultOpenApp::UpdateTabHint(int32_t TabHandle) {
    N_TRzTabSheet* tab = FindTabByHandle(TabHandle);
    if (tab && tab->AllowChangeCaption)
        tab->SetHint(TabHint(tab->LoginUser, Utf16ToUtf8(tab->WebControl().WebTitle(TabHandle))));
    return tab;
}

void TFrmMultOpenApp::WebControl1DocumentComplete(TWebControl&, bool IsApplication,
                                                  const std::u16string&, int32_t TabHandle) {
    if (!IsApplication) return;
    N_TRzTabSheet* tab = UpdateTabHint(TabHandle);
    if (!tab) return;
    FitTabCaption(*tab);
    if (tab->LoginAcc) {
        tab->LoginAcc = false;  // the fill is attempted once
        for (const auto& [name, value] : LoginFillCalls(tab->LoginInfo))
            tab->WebControl().LoginWeb(Utf8ToUtf16(name), Utf8ToUtf16(value), TabHandle);
    }
}

void TFrmMultOpenApp::WebControl1NewTab(TWebControl& Sender, int32_t& TabHandle, int32_t) {
    NewTabPending = true;
    N_TRzTabSheet* opener = FindTabByHandle(TabHandle);
    std::shared_ptr<TWebControl> proxy = opener ? opener->SharedWebControl() : nullptr;
    if (!proxy) {
        for (const auto& sheet : sheets_) {
            if (sheet->SharedWebControl().get() == &Sender) proxy = sheet->SharedWebControl();
        }
    }
    N_TRzTabSheet* tab = AppendTab();
    tab->ShareWebControl(proxy);
    TabHandle = tab->TabHandle();
}

void TFrmMultOpenApp::WebControl1ProgressChange(TWebControl&, int32_t Progress, int32_t ProgressMax,
                                                int32_t TabHandle) {
    N_TRzTabSheet* active = ActiveTab();
    if (!active || !SameTabHandle(TabHandle, static_cast<unsigned long>(active->get_id()))) return;
    if (auto percent = ProgressPercent(Progress, ProgressMax)) ShowProgress(*percent);
}

void TFrmMultOpenApp::WebControl1StatusTextChange(TWebControl&, const std::u16string& Text,
                                                  int32_t TabHandle) {
    N_TRzTabSheet* active = ActiveTab();
    if (!active || !SameTabHandle(TabHandle, static_cast<unsigned long>(active->get_id()))) return;
    ShowStatusText(Utf16ToUtf8(Text));
}

void TFrmMultOpenApp::WebControl1Foreground(TWebControl&) {}

void TFrmMultOpenApp::ShowProgress(int percent) {
    progress_shown_ = percent;
    psWeb.set_fraction(std::clamp(percent, 0, 100) / 100.0);
    psWeb.set_text(std::to_string(percent) + "%");
}

void TFrmMultOpenApp::ShowStatusText(const std::string& text) { spText.set_text(text); }

RefreshItem TFrmMultOpenApp::pmWebConfigPopup() {
    N_TRzTabSheet* tab = ActiveTab();
    std::optional<uint32_t> interval;
    if (tab && tab->tmrFresh.Enabled()) interval = tab->tmrFresh.Interval();
    const RefreshItem item = RefreshItemFor(interval);
    Gtk::RadioMenuItem* items[] = {&mi0, &mi300, &mi600, &mi1800, &mi3600, &miCust};
    if (item == RefreshItem::Custom) miCust.set_label(CustomRefreshCaption(*interval));
    Gtk::RadioMenuItem* checked = items[static_cast<int>(item)];
    g_signal_handlers_block_matched(checked->gobj(), G_SIGNAL_MATCH_ID,
                                    g_signal_lookup("activate", GTK_TYPE_MENU_ITEM), 0, nullptr,
                                    nullptr, nullptr);
    checked->set_active(true);
    g_signal_handlers_unblock_matched(checked->gobj(), G_SIGNAL_MATCH_ID,
                                      g_signal_lookup("activate", GTK_TYPE_MENU_ITEM), 0, nullptr,
                                      nullptr, nullptr);
    return item;
}

void TFrmMultOpenApp::SetRefresh(RefreshItem item) {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab) return;
    if (item == RefreshItem::Off) {
        tab->tmrFresh.SetEnabled(false);
        return;
    }
    tab->tmrFresh.SetInterval(RefreshInterval(item));
    tab->tmrFresh.SetEnabled(true);
}

void TFrmMultOpenApp::miCustClick() {
    std::string text = CustomRefreshPromptText(miCust.get_label());
    if (!InputBox("输入", "间隔不能小于10秒", text, 20, false)) {
        pmWebConfigPopup();
        return;
    }
    N_TRzTabSheet* tab = ActiveTab();
    if (const auto seconds = ParseRefreshSeconds(text); seconds && tab) {
        tab->tmrFresh.SetInterval(*seconds * 1000);
        tab->tmrFresh.SetEnabled(true);
        miCust.set_label(std::string(kCustomRefreshPrefix) + text);
        return;
    }
    if (tab) tab->tmrFresh.SetEnabled(false);
    ShowError("输入错误！", "提示");
    pmWebConfigPopup();
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

void TFrmMultOpenApp::btnGoClick() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab) return;
    const std::string typed = edtUrl.get_text();  // as typed: no trimming, no scheme added
    RecordTypedUrl(UserSettings(), typed);
    if (tab->HasWebControl() &&
        Utf16ToUtf8(tab->WebControl().WebUrl(tab->TabHandle())) == kBlankPage) {
        tab->WebControl().Navigate(tab->TabHandle(), Utf8ToUtf16(typed), u"");
        return;
    }
    // Never in a tab that may hold an account's cookies: a new tab with a session of its own.
    OpenGame(typed, "", "");
}

void TFrmMultOpenApp::edtSearchRightButtonClick() {
    const std::string address = SearchAddress(search_engine_);
    if (address.empty()) return;
    // Not trimmed, not encoded: the engine takes the text as it is.
    OpenGame(address + edtSearch.get_text(), "", "");
}

void TFrmMultOpenApp::btnBackClick() {
    if (N_TRzTabSheet* tab = ActiveTab(); tab && tab->HasWebControl())
        tab->WebControl().WebBack(tab->TabHandle());
}

void TFrmMultOpenApp::btnNextClick() {
    if (N_TRzTabSheet* tab = ActiveTab(); tab && tab->HasWebControl())
        tab->WebControl().WebForward(tab->TabHandle());
}

void TFrmMultOpenApp::btnRefreshClick() {
    if (N_TRzTabSheet* tab = ActiveTab(); tab && tab->HasWebControl())
        tab->WebControl().WebRefresh(tab->TabHandle());
}

void TFrmMultOpenApp::N11Click() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab) return;
    std::string text = tab->Hint();
    if (!InputBox("输入", "请输入一个新的名字", text, 20, false)) return;
    tab->AllowChangeCaption = false;
    tab->SetHint(text);
    FitTabCaption(*tab);
}

void TFrmMultOpenApp::N1Click() {
    if (N_TRzTabSheet* tab = ActiveTab()) tab->TabLocked = !tab->TabLocked;
}

void TFrmMultOpenApp::N31Click() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab) return;
    std::string text = tab->TabPassword;
    if (InputBox("输入", "请输入保护密码", text, 8, true)) tab->TabPassword = text;
}

void TFrmMultOpenApp::N22Click() { OpenBlankTab(); }

}  // namespace kivo
