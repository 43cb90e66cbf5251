#pragma once
// TStatusBar, the row at the foot of the tab area: the page's progress, its status text and the
// panes for a report, pictures, the auto-refresh menu and the page grid.
#include <gtkmm.h>

#include <functional>
#include <string>

namespace kivo {

class TStatusBar {
  public:
    // What the bar reaches of the rest of the window.
    struct TLinks {
        // Opens a free address in a new tab on a session folder named by the suffix; errors
        // are dropped.
        std::function<void(const std::string& url, const std::string& suffix)> OpenGame;
        // Shows the auto-refresh menu of the active tab above the given pane.
        std::function<void(Gtk::Widget& pane)> WebConfigPopup;
        // "9格显示": the grid of tab thumbnails.
        std::function<void()> SC9Click;
        // An item of the picture menu: group 0 web page, 1 screen area, 2 full screen; output
        // 0 file, 1 image program, 2 clipboard.
        std::function<void(int group, int output)> PictureMenuClick;
    };

    explicit TStatusBar(TLinks links);

    Gtk::Widget& Widget() { return sbWeb; }

    void ShowProgress(int percent);
    int ProgressShown() const { return progress_shown_; }
    void ShowStatusText(const std::string& text) { spText.set_text(text); }
    std::string StatusText() const { return spText.get_text(); }
    // The downloads' own pane: what the last download did; hidden until there is one.
    void ShowDownloadText(const std::string& text);
    // The notices' pane: a word for the user that stays until the next one; a click on it runs
    // `click` when there is one and hides the pane.
    void ShowNotice(const std::string& text, std::function<void()> click = {});
    std::string NoticeText() const { return spNotice.get_visible() ? spNotice.get_label() : ""; }
    void spNoticeClick();
    // The active page's zoom, in percent.
    void ShowZoom(int percent);

    // Alt+B and the pane: the picture menu above the pane.
    void spMenuClick();
    Gtk::Menu& PictureMenu() { return pmPic; }

  private:
    void BuildPictureMenu();

    TLinks links_;
    int progress_shown_ = 50;
    Gtk::Box sbWeb{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::ProgressBar psWeb;
    Gtk::Label spText;
    Gtk::Label spDownload;
    Gtk::Label spZoom;
    Gtk::Button spNotice;
    std::function<void()> noticeClick_;
    Gtk::Button spBug, spMenu, spWebConfig, spSC9;
    Gtk::Menu pmPic;
};

}  // namespace kivo
