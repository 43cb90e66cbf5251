#include "ui/dialogs/frm_input.h"

#include <algorithm>

#include "platform/identity.h"
#include "ui/dialogs/message_box.h"
#include "ui/drawn_pictures.h"

namespace kivo {

namespace {

TFrmInput* active_prompt = nullptr;

// The height of the blue band at the top of the drawing.
constexpr int kTitleBand = 28;

void SetBlue(const Cairo::RefPtr<Cairo::Context>& cr, double shade) {
    cr->set_source_rgb(0x13 / 255.0 * shade, 0x6E / 255.0 * shade, 0xB7 / 255.0 * shade);
}

}  // namespace

TBorderlessDialog::TBorderlessDialog(int width, int height, bool dragged_by_background)
    : body_(width, height), dragged_by_background_(dragged_by_background) {
    set_decorated(false);
    set_modal(true);
    set_resizable(false);
    set_default_size(width, height);
    set_size_request(width, height);
    PlaceOnOwner(*this);

    imgBack.set_visible_window(true);
    imgBack.set_app_paintable(true);
    imgBack.signal_draw().connect(sigc::mem_fun(*this, &TBorderlessDialog::imgBackDraw), false);
    imgBack.add_events(Gdk::BUTTON_PRESS_MASK);
    imgBack.signal_button_press_event().connect(
        sigc::mem_fun(*this, &TBorderlessDialog::imgBackMouseDown));

    lblCaption.set_markup("<b>" + Glib::Markup::escape_text(kApplicationTitle) + "</b>");
    lblCaption.override_color(Gdk::RGBA("#FFFFFF"));
    lblCaption.set_xalign(0);
    btnClose.set_label("×");
    btnClose.set_relief(Gtk::RELIEF_NONE);
    btnClose.set_size_request(15, 15);
    btnClose.set_focus_on_click(false);
    btnClose.override_color(Gdk::RGBA("#FFFFFF"));
    // The glyph keeps to its small square on the title band: no theme padding around it.
    auto css = Gtk::CssProvider::create();
    css->load_from_data(
        "button { padding: 0; min-width: 0; min-height: 0; border-width: 0; "
        "background: none; box-shadow: none; }");
    btnClose.get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    btnClose.signal_clicked().connect([this] { response(Gtk::RESPONSE_CANCEL); });
    // The title band reaches down to kTitleBand; the caption and the glyph stay on it.
    body_.Place(lblCaption, {16, 6, width - 16 - 26, kTitleBand - 10});
    body_.Place(btnClose, {width - 22, 4, 15, 15});
    imgBack.add(body_);
    get_content_area()->pack_start(imgBack, Gtk::PACK_EXPAND_WIDGET);
    get_content_area()->set_border_width(0);
    // No row of the toolkit's own buttons: the drawn buttons are in the body. Its boxes stay
    // hidden also when a dialog shows all its children, so they take no line below the body.
    for (Gtk::Widget* actions = get_action_area(); actions && actions != get_content_area();
         actions = actions->get_parent()) {
        actions->hide();
        actions->set_no_show_all(true);
    }
}

bool TBorderlessDialog::imgBackDraw(const Cairo::RefPtr<Cairo::Context>& cr) {
    const double w = imgBack.get_allocated_width(), h = imgBack.get_allocated_height();
    // A white body under a blue title band, framed by the light border colour.
    cr->set_source_rgb(1, 1, 1);
    cr->paint();
    FillTitleBand(cr, w, body_.MapY(kTitleBand));
    cr->set_source_rgb(0x88 / 255.0, 0xC5 / 255.0, 0xE6 / 255.0);
    cr->set_line_width(1);
    cr->rectangle(0.5, 0.5, w - 1, h - 1);
    cr->stroke();
    SetBlue(cr, 1);
    cr->rectangle(0, h - 3, w, 3);
    cr->fill();
    return false;  // the controls draw on top
}

bool TBorderlessDialog::imgBackMouseDown(GdkEventButton* event) {
    if (!dragged_by_background_ || event->type != GDK_BUTTON_PRESS) return false;
    begin_move_drag(static_cast<int>(event->button), static_cast<int>(event->x_root),
                    static_cast<int>(event->y_root), event->time);
    return true;
}

void TBorderlessDialog::StyleButton(Gtk::Button& button, const std::string& caption, int result) {
    button.set_label(caption);
    button.set_size_request(63, 21);
    button.signal_clicked().connect([this, result] { response(result); });
}

TFrmInput::TFrmInput() : TBorderlessDialog(300, 150, true) {
    lblPrompt.override_color(Gdk::RGBA("#0076EC"));
    edit.set_size_request(260, 21);
    edit.set_invisible_char('*');
    // Enter in the edit clicks OK.
    edit.signal_activate().connect([this] { btnOK.clicked(); });
    StyleButton(btnOK, "确定", Gtk::RESPONSE_OK);
    StyleButton(btnCancel, "取消", Gtk::RESPONSE_CANCEL);
    lblPrompt.set_xalign(0);
    // The drawn width holds; the toolkit's own least width of an edit is wider than some.
    edit.set_width_chars(1);
    Body().Place(lblPrompt, {16, 43, 260, 15});
    Body().Place(edit, 16, 62);
    Body().Place(btnOK, 120, 104);
    Body().Place(btnCancel, 201, 104);
    show_all_children();
    get_action_area()->hide();
    active_prompt = this;
}

// Text typed or pasted beyond the limit is cut to what still fits; a longer text put in by
// the program stays whole.
void TFrmInput::editInsertText(GtkEditable* editable, const gchar* text, gint length,
                               gint* position, gpointer form) {
    const int limit = static_cast<TFrmInput*>(form)->typing_limit_;
    if (limit <= 0) return;
    const int have = gtk_entry_get_text_length(GTK_ENTRY(editable));
    const glong room = std::max(0, limit - have);
    if (g_utf8_strlen(text, length) <= room) return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (room == 0) return;
    const gchar* end = g_utf8_offset_to_pointer(text, room);
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(editInsertText), form);
    gtk_editable_insert_text(editable, text, static_cast<gint>(end - text), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(editInsertText), form);
}

void TFrmInput::SetTypingLimit(int max_length) {
    typing_limit_ = max_length;
    if (!limit_connected_) {
        g_signal_connect(edit.gobj(), "insert-text", G_CALLBACK(editInsertText), this);
        limit_connected_ = true;
    }
}

TFrmInput::~TFrmInput() {
    if (active_prompt == this) active_prompt = nullptr;
}

TFrmInput* TFrmInput::Active() { return active_prompt; }

bool ShowInputBox(const std::string& caption, const std::string& prompt, std::string& value,
                  bool password, int max_length) {
    TFrmInput form;
    form.lblCaption.set_markup("<b>" + Glib::Markup::escape_text(caption) + "</b>");
    form.lblPrompt.set_markup("<b>" + Glib::Markup::escape_text(prompt) + "</b>");
    form.edit.set_visibility(!password);
    // The limit holds for typing only: a longer value comes back unchanged unless edited.
    form.edit.set_text(value);
    form.SetTypingLimit(max_length);
    form.edit.select_region(0, -1);
    form.edit.grab_focus();
    const int result = form.run();
    value = form.edit.get_text();  // handed back also when cancelled
    return result == Gtk::RESPONSE_OK;
}

}  // namespace kivo
