#include "ui/accounts/frm_open_type.h"

#include <algorithm>

#include "data/database.h"
#include "data/statements.h"

namespace kivo::accounts {

void TFrmOpenType::LoadBaseConfig(data::TDISQLite3Database* database, const std::string& GameUrlId,
                                  const std::string& UserId) {
    lstSelectUser_.clear();
    lstSelectUser_.push_back(TUserRow{kSelectUserHeader, true, false, {}});
    if (!database)
        return;
    for (TUser& user : SelectUsers(*database, GameUrlId)) {
        const bool checked = user.Id == UserId;
        std::string caption = user.UName;
        lstSelectUser_.push_back(TUserRow{std::move(caption), false, checked, std::move(user)});
    }
    // The header stays first; the accounts are kept in caption order.
    std::stable_sort(lstSelectUser_.begin() + 1, lstSelectUser_.end(),
                     [](const TUserRow& a, const TUserRow& b) { return a.Caption < b.Caption; });
}

void TFrmOpenType::CheckAllUsers() {
    for (TUserRow& row : lstSelectUser_) row.Checked = !row.Header;
}

void TFrmOpenType::SetClientOpen(bool client_open) {
    rbClientOpen_ = client_open;
}

void TFrmOpenType::btnOpenClick() {
    ModalResult_ = 1;
    FOpenType = rbAppOpen() ? TOpenType::ServerOpen : TOpenType::ClientOpen;
}

std::vector<TUser> TFrmOpenType::CheckedUsers() const {
    std::vector<TUser> users;
    for (const TUserRow& row : lstSelectUser_)
        if (row.Checked && !row.Header)
            users.push_back(row.User);
    return users;
}

}  // namespace kivo::accounts
