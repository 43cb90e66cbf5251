#include "ui/left/left_panel.h"

#include "data/catalogue/catalogue_search.h"
#include "ui/drawn_pictures.h"
#include "webcontrol/maker_pages.h"

namespace kivo {

using catalogue::Section;

namespace {

// Gives a widget its own style rules (the panel's colours).
void Paint(Gtk::Widget& widget, const std::string& css) {
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(css);
    widget.get_style_context()->add_provider(provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

std::string Hex(unsigned rgb) {
    char text[8];
    snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFFu);
    return text;
}

void Name(Gtk::Widget& widget, const std::string& name) {
    widget.get_accessible()->set_name(name);
}

void SetHandCursor(Gtk::Widget& widget) {
    widget.signal_realize().connect([&widget] {
        if (auto window = widget.get_window())
            window->set_cursor(Gdk::Cursor::create(widget.get_display(), Gdk::HAND2));
    });
}

}  // namespace

struct TLeftPanel::SectionBox {
    Gtk::Box box{Gtk::ORIENTATION_VERTICAL};
    Gtk::Button header;
    Gtk::Box headerRow{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Label caption;
    Gtk::Label arrow;
    Gtk::Box content{Gtk::ORIENTATION_VERTICAL};
};

TLeftPanel::TLeftPanel(TLeftPanelHost& host) : host_(host) {
    pnlLeft.set_name("pnlLeft");
    Paint(pnlLeft, "box { background-color: " + Hex(catalogue::kLeftPanelColour) + "; }");
    pnlLeft.set_size_request(toggle_.Width(), -1);
    pnlLeft.set_hexpand(false);  // the window's pages take the rest of the width
    Name(pnlLeft, "左侧面板");

    Paint(pnlLeftIn, "box { border-right: 1px solid " + Hex(catalogue::kLeftInBorderColour) +
                         "; background-color: " + Hex(catalogue::kSectionColour) + "; }");
    BuildSearchStrip();
    BuildBbsRow();
    BuildSections();
    pnlLeftIn.signal_size_allocate().connect(sigc::mem_fun(*this, &TLeftPanel::pnlLeftInResize));
    pnlLeft.pack_start(pnlLeftIn, true, true);

    pnlSpot.set_size_request(catalogue::kSpotStripWidth, -1);
    for (auto* button : {&btnSpot, &btnSpot1}) {
        button->set_size_request(5, 90);
        button->set_relief(Gtk::RELIEF_NONE);
        button->set_can_focus(false);
        Paint(*button,
              "button { min-width: 0; min-height: 0; padding: 0; border: none; "
              "background-image: none; background-color: " +
                  Hex(catalogue::kLeftInBorderColour) + "; }");
        SetHandCursor(*button);
        button->signal_clicked().connect(sigc::mem_fun(*this, &TLeftPanel::btnSpotClick));
        pnlSpot.put(*button, 0, 0);
    }
    btnSpot.set_tooltip_text("隐藏左侧面板");
    Name(btnSpot, "隐藏左侧面板");
    btnSpot1.set_tooltip_text("显示左侧面板");
    Name(btnSpot1, "显示左侧面板");
    btnSpot1.set_no_show_all(true);
    pnlSpot.signal_size_allocate().connect(sigc::mem_fun(*this, &TLeftPanel::pnlSpotResize));
    pnlLeft.pack_end(pnlSpot, false, false);
    ApplySections();
}

TLeftPanel::~TLeftPanel() {
    resize_idle_.disconnect();
    spot_idle_.disconnect();
}

void TLeftPanel::BuildSearchStrip() {
    pnlFindEdt.set_size_request(-1, catalogue::kFindRowHeight);
    Image1.set(AppIcon(20));
    Image1.set_size_request(catalogue::kSearchBoxLeft - 4, -1);
    Name(Image1, "gameKivo");
    pnlFindEdt.pack_start(Image1, false, false);

    edtFindGrpGame.set_text(catalogue::kSearchPlaceholder);
    edtFindGrpGame.set_placeholder_text(catalogue::kSearchCue);
    edtFindGrpGame.set_width_chars(1);
    edtFindGrpGame.set_size_request(catalogue::kSearchBoxWidth, -1);
    edtFindGrpGame.set_valign(Gtk::ALIGN_CENTER);
    Paint(edtFindGrpGame, "entry { min-height: 0; min-width: 0; padding: 1px 2px; }");
    const auto rgb = catalogue::kPlaceholderColour;
    Gdk::RGBA silver;
    silver.set_rgba(((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                    (rgb & 0xFF) / 255.0);
    edtFindGrpGame.override_color(silver);
    edtFindGrpGame.set_icon_from_pixbuf(GlyphIcon(Glyph::Search, 14, Gdk::RGBA(kPanelColour)),
                                        Gtk::ENTRY_ICON_SECONDARY);
    edtFindGrpGame.set_icon_tooltip_text(catalogue::kSearchButtonHint, Gtk::ENTRY_ICON_SECONDARY);
    Name(edtFindGrpGame, catalogue::kSearchCue);
    edtFindGrpGame.signal_icon_release().connect(
        [this](Gtk::EntryIconPosition, const GdkEventButton*) { edtFindGrpGameButtonClick(); });
    edtFindGrpGame.signal_button_press_event().connect(
        sigc::mem_fun(*this, &TLeftPanel::edtFindGrpGameClick), false);
    edtFindGrpGame.signal_changed().connect(
        sigc::mem_fun(*this, &TLeftPanel::edtFindGrpGameChange));
    edtFindGrpGame.signal_key_press_event().connect(
        sigc::mem_fun(*this, &TLeftPanel::edtFindGrpGameKeyPress), false);
    // The Tab key passes the box by; a click or the window still gives it the focus.
    edtFindGrpGame.signal_focus().connect(
        [this](Gtk::DirectionType) {
            if (!edtFindGrpGame.is_focus())
                g_signal_stop_emission_by_name(edtFindGrpGame.gobj(), "focus");
            return false;
        },
        false);
    edtFindGrpGame.signal_activate().connect(
        sigc::mem_fun(*this, &TLeftPanel::edtFindGrpGameButtonClick));
    pnlFindEdt.pack_start(edtFindGrpGame, false, false);
    pnlLeftIn.pack_start(pnlFindEdt, false, false);
}

void TLeftPanel::BuildBbsRow() {
    pnlGoBBS.set_size_request(-1, catalogue::kBbsRowHeight);
    pnlGoBBS.set_visible_window(false);
    lblGoBBS.set_text(catalogue::kBbsLinkCaption);
    lblGoBBS.set_ellipsize(Pango::ELLIPSIZE_END);
    // The panel's width is its own: long texts are cut, never widen it.
    lblGoBBS.set_max_width_chars(1);
    Paint(lblGoBBS, "label { color: white; } label:hover { color: red; }");
    Name(pnlGoBBS, catalogue::kBbsLinkCaption);
    pnlGoBBS.add(lblGoBBS);
    pnlGoBBS.add_events(Gdk::ENTER_NOTIFY_MASK | Gdk::LEAVE_NOTIFY_MASK);
    pnlGoBBS.signal_enter_notify_event().connect([this](GdkEventCrossing*) {
        lblGoBBS.set_state_flags(Gtk::STATE_FLAG_PRELIGHT, false);
        return false;
    });
    pnlGoBBS.signal_leave_notify_event().connect([this](GdkEventCrossing*) {
        lblGoBBS.unset_state_flags(Gtk::STATE_FLAG_PRELIGHT);
        return false;
    });
    pnlGoBBS.signal_button_release_event().connect([this](GdkEventButton* event) {
        if (event->button == 1 && OnGoBBSClick)
            OnGoBBSClick();
        return true;
    });
    SetHandCursor(pnlGoBBS);
    pnlLeftIn.pack_start(pnlGoBBS, false, false);
}

void TLeftPanel::BuildSections() {
    CategoryPanelGroup1.set_policy(Gtk::POLICY_EXTERNAL, Gtk::POLICY_AUTOMATIC);
    CategoryPanelGroup1.set_vexpand(true);
    for (const auto& info : catalogue::kSections) {
        auto section = std::make_unique<SectionBox>();
        section->caption.set_text(info.caption);
        section->caption.set_xalign(0);
        section->caption.set_ellipsize(Pango::ELLIPSIZE_END);
        section->caption.set_max_width_chars(1);
        section->headerRow.pack_start(section->caption, true, true);
        section->headerRow.pack_end(section->arrow, false, false);
        section->header.add(section->headerRow);
        section->header.set_relief(Gtk::RELIEF_NONE);
        section->header.set_size_request(-1, catalogue::kSectionHeaderHeight);
        section->header.set_can_focus(false);
        Paint(section->header,
              "button { color: white; border-radius: 0; padding: 0 6px; "
              "background-image: linear-gradient(#2A86CF, " +
                  Hex(catalogue::kSectionColour) + "); }");
        Paint(section->caption, "label { color: white; font-weight: bold; }");
        Paint(section->arrow, "label { color: white; }");
        Name(section->header, info.caption);
        const Section which = info.section;
        section->header.signal_clicked().connect([this, which] { SectionHeaderClick(which); });
        section->box.pack_start(section->header, false, false);
        section->box.pack_start(section->content, true, true);
        groupBox.pack_start(section->box, false, false);
        sections_[static_cast<int>(info.section)] = std::move(section);
    }
    CategoryPanelGroup1.add(groupBox);
    pnlLeftIn.pack_start(CategoryPanelGroup1, true, true);
}

Gtk::Button& TLeftPanel::SectionHeader(Section section) {
    return sections_[static_cast<int>(section)]->header;
}

void TLeftPanel::SetSectionContent(Section section, Gtk::Widget& content) {
    auto& box = sections_[static_cast<int>(section)]->content;
    for (auto* child : box.get_children()) box.remove(*child);
    content.set_vexpand(true);
    box.pack_start(content, true, true);
    content.show_all();
}

void TLeftPanel::SectionHeaderClick(Section section) {
    if (states_.Expanded(section))
        Collapse(section);
    else
        Expand(section);
}

void TLeftPanel::Expand(Section section) {
    states_.Expand(section, left_in_height_);
    ApplySections();
    if (OnSectionExpanded)
        OnSectionExpanded(section);
}

void TLeftPanel::Collapse(Section section) {
    states_.Collapse(section);
    ApplySections();
}

void TLeftPanel::CategoryPanelGroup1Resize(int left_in_height) {
    left_in_height_ = left_in_height;
    states_.Resize(left_in_height);
    ApplySections();
}

void TLeftPanel::ApplySections() {
    for (const auto& info : catalogue::kSections) {
        auto& section = *sections_[static_cast<int>(info.section)];
        const bool open = states_.Expanded(info.section);
        section.arrow.set_text(open ? "▼" : "▶");
        section.content.set_visible(open);
        section.content.set_no_show_all(!open);
        section.box.set_size_request(
            -1, open ? states_.Height(info.section) : catalogue::kSectionHeaderHeight);
        section.header.set_state_flags(open ? Gtk::STATE_FLAG_CHECKED : Gtk::STATE_FLAG_NORMAL,
                                       true);
    }
}

void TLeftPanel::pnlLeftInResize(Gtk::Allocation& allocation) {
    const int height = allocation.get_height();
    if (height == left_in_height_)
        return;
    left_in_height_ = height;
    // Sizes are not changed while GTK is handing them out; the next idle moment does it.
    resize_idle_.disconnect();
    resize_idle_ = Glib::signal_idle().connect([this] {
        CategoryPanelGroup1Resize(left_in_height_);
        return false;
    });
}

void TLeftPanel::pnlSpotResize(Gtk::Allocation& allocation) {
    const int height = allocation.get_height();
    if (height == spot_height_)
        return;
    spot_height_ = height;
    spot_idle_.disconnect();
    spot_idle_ = Glib::signal_idle().connect([this] {
        const int top = catalogue::SpotButtonTop(spot_height_, 90);
        pnlSpot.move(btnSpot, 0, top);
        pnlSpot.move(btnSpot1, 0, top);
        return false;
    });
}

void TLeftPanel::btnSpotClick() {
    toggle_.Toggle();
    ApplyToggle();
    if (OnShownChanged)
        OnShownChanged(toggle_.Shown());
}

void TLeftPanel::ApplyToggle() {
    pnlLeft.set_size_request(toggle_.Width(), -1);
    pnlLeftIn.set_visible(toggle_.Shown());
    btnSpot.set_visible(toggle_.CloseButtonsVisible());
    btnSpot1.set_visible(toggle_.OpenButtonsVisible());
}

bool TLeftPanel::edtFindGrpGameClick(GdkEventButton* event) {
    if (event->type != GDK_BUTTON_PRESS || event->button != 1)
        return false;
    // A press on the find button is the button's, not the text's.
    int origin_x = 0, origin_y = 0;
    edtFindGrpGame.get_window()->get_origin(origin_x, origin_y);
    const auto area = edtFindGrpGame.get_allocation();
    const int x = static_cast<int>(event->x_root) - origin_x - area.get_x();
    const int y = static_cast<int>(event->y_root) - origin_y - area.get_y();
    if (edtFindGrpGame.get_icon_at_pos(x, y) >= 0)
        return false;
    edtFindGrpGame.select_region(0, -1);
    edtFindGrpGame.set_text("");
    return false;
}

void TLeftPanel::edtFindGrpGameChange() {
    edtFindGrpGame.unset_color();
}

bool TLeftPanel::edtFindGrpGameKeyPress(GdkEventKey* event) {
    if (event->keyval == GDK_KEY_F4) {
        edtFindGrpGameButtonClick();
        return true;
    }
    return false;
}

void TLeftPanel::edtFindGrpGameButtonClick() {
    if (catalogue::IsSearchQuery(edtFindGrpGame.get_text().raw()))
        actLoadWebGamePnlLikeExecute();
}

void TLeftPanel::actLoadWebGamePnlLikeExecute() {
    host_.OpenGame(MakerSearchUrl(), catalogue::SearchPostData(edtFindGrpGame.get_text().raw()),
                   "");
}

}  // namespace kivo
