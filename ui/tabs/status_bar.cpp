#include "ui/tabs/status_bar.h"

#include <algorithm>
#include <tuple>

#include "webcontrol/browser_keys.h"
#include "webcontrol/maker_pages.h"

namespace kivo {

TStatusBar::TStatusBar(TLinks links) : links_(std::move(links)) {
    sbWeb.get_style_context()->add_class("kivo-status");
    psWeb.set_size_request(145, -1);
    psWeb.set_show_text(false);
    psWeb.set_margin_start(4);
    psWeb.set_valign(Gtk::ALIGN_CENTER);
    ShowProgress(50);
    spText.set_xalign(0);
    spText.set_margin_start(4);
    spText.set_ellipsize(Pango::ELLIPSIZE_END);
    const std::tuple<Gtk::Button*, const char*, int> panes[] = {
        {&spBug, "问题提交", 56},
        {&spMenu, "快速截图：Alt+B", 99},
        {&spWebConfig, "页面自动刷新设置", 107},
        {&spSC9, "9格显示", 51}};
    for (const auto& [pane, caption, width] : panes) {
        pane->set_label(caption);
        pane->set_relief(Gtk::RELIEF_NONE);
        pane->set_can_focus(false);
        pane->set_size_request(width, -1);
    }
    spSC9.signal_clicked().connect([this] { links_.SC9Click(); });
    spWebConfig.signal_clicked().connect([this] { links_.WebConfigPopup(spWebConfig); });
    spMenu.signal_clicked().connect([this] { spMenuClick(); });
    spBug.signal_clicked().connect(
        [this] { links_.OpenGame(MakerUrl("/thread-8791-1-1.html"), ""); });
    sbWeb.pack_start(psWeb, Gtk::PACK_SHRINK);
    sbWeb.pack_start(spText, Gtk::PACK_EXPAND_WIDGET);
    spDownload.set_ellipsize(Pango::ELLIPSIZE_START);
    spDownload.set_max_width_chars(48);
    spDownload.set_no_show_all(true);
    sbWeb.pack_start(spDownload, Gtk::PACK_SHRINK);
    spNotice.set_relief(Gtk::RELIEF_NONE);
    spNotice.set_can_focus(false);
    spNotice.set_no_show_all(true);
    spNotice.signal_clicked().connect([this] { spNoticeClick(); });
    sbWeb.pack_start(spNotice, Gtk::PACK_SHRINK);
    for (Gtk::Button* pane : {&spSC9, &spWebConfig, &spMenu, &spBug})
        sbWeb.pack_end(*pane, Gtk::PACK_SHRINK);
    spZoom.set_margin_end(6);
    sbWeb.pack_end(spZoom, Gtk::PACK_SHRINK);
    ShowZoom(kDefaultZoomPercent);
    sbWeb.set_size_request(-1, 19);
    BuildPictureMenu();
}

void TStatusBar::BuildPictureMenu() {
    // Whole page, screen area, full screen, each to a file, the paint program or the clipboard.
    const char* const groups[] = {"网页截图", "区域截图", "全屏截图"};
    const char* const outputs_captions[] = {"输出到文件", "输出到画图", "输出到剪贴板"};
    for (int group = 0; group < 3; ++group) {
        auto* group_item = Gtk::manage(new Gtk::MenuItem(groups[group]));
        auto* outputs = Gtk::manage(new Gtk::Menu);
        for (int output = 0; output < 3; ++output) {
            auto* item = Gtk::manage(new Gtk::MenuItem(outputs_captions[output]));
            item->signal_activate().connect([this, group, output] {
                if (links_.PictureMenuClick)
                    links_.PictureMenuClick(group, output);
            });
            outputs->append(*item);
        }
        group_item->set_submenu(*outputs);
        pmPic.append(*group_item);
    }
    pmPic.get_style_context()->add_class("kivo-menu");
    pmPic.show_all();
}

void TStatusBar::ShowProgress(int percent) {
    progress_shown_ = percent;
    psWeb.set_fraction(std::clamp(percent, 0, 100) / 100.0);
    psWeb.set_tooltip_text(std::to_string(percent) + "%");
}

void TStatusBar::ShowDownloadText(const std::string& text) {
    spDownload.set_text(text);
    spDownload.set_tooltip_text(text);
    spDownload.set_visible(!text.empty());
}

void TStatusBar::ShowNotice(const std::string& text, std::function<void()> click) {
    noticeClick_ = std::move(click);
    spNotice.set_label(text);
    spNotice.get_accessible()->set_name(text);
    spNotice.set_visible(!text.empty());
}

void TStatusBar::spNoticeClick() {
    auto click = std::move(noticeClick_);
    noticeClick_ = nullptr;
    spNotice.hide();
    if (click)
        click();
}

void TStatusBar::ShowZoom(int percent) {
    spZoom.set_text(ZoomCaption(percent));
}

void TStatusBar::spMenuClick() {
    if (!spMenu.get_mapped())
        return;
    // Opens upwards from the pane.
    pmPic.popup_at_widget(&spMenu, Gdk::GRAVITY_NORTH_WEST, Gdk::GRAVITY_SOUTH_WEST, nullptr);
}

}  // namespace kivo
