#include "ui/dialogs/message_box.h"

#include <utility>
#include <vector>

namespace kivo {

namespace {

Gtk::Window* dialog_owner = nullptr;
Gtk::Dialog* active_box = nullptr;

}  // namespace

void SetDialogOwner(Gtk::Window* owner) {
    dialog_owner = owner;
}

Gtk::Window* DialogOwner() {
    return dialog_owner;
}

void PlaceOnOwner(Gtk::Window& dialog, Gtk::Window* owner) {
    if (!owner)
        owner = dialog_owner;
    if (owner == &dialog)
        owner = nullptr;
    if (owner)
        dialog.set_transient_for(*owner);
    // A hidden owner (in the tray) has no place to centre on.
    dialog.set_position(owner && owner->get_mapped() ? Gtk::WIN_POS_CENTER_ON_PARENT
                                                     : Gtk::WIN_POS_CENTER);
}

int ShowMessageBox(const std::string& text, const std::string& caption, Gtk::MessageType icon,
                   MessageButtons buttons, Gtk::Window* owner, bool default_first) {
    Gtk::MessageDialog box(text, false, icon, Gtk::BUTTONS_NONE, true);
    box.set_title(caption);
    PlaceOnOwner(box, owner);
    std::vector<std::pair<const char*, int>> shown;
    switch (buttons) {
        case MessageButtons::Ok:
            shown = {{"确定", Gtk::RESPONSE_OK}};
            break;
        case MessageButtons::YesNo:
            shown = {{"是", Gtk::RESPONSE_YES}, {"否", Gtk::RESPONSE_NO}};
            break;
        case MessageButtons::OkCancel:
            shown = {{"确定", Gtk::RESPONSE_OK}, {"取消", Gtk::RESPONSE_CANCEL}};
            break;
    }
    for (const auto& [label, response] : shown) {
        Gtk::Button* button = box.add_button(label, response);
        button->set_use_underline(false);
        button->get_accessible()->set_name(label);
    }
    box.set_default_response(default_first ? shown.front().second : shown.back().second);
    Gtk::Dialog* outer = std::exchange(active_box, &box);
    const int result = box.run();
    active_box = outer;
    // Closed by the window's own close: the answer of the last button (No, Cancel or OK).
    if (result == Gtk::RESPONSE_DELETE_EVENT || result == Gtk::RESPONSE_NONE)
        return shown.back().second;
    return result;
}

void ShowNotice(const std::string& text, const std::string& caption, Gtk::MessageType icon) {
    auto* box = new Gtk::MessageDialog(text, false, icon, Gtk::BUTTONS_NONE, false);
    box->set_title(caption);
    PlaceOnOwner(*box);
    Gtk::Button* ok = box->add_button("确定", Gtk::RESPONSE_OK);
    ok->set_use_underline(false);
    ok->get_accessible()->set_name("确定");
    box->set_default_response(Gtk::RESPONSE_OK);
    // Deleted once its answer has been handled, closed by the button or by the window's own.
    box->signal_response().connect([box](int) {
        box->hide();
        Glib::signal_idle().connect_once([box] { delete box; });
    });
    box->show();
}

Gtk::Dialog* ActiveMessageBox() {
    return active_box;
}

}  // namespace kivo
