#pragma once
// The quick-login submenu of an address's popup menu: one item per saved account of the address,
// and "全部登录" at the end when it has two or more. Both the catalogue trees and the history
// tree rebuild it at every right press of an address, before the menu pops up.
#include <gtkmm.h>

#include <functional>
#include <string>

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::accounts {

inline constexpr const char* kLoginAllItem = "全部登录";

// Removes and frees every item of N13's submenu, then adds one item per saved account of address
// `AddressId` in database order, captioned with its name; choosing it runs QuickLoginClick with
// the account's ID. With two or more accounts a separator and "全部登录" follow, which runs
// LoginAllClick. Without a database the submenu stays empty. A failing statement throws after
// the old items are gone and the statement is released.
void FillQuickLoginMenu(Gtk::MenuItem& N13, data::TDISQLite3Database* database,
                        const std::string& AddressId,
                        std::function<void(const std::string& user_id)> QuickLoginClick,
                        std::function<void()> LoginAllClick);

}  // namespace kivo::accounts
