#include "ui/navigation/navigation_bar.h"

#include <algorithm>
#include <iostream>

#include "platform/paths.h"
#include "platform/text.h"
#include "session/address_rules.h"
#include "platform/typed_urls.h"
#include "webcontrol/maker_pages.h"

namespace kivo {

namespace {

constexpr const char* kBlankPage = "about:blank";
constexpr const char* kSearchHint = "搜下，就有了";

}  // namespace

TNavigationBar::TNavigationBar(TLinks links) : links_(std::move(links)) {
    btnBack.signal_clicked().connect([this] { btnBackClick(); });
    btnNext.signal_clicked().connect([this] { btnNextClick(); });
    btnRefresh.signal_clicked().connect([this] { btnRefreshClick(); });
    BuildAddressRow();
}

TNavigationBar::~TNavigationBar() {
    SaveVisitedUrls();
}

void TNavigationBar::BuildAddressRow() {
    edtUrl.get_style_context()->add_class("kivo-address");
    edtUrl.get_accessible()->set_name("地址");
    edtUrl.set_icon_from_pixbuf(GlyphIcon(Glyph::DropDown, 14, Gdk::RGBA("#136EB7")),
                                Gtk::ENTRY_ICON_SECONDARY);
    edtUrl.set_icon_tooltip_text("输入过的地址", Gtk::ENTRY_ICON_SECONDARY);
    edtUrl.signal_icon_press().connect(
        [this](Gtk::EntryIconPosition, const GdkEventButton*) { btnDropClick(); });
    // Enter in the address box closes the suggestions and clicks the go button.
    edtUrl.signal_activate().connect([this] {
        if (FAutoComplete) {
            gtk_entry_set_completion(edtUrl.gobj(), nullptr);  // pops the suggestions down
            edtUrl.set_completion(FAutoComplete);
        }
        btnGo.clicked();
    });
    edtUrl.signal_insert_text().connect(
        [this](const Glib::ustring&, int*) { edtUrlAppendCompletion(); }, true);
    edtUrl.signal_button_release_event().connect(
        [this](GdkEventButton*) {
            edtUrlClick();
            return false;
        },
        true);
    edtUrl.signal_changed().connect([this] {
        if (!settingText_ && edtUrl.is_focus())
            userEdited_ = true;
    });
    btnGo.signal_clicked().connect([this] { btnGoClick(); });
    SetupUrlAutoComplete();

    // The search box starts with its hint as real text, in silver, until it is changed.
    edtSearch.get_style_context()->add_class("kivo-address");
    edtSearch.get_accessible()->set_name("网页搜索");
    edtSearch.set_text(kSearchHint);
    edtSearch.override_color(Gdk::RGBA("#C0C0C0"));
    edtSearch.set_size_request(146, 21);
    edtSearch.set_width_chars(1);
    edtSearch.signal_changed().connect([this] { edtSearch.unset_color(); });
    edtSearch.signal_activate().connect([this] { edtSearchRightButtonClick(); });
    edtSearch.signal_button_release_event().connect(
        [this](GdkEventButton*) {
            if (!edtSearch.get_selection_bounds(search_selection_start_, search_selection_end_))
                edtSearch.select_region(0, -1);
            return false;
        },
        true);
    edtSearch.set_icon_from_pixbuf(SearchIcon(2), Gtk::ENTRY_ICON_SECONDARY);
    SetSearchEngine(0);
    edtSearch.signal_icon_press().connect(
        [this](Gtk::EntryIconPosition position, const GdkEventButton* event) {
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
    popSearch.get_style_context()->add_class("kivo-menu");
    popSearch.show_all();
    pnlWebMenu.pack_start(edtSearch, Gtk::PACK_SHRINK);
    pnlWebMenu.set_size_request(kWebMenuWidth, -1);

    cbbUrlList.get_style_context()->add_class("kivo-menu");
    cbbUrlList.set_size_request(400, -1);
    pnlAdr.put(edtUrl, 0, 7);
    pnlAdr.put(btnGo, 0, 6);
    pnlAdr.put(pnlWebMenu, 0, 7);
    pnlAdr.signal_size_allocate().connect([this](Gtk::Allocation&) { pnlAdrResize(); }, true);
}

void TNavigationBar::pnlAdrResize() {
    const AddressBarLayout layout = LayoutAddressBar(pnlAdr.get_allocated_width());
    if (layout.UrlWidth == address_row_width_)
        return;
    address_row_width_ = layout.UrlWidth;
    edtUrl.set_size_request(layout.UrlWidth, 21);
    pnlAdr.move(btnGo, layout.GoLeft, 6);
    pnlAdr.move(pnlWebMenu, layout.WebMenuLeft, 7);
}

void TNavigationBar::SetAddressText(const std::string& text) {
    settingText_ = true;
    edtUrl.set_text(text);
    settingText_ = false;
    userEdited_ = false;
}

void TNavigationBar::ShowAddress(const std::string& url, bool same_tab) {
    if (same_tab && userEdited_)
        return;
    SetAddressText(url);
}

void TNavigationBar::btnGoClick() {
    userEdited_ = false;  // the page's own address may show again
    N_TRzTabSheet* tab = links_.ActiveTab();
    if (!tab)
        return;
    const std::string typed = edtUrl.get_text();
    // "http://" before an address without scheme; a text that is no address is searched for.
    const std::string address = AddressForTyped(typed, CurrentSearchAddress());
    if (address.empty())
        return;
    try {
        RecordTypedUrl(UserSettings(), typed);
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the typed address was not recorded: " << e.what() << '\n';
    }
    if (tab->HasWebControl() &&
        Utf16ToUtf8(tab->WebControl().WebUrl(tab->TabHandle())) == kBlankPage) {
        try {
            tab->WebControl().Navigate(tab->TabHandle(), Utf8ToUtf16(address), u"");
        } catch (const std::exception&) {
            links_.MarkIfWorkerGone(tab);
            throw;
        }
        return;
    }
    // Never in a tab that may hold an account's cookies: a new tab with a session of its own.
    links_.OpenGame(address);
}

void TNavigationBar::SetupUrlAutoComplete() {
    // Completion from the visited-address list: suggestions drop down under the box, the
    // common rest of the matching addresses is appended, and the arrow keys walk the list.
    try {
        FVisitedUrls = std::make_unique<VisitedUrls>(VisitedUrls::DefaultFile());
        UrlColumns_.add(UrlColumn_);
        FUrlStore = Gtk::ListStore::create(UrlColumns_);
        for (const std::string& url : FVisitedUrls->Urls())
            (*FUrlStore->append())[UrlColumn_] = url;
        FAutoComplete = Gtk::EntryCompletion::create();
        FAutoComplete->set_model(FUrlStore);
        FAutoComplete->set_text_column(UrlColumn_);
        FAutoComplete->set_minimum_key_length(1);
        FAutoComplete->set_popup_completion(true);
        // The rest is appended by edtUrlAppendCompletion, which never acts on an old text.
        FAutoComplete->set_inline_completion(false);
        FAutoComplete->set_match_func(
            [this](const Glib::ustring& key, const Gtk::TreeModel::const_iterator& row) {
                const Glib::ustring url = (*row)[UrlColumn_];
                return CompletesAddress(url.raw(), key.raw());
            });
        edtUrl.set_completion(FAutoComplete);
    } catch (const std::exception&) {
        // The box then works without completion.
        FAutoComplete.reset();
    }
}

void TNavigationBar::edtUrlAppendCompletion() {
    if (appending_completion_ || !FVisitedUrls)
        return;
    // Only for typing: texts the window puts in the box are left as they are.
    GdkEvent* event = gtk_get_current_event();
    const bool typing = event && event->type == GDK_KEY_PRESS;
    if (event)
        gdk_event_free(event);
    if (!typing)
        return;
    // After the keystroke is through (GTK places the cursor once the text is in); skipped when
    // the text has changed again by then, so typed text and a completion never mix.
    const std::string typed = edtUrl.get_text();
    Glib::signal_idle().connect_once(sigc::track_obj(
        [this, typed] {
            if (edtUrl.get_text() != typed || edtUrl.get_position() != edtUrl.get_text_length())
                return;
            const std::string rest = CompletionRest(typed, FVisitedUrls->Urls());
            if (rest.empty())
                return;
            appending_completion_ = true;
            int position = edtUrl.get_text_length();
            edtUrl.insert_text(rest, -1, position);
            appending_completion_ = false;
            edtUrl.select_region(Glib::ustring(typed).length(), -1);
        },
        *this));
}

void TNavigationBar::RecordVisitedUrl(const std::string& url) {
    if (!FVisitedUrls || !FVisitedUrls->Add(url))
        return;
    // The store keeps the list's order: newest first, each address once.
    for (auto row = FUrlStore->children().begin(); row != FUrlStore->children().end(); ++row) {
        if (Glib::ustring((*row)[UrlColumn_]).raw() == url) {
            FUrlStore->erase(row);
            break;
        }
    }
    (*FUrlStore->prepend())[UrlColumn_] = url;
    if (FUrlStore->children().size() > VisitedUrls::kMaxUrls)
        FUrlStore->erase(--FUrlStore->children().end());
    // Written a moment later, so a burst of pages costs one write.
    if (!visited_save_.connected())
        visited_save_ = Glib::signal_timeout().connect(
            [this] {
                SaveVisitedUrls();
                return false;
            },
            2000);
}

void TNavigationBar::ClearVisitedUrls() {
    if (!FVisitedUrls)
        return;
    FVisitedUrls->Clear();
    FUrlStore->clear();
    SaveVisitedUrls();
}

void TNavigationBar::SaveVisitedUrls() {
    visited_save_.disconnect();
    if (!FVisitedUrls)
        return;
    try {
        FVisitedUrls->Save();
    } catch (const std::exception&) {
        // The list is only a convenience; the pages themselves are untouched.
    }
}

void TNavigationBar::edtUrlClick() {
    int start = 0, end = 0;
    if (!edtUrl.get_selection_bounds(start, end))
        edtUrl.select_region(0, -1);
}

std::vector<std::string> TNavigationBar::LoadTypedUrls() {
    for (Gtk::Widget* item : cbbUrlList.get_children()) cbbUrlList.remove(*item);
    std::vector<std::string> urls;
    try {
        urls = kivo::LoadTypedUrls(UserSettings());
    } catch (const std::exception&) {
        // An unreadable list is an empty one.
    }
    for (const std::string& url : urls) {
        auto* item = Gtk::manage(new Gtk::MenuItem(url));
        item->signal_activate().connect([this, url] { cbbUrlListSelect(url); });
        cbbUrlList.append(*item);
    }
    cbbUrlList.show_all();
    return urls;
}

void TNavigationBar::btnDropClick() {
    if (LoadTypedUrls().empty())
        return;
    cbbUrlList.set_size_request(std::max(400, edtUrl.get_allocated_width()), -1);
    cbbUrlList.popup_at_widget(&edtUrl, Gdk::GRAVITY_SOUTH_WEST, Gdk::GRAVITY_NORTH_WEST, nullptr);
}

void TNavigationBar::cbbUrlListSelect(const std::string& url) {
    edtUrl.set_text(url);
    btnGo.clicked();
}

void TNavigationBar::SetSearchEngine(int engine) {
    search_engine_ = engine;
    edtSearch.set_icon_from_pixbuf(SearchIcon(engine), Gtk::ENTRY_ICON_PRIMARY);
}

std::string TNavigationBar::CurrentSearchAddress() const {
    // While the network is down, the program's own result page answers.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    return SearchAddress(search_engine_,
                         !monitor || g_network_monitor_get_network_available(monitor));
}

void TNavigationBar::edtSearchRightButtonClick() {
    const std::string address = CurrentSearchAddress();
    if (address.empty())
        return;
    // Not trimmed, not encoded: the engine takes the text as it is.
    links_.OpenGame(address + edtSearch.get_text());
}

void TNavigationBar::StepActiveTab(void (TWebControl::*step)(int32_t)) {
    N_TRzTabSheet* tab = links_.ActiveTab();
    if (!tab || !tab->HasWebControl())
        return;
    try {
        (tab->WebControl().*step)(tab->TabHandle());
    } catch (const std::exception&) {
        links_.MarkIfWorkerGone(tab);
    }
}

void TNavigationBar::btnBackClick() {
    StepActiveTab(&TWebControl::WebBack);
}

void TNavigationBar::btnNextClick() {
    StepActiveTab(&TWebControl::WebForward);
}

void TNavigationBar::btnRefreshClick() {
    StepActiveTab(&TWebControl::WebRefresh);
}

}  // namespace kivo
