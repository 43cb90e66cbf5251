#include "ui/tabs/tab_strip.h"

#include <algorithm>

#include "platform/text.h"
#include "session/login_fill.h"
#include "webcontrol/page_gates.h"
#include "session/keep_running.h"

namespace kivo {

namespace {

constexpr const char* kBlankPage = "about:blank";

// Sets a check mark as shown. GTK emits "activate" for it; `syncing` tells the item's handlers
// that no user chose it.
void SetCheckedQuietly(Gtk::CheckMenuItem& item, bool checked, bool& syncing) {
    syncing = true;
    item.set_active(checked);
    syncing = false;
}

}  // namespace

TTabStrip::TTabStrip(TLinks links) : links_(std::move(links)) {
    pcMain.get_style_context()->add_class("kivo-tabs");
    pcMain.set_scrollable(true);
    pcMain.popup_enable();  // the menu listing every tab in strip order
    pcMain.set_show_border(false);
    pcMain.signal_switch_page().connect(
        [this](Gtk::Widget* page, guint) {
            if (allow_switch_)
                return;
            auto* tab = dynamic_cast<N_TRzTabSheet*>(page);
            if (tab && !pcMainChanging(*tab)) {
                g_signal_stop_emission_by_name(pcMain.gobj(), "switch-page");
                return;
            }
            approved_ = tab;
        },
        false);
    pcMain.signal_switch_page().connect(
        [this](Gtk::Widget* page, guint) {
            // A protected tab that became current without its password (the strip picked it
            // after a removal) stays covered until the password is given.
            auto* tab = dynamic_cast<N_TRzTabSheet*>(page);
            covered_ = nullptr;
            if (tab && !tab->TabPassword.empty() && tab != approved_) {
                covered_ = tab;
                gtk_widget_set_child_visible(GTK_WIDGET(tab->gobj()), FALSE);
            }
            approved_ = nullptr;
            pcMainChange();
        },
        true);
    pcMain.signal_button_press_event().connect(sigc::mem_fun(*this, &TTabStrip::pcMainButtonPress),
                                               false);
    pcMain.signal_page_reordered().connect([this](Gtk::Widget*, guint) { NotifyTabsChanged(); });
    pnlTabArea.add(pcMain);
    pnlTabArea.add_overlay(pageEnded_.Widget());
    // The menu button at the end of the strip lists every tab in strip order.
    btnTabList.set_relief(Gtk::RELIEF_NONE);
    btnTabList.get_accessible()->set_name("全部标签");
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
        if (!pcMain.has_focus())
            pcMain.grab_focus();
        return false;
    });
    BuildMenus();
}

void TTabStrip::BuildMenus() {
    N11.set_label("修改标签页名称");
    N1.set_label("锁定标签页");
    N31.set_label("保护标签页");
    N22.set_label("新建浏览页");
    N11.signal_activate().connect([this] { N11Click(); });
    N1.signal_activate().connect([this] {
        if (!syncing_marks_)
            N1Click();
    });
    N31.signal_activate().connect([this] {
        if (!syncing_marks_)
            N31Click();
    });
    N22.signal_activate().connect([this] { N22Click(); });
    miKeepRunning.signal_activate().connect([this] {
        if (!syncing_marks_)
            miKeepRunningClick();
    });
    popTab.append(N11);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    popTab.append(N1);
    popTab.append(N31);
    popTab.append(miKeepRunning);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    auto* N19 = Gtk::manage(new Gtk::MenuItem("添加到收藏夹"));
    N19->signal_activate().connect([this] { N19Click(); });
    popTab.append(*N19);
    popTab.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
    popTab.append(N22);
    popTab.show_all();

    Gtk::RadioMenuItem::Group group = mi0.get_group();
    for (Gtk::RadioMenuItem* item : {&mi300, &mi600, &mi1800, &mi3600, &miCust})
        item->set_group(group);
    const std::pair<Gtk::RadioMenuItem*, RefreshItem> items[] = {{&mi0, RefreshItem::Off},
                                                                 {&mi300, RefreshItem::Min5},
                                                                 {&mi600, RefreshItem::Min10},
                                                                 {&mi1800, RefreshItem::Min30},
                                                                 {&mi3600, RefreshItem::Min60}};
    for (const auto& [item, which] : items) {
        item->signal_activate().connect([this, item = item, which = which] {
            if (item->get_active() && !syncing_marks_)
                SetRefresh(which);
        });
        pmWebConfig.append(*item);
    }
    miCust.signal_activate().connect([this] {
        if (miCust.get_active() && !syncing_marks_)
            miCustClick();
    });
    pmWebConfig.append(miCust);
    pmWebConfig.show_all();
}

TabEventHandlers TTabStrip::Handlers() {
    TabEventHandlers handlers;
    handlers.DocumentComplete = [this](TWebControl& s, bool top, const std::u16string& url,
                                       int32_t tab) {
        WebControl1DocumentComplete(s, top, url, tab);
    };
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
    handlers.BrowserKey = [this](TWebControl&, int32_t command, int32_t tab) {
        if (links_.BrowserKey)
            links_.BrowserKey(command, tab);
    };
    handlers.FindCount = [this](TWebControl&, int32_t count, int32_t tab) {
        if (links_.FindCount)
            links_.FindCount(count, tab);
    };
    handlers.PopupBlocked = [this](TWebControl&, const std::u16string& url, int32_t tab) {
        WebControl1PopupBlocked(Utf16ToUtf8(url), tab);
    };
    handlers.ServerWindow = links_.ServerWindow();
    handlers.WatchDownloads = links_.WatchDownloads;
    return handlers;
}

N_TRzTabSheet* TTabStrip::AppendTab() {
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
    ShowPages();       // a tab opened behind (a pop-up) draws only once it comes to the front
    NotifyTabsChanged();
    return tab;
}

N_TRzTabSheet* TTabStrip::NewGameTab() {
    N_TRzTabSheet* tab = AppendTab();
    tab->ConnectWebControl().CreateWeb(tab->TabHandle());
    allow_switch_ = true;
    pcMain.set_current_page(pcMain.page_num(*tab));
    allow_switch_ = false;
    if (pcMain.get_n_pages() == 1)
        pcMainChange();
    try {
        tab->WebControl().SetParent(tab->TabHandle());
    } catch (const std::exception&) {
    }
    return tab;
}

N_TRzTabSheet* TTabStrip::FindTabByHandle(int32_t TabHandle) {
    for (int i = 0; i < pcMain.get_n_pages(); ++i) {
        auto* tab = dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(i));
        if (tab && SameTabHandle(TabHandle, static_cast<unsigned long>(tab->get_id())))
            return tab;
    }
    return nullptr;
}

N_TRzTabSheet* TTabStrip::ActiveTab() {
    const int index = pcMain.get_current_page();
    N_TRzTabSheet* tab =
        index < 0 ? nullptr : dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(index));
    return tab == covered_ ? nullptr : tab;  // a covered tab is not active until it is unlocked
}

N_TRzTabSheet* TTabStrip::Tab(int index) {
    return dynamic_cast<N_TRzTabSheet*>(pcMain.get_nth_page(index));
}

void TTabStrip::ActivateTab(int index) {
    if (covered_ && Tab(index) == covered_)
        AskCoveredTab();  // already current: the strip would not switch to it again
    else
        pcMain.set_current_page(index);
}

void TTabStrip::DestroyTab(N_TRzTabSheet* Tab) {
    // Out of every list first: the removal and the sheet's end call into workers, and the
    // events those calls serve must find the other tabs only.
    auto found = std::find_if(sheets_.begin(), sheets_.end(),
                              [Tab](const auto& sheet) { return sheet.get() == Tab; });
    if (found == sheets_.end())
        return;
    std::unique_ptr<N_TRzTabSheet> sheet = std::move(*found);
    sheets_.erase(found);
    if (covered_ == Tab)
        covered_ = nullptr;
    if (addressShownFor_ == Tab)
        addressShownFor_ = nullptr;
    if (approved_ == Tab)
        approved_ = nullptr;
    const bool was = allow_switch_;
    allow_switch_ = true;
    pcMain.remove_page(*Tab);
    allow_switch_ = was;
    NotifyTabsChanged();
}

void TTabStrip::NotifyTabsChanged() {
    if (links_.TabsChanged)
        links_.TabsChanged();
}

bool TTabStrip::pcMainChanging(N_TRzTabSheet& Tab) {
    if (!Tab.TabPassword.empty()) {
        std::string text;
        if (!links_.InputBox("输入", "请输入解除保护的密码", text, 8, true))
            return false;
        if (!IsLive(&Tab) || text != Tab.TabPassword)
            return false;  // may have gone meanwhile
    }
    try {
        if (Tab.HasWebControl() && !Tab.PageEnded)
            Tab.WebControl().SetParent(Tab.TabHandle());
    } catch (const std::exception&) {
        MarkPageEnded(&Tab);  // the worker no longer answers
    }
    return true;
}

void TTabStrip::SetTabsCovered(bool covered) {
    tabsCovered_ = covered;
    ShowPages();
}

void TTabStrip::ShowPages() {
    N_TRzTabSheet* front = tabsCovered_ ? nullptr : ActiveTab();
    // The tab coming to the front is told first, so that it draws while the others stop.
    if (front)
        front->SetPageShown(true);
    for (const auto& sheet : sheets_) {
        if (sheet && sheet.get() != front)
            sheet->SetPageShown(sheet->KeepRunning);
    }
}

void TTabStrip::pcMainChange() {
    N_TRzTabSheet* active = ActiveTab();
    ShowPages();
    for (const auto& sheet : sheets_) {
        if (sheet)
            sheet->SetCurrent(sheet.get() == active);
    }
    const bool same_tab = active == addressShownFor_;
    addressShownFor_ = active;
    if (!active) {
        ShowPageOrNotice(nullptr);
        links_.ShowTitle("");
        links_.ShowAddress("", false);
        return;
    }
    links_.ShowTitle(active->Hint());
    ShowPageOrNotice(active);
    try {
        if (active->PageEnded)
            links_.ShowAddress(active->Address, same_tab);
        else if (active->HasWebControl())
            links_.ShowAddress(Utf16ToUtf8(active->WebControl().WebUrl(active->TabHandle())),
                               same_tab);
    } catch (const std::exception&) {
        MarkPageEnded(active);
        return;
    }
    if (NewTabPending && !active->PageEnded) {
        try {
            active->WebControl().SetParent(active->TabHandle());
        } catch (const std::exception&) {
        }
    }
    NewTabPending = false;
    if (Gtk::Widget* window = pcMain.get_toplevel())
        window->queue_draw();
    if (links_.ActiveTabChanged)
        links_.ActiveTabChanged();
}

bool TTabStrip::pcMainClose() {
    try {
        if (pcMain.get_n_pages() == 1)
            return false;  // the last tab never closes
        N_TRzTabSheet* active = ActiveTab();
        if (!active)
            return false;
        if (active->TabLocked && !links_.Confirm("是否关闭当前页面？", "提示"))
            return false;
        if (!ConfirmDownloadsEnd(*active))
            return false;
        // A tab whose page ended has nothing left to free in a worker.
        if (active->HasWebControl() && !active->PageEnded)
            active->WebControl().FreeWeb(active->TabHandle());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TTabStrip::ConfirmDownloadsEnd(N_TRzTabSheet& tab) {
    // The worker ends with its last tab, and its downloads with it.
    const auto proxy = tab.SharedWebControl();
    if (!proxy || tab.PageEnded || !links_.DownloadsRunning || !links_.DownloadsRunning(*proxy))
        return true;
    const auto sharing = std::count_if(sheets_.begin(), sheets_.end(), [&](const auto& sheet) {
        return sheet->SharedWebControl() == proxy;
    });
    if (sharing > 1)
        return true;
    if (!links_.Confirm(kCloseWhileDownloadingQuestion, "提示") || !IsLive(&tab))
        return false;
    if (links_.AbandonDownloads)
        links_.AbandonDownloads(*proxy);
    return true;
}

bool TTabStrip::CloseActiveTab() {
    if (!pcMainClose())
        return false;
    N_TRzTabSheet* active = ActiveTab();
    if (!active)
        return false;  // gone while the worker was asked
    const int index = pcMain.page_num(*active);
    DestroyTab(active);
    // The tab to its left becomes active (or the new first one), asked as any activation is.
    const int left = std::max(index - 1, 0);
    if (left < pcMain.get_n_pages()) {
        if (pcMain.get_current_page() != left) {
            pcMain.set_current_page(left);
        } else if (Tab(left) == covered_) {
            AskCoveredTab();
        } else if (N_TRzTabSheet* tab = Tab(left); tab && pcMainChanging(*tab)) {
            pcMainChange();
        }
    }
    return true;
}

void TTabStrip::AskCoveredTab() {
    N_TRzTabSheet* tab = covered_;
    if (!tab || !pcMainChanging(*tab) || tab != covered_)
        return;
    covered_ = nullptr;
    gtk_widget_set_child_visible(GTK_WIDGET(tab->gobj()), TRUE);
    pcMainChange();
}

bool TTabStrip::IsLive(const N_TRzTabSheet* tab) const {
    return std::any_of(sheets_.begin(), sheets_.end(),
                       [tab](const auto& sheet) { return sheet.get() == tab; });
}

void TTabStrip::MarkPageEnded(N_TRzTabSheet* tab) {
    // Later, once the switch or call that found the worker gone is over.
    Glib::signal_idle().connect_once(sigc::track_obj(
        [this, tab] {
            if (!IsLive(tab) || tab->PageEnded)
                return;
            // Only once the worker is really gone: a reopening may have given it a new one.
            const auto control = tab->SharedWebControl();
            if (control && control->DefaultInterface() && control->DefaultInterface()->Alive())
                return;
            tab->PageEnded = true;
            tab->LoginAcc = false;
            links_.ShowStatusText(DeadTabStatusText(tab->Caption()));
            if (tab == ActiveTab())
                ShowPageOrNotice(tab);
        },
        *this));
}

void TTabStrip::MarkTabsOfEndedWorkers() {
    for (const auto& sheet : sheets_) {
        const auto control = sheet ? sheet->SharedWebControl() : nullptr;
        if (control && control->DefaultInterface() && !control->DefaultInterface()->Alive())
            MarkPageEnded(sheet.get());
    }
}

void TTabStrip::ShowPageOrNotice(N_TRzTabSheet* active) {
    if (active && active->PageEnded) {
        // The empty tab window would cover the notice.
        gtk_widget_set_child_visible(GTK_WIDGET(active->gobj()), FALSE);
        pageEnded_.Show();
    } else {
        pageEnded_.Hide();
    }
}

void TTabStrip::ReconnectTab(N_TRzTabSheet& tab) {
    tab.DropWebControl();
    try {
        tab.ConnectWebControl().CreateWeb(tab.TabHandle());
    } catch (const std::exception&) {
        tab.DropWebControl();
        throw;
    }
    tab.PageEnded = false;
    if (&tab == ActiveTab()) {
        pageEnded_.Hide();
        gtk_widget_set_child_visible(GTK_WIDGET(tab.gobj()), TRUE);
        try {
            tab.WebControl().SetParent(tab.TabHandle());
        } catch (const std::exception&) {
            MarkPageEnded(&tab);
        }
    }
}

void TTabStrip::btnReopenClick() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab || !tab->PageEnded || reopening_ || !links_.ReopenTab)
        return;
    reopening_ = true;
    pageEnded_.SetBusy(true);
    try {
        links_.ReopenTab(*tab);
    } catch (const std::exception& e) {
        links_.ShowStatusText(e.what());
    }
    reopening_ = false;
    pageEnded_.SetBusy(false);
    if (IsLive(tab) && tab == ActiveTab())
        pcMainChange();
    NotifyTabsChanged();
}

int TTabStrip::TabAt(double x, double y) {
    for (int i = 0; i < pcMain.get_n_pages(); ++i) {
        Gtk::Widget* label = pcMain.get_tab_label(*pcMain.get_nth_page(i));
        if (!label || !label->get_mapped())
            continue;
        int lx = 0, ly = 0;
        if (!label->translate_coordinates(pcMain, 0, 0, lx, ly))
            continue;
        const auto a = label->get_allocation();
        if (x >= lx && x < lx + a.get_width() && y >= ly && y < ly + a.get_height())
            return i;
    }
    return -1;
}

void TTabStrip::OpenBlankTab() {
    try {
        // A blank page may complete before its tab hears of it: caption it as blank pages are.
        N_TRzTabSheet* tab = links_.OpenGame(kBlankPage, "", "");
        if (tab && IsLive(tab) && tab->Hint() == kLoadingCaption) {
            tab->SetHint(PageName("", kBlankPage));
            FitTabCaption(*tab);
        }
    } catch (const std::exception&) {
        // Dropped, as every error that escapes a handler.
    }
}

bool TTabStrip::pcMainButtonPress(GdkEventButton* event) {
    // Only presses on the strip itself: the pages below it are the workers' views.
    if (event->window != pcMain.get_window()->gobj() && TabAt(event->x, event->y) < 0 &&
        event->y > 30)
        return false;
    const int over = TabAt(event->x, event->y);
    const int active = pcMain.get_current_page();
    if (event->type == GDK_BUTTON_PRESS && event->button == 1 && over >= 0) {
        // A protected tab asks for its password after the press, not inside the strip's own
        // handling of it: a prompt there would leave the strip waiting for a release that goes
        // to the prompt, and the next click on the tab would do nothing.
        N_TRzTabSheet* tab = Tab(over);
        if (tab && (tab == covered_ || (over != active && !tab->TabPassword.empty()))) {
            Glib::signal_idle().connect_once(sigc::track_obj(
                [this, tab] {
                    if (IsLive(tab))
                        ActivateTab(pcMain.page_num(*tab));
                },
                *this));
            return true;
        }
    }
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1) {
        if (over < 0)
            OpenBlankTab();
        else if (over == active)
            CloseActiveTab();
        return true;
    }
    if (event->type == GDK_BUTTON_PRESS && event->button == 3) {
        if (over == active && over >= 0) {
            popTabPopup();
            popTab.popup_at_pointer(reinterpret_cast<GdkEvent*>(event));
        } else if (over < 0) {
            OpenBlankTab();
        }
        return true;
    }
    return false;
}

bool TTabStrip::WindowScroll(Gtk::Widget& window, GdkEventScroll* event) {
    if (WheelBusy)
        return true;
    WheelBusy = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{WheelBusy};
    int x = 0, y = 0;
    if (!window.translate_coordinates(pcMain, static_cast<int>(event->x),
                                      static_cast<int>(event->y), x, y))
        return true;
    if (TabAt(x, y) < 0)
        return true;
    const int active = pcMain.get_current_page();
    const bool away = event->direction == GDK_SCROLL_UP ||
                      (event->direction == GDK_SCROLL_SMOOTH && event->delta_y < 0);
    if (away && active > 0)
        pcMain.set_current_page(active - 1);
    if (!away && active < pcMain.get_n_pages() - 1)
        pcMain.set_current_page(active + 1);
    return true;
}

void TTabStrip::FitTabCaption(N_TRzTabSheet& Tab) {
    auto layout = Tab.TabLabel().create_pango_layout("");
    const auto caption = FitTabCaptionText(Tab.Hint(), kTabWidth, [&](const std::string& text) {
        layout->set_text(text);
        int width = 0, height = 0;
        layout->get_pixel_size(width, height);
        return width;
    });
    if (caption)
        Tab.SetCaption(*caption);
    pcMain.set_menu_label_text(Tab, Tab.Hint());
    if (&Tab == ActiveTab())
        pcMainChange();
}

N_TRzTabSheet* TTabStrip::UpdateTabHint(int32_t TabHandle) {
    N_TRzTabSheet* tab = FindTabByHandle(TabHandle);
    if (!tab || !tab->AllowChangeCaption)
        return tab;
    // While the worker answers, it may report its next page, whose handler then runs inside
    // these calls: this older completion must not put the older page's name back.
    const uint64_t completion = ++tab->PageCompletions;
    const std::shared_ptr<TWebControl> control = tab->SharedWebControl();
    if (!control)
        return tab;
    const std::string url = Utf16ToUtf8(control->WebUrl(TabHandle));
    const std::string title = Utf16ToUtf8(control->WebTitle(TabHandle));
    tab = FindTabByHandle(TabHandle);  // may have been closed meanwhile
    if (!tab || tab->PageCompletions != completion)
        return nullptr;
    tab->SetHint(TabHint(tab->LoginUser, PageName(title, url)));
    return tab;
}

void TTabStrip::WebControl1DocumentComplete(TWebControl&, bool IsApplication,
                                            const std::u16string& Url, int32_t TabHandle) {
    if (!IsApplication)
        return;
    links_.RecordVisitedUrl(Utf16ToUtf8(Url));
    N_TRzTabSheet* tab = UpdateTabHint(TabHandle);
    if (!tab)
        return;
    tab->Address = Utf16ToUtf8(Url);
    FitTabCaption(*tab);
    NotifyTabsChanged();
    if (tab->LoginAcc) {
        tab->LoginAcc = false;  // the fill is attempted once
        StartLoginFill(*tab, TabHandle);
    }
    if (links_.PageCompleted)
        links_.PageCompleted(pcMain.page_num(*tab));
}

void TTabStrip::StartLoginFill(N_TRzTabSheet& tab, int32_t TabHandle) {
    using accounts::TLoginFill;
    auto fill = std::make_shared<TLoginFill>(LoginFillCalls(tab.LoginInfo), tab.LoginSite,
                                             TLoginFill::Clock::now() + accounts::kFieldWait);
    // Sends what the page has while the tab shows the account's site; false once nothing is
    // left to wait for.
    auto run = [this, fill, TabHandle] {
        N_TRzTabSheet* sheet = FindTabByHandle(TabHandle);
        if (!sheet || !sheet->HasWebControl())
            return false;
        const std::shared_ptr<TWebControl> control = sheet->SharedWebControl();
        const auto send = [&](const std::string& name, const std::string& value) {
            control->LoginWeb(Utf8ToUtf16(name), Utf8ToUtf16(value), TabHandle);
        };
        try {
            const std::string page = Utf16ToUtf8(control->WebUrl(TabHandle));
            return fill->Run(send, page, TLoginFill::Clock::now()) == TLoginFill::Outcome::Again;
        } catch (const std::exception&) {
            return false;  // the page cannot be asked where it is: nothing more is sent
        }
    };
    loginFills_[TabHandle].disconnect();
    loginFills_.erase(TabHandle);
    // The worker checks every field it writes against the account's site, in the page itself.
    try {
        tab.WebControl().LoginSite(TabHandle, Utf8ToUtf16(tab.LoginSite));
    } catch (const std::exception&) {
        return;
    }
    if (run())
        loginFills_[TabHandle] = Glib::signal_timeout().connect(
            [this, run, TabHandle] {
                if (run())
                    return true;
                loginFills_.erase(TabHandle);
                return false;
            },
            static_cast<unsigned>(accounts::kFieldRetryInterval.count()));
}

void TTabStrip::WebControl1NewTab(TWebControl& Sender, int32_t& TabHandle, int32_t) {
    NewTabPending = true;
    N_TRzTabSheet* opener = FindTabByHandle(TabHandle);
    std::shared_ptr<TWebControl> proxy = opener ? opener->SharedWebControl() : nullptr;
    if (!proxy) {
        for (const auto& sheet : sheets_) {
            if (sheet->SharedWebControl().get() == &Sender)
                proxy = sheet->SharedWebControl();
        }
    }
    N_TRzTabSheet* tab = AppendTab();
    tab->ShareWebControl(proxy);
    if (opener)
        tab->SessionFolder = opener->SessionFolder;  // a page of the opener's session
    TabHandle = tab->TabHandle();
}

void TTabStrip::WebControl1PopupBlocked(const std::string& url, int32_t TabHandle) {
    if (!links_.ShowNotice)
        return;
    // The notice stays until the next one: a click opens the last page refused.
    links_.ShowNotice(kPopupBlockedNotice, [this, url, TabHandle] {
        try {
            OpenInSessionOf(TabHandle, url);
        } catch (const std::exception&) {
            // The opener's worker has gone: nothing to open the page in.
        }
    });
}

void TTabStrip::OpenInSessionOf(int32_t OpenerHandle, const std::string& url) {
    N_TRzTabSheet* opener = FindTabByHandle(OpenerHandle);
    if (!opener || !opener->HasWebControl() || opener->PageEnded || !IsPopupAddress(url))
        return;
    std::shared_ptr<TWebControl> proxy = opener->SharedWebControl();
    N_TRzTabSheet* tab = AppendTab();
    tab->ShareWebControl(proxy);
    tab->SessionFolder = opener->SessionFolder;
    try {
        proxy->CreateWeb(tab->TabHandle());
        allow_switch_ = true;
        pcMain.set_current_page(pcMain.page_num(*tab));
        allow_switch_ = false;
        proxy->SetParent(tab->TabHandle());
        proxy->Navigate(tab->TabHandle(), Utf8ToUtf16(url), u"");
    } catch (const std::exception&) {
        DestroyTab(tab);
        throw;
    }
}

void TTabStrip::WebControl1ProgressChange(TWebControl&, int32_t Progress, int32_t ProgressMax,
                                          int32_t TabHandle) {
    N_TRzTabSheet* active = ActiveTab();
    if (!active || !SameTabHandle(TabHandle, static_cast<unsigned long>(active->get_id())))
        return;
    if (auto percent = ProgressPercent(Progress, ProgressMax))
        links_.ShowProgress(*percent);
}

void TTabStrip::WebControl1StatusTextChange(TWebControl&, const std::u16string& Text,
                                            int32_t TabHandle) {
    N_TRzTabSheet* active = ActiveTab();
    if (!active || !SameTabHandle(TabHandle, static_cast<unsigned long>(active->get_id())))
        return;
    links_.ShowStatusText(Utf16ToUtf8(Text));
}

void TTabStrip::WebControl1Foreground(TWebControl&) {}

RefreshItem TTabStrip::pmWebConfigPopup() {
    N_TRzTabSheet* tab = ActiveTab();
    std::optional<uint32_t> interval;
    if (tab && tab->tmrFresh.Enabled())
        interval = tab->tmrFresh.Interval();
    const RefreshItem item = RefreshItemFor(interval);
    Gtk::RadioMenuItem* items[] = {&mi0, &mi300, &mi600, &mi1800, &mi3600, &miCust};
    if (item == RefreshItem::Custom)
        miCust.set_label(CustomRefreshCaption(*interval));
    SetCheckedQuietly(*items[static_cast<int>(item)], true, syncing_marks_);
    return item;
}

void TTabStrip::SetRefresh(RefreshItem item) {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    if (item == RefreshItem::Off) {
        tab->tmrFresh.SetEnabled(false);
        return;
    }
    tab->tmrFresh.SetInterval(RefreshInterval(item));
    tab->tmrFresh.SetEnabled(true);
}

void TTabStrip::miCustClick() {
    std::string text = CustomRefreshPromptText(miCust.get_label());
    if (!links_.InputBox("输入", "间隔不能小于10秒", text, 20, false)) {
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
    if (tab)
        tab->tmrFresh.SetEnabled(false);
    links_.ShowError("输入错误！", "提示");
    pmWebConfigPopup();
}

void TTabStrip::MarkIfWorkerGone(N_TRzTabSheet* tab) {
    // A worker that did not answer in time, or could not be written to, has been ended.
    const auto worker = tab->HasWebControl() ? tab->WebControl().DefaultInterface() : nullptr;
    if (!worker || !worker->Alive())
        MarkPageEnded(tab);
}

void TTabStrip::N11Click() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    std::string text = tab->Hint();
    if (!links_.InputBox("输入", "请输入一个新的名字", text, 20, false))
        return;
    tab->AllowChangeCaption = false;
    tab->SetHint(text);
    FitTabCaption(*tab);
    NotifyTabsChanged();
}

void TTabStrip::popTabPopup() {
    if (N_TRzTabSheet* tab = ActiveTab()) {
        SetCheckedQuietly(N1, tab->TabLocked, syncing_marks_);
        SetCheckedQuietly(N31, !tab->TabPassword.empty(), syncing_marks_);
        SetCheckedQuietly(miKeepRunning, tab->KeepRunning, syncing_marks_);
    }
}

void TTabStrip::miKeepRunningClick() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    const bool keep = !tab->KeepRunning;
    const std::string url_id = tab->GameUrlID;
    for (const auto& sheet : sheets_) {
        if (sheet.get() == tab || SameCatalogueAddress(sheet->GameUrlID, url_id))
            sheet->KeepRunning = keep;
    }
    ShowPages();
    try {
        RememberKeepRunning(UserSettings(), url_id, keep);
    } catch (const std::exception&) {
        links_.ShowError("保存失败请重试！", "提示");
    }
}

void TTabStrip::N1Click() {
    if (N_TRzTabSheet* tab = ActiveTab())
        tab->TabLocked = !tab->TabLocked;
}

void TTabStrip::N31Click() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab)
        return;
    std::string text = tab->TabPassword;
    if (links_.InputBox("输入", "请输入保护密码", text, 8, true))
        tab->TabPassword = text;
}

void TTabStrip::N19Click() {
    N_TRzTabSheet* tab = ActiveTab();
    if (!tab || !tab->HasWebControl() || !links_.AddToFavorites)
        return;
    std::string title, url;
    try {
        title = Utf16ToUtf8(tab->WebControl().WebTitle(tab->TabHandle()));
        url = Utf16ToUtf8(tab->WebControl().WebUrl(tab->TabHandle()));
    } catch (const std::exception&) {
        MarkIfWorkerGone(tab);
        return;
    }
    links_.AddToFavorites(title, url);
}

void TTabStrip::N22Click() {
    OpenBlankTab();
}

void TTabStrip::PopupWebConfig(Gtk::Widget& anchor) {
    pmWebConfigPopup();
    pmWebConfig.popup_at_widget(&anchor, Gdk::GRAVITY_NORTH_WEST, Gdk::GRAVITY_SOUTH_WEST, nullptr);
}

void TTabStrip::FreeAllTabs() {
    allow_switch_ = true;
    while (!sheets_.empty()) {
        N_TRzTabSheet* first = Tab(0);
        if (!first)
            first = sheets_.front().get();
        try {
            if (first->HasWebControl() && !first->PageEnded)
                first->WebControl().FreeWeb(first->TabHandle());
        } catch (const std::exception&) {
            // The tab goes all the same.
        }
        DestroyTab(first);
    }
}

void TTabStrip::DestroyAllTabs() {
    allow_switch_ = true;
    while (!sheets_.empty()) DestroyTab(sheets_.back().get());
}

TTabStrip::~TTabStrip() {
    for (auto& [handle, timer] : loginFills_) timer.disconnect();
    DestroyAllTabs();
}

}  // namespace kivo
