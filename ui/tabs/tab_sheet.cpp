#include "ui/tabs/tab_sheet.h"

#include <gtk/gtk-a11y.h>

#include "session/tab_rules.h"
#include "webcontrol/page_shown.h"

namespace kivo {

namespace {

// The 20 x 20 tab icon: a small blue page.
Glib::RefPtr<Gdk::Pixbuf> TabIcon() {
    static Glib::RefPtr<Gdk::Pixbuf> icon = [] {
        auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, 20, 20);
        auto cr = Cairo::Context::create(surface);
        cr->set_source_rgb(0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
        cr->rectangle(4, 2, 12, 16);
        cr->fill();
        cr->set_source_rgb(1, 1, 1);
        for (int y = 6; y <= 14; y += 4) {
            cr->rectangle(6, y, 8, 1.5);
            cr->fill();
        }
        return Gdk::Pixbuf::create(surface, 0, 0, 20, 20);
    }();
    return icon;
}

// The toolkit's accessible tab shows only the page below it: the button on the tab itself is
// out of reach of screen readers. Each accessible tab gets the close button of its tab as a
// second child, so it can be found and pressed like every other control.
constexpr const char* kTabCloseButton = "kivo-tab-close-button";

gint (*page_child_count)(AtkObject*) = nullptr;
AtkObject* (*page_child)(AtkObject*, gint) = nullptr;

GtkWidget* CloseButtonOfPage(AtkObject* page) {
    AtkObject* strip = atk_object_get_parent(page);
    if (!GTK_IS_ACCESSIBLE(strip))
        return nullptr;
    GtkWidget* notebook = gtk_accessible_get_widget(GTK_ACCESSIBLE(strip));
    if (!GTK_IS_NOTEBOOK(notebook))
        return nullptr;
    GtkWidget* sheet =
        gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), atk_object_get_index_in_parent(page));
    return sheet ? static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(sheet), kTabCloseButton))
                 : nullptr;
}

gint PageChildCount(AtkObject* page) {
    const gint count = page_child_count(page);
    return CloseButtonOfPage(page) ? count + 1 : count;
}

AtkObject* PageChild(AtkObject* page, gint index) {
    const gint count = page_child_count(page);
    GtkWidget* button = index == count ? CloseButtonOfPage(page) : nullptr;
    if (!button)
        return page_child(page, index);
    return ATK_OBJECT(g_object_ref(gtk_widget_get_accessible(button)));
}

void ReachCloseButtonsThroughTabs() {
    if (page_child_count)
        return;
    auto* page_class =
        ATK_OBJECT_CLASS(g_type_class_ref(GTK_TYPE_NOTEBOOK_PAGE_ACCESSIBLE));  // kept
    page_child_count = page_class->get_n_children;
    page_child = page_class->ref_child;
    page_class->get_n_children = PageChildCount;
    page_class->ref_child = PageChild;
}

}  // namespace

void TRefreshTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Restart();
}

void TRefreshTimer::SetInterval(uint32_t interval_ms) {
    interval_ = interval_ms;
    Restart();
}

void TRefreshTimer::Restart() {
    connection_.disconnect();
    if (!enabled_ || interval_ == 0) return;
    connection_ = Glib::signal_timeout().connect(
        [this] {
            if (on_timer_) on_timer_();
            return false;  // the tick re-arms the timer when it has finished
        },
        interval_);
}

N_TRzTabSheet::N_TRzTabSheet(const TabEventHandlers& handlers)
    : tmrFresh([this] { tmrTimer(); }), handlers_(handlers) {
    signal_size_allocate().connect(sigc::mem_fun(*this, &N_TRzTabSheet::FrameResize));
    // A view that goes away must not take the tab's window with it.
    signal_plug_removed().connect([] { return true; }, false);
    signal_plug_added().connect([this] { MarkViewWindow(); });
    icon_.set(TabIcon());
    label_.set_xalign(0);
    label_.set_width_chars(1);
    close_button_.set_relief(Gtk::RELIEF_NONE);
    close_button_.set_label("×");
    close_button_.get_accessible()->set_name("关闭标签");
    g_object_set_data(G_OBJECT(gobj()), kTabCloseButton, close_button_.gobj());
    ReachCloseButtonsThroughTabs();
    close_button_.set_focus_on_click(false);
    tab_label_.pack_start(icon_, Gtk::PACK_SHRINK);
    tab_label_.pack_start(label_, Gtk::PACK_EXPAND_WIDGET);
    tab_label_.pack_end(close_button_, Gtk::PACK_SHRINK);
    tab_label_.set_size_request(kTabWidth, 24);
    tab_label_.show_all();
    close_button_.hide();
    close_button_.set_no_show_all(true);
}

void N_TRzTabSheet::SetPageShown(bool shown) {
    if (shown == page_shown_)
        return;
    page_shown_ = shown;
    MarkViewWindow();
}

void N_TRzTabSheet::MarkViewWindow() {
    page::MarkPageShown(gtk_socket_get_plug_window(gobj()), page_shown_);
}

N_TRzTabSheet::~N_TRzTabSheet() {
    tmrFresh.SetEnabled(false);
    if (!proxy_) return;
    try {
        if (proxy_->WebCount() > 0) return;  // other tabs still show pages of this worker
        proxy_->Disconnect();
    } catch (const std::exception&) {
        // The worker is gone: the tab goes all the same.
    }
}

TWebControl& N_TRzTabSheet::WebControl() {
    if (!proxy_) throw gameKivo_TLB::WebControlError("the tab has no page");
    return *proxy_;
}

TWebControl& N_TRzTabSheet::ConnectWebControl() {
    if (!proxy_) {
        auto proxy = std::make_shared<TWebControl>();
        proxy->OnDocumentComplete = handlers_.DocumentComplete;
        proxy->OnForeground = handlers_.Foreground;
        proxy->OnNewTab = handlers_.NewTab;
        proxy->OnProgressChange = handlers_.ProgressChange;
        proxy->OnStatusTextChange = handlers_.StatusTextChange;
        if (handlers_.WatchDownloads)
            handlers_.WatchDownloads(proxy);
        proxy->OnBrowserKey = handlers_.BrowserKey;
        proxy->OnFindCount = handlers_.FindCount;
        proxy->OnPopupBlocked = handlers_.PopupBlocked;
        proxy_ = proxy;
        proxy->Connect();
        proxy->Serverhandle(handlers_.ServerWindow);
    }
    return *proxy_;
}

int32_t N_TRzTabSheet::TabHandle() { return static_cast<int32_t>(get_id()); }

void N_TRzTabSheet::SetHint(const std::string& hint) {
    hint_ = hint;
    tab_label_.set_tooltip_text(hint);
}

void N_TRzTabSheet::SetCaption(const std::string& caption) {
    caption_ = caption;
    UpdateLabel();
}

void N_TRzTabSheet::SetCurrent(bool current) {
    current_ = current;
    close_button_.set_visible(current);
    UpdateLabel();
}

void N_TRzTabSheet::UpdateLabel() {
    const std::string text = Glib::Markup::escape_text(caption_);
    label_.set_markup(current_ ? "<b>" + text + "</b>" : text);
}

void N_TRzTabSheet::tmrTimer() {
    tmrFresh.SetEnabled(false);
    try {
        // Fetched again with a GET: a reload would post the answer's form again unasked.
        if (proxy_) proxy_->Navigate(TabHandle(), proxy_->WebUrl(TabHandle()), u"");
    } catch (const std::exception&) {
        // A refresh that fails is not reported; the timer runs on.
    }
    tmrFresh.SetEnabled(true);
}

void N_TRzTabSheet::FrameResize(Gtk::Allocation&) {
    if (!proxy_ || !IsActive || !IsActive()) return;
    // Not in the middle of the layout: the call waits for the worker and serves its events.
    std::weak_ptr<TWebControl> weak = proxy_;
    const int32_t tab = TabHandle();
    Glib::signal_idle().connect_once([weak, tab] {
        if (auto proxy = weak.lock()) {
            try {
                proxy->SetParent(tab);
            } catch (const std::exception&) {
            }
        }
    });
}

}  // namespace kivo
