#include "ui/navigation/find_bar.h"

#include <gdk/gdkx.h>

#include <utility>

#include "platform/text.h"
#include "webcontrol/browser_keys.h"

namespace kivo {

TFindBar::TFindBar(TLinks links) : links_(std::move(links)) {
    bar_.get_style_context()->add_class("kivo-find");
    bar_.set_border_width(2);
    edtFind_.get_accessible()->set_name("查找内容");
    edtFind_.set_width_chars(24);
    btnClose_.set_relief(Gtk::RELIEF_NONE);
    btnClose_.get_accessible()->set_name("关闭查找栏");
    btnClose_.set_tooltip_text("关闭查找栏");
    // The focus stays in the text box while its buttons are clicked.
    for (Gtk::Button* button : {&btnPrevious_, &btnNext_, &btnClose_})
        button->set_focus_on_click(false);
    chkMatchCase_.set_focus_on_click(false);
    lblCount_.set_margin_start(8);
    bar_.pack_start(lblFind_, Gtk::PACK_SHRINK);
    bar_.pack_start(edtFind_, Gtk::PACK_SHRINK);
    bar_.pack_start(btnPrevious_, Gtk::PACK_SHRINK);
    bar_.pack_start(btnNext_, Gtk::PACK_SHRINK);
    bar_.pack_start(chkMatchCase_, Gtk::PACK_SHRINK);
    bar_.pack_start(lblCount_, Gtk::PACK_SHRINK);
    bar_.pack_end(btnClose_, Gtk::PACK_SHRINK);
    bar_.show_all();
    bar_.hide();
    bar_.set_no_show_all(true);

    edtFind_.signal_changed().connect([this] { Search(0); });
    edtFind_.signal_key_press_event().connect(sigc::mem_fun(*this, &TFindBar::EntryKeyPress),
                                              false);
    btnNext_.signal_clicked().connect([this] { FindAgain(false); });
    btnPrevious_.signal_clicked().connect([this] { FindAgain(true); });
    chkMatchCase_.signal_toggled().connect([this] { Search(0); });
    btnClose_.signal_clicked().connect([this] { Close(); });
}

void TFindBar::Open() {
    const bool was_showing = Showing();
    bar_.show();
    // The keys typed next go to the box, even when they went to the page until now.
    if (auto* window = dynamic_cast<Gtk::Window*>(bar_.get_toplevel())) {
        if (auto gdk_window = window->get_window()) {
            gdk_window->focus(GDK_CURRENT_TIME);
            // The page is another program's window inside ours, and X gives the keys to the
            // window under the pointer when the keyboard's window holds it. The toolkit's own
            // small focus window holds no page: it takes the keyboard as when the desktop offers
            // it (WM_TAKE_FOCUS), so the keys come to the box wherever the pointer is.
            GdkWindow* native = gdk_window->gobj();
            if (GDK_IS_X11_WINDOW(native)) {
                Display* display = GDK_WINDOW_XDISPLAY(native);
                XEvent offer{};
                offer.xclient.type = ClientMessage;
                offer.xclient.window = GDK_WINDOW_XID(native);
                offer.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
                offer.xclient.format = 32;
                offer.xclient.data.l[0] =
                    static_cast<long>(XInternAtom(display, "WM_TAKE_FOCUS", False));
                offer.xclient.data.l[1] = CurrentTime;
                XSendEvent(display, offer.xclient.window, False, NoEventMask, &offer);
                XFlush(display);
            }
        }
    }
    edtFind_.grab_focus();
    edtFind_.select_region(0, -1);
    if (!was_showing && !edtFind_.get_text().empty())
        Search(0);
}

void TFindBar::Close() {
    EndSearch();
    lblCount_.set_text("");
    bar_.hide();
    // The keys go back to the page.
    if (N_TRzTabSheet* tab = links_.ActiveTab(); tab && tab->HasWebControl()) {
        try {
            tab->WebControl().SetFoucseWeb(tab->TabHandle());
        } catch (const std::exception&) {
            links_.MarkIfWorkerGone(tab);
        }
    }
}

void TFindBar::FindAgain(bool backwards) {
    Search(find_options::kAgain | (backwards ? find_options::kBackwards : 0));
}

int32_t TFindBar::Options() const {
    return chkMatchCase_.get_active() ? find_options::kMatchCase : 0;
}

void TFindBar::Search(int32_t again_options) {
    N_TRzTabSheet* tab = links_.ActiveTab();
    const std::string text = edtFind_.get_text();
    if (!tab || !tab->HasWebControl() || text.empty()) {
        EndSearch();
        lblCount_.set_text("");
        return;
    }
    const int32_t handle = tab->TabHandle();
    if (handle != searched_tab_) {
        EndSearch();
        again_options = 0;  // a page not searched yet starts with a search of its own
    }
    searched_tab_ = handle;
    searched_proxy_ = tab->SharedWebControl();
    try {
        tab->WebControl().FindText(handle, Utf8ToUtf16(text), Options() | again_options);
    } catch (const std::exception&) {
        searched_tab_ = 0;
        lblCount_.set_text("");
        links_.MarkIfWorkerGone(tab);
    }
}

void TFindBar::EndSearch() {
    const int32_t tab = std::exchange(searched_tab_, 0);
    auto proxy = searched_proxy_.lock();
    searched_proxy_.reset();
    if (tab == 0 || !proxy || !proxy->Connected())
        return;
    try {
        proxy->FindFinish(tab);
    } catch (const std::exception&) {
        // A worker that is gone has no marks left to clear.
    }
}

void TFindBar::ShowCount(int32_t count, int32_t TabHandle) {
    if (!Showing() || TabHandle != searched_tab_ || edtFind_.get_text().empty())
        return;
    lblCount_.set_text(FindCountCaption(count));
}

void TFindBar::ActiveTabChanged() {
    // The new tab's page is searched when the user asks (typing, Enter, the buttons): its worker
    // may still be busy making it.
    EndSearch();
    lblCount_.set_text("");
}

bool TFindBar::EntryKeyPress(GdkEventKey* event) {
    switch (event->keyval) {
        case GDK_KEY_Escape:
            Close();
            return true;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
            FindAgain((event->state & GDK_SHIFT_MASK) != 0);
            return true;
        default:
            return false;
    }
}

}  // namespace kivo
