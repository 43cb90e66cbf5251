#include "ui/drawn_pictures.h"

#include <algorithm>
#include <cmath>

namespace kivo {

void RoundedRectangle(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double w,
                      double h, double r) {
    cr->begin_new_sub_path();
    cr->arc(x + w - r, y + r, r, -M_PI / 2, 0);
    cr->arc(x + w - r, y + h - r, r, 0, M_PI / 2);
    cr->arc(x + r, y + h - r, r, M_PI / 2, M_PI);
    cr->arc(x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cr->close_path();
}

namespace {

Glib::RefPtr<Gdk::Pixbuf> ToPixbuf(const Cairo::RefPtr<Cairo::ImageSurface>& surface) {
    surface->flush();
    return Glib::wrap(gdk_pixbuf_get_from_surface(surface->cobj(), 0, 0, surface->get_width(),
                                                  surface->get_height()));
}

// A chevron pointing left (direction -1) or right (+1) around (cx, cy).
void Chevron(const Cairo::RefPtr<Cairo::Context>& cr, double cx, double cy, double s, int direction) {
    cr->move_to(cx - direction * s * 0.25, cy - s * 0.5);
    cr->line_to(cx + direction * s * 0.25, cy);
    cr->line_to(cx - direction * s * 0.25, cy + s * 0.5);
    cr->stroke();
}

// The magnifier: a ring with a handle.
void Magnifier(const Cairo::RefPtr<Cairo::Context>& cr, double cx, double cy, double s) {
    cr->arc(cx - s * 0.1, cy - s * 0.1, s * 0.3, 0, 2 * M_PI);
    cr->stroke();
    cr->move_to(cx + s * 0.12, cy + s * 0.12);
    cr->line_to(cx + s * 0.45, cy + s * 0.45);
    cr->stroke();
}

}  // namespace

void DrawGlyph(const Cairo::RefPtr<Cairo::Context>& cr, Glyph glyph, double w, double h) {
    const double s = std::min(w, h) * 0.62;
    const double cx = w / 2, cy = h / 2;
    cr->save();
    cr->set_line_width(std::max(1.5, s / 7));
    cr->set_line_cap(Cairo::LINE_CAP_ROUND);
    cr->set_line_join(Cairo::LINE_JOIN_ROUND);
    switch (glyph) {
    case Glyph::Back:
    case Glyph::Forward: {
        const int direction = glyph == Glyph::Back ? -1 : 1;
        cr->move_to(cx - direction * s * 0.45, cy);
        cr->line_to(cx + direction * s * 0.45, cy);
        cr->stroke();
        Chevron(cr, cx + direction * s * 0.2, cy, s * 0.9, direction);
        break;
    }
    case Glyph::Refresh:
        cr->arc(cx, cy, s * 0.4, -M_PI * 0.35, M_PI * 1.45);
        cr->stroke();
        cr->move_to(cx + s * 0.42, cy - s * 0.55);
        cr->line_to(cx + s * 0.28, cy - s * 0.22);
        cr->line_to(cx - s * 0.02, cy - s * 0.4);
        cr->stroke();
        break;
    case Glyph::Home:
        cr->move_to(cx - s * 0.5, cy - s * 0.02);
        cr->line_to(cx, cy - s * 0.48);
        cr->line_to(cx + s * 0.5, cy - s * 0.02);
        cr->stroke();
        cr->move_to(cx - s * 0.32, cy - s * 0.1);
        cr->line_to(cx - s * 0.32, cy + s * 0.45);
        cr->line_to(cx + s * 0.32, cy + s * 0.45);
        cr->line_to(cx + s * 0.32, cy - s * 0.1);
        cr->stroke();
        cr->rectangle(cx - s * 0.09, cy + s * 0.12, s * 0.18, s * 0.33);
        cr->fill();
        break;
    case Glyph::Go:
        cr->arc(cx, cy, s * 0.48, 0, 2 * M_PI);
        cr->fill();
        cr->set_operator(Cairo::OPERATOR_CLEAR);
        cr->move_to(cx - s * 0.22, cy);
        cr->line_to(cx + s * 0.2, cy);
        cr->stroke();
        Chevron(cr, cx + s * 0.08, cy, s * 0.5, 1);
        break;
    case Glyph::Minimize:
        cr->move_to(cx - s * 0.4, cy + s * 0.3);
        cr->line_to(cx + s * 0.4, cy + s * 0.3);
        cr->stroke();
        break;
    case Glyph::Maximize:
        cr->rectangle(cx - s * 0.4, cy - s * 0.35, s * 0.8, s * 0.7);
        cr->stroke();
        cr->move_to(cx - s * 0.4, cy - s * 0.25);
        cr->line_to(cx + s * 0.4, cy - s * 0.25);
        cr->stroke();
        break;
    case Glyph::Close:
        cr->move_to(cx - s * 0.35, cy - s * 0.35);
        cr->line_to(cx + s * 0.35, cy + s * 0.35);
        cr->move_to(cx + s * 0.35, cy - s * 0.35);
        cr->line_to(cx - s * 0.35, cy + s * 0.35);
        cr->stroke();
        break;
    case Glyph::DropDown:
        cr->move_to(cx - s * 0.35, cy - s * 0.15);
        cr->line_to(cx, cy + s * 0.2);
        cr->line_to(cx + s * 0.35, cy - s * 0.15);
        cr->close_path();
        cr->fill();
        break;
    case Glyph::Search:
        Magnifier(cr, cx, cy, s * 1.2);
        break;
    case Glyph::LeftPanel:
        cr->rectangle(cx - s * 0.45, cy - s * 0.38, s * 0.9, s * 0.76);
        cr->stroke();
        cr->move_to(cx - s * 0.1, cy - s * 0.38);
        cr->line_to(cx - s * 0.1, cy + s * 0.38);
        cr->stroke();
        break;
    case Glyph::AddList:
        cr->move_to(cx - s * 0.45, cy);
        cr->line_to(cx + s * 0.45, cy);
        cr->move_to(cx, cy - s * 0.45);
        cr->line_to(cx, cy + s * 0.45);
        cr->stroke();
        break;
    case Glyph::SaveForm:
        cr->rectangle(cx - s * 0.4, cy - s * 0.4, s * 0.8, s * 0.8);
        cr->stroke();
        cr->rectangle(cx - s * 0.2, cy - s * 0.4, s * 0.4, s * 0.28);
        cr->fill();
        break;
    }
    cr->restore();
}

void FillTitleBand(const Cairo::RefPtr<Cairo::Context>& cr, double width, double height) {
    auto band = Cairo::LinearGradient::create(0, 0, 0, height);
    band->add_color_stop_rgb(0, 0x2A / 255.0, 0x86 / 255.0, 0xCF / 255.0);
    band->add_color_stop_rgb(1, 0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
    cr->set_source(band);
    cr->rectangle(0, 0, width, height);
    cr->fill();
}

void DrawBanner(const Cairo::RefPtr<Cairo::Context>& cr, double w, double h) {
    auto sky = Cairo::LinearGradient::create(0, 0, 0, h);
    sky->add_color_stop_rgb(0, 0x2C / 255.0, 0x8E / 255.0, 0xD8 / 255.0);
    sky->add_color_stop_rgb(0.45, 0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
    sky->add_color_stop_rgb(1, 0x0E / 255.0, 0x5C / 255.0, 0x9E / 255.0);
    cr->set_source(sky);
    cr->paint();
    // Two soft arcs across the right half.
    cr->set_line_width(h * 0.5);
    for (double i : {0.0, 1.0}) {
        cr->set_source_rgba(1, 1, 1, 0.05 + 0.03 * i);
        cr->arc(w * (0.72 + 0.12 * i), h * (1.9 + 0.3 * i), h * (1.6 + 0.4 * i), M_PI, 2 * M_PI);
        cr->stroke();
    }
}

void DrawAppIcon(const Cairo::RefPtr<Cairo::Context>& cr, double size) {
    const double s = size;
    auto face = Cairo::LinearGradient::create(0, 0, 0, s);
    face->add_color_stop_rgb(0, 0x3A / 255.0, 0x9C / 255.0, 0xE6 / 255.0);
    face->add_color_stop_rgb(1, 0x0E / 255.0, 0x5C / 255.0, 0x9E / 255.0);
    RoundedRectangle(cr, s * 0.04, s * 0.04, s * 0.92, s * 0.92, s * 0.2);
    cr->set_source(face);
    cr->fill();
    // Two overlapping windows: several logins side by side.
    cr->set_line_width(std::max(1.0, s / 16));
    cr->set_source_rgba(1, 1, 1, 0.65);
    RoundedRectangle(cr, s * 0.18, s * 0.2, s * 0.46, s * 0.38, s * 0.06);
    cr->stroke();
    cr->set_source_rgb(1, 1, 1);
    RoundedRectangle(cr, s * 0.36, s * 0.4, s * 0.46, s * 0.38, s * 0.06);
    cr->fill();
    cr->set_source_rgb(0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
    cr->arc(s * 0.59, s * 0.59, s * 0.09, 0, 2 * M_PI);
    cr->fill();
}

Glib::RefPtr<Gdk::Pixbuf> AppIcon(int size) {
    auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, size, size);
    DrawAppIcon(Cairo::Context::create(surface), size);
    return ToPixbuf(surface);
}

Glib::RefPtr<Gdk::Pixbuf> GlyphIcon(Glyph glyph, int size, const Gdk::RGBA& colour) {
    auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, size, size);
    auto cr = Cairo::Context::create(surface);
    cr->set_source_rgba(colour.get_red(), colour.get_green(), colour.get_blue(), colour.get_alpha());
    DrawGlyph(cr, glyph, size, size);
    return ToPixbuf(surface);
}

Glib::RefPtr<Gdk::Pixbuf> SearchIcon(int index) {
    constexpr int kSize = 16;
    auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, kSize, kSize);
    auto cr = Cairo::Context::create(surface);
    if (index == 0 || index == 1) {
        // The engines differ by colour: a blue and a red disc with a white magnifier.
        if (index == 0)
            cr->set_source_rgb(0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
        else
            cr->set_source_rgb(0xD9 / 255.0, 0x3A / 255.0, 0x2B / 255.0);
        cr->arc(kSize / 2.0, kSize / 2.0, kSize / 2.0 - 0.5, 0, 2 * M_PI);
        cr->fill();
        cr->set_source_rgb(1, 1, 1);
        cr->set_line_width(1.6);
        cr->set_line_cap(Cairo::LINE_CAP_ROUND);
        Magnifier(cr, kSize / 2.0, kSize / 2.0, kSize * 0.62);
    } else {
        const double grey = index == 3 ? 0.7 : 0.25;
        cr->set_source_rgb(grey, grey, grey);
        DrawGlyph(cr, Glyph::Search, kSize, kSize);
    }
    return ToPixbuf(surface);
}

PictureButton::PictureButton(Glyph glyph, int width, int height, const std::string& caption)
    : glyph_(glyph), caption_(caption) {
    set_relief(Gtk::RELIEF_NONE);
    set_can_focus(false);
    set_size_request(width, height);
    if (!caption.empty()) set_tooltip_text(caption);
    // A picture says nothing to a screen reader: the button is named by its hint, and keeps
    // following it when the hint changes.
    if (!caption.empty()) get_accessible()->set_name(caption);
    property_tooltip_text().signal_changed().connect(
        [this] { get_accessible()->set_name(get_tooltip_text()); });
}

bool PictureButton::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
    const double w = get_allocated_width(), h = get_allocated_height();
    const Gtk::StateFlags state = get_state_flags();
    const bool insensitive = (state & Gtk::STATE_FLAG_INSENSITIVE) != Gtk::StateFlags(0);
    if (!insensitive) {
        double light = 0;
        if ((state & Gtk::STATE_FLAG_ACTIVE) != Gtk::StateFlags(0))
            light = 0.32;
        else if ((state & Gtk::STATE_FLAG_PRELIGHT) != Gtk::StateFlags(0))
            light = 0.18;
        if (light > 0) {
            RoundedRectangle(cr, 0.5, 0.5, w - 1, h - 1, 3);
            cr->set_source_rgba(1, 1, 1, light);
            cr->fill();
        }
    }
    cr->set_source_rgba(1, 1, 1, insensitive ? 0.45 : 1);
    if (caption_.empty() || w < h * 1.8) {
        DrawGlyph(cr, glyph_, w, h);
        return true;
    }
    // Glyph on the left square, the caption beside it.
    DrawGlyph(cr, glyph_, h, h);
    auto layout = create_pango_layout(caption_);
    int tw = 0, th = 0;
    layout->get_pixel_size(tw, th);
    cr->move_to(h - 2, (h - th) / 2);
    layout->show_in_cairo_context(cr);
    return true;
}

void InstallStyleSheet() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    auto css = Gtk::CssProvider::create();
    css->load_from_data(R"(
        .kivo-main, .kivo-main * { font-family: Tahoma, "WenQuanYi Micro Hei", sans-serif; font-size: 8pt; }
        .kivo-line { background-color: #0E5C9E; }
        .kivo-address entry, entry.kivo-address { min-height: 19px; padding: 0 4px; border-radius: 2px;
            border: 1px solid #88C5E6; background-color: #FFFFFF; }
        .kivo-tabs header { background-color: #F7F6F5; }
        .kivo-tabs tab { min-height: 20px; padding: 1px 6px; }
        .kivo-tabs tab:checked { background-color: #FFFFFF; }
        .kivo-tab-top { background-color: #88C5E6; }
        .kivo-status { background-color: #E8F2FA; border-top: 1px solid #88C5E6; }
        .kivo-status button { padding: 0 4px; min-height: 0; border-radius: 0; }
        .kivo-status progressbar trough, .kivo-status progressbar progress { min-height: 10px; }
        .kivo-left { background-color: #F3F3F3; border-right: 1px solid #88C5E6; }
        .kivo-spot { background-color: #136EB7; }
        .kivo-menu menuitem:hover { background-color: #136EB7; color: #FFFFFF; }
        .kivo-menu { border: 1px solid #88C5E6; }
    )");
    Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css,
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace kivo
