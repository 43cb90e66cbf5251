#include "ui/tabs/page_ended_notice.h"

namespace kivo {

TPageEndedNotice::TPageEndedNotice(std::function<void()> reopen) {
    lblPageEnded.set_text(kPageEndedText);
    btnReopen.set_label(kReopenCaption);
    btnReopen.get_accessible()->set_name(kReopenCaption);
    btnReopen.set_halign(Gtk::ALIGN_CENTER);
    btnReopen.signal_clicked().connect(std::move(reopen));
    pnlPageEnded.pack_start(lblPageEnded, Gtk::PACK_SHRINK);
    pnlPageEnded.pack_start(btnReopen, Gtk::PACK_SHRINK);
    pnlPageEnded.set_halign(Gtk::ALIGN_CENTER);
    pnlPageEnded.set_valign(Gtk::ALIGN_CENTER);
    pnlPageEnded.show_all();
    pnlPageEnded.set_no_show_all(true);
    pnlPageEnded.hide();
}

void TPageEndedNotice::Show() {
    pnlPageEnded.show();
}

void TPageEndedNotice::Hide() {
    pnlPageEnded.hide();
}

}  // namespace kivo
