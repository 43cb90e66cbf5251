#include "ui/pictures/thumbnail_cell.h"

#include <algorithm>
#include <cmath>

#include "ui/pictures.h"
#include "ui/pictures/thumbnail_layout.h"

namespace kivo {

namespace {

// The system's window colour, the frame under the pointer and the frame's shadow.
const Gdk::RGBA kWindowColour("#FFFFFF");
const Gdk::RGBA kHotFrameColour("#FF8000");
const Gdk::RGBA kShadowColour("#3366FF");

void SetSource(const Cairo::RefPtr<Cairo::Context>& cr, const Gdk::RGBA& colour) {
    cr->set_source_rgb(colour.get_red(), colour.get_green(), colour.get_blue());
}

Glib::RefPtr<Gdk::Pixbuf> ToPixbuf(const imaging::RgbImage& image) {
    auto pixbuf = Gdk::Pixbuf::create(Gdk::COLORSPACE_RGB, false, 8, image.Width(), image.Height());
    const int stride = pixbuf->get_rowstride();
    guint8* pixels = pixbuf->get_pixels();
    for (int y = 0; y < image.Height(); ++y)
        std::copy_n(image.Row(y), static_cast<size_t>(image.Width()) * 3, pixels + y * stride);
    return pixbuf;
}

}  // namespace

TThumbnailCell::TThumbnailCell(int digit, const std::string& accessible_name,
                               std::function<void()> click, std::function<void()> enter,
                               std::function<void()> leave)
    : digit_(digit) {
    set_visible_window(true);
    set_hexpand(true);
    set_vexpand(true);
    signal_button_release_event().connect([click](GdkEventButton* event) {
        if (event->button == 1)
            click();
        return true;
    });
    signal_enter_notify_event().connect([enter](GdkEventCrossing*) {
        enter();
        return false;
    });
    signal_leave_notify_event().connect([leave](GdkEventCrossing*) {
        leave();
        return false;
    });
    set_app_paintable(true);
    add_events(Gdk::BUTTON_PRESS_MASK | Gdk::BUTTON_RELEASE_MASK | Gdk::ENTER_NOTIFY_MASK |
               Gdk::LEAVE_NOTIFY_MASK);
    get_accessible()->set_name(accessible_name);
    get_accessible()->set_role(Atk::ROLE_PUSH_BUTTON);
}

void TThumbnailCell::on_realize() {
    Gtk::EventBox::on_realize();
    get_window()->set_cursor(Gdk::Cursor::create(get_display(), "pointer"));
}

void TThumbnailCell::SetPicture(const imaging::RgbImage& picture, int width, int height) {
    auto full = ToPixbuf(picture);
    picture_ = full->scale_simple(std::max(width, 1), std::max(height, 1), Gdk::INTERP_BILINEAR);
    queue_draw();
}

void TThumbnailCell::Clear() {
    picture_.reset();
    queue_draw();
}

void TThumbnailCell::SetHot(bool hot) {
    hot_ = hot;
    queue_draw();
}

bool TThumbnailCell::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
    const double w = get_allocated_width(), h = get_allocated_height();
    // The shadow, then the white panel with its frame.
    SetSource(cr, kShadowColour);
    RoundedRectangle(cr, 1, 1, w - 1, h - 1, 6);
    cr->fill();
    SetSource(cr, hot_ ? kHotFrameColour : kWindowColour);
    RoundedRectangle(cr, 0, 0, w - 1, h - 1, 6);
    cr->fill();
    const double inner_w = std::max(0.0, w - 1 - 2 * kCellBorder);
    const double inner_h = std::max(0.0, h - 1 - 2 * kCellBorder);
    cr->set_source_rgb(1, 1, 1);
    cr->rectangle(kCellBorder, kCellBorder, inner_w, inner_h);
    cr->fill();
    if (picture_ && inner_w > 0 && inner_h > 0) {
        cr->save();
        cr->translate(kCellBorder, kCellBorder);
        cr->scale(inner_w / picture_->get_width(), inner_h / picture_->get_height());
        Gdk::Cairo::set_source_pixbuf(cr, picture_, 0, 0);
        cr->paint();
        cr->restore();
        return true;
    }
    // No picture: the digit.
    auto layout = create_pango_layout(std::to_string(digit_));
    Pango::FontDescription font("Tahoma");
    font.set_absolute_size(48 * PANGO_SCALE);
    layout->set_font_description(font);
    int tw = 0, th = 0;
    layout->get_pixel_size(tw, th);
    cr->set_source_rgb(0x33 / 255.0, 0x66 / 255.0, 0xFF / 255.0);
    cr->move_to((w - tw) / 2, (h - th) / 2);
    layout->show_in_cairo_context(cr);
    return true;
}

TThumbnailLoader::TThumbnailLoader(TThumbnailLinks& links) : links_(links) {}

TThumbnailLoader::~TThumbnailLoader() {
    idle_.disconnect();
}

bool TThumbnailLoader::StillShows(const Job& job) const {
    return job.cell->ShownHandle == job.handle && job.handle != 0 &&
           links_.TabHandle(job.cell->Tag) == job.handle;
}

void TThumbnailLoader::Run(const Job& job) {
    if (!StillShows(job))
        return;  // the tab went or moved meanwhile: the cell keeps its digit
    const std::string file = ThumbnailFile(links_.WorkPath(), job.handle);
    try {
        job.cell->SetPicture(LoadThumbnailPicture(file, job.width, job.height), job.width,
                             job.height);
    } catch (const std::exception&) {
        // A missing or damaged file shows nothing new.
    }
}

void TThumbnailLoader::LoadNow(TThumbnailCell& cell, int width, int height) {
    Run({&cell, cell.ShownHandle, width, height});
}

bool TThumbnailLoader::Step() {
    if (!queue_.empty()) {
        const Job job = queue_.front();
        queue_.pop_front();
        Run(job);
    }
    if (!queue_.empty())
        return true;
    // After the next frame, which shows the pictures read so far.
    if (!fresh_.empty() && !fresh_idle_.connected()) {
        fresh_idle_ = Glib::signal_idle().connect(
            [this] {
                AskFresh();
                return false;
            },
            Glib::PRIORITY_DEFAULT_IDLE);
    }
    return false;
}

void TThumbnailLoader::AskFresh() {
    // All workers draw side by side; each cell takes its picture when its worker is done.
    for (const Job& job : std::exchange(fresh_, {})) {
        if (!StillShows(job) || !asking_.insert(job.handle).second)
            continue;
        std::weak_ptr<int> alive = alive_;
        links_.FreshPicture(job.handle, [this, alive, job](bool written) {
            if (alive.expired())
                return;
            asking_.erase(job.handle);
            if (written)
                Run(job);
        });
    }
}

void TThumbnailLoader::Load(const std::vector<TThumbnailCell*>& cells, int width, int height,
                            bool fresh) {
    queue_.clear();
    for (TThumbnailCell* cell : cells) {
        if (cell->ShownHandle != 0)
            queue_.push_back({cell, cell->ShownHandle, width, height});
    }
    if (fresh && links_.FreshPicture) {
        fresh_.assign(queue_.begin(), queue_.end());
    } else {
        // A reload of the same tabs (a new size) still gets the fresh pictures asked before.
        for (Job& job : fresh_) {
            job.width = width;
            job.height = height;
        }
    }
    if (!idle_.connected()) {
        idle_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &TThumbnailLoader::Step),
                                            Glib::PRIORITY_HIGH_IDLE);
    }
}

void StyleCaptionBar(Gtk::Widget& bar) {
    static bool installed = false;
    if (!installed) {
        installed = true;
        auto css = Gtk::CssProvider::create();
        css->load_from_data(R"(
            .kivo-thumb-panel { background-color: #E8F2FA; }
            .kivo-thumb-caption { background-color: #136EB7; }
            .kivo-thumb-caption label, .kivo-thumb-caption button { color: #FFFFFF; }
            .kivo-thumb-caption button { padding: 0 2px; min-height: 0; }
        )");
        Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css,
                                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    bar.get_style_context()->add_class("kivo-thumb-caption");
}

}  // namespace kivo
