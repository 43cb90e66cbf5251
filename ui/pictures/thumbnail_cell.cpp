#include "ui/pictures/thumbnail_cell.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "ui/drawn_pictures.h"
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

void TThumbnailCell::ShowTab(int index, int32_t handle) {
    Tag = index;
    if (handle != ShownHandle || handle == 0)
        Clear();
    ShownHandle = handle;
}

void TThumbnailCell::SetPicture(Glib::RefPtr<Gdk::Pixbuf> picture, std::optional<FileStamp> from) {
    picture_ = std::move(picture);
    picture_from_ = from;
    drawn_.clear();
    queue_draw();
}

void TThumbnailCell::Clear() {
    picture_.reset();
    picture_from_.reset();
    drawn_.clear();
    queue_draw();
}

bool TThumbnailCell::HoldsPictureOf(const FileStamp& file, int width, int height) const {
    return picture_ && picture_from_ == file && picture_->get_width() == width &&
           picture_->get_height() == height;
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
        if (!drawn_) {
            drawn_ = Cairo::RefPtr<Cairo::Surface>(new Cairo::Surface(
                gdk_cairo_surface_create_from_pixbuf(picture_->gobj(), 1, get_window()->gobj()),
                true));
        }
        cr->set_source(drawn_, 0, 0);
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

TThumbnailLoader::TThumbnailLoader(TThumbnailLinks& links)
    : links_(links), threads_(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)) {}

TThumbnailLoader::~TThumbnailLoader() {
    fresh_idle_.disconnect();
    StopWaitingForPaint();
}

bool TThumbnailLoader::StillShows(const Job& job) const {
    return job.cell->ShownHandle == job.handle && job.handle != 0 &&
           links_.TabHandle(job.cell->Tag) == job.handle;
}

bool TThumbnailLoader::Run(const Job& job, std::function<void()> shown) {
    if (!StillShows(job))
        return false;  // the tab went or moved meanwhile: the cell keeps its digit
    const unsigned read = ++last_read_[job.cell];
    const std::string file = ThumbnailFile(links_.WorkPath(), job.handle);
    // Taken before the reading: should the file be replaced meanwhile, the next refresh reads
    // it again rather than keep a picture it takes for the newer file's.
    const std::optional<FileStamp> stamp = StampOf(file);
    if (!stamp || job.cell->HoldsPictureOf(*stamp, job.width, job.height)) {
        // No file: the digit. Or the cell shows this very file at this size already.
        if (!stamp)
            job.cell->Clear();
        if (shown)
            shown();
        return true;
    }
    threads_.Post(
        [this, job, read, file, stamp, shown = std::move(shown)]() -> TPictureThreads::Finish {
            // On a thread: only the file and the sizes are touched here.
            auto picture = std::make_shared<imaging::RgbImage>();
            try {
                *picture = LoadThumbnailScaled(file, job.width, job.height);
            } catch (const std::exception&) {
                // A missing or damaged file shows nothing new.
            }
            return [this, job, read, stamp, picture, shown] {
                // Back on the main loop: the cell takes it if nothing newer was asked meanwhile.
                if (!picture->Empty() && last_read_[job.cell] == read && StillShows(job))
                    job.cell->SetPicture(ToPixbuf(*picture), stamp);
                if (shown)
                    shown();
            };
        });
    return true;
}

void TThumbnailLoader::LoadOne(TThumbnailCell& cell, int width, int height) {
    Run({&cell, cell.ShownHandle, width, height});
}

void TThumbnailLoader::FileShown(unsigned load) {
    if (load != load_ || --files_left_ > 0)
        return;
    if (auto files_read = std::exchange(files_read_, {}))
        files_read();
    if (fresh_.empty() || fresh_idle_.connected())
        return;
    // After the frame that shows the pictures read from the files, so that the workers' drawing
    // does not hold that frame up. A cell is asked to draw again whatever happens meanwhile.
    fresh_idle_ = Glib::signal_idle().connect(
        [this] {
            TThumbnailCell* cell = fresh_.empty() ? nullptr : fresh_.front().cell;
            GdkWindow* window = cell && cell->get_realized() ? cell->get_window()->gobj() : nullptr;
            GdkFrameClock* clock = window ? gdk_window_get_frame_clock(window) : nullptr;
            if (!clock || !cell->get_mapped()) {
                AskFresh();
                return false;
            }
            after_paint_ = g_signal_connect_swapped(
                clock, "after-paint",
                G_CALLBACK(+[](TThumbnailLoader* self) { self->AfterPaint(); }), this);
            painting_clock_ = GObjectRef<GdkFrameClock>::Share(clock);
            cell->queue_draw();
            return false;
        },
        Glib::PRIORITY_DEFAULT_IDLE);
}

void TThumbnailLoader::AfterPaint() {
    StopWaitingForPaint();
    AskFresh();
}

void TThumbnailLoader::StopWaitingForPaint() {
    if (painting_clock_) {
        g_signal_handler_disconnect(painting_clock_.Get(), after_paint_);
        painting_clock_.Reset();
    }
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
            if (!written)
                return;
            Run(job);
            if (links_.PictureWritten)
                links_.PictureWritten(job.handle);
        });
    }
}

void TThumbnailLoader::Load(const std::vector<TThumbnailCell*>& cells, int width, int height,
                            bool fresh, std::function<void()> files_read) {
    std::vector<Job> jobs;
    for (TThumbnailCell* cell : cells) {
        if (cell->ShownHandle != 0)
            jobs.push_back({cell, cell->ShownHandle, width, height});
    }
    if (fresh && links_.FreshPicture) {
        fresh_ = jobs;
    } else {
        // A reload of the same tabs (a new size) still gets the fresh pictures asked before.
        for (Job& job : fresh_) {
            job.width = width;
            job.height = height;
        }
    }
    const unsigned load = ++load_;
    files_read_ = std::move(files_read);
    files_left_ = 1;  // held until every file is on its way, so none can finish the count early
    for (const Job& job : jobs) {
        ++files_left_;  // before the run, which may show a picture the cell holds at once
        if (!Run(job, [this, load] { FileShown(load); }))
            --files_left_;
    }
    FileShown(load);
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
