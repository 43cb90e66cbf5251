#pragma once
// TFrmAbout, the about box of the main menu: the program's version, the maker's lines and two
// links, one to the maker's site and one to write to the maker.
#include <functional>
#include <string>

#include "ui/dialogs/frm_input.h"

namespace kivo {

inline constexpr const char* kAboutTemplate =
    "\n版本 %S\n\nKivo工作室 出品\n一个账号一个标签页，同一游戏多开不串号。";
inline constexpr const char* kMakerMail = "support@kivo.local";

// The about text with the version put in place of "%S" (once).
std::string AboutText(const std::string& version);

class TFrmAbout : public TBorderlessDialog {
  public:
    // `OpenSite` opens an address in a new tab of its own session.
    explicit TFrmAbout(std::function<void(const std::string& url)> OpenSite);

    Gtk::Label lblAbout;
    Gtk::LinkButton lblSite, lblMail;
    Gtk::Button btnOK;

  private:
    bool lblSiteClick();
    bool lblMailClick();

    std::function<void(const std::string&)> OpenSite_;
};

// "关于": shows the about box modally. While one is open, another call brings it to the front.
void N5Click(std::function<void(const std::string& url)> OpenSite);

}  // namespace kivo
