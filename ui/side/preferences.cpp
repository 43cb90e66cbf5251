#include "ui/side/preferences.h"

#include <charconv>

#include "data/statements.h"
#include "ui/dialogs/frm_close_type.h"
#include "ui/dialogs/message_box.h"

namespace kivo {

namespace {

constexpr int kCloseTypeItems = 2;
TFrmCloseType* open_form = nullptr;

// A decimal integer with an optional sign and nothing else; `fallback` otherwise.
int DecimalOr(const std::string& text, int fallback) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    int value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end)
        return fallback;
    return value;
}

}  // namespace

CloseTypeForm CloseTypeFormFor(const std::string& stored) {
    if (stored == "-1")
        return {false, 0};
    int index = DecimalOr(stored, 0);
    if (index >= kCloseTypeItems)
        index = kCloseTypeItems - 1;
    if (index < -1)
        index = -1;
    return {true, index};
}

std::optional<std::string> CloseTypeToStore(const CloseTypeForm& chosen) {
    if (!chosen.Save)
        return std::nullopt;
    return std::to_string(chosen.ItemIndex);
}

std::string ReadCloseType(data::TDISQLite3Database& database) {
    auto statement = database.Prepare16(data::sql::kSelectCloseType);
    return statement.Step() == data::TDISQLite3Statement::kRow ? statement.Column_Str(0) : "";
}

void StoreCloseType(data::TDISQLite3Database& database, const std::string& value) {
    auto update = database.Prepare16(data::sql::kUpdateCloseType);
    update.Bind_Str(1, value);
    update.Step();
}

void N15Click(Gtk::Window& owner, data::TDISQLite3Database& database) {
    if (open_form) {
        open_form->present();
        return;
    }
    const CloseTypeForm shown = CloseTypeFormFor(ReadCloseType(database));
    TFrmCloseType form;
    form.lblCaption.set_markup("<b>设置</b>");
    PlaceOnOwner(form, &owner);
    form.chkSave.set_active(shown.Save);
    form.SetItemIndex(shown.ItemIndex);
    open_form = &form;
    const int result = form.run();
    open_form = nullptr;
    if (result != Gtk::RESPONSE_OK)
        return;
    const auto value = CloseTypeToStore({form.chkSave.get_active(), form.ItemIndex()});
    if (!value)
        return;
    try {
        StoreCloseType(database, *value);
    } catch (const std::exception&) {
        ShowMessageBox("保存失败请重试！", "提示", Gtk::MESSAGE_ERROR, MessageButtons::Ok, &owner);
    }
}

}  // namespace kivo
