#pragma once
// The settings dialog of the main menu: the close preference, the t_base row CLOSETYPE ("-1"
// ask, "0" to the tray, "1" quit), shown in the close dialog and stored by its rules.
#include <gtkmm.h>

#include <optional>
#include <string>

#include "data/database.h"

namespace kivo {

// What the dialog shows: whether "以后不再提示" is checked, and the chosen item (0 to the tray,
// 1 quit, -1 none).
struct CloseTypeForm {
    bool Save = true;
    int ItemIndex = 0;
};

// The dialog for a stored value ("" when the row is missing). "-1" unchecks the box and keeps
// the first item; anything else checks it and chooses the item of that decimal number (0 when
// it is not one). A number past the last item chooses the last; one below 0 chooses none.
CloseTypeForm CloseTypeFormFor(const std::string& stored);
// What OK stores: the chosen index as text when the box is checked, else nothing.
std::optional<std::string> CloseTypeToStore(const CloseTypeForm& chosen);

// The stored value; "" when the row is missing. Throws when the database cannot be read.
std::string ReadCloseType(data::TDISQLite3Database& database);
// Updates the row (a missing row stays missing). Throws when it cannot.
void StoreCloseType(data::TDISQLite3Database& database, const std::string& value);

// "设置": the close dialog titled "设置", modal over `owner`. Cancel stores nothing; a failed
// store says "保存失败请重试！". While one is open, another call brings it to the front.
void N15Click(Gtk::Window& owner, data::TDISQLite3Database& database);

}  // namespace kivo
