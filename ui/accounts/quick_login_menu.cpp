#include "ui/accounts/quick_login_menu.h"

#include "ui/accounts/frm_open_type.h"

namespace kivo::accounts {
namespace {

Gtk::MenuItem& AppendItem(Gtk::Menu& menu, const std::string& caption) {
    auto* item = Gtk::make_managed<Gtk::MenuItem>();
    item->set_use_underline(false);  // an account name is shown as typed
    item->set_label(caption);
    item->get_accessible()->set_name(caption);
    menu.append(*item);
    item->show();
    return *item;
}

}  // namespace

void FillQuickLoginMenu(Gtk::MenuItem& N13, data::TDISQLite3Database* database,
                        const std::string& AddressId,
                        std::function<void(const std::string& user_id)> QuickLoginClick,
                        std::function<void()> LoginAllClick) {
    Gtk::Menu* menu = N13.get_submenu();
    if (!menu) {
        menu = Gtk::make_managed<Gtk::Menu>();
        N13.set_submenu(*menu);
    }
    for (Gtk::Widget* old : menu->get_children())
        delete old;  // takes the item out of the submenu and frees it
    if (!database)
        return;
    const std::vector<TUser> users = SelectUsers(*database, AddressId);
    for (const TUser& user : users)
        AppendItem(*menu, user.UName).signal_activate().connect([QuickLoginClick, id = user.Id] {
            QuickLoginClick(id);
        });
    if (users.size() >= 2) {
        auto* separator = Gtk::make_managed<Gtk::SeparatorMenuItem>();
        menu->append(*separator);
        separator->show();
        AppendItem(*menu, kLoginAllItem).signal_activate().connect(LoginAllClick);
    }
}

}  // namespace kivo::accounts
