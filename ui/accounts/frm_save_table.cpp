#include "ui/accounts/frm_save_table.h"

#include <stdexcept>
#include <utility>

#include "data/database.h"
#include "ui/dialogs/message_box.h"

namespace kivo::accounts {

namespace {

TFrmSaveTable* active_form = nullptr;

constexpr int kListTop = 36, kListHeight = 200;
constexpr int kUserListX = 10, kUserListWidth = 150;
constexpr int kFieldListX = 170, kFieldListWidth = 169, kFieldListHeight = 150;

Gtk::ListBoxRow* HeaderRow(const char* text) {
    auto* row = Gtk::make_managed<Gtk::ListBoxRow>();
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_markup("<b>" + Glib::Markup::escape_text(text) + "</b>");
    label->set_xalign(0);
    row->add(*label);
    row->set_selectable(false);
    row->set_activatable(false);
    return row;
}

}  // namespace

TFrmSaveTable::TFrmSaveTable(TSaveTableHost host)
    : TBorderlessDialog(349, 306, true), host_(std::move(host)) {
    PlaceOnOwner(*this, host_.Owner);
    get_accessible()->set_name(kDialogName);

    for (auto [list, scroll, x, width, height, name] :
         {std::tuple{&lstSelectUser, &userScroll_, kUserListX, kUserListWidth, kListHeight,
                     kUserListHeader},
          std::tuple{&lstElec, &fieldScroll_, kFieldListX, kFieldListWidth, kFieldListHeight,
                     kFieldListHeader}}) {
        list->get_accessible()->set_name(name);
        list->set_selection_mode(Gtk::SELECTION_SINGLE);
        // As wide as its header at least: the dialog grows rather than hiding part of it.
        scroll->set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
        scroll->set_shadow_type(Gtk::SHADOW_IN);
        scroll->set_size_request(width, height);
        scroll->add(*list);
        Body().Place(*scroll, x, kListTop);
    }
    lstElec.set_activate_on_single_click(false);
    lstElec.signal_row_activated().connect([this](Gtk::ListBoxRow*) { lstElecDblClick(); });

    lblname.set_text("描述");
    lblname.override_color(Gdk::RGBA("#0076EC"));
    edtNewName.set_size_request(kFieldListWidth - 36, 21);
    // The drawn width holds; the toolkit's own least width of an edit is wider.
    edtNewName.set_width_chars(1);
    edtNewName.get_accessible()->set_name("描述");
    RzLabel3.set_text("提示：双击编辑数据");
    RzLabel3.override_color(Gdk::RGBA("#808080"));
    // The name's label on the row of its box, the hint below them.
    constexpr int kNameRow = kListTop + kFieldListHeight + 6;
    lblname.set_xalign(0);
    RzLabel3.set_xalign(0);
    Body().Place(lblname, {kFieldListX, kNameRow, 32, 21});
    Body().Place(edtNewName, kFieldListX + 36, kNameRow);
    Body().Place(RzLabel3, {kFieldListX, kNameRow + 27, kFieldListWidth, 15});
    // The word on fields left out of the capture, below the account list.
    lblLeftOut.set_line_wrap(true);
    lblLeftOut.set_max_width_chars(14);
    lblLeftOut.set_xalign(0);
    lblLeftOut.override_color(Gdk::RGBA("#C00000"));
    lblLeftOut.set_no_show_all(true);
    Body().Place(lblLeftOut, kUserListX, kListTop + kListHeight + 38);

    btnDelete.set_label("删除");
    btnSave.set_label("保存");
    btnClose.set_label("关闭");
    for (Gtk::Button* button : {&btnDelete, &btnSave, &btnClose}) {
        button->set_size_request(63, 23);
        button->get_accessible()->set_name(button->get_label());
    }
    btnDelete.signal_clicked().connect(sigc::mem_fun(*this, &TFrmSaveTable::btnDeleteClick));
    btnSave.signal_clicked().connect(sigc::mem_fun(*this, &TFrmSaveTable::btnSaveClick));
    btnClose.signal_clicked().connect(sigc::mem_fun(*this, &TFrmSaveTable::btnCloseClick));
    Body().Place(btnDelete, kUserListX + (kUserListWidth - 63) / 2, kListTop + kListHeight + 10);
    Body().Place(btnSave, 200, 270);
    Body().Place(btnClose, 276, 270);

    FillList(lstSelectUser, kUserListHeader, {}, false, user_checks_);
    FillFields({});
    show_all_children();
    get_action_area()->hide();
    signal_show().connect(sigc::mem_fun(*this, &TFrmSaveTable::FormShow));
    active_form = this;
}

TFrmSaveTable::~TFrmSaveTable() {
    if (active_form == this)
        active_form = nullptr;
}

TFrmSaveTable* TFrmSaveTable::Active() {
    return active_form;
}

void TFrmSaveTable::Message(const char* text, Gtk::MessageType icon) {
    ShowMessageBox(text, kMessageTitle, icon, MessageButtons::Ok, this);
}

void TFrmSaveTable::FillList(Gtk::ListBox& list, const char* header,
                             const std::vector<std::string>& captions, bool checked,
                             std::vector<Gtk::CheckButton*>& checks) {
    for (Gtk::Widget* row : list.get_children()) {
        list.remove(*row);
        delete row;
    }
    checks.clear();
    list.append(*HeaderRow(header));
    for (const std::string& caption : captions) {
        auto* row = Gtk::make_managed<Gtk::ListBoxRow>();
        auto* box = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 4);
        // The box is the check; the caption beside it selects the row (and a double click on
        // it activates the row).
        auto* check = Gtk::make_managed<Gtk::CheckButton>();
        check->set_active(checked);
        check->get_accessible()->set_name(caption);
        auto* label = Gtk::make_managed<Gtk::Label>(caption);
        label->set_xalign(0);
        label->set_ellipsize(Pango::ELLIPSIZE_END);
        box->pack_start(*check, Gtk::PACK_SHRINK);
        box->pack_start(*label, Gtk::PACK_EXPAND_WIDGET);
        row->add(*box);
        list.append(*row);
        checks.push_back(check);
    }
    list.show_all();
}

bool TFrmSaveTable::UserChecked(size_t index) const {
    return user_checks_.at(index)->get_active();
}
void TFrmSaveTable::SetUserChecked(size_t index, bool checked) {
    user_checks_.at(index)->set_active(checked);
}
bool TFrmSaveTable::FieldChecked(size_t index) const {
    return field_checks_.at(index)->get_active();
}
void TFrmSaveTable::SetFieldChecked(size_t index, bool checked) {
    field_checks_.at(index)->set_active(checked);
}

void TFrmSaveTable::SelectField(int index) {
    if (index < 0) {
        lstElec.unselect_all();
        return;
    }
    lstElec.select_row(*lstElec.get_row_at_index(index + 1));
}

void TFrmSaveTable::FormShow() {
    LoadUserList();
    if (!IsEdtMode)
        Capture();
}

void TFrmSaveTable::Capture() {
    std::vector<TEle> fields;
    try {
        if (!host_.CaptureFields)
            throw std::runtime_error("no page to read");
        fields = host_.CaptureFields();
    } catch (const std::exception&) {
        Message(kPageNotReady, Gtk::MESSAGE_INFO);
        return;
    }
    // A name that would break the stored lines is left out, and the dialog says so.
    const auto left_out =
        std::erase_if(fields, [](const TEle& field) { return !IsStorableFieldName(field.Name); });
    if (left_out > 0) {
        const std::string text =
            kFieldsLeftOutBefore + std::to_string(left_out) + kFieldsLeftOutAfter;
        lblLeftOut.set_text(text);
        lblLeftOut.get_accessible()->set_name(text);
        lblLeftOut.show();
    } else {
        lblLeftOut.hide();
    }
    FillFields(std::move(fields));
    if (!fields_.empty())
        edtNewName.set_text(fields_.front().Value);
}

void TFrmSaveTable::FillFields(std::vector<TEle> fields) {
    fields_ = std::move(fields);
    std::vector<std::string> captions;
    for (const TEle& field : fields_) captions.push_back(field.Name);
    FillList(lstElec, kFieldListHeader, captions, true, field_checks_);
}

void TFrmSaveTable::LoadUserList() {
    std::vector<TUser> users;
    if (host_.Database)
        users = LoadUsers(*host_.Database, GameUrlId);
    users_ = std::move(users);
    std::vector<std::string> captions;
    for (const TUser& user : users_) captions.push_back(user.UName);
    FillList(lstSelectUser, kUserListHeader, captions, false, user_checks_);
}

void TFrmSaveTable::lstElecDblClick() {
    btnEdtValueClick();
}

void TFrmSaveTable::btnEdtValueClick() {
    Gtk::ListBoxRow* row = lstElec.get_selected_row();
    if (!row || row->get_index() < 1)
        return;
    TEle& field = fields_.at(static_cast<size_t>(row->get_index() - 1));
    std::string value = field.Value;
    if (ShowInputBox("编辑", "请输入新值", value, false, 20))
        field.Value = value;
}

void TFrmSaveTable::btnSaveClick() {
    const std::string name = edtNewName.get_text();
    if (IsBlankName(name)) {
        Message(kNameMissing, Gtk::MESSAGE_ERROR);
        return;
    }
    // The name becomes the name of the account's session folder.
    if (!IsFolderName(name)) {
        Message(kNameNotFolder, Gtk::MESSAGE_ERROR);
        return;
    }
    std::vector<TEle> checked;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (FieldChecked(i))
            checked.push_back(fields_[i]);
    try {
        if (!host_.Database)
            throw std::runtime_error("no database");
        SaveAccount(*host_.Database, GameUrlId, name, checked);
    } catch (const std::exception&) {
        Message(kSaveFailed, Gtk::MESSAGE_ERROR);
        return;
    }
    Message(kSaved, Gtk::MESSAGE_INFO);
    LoadUserList();
}

void TFrmSaveTable::btnClearCacheClick() {
    std::string cache_root;
    try {
        if (host_.CacheRoot)
            cache_root = host_.CacheRoot();
    } catch (const std::exception&) {
        // No root to be found: only the program folder's copy is deleted.
    }
    for (size_t i = 0; i < users_.size(); ++i)
        if (UserChecked(i))
            DeleteAccountFolders(users_[i].CACHEPATH, host_.WorkPath, cache_root);
}

void TFrmSaveTable::btnDeleteClick() {
    btnClearCacheClick();
    bool any = false;
    for (size_t i = 0; i < users_.size(); ++i) {
        if (!UserChecked(i))
            continue;
        any = true;
        try {
            if (!host_.Database)
                throw std::runtime_error("no database");
            DeleteAccount(*host_.Database, users_[i].Id);
        } catch (const std::exception&) {
            Message(kDeleteFailed, Gtk::MESSAGE_ERROR);
        }
    }
    if (any)
        LoadUserList();
}

void TFrmSaveTable::btnCloseClick() {
    response(Gtk::RESPONSE_CANCEL);
}

void ShowSaveTable(const TSaveTableHost& host, const std::string& url_id, bool edit_mode) {
    TFrmSaveTable form(host);
    form.GameUrlId = url_id;
    form.IsEdtMode = edit_mode;
    form.run();
}

}  // namespace kivo::accounts
