#include "ui/side/frm_about.h"

#include <iostream>

#include "platform/file_version.h"
#include "ui/dialogs/message_box.h"
#include "webcontrol/maker_pages.h"

namespace kivo {

namespace {

TFrmAbout* open_form = nullptr;

}  // namespace

std::string AboutText(const std::string& version) {
    const std::string text = kAboutTemplate;
    const auto at = text.find("%S");
    if (at == std::string::npos)
        return text;
    return text.substr(0, at) + version + text.substr(at + 2);
}

TFrmAbout::TFrmAbout(std::function<void(const std::string& url)> OpenSite)
    : TBorderlessDialog(350, 175, true),
      lblSite(MakerUrl("/"), "Kivo游戏盒官方网站"),
      lblMail(std::string("mailto:") + kMakerMail, std::string("问题反馈（") + kMakerMail + "）"),
      OpenSite_(std::move(OpenSite)) {
    // No owner of its own: in the middle of the screen, above the main window.
    set_position(Gtk::WIN_POS_CENTER);
    lblAbout.set_markup("<b>" + Glib::Markup::escape_text(AboutText(kFileVersion)) + "</b>");
    lblAbout.override_color(Gdk::RGBA("#000000"));
    lblAbout.set_xalign(0);
    // Five lines between the title band and the links.
    lblAbout.override_font(Pango::FontDescription("9"));
    for (Gtk::LinkButton* link : {&lblSite, &lblMail}) {
        link->set_relief(Gtk::RELIEF_NONE);
        link->set_focus_on_click(false);
        link->get_accessible()->set_name(link->get_label());
    }
    lblSite.signal_activate_link().connect(sigc::mem_fun(*this, &TFrmAbout::lblSiteClick), false);
    lblMail.signal_activate_link().connect(sigc::mem_fun(*this, &TFrmAbout::lblMailClick), false);
    StyleButton(btnOK, "确定", Gtk::RESPONSE_OK);
    Body().Place(lblAbout, {17, 32, 316, 75});
    Body().Place(lblSite, {12, 111, 134, 21});
    Body().Place(lblMail, {150, 111, 188, 21});
    Body().Place(btnOK, 272, 136);
    show_all_children();
    btnClose.hide();
    get_action_area()->hide();
}

bool TFrmAbout::lblSiteClick() {
    try {
        OpenSite_(lblSite.get_uri());
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: the maker's site cannot open: " << e.what() << '\n';
    }
    return true;
}

bool TFrmAbout::lblMailClick() {
    // The desktop's mail program, through the handler it registered for mailto: addresses.
    try {
        Gio::AppInfo::launch_default_for_uri(lblMail.get_uri());
    } catch (const Glib::Error& e) {
        std::cerr << "gameKivo: no mail program opens " << lblMail.get_uri() << ": " << e.what()
                  << '\n';
    }
    return true;
}

void N5Click(std::function<void(const std::string& url)> OpenSite) {
    if (open_form) {
        open_form->present();
        return;
    }
    TFrmAbout form(std::move(OpenSite));
    open_form = &form;
    form.run();
    open_form = nullptr;
}

}  // namespace kivo
