#include "ui/dialogs/frm_close_type.h"

#include "ui/dialogs/message_box.h"

namespace kivo {

// This dialog does not move when its background is dragged.
TFrmCloseType::TFrmCloseType()
    : TBorderlessDialog(300, 150, false), Tray("最小化到任务栏"), Quit("直接退出"),
      chkSave("以后不再提示") {
    RzRadioGroup1.set_label("关闭设置");
    Quit.join_group(Tray);
    NoItem.join_group(Tray);
    Tray.set_active(true);
    auto* items = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
    items->pack_start(Tray, Gtk::PACK_SHRINK);
    items->pack_start(Quit, Gtk::PACK_SHRINK);
    items->set_border_width(4);
    RzRadioGroup1.add(*items);
    StyleButton(btnOK, "确定", Gtk::RESPONSE_OK);
    StyleButton(btnCancel, "取消", Gtk::RESPONSE_CANCEL);
    Body().Place(RzRadioGroup1, {16, 32, 268, 46});
    Body().Place(chkSave, {16, 82, 268, 21});
    Body().Place(btnOK, 120, 112);
    Body().Place(btnCancel, 201, 112);
    show_all_children();
    get_action_area()->hide();
}

int TFrmCloseType::ItemIndex() const {
    if (Tray.get_active())
        return 0;
    return Quit.get_active() ? 1 : -1;
}

void TFrmCloseType::SetItemIndex(int index) {
    (index == 0 ? Tray : index == 1 ? Quit : NoItem).set_active(true);
}

bool AskCloseType(Gtk::Window& owner, std::string& value, bool& remember) {
    TFrmCloseType form;
    PlaceOnOwner(form, &owner);
    form.chkSave.set_active(false);
    if (form.run() != Gtk::RESPONSE_OK) return false;
    value = form.Choice();
    remember = form.chkSave.get_active();
    return true;
}

}  // namespace kivo
