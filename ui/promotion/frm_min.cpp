#include "ui/promotion/frm_min.h"

#include <cairo.h>

#include <iostream>

#include "session/shell_folders.h"
#include "ui/drawn_pictures.h"
#include "ui/side/ordinary_profile.h"
#include "ui/window_frame.h"
#include "webcontrol/webkit_browser_view.h"

namespace kivo {

namespace {

constexpr int kWidth = 560, kHeight = 440;
// Pages in the small view show no scroll bars; the wheel and the keys still scroll them.
constexpr const char* kNoScrollBars =
    "html { scrollbar-width: none; } ::-webkit-scrollbar { display: none; width: 0; height: 0; }";

}  // namespace

TFrmMin::TFrmMin(std::function<void(const std::string&)> OpenGame, std::function<void()> Closed)
    : OpenGame_(std::move(OpenGame)), Closed_(std::move(Closed)) {
    set_title(kMiniWindowTitle);
    set_icon(AppIcon(48));
    set_decorated(false);
    set_resizable(false);
    set_default_size(kWidth, kHeight);
    set_size_request(kWidth, kHeight);
    set_type_hint(Gdk::WINDOW_TYPE_HINT_UTILITY);

    DrawBackgroundPicture();
    imgBack.set_visible_window(true);
    imgBack.set_app_paintable(true);
    imgBack.signal_draw().connect(sigc::mem_fun(*this, &TFrmMin::imgBackDraw), false);
    imgBack.add_events(Gdk::BUTTON_PRESS_MASK);
    imgBack.signal_button_press_event().connect(sigc::mem_fun(*this, &TFrmMin::imgBackMouseDown));

    lblTitle.set_markup("<b>" + Glib::Markup::escape_text(kMiniWindowTitle) + "</b>");
    lblTitle.override_color(Gdk::RGBA("#FFFFFF"));
    // The glyph keeps its 15 x 15 pixels: no theme padding around it.
    auto css = Gtk::CssProvider::create();
    css->load_from_data("button { padding: 0; min-width: 0; min-height: 0; border-width: 0; }");
    btnSysClose.get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    btnSysClose.signal_clicked().connect([this] { btnSysCloseClick(); });
    body_.put(lblTitle, 40, 11);
    body_.put(btnSysClose, 537, 9);

    // The in-process browser on the ordinary profile, the engine the cleaning also wipes.
    wbAd = GObjectRef<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(
        g_object_ref_sink(webkit_web_view_new_with_context(OrdinaryProfile().Context()))));
    WebKitSettings* settings = webkit_web_view_get_settings(wbAd.Get());
    // Script alone opens nothing: pop-ups need the user's click or key (see TPopupGate).
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    uitWebControl::ApplyMachineCompositing(wbAd.Get());
    WebKitUserStyleSheet* sheet =
        webkit_user_style_sheet_new(kNoScrollBars, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                    WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(
        webkit_web_view_get_user_content_manager(wbAd.Get()), sheet);
    webkit_user_style_sheet_unref(sheet);
    g_signal_connect(wbAd.Get(), "create", G_CALLBACK(wbAdNewWindow3), this);
    g_signal_connect(wbAd.Get(), "context-menu", G_CALLBACK(wbAdContextMenu), this);
    g_signal_connect(wbAd.Get(), "button-press-event", G_CALLBACK(wbAdUserInput), this);
    g_signal_connect(wbAd.Get(), "key-press-event", G_CALLBACK(wbAdUserInput), this);
    GtkWidget* view = GTK_WIDGET(wbAd.Get());
    gtk_widget_set_size_request(view, 551, 371);
    gtk_fixed_put(body_.gobj(), view, 5, 34);

    imgBack.add(body_);
    add(imgBack);
    show_all_children();
    ApplyColourKeyShape();
}

TFrmMin::~TFrmMin() {
    // The view may outlive this window for a moment (the engine's own references): it must not
    // call back into it.
    g_signal_handlers_disconnect_by_data(wbAd.Get(), this);
    gtk_widget_destroy(GTK_WIDGET(wbAd.Get()));
}

void TFrmMin::Navigate(const std::string& url) {
    webkit_web_view_load_uri(wbAd.Get(), url.c_str());
}

void TFrmMin::ShowCentredOn(Gtk::Window& owner) {
    int left = 0, top = 0, width = 0, height = 0;
    owner.get_position(left, top);
    owner.get_size(width, height);
    const Bounds centred = CentredBounds({0, 0, kWidth, kHeight}, {left, top, width, height});
    move(centred.Left, centred.Top);
    show();
    present();
}

void TFrmMin::btnSysCloseClick() {
    if (closing_)
        return;
    closing_ = true;
    hide();
    // Destroyed only after the click that closed it has been handled.
    Glib::signal_idle().connect_once([closed = Closed_] {
        if (closed)
            closed();
    });
}

bool TFrmMin::on_delete_event(GdkEventAny*) {
    btnSysCloseClick();
    return true;
}

// The background picture: a rounded panel, blue title band over a white body, on the key
// colour, which is cut away from the window.
void TFrmMin::DrawBackgroundPicture() {
    background_ = Cairo::ImageSurface::create(Cairo::FORMAT_RGB24, kWidth, kHeight);
    auto cr = Cairo::Context::create(background_);
    cr->set_antialias(Cairo::ANTIALIAS_NONE);
    cr->set_source_rgb(0x10 / 255.0, 0x10 / 255.0, 0x10 / 255.0);
    cr->paint();
    const double r = 8, w = kWidth, h = kHeight;
    auto outline = [&](double inset) {
        cr->begin_new_path();
        cr->arc(r + inset, r + inset, r, M_PI, 1.5 * M_PI);
        cr->arc(w - r - inset, r + inset, r, 1.5 * M_PI, 2 * M_PI);
        cr->arc(w - r - inset, h - r - inset, r, 0, 0.5 * M_PI);
        cr->arc(r + inset, h - r - inset, r, 0.5 * M_PI, M_PI);
        cr->close_path();
    };
    outline(0);
    cr->set_source_rgb(0x88 / 255.0, 0xC5 / 255.0, 0xE6 / 255.0);
    cr->fill();
    outline(1);
    cr->save();
    cr->clip();
    cr->set_source_rgb(1, 1, 1);
    cr->paint();
    FillTitleBand(cr, w, 34);
    cr->set_source_rgb(0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
    cr->rectangle(0, 34 + 371, w, h - 34 - 371);
    cr->fill();
    cr->restore();
    background_->flush();
}

// The window is shown, and takes the pointer, only where the picture is not of the key colour.
void TFrmMin::ApplyColourKeyShape() {
    const auto* pixels = reinterpret_cast<const uint32_t*>(background_->get_data());
    const auto runs = OpaqueRuns(pixels, background_->get_width(), background_->get_height(),
                                 background_->get_stride() / 4, kMiniWindowColourKey);
    std::unique_ptr<cairo_region_t, decltype(&cairo_region_destroy)> region(cairo_region_create(),
                                                                            &cairo_region_destroy);
    for (const ShapeRun& run : runs) {
        const cairo_rectangle_int_t box{run.x, run.y, run.width, 1};
        cairo_region_union_rectangle(region.get(), &box);
    }
    gtk_widget_shape_combine_region(GTK_WIDGET(gobj()), region.get());
    gtk_widget_input_shape_combine_region(GTK_WIDGET(gobj()), region.get());
}

bool TFrmMin::imgBackDraw(const Cairo::RefPtr<Cairo::Context>& cr) {
    cr->set_source(background_, 0, 0);
    cr->paint();
    return false;  // the controls draw on top
}

bool TFrmMin::imgBackMouseDown(GdkEventButton* event) {
    if (event->type != GDK_BUTTON_PRESS || event->button != 1)
        return false;
    begin_move_drag(static_cast<int>(event->button), static_cast<int>(event->x_root),
                    static_cast<int>(event->y_root), event->time);
    return true;
}

// A new window asked for by the page: none opens; its address goes to a new tab of the main
// window, when the user asked for it (see TPopupGate).
GtkWidget* TFrmMin::wbAdNewWindow3(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    auto* self = static_cast<TFrmMin*>(data);
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const std::string url = uri ? uri : "";
    if (!IsPopupAddress(url))
        return nullptr;
    if (!self->popups_.Allow(webkit_navigation_action_is_user_gesture(action),
                             TPopupGate::Clock::now())) {
        return nullptr;
    }
    // Opened from the main loop: a tab's opening starts a worker and waits for it, which must
    // not happen inside the browser's own handling of the page's request.
    Glib::signal_idle().connect_once([open = self->OpenGame_, url] {
        try {
            open(url);
        } catch (const std::exception& e) {
            std::cerr << "gameKivo: " << url << " cannot open: " << e.what() << '\n';
        }
    });
    return nullptr;
}

gboolean TFrmMin::wbAdContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                  WebKitHitTestResult*, gpointer) {
    return TRUE;  // no context menu at all
}

gboolean TFrmMin::wbAdUserInput(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<TFrmMin*>(data)->popups_.UserInput();
    return FALSE;  // the page gets it as usual
}

}  // namespace kivo
