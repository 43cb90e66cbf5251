#pragma once
// The account choice of an opening. TFrmOpenType lists the saved accounts of an address, checks
// the ones asked for and answers how and for whom the address is opened. The opening never
// shows it, so it is kept as plain state: a check list and the two open modes.
#include <string>
#include <vector>

#include "data/accounts/account_store.h"

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::accounts {

enum class TOpenType { ServerOpen = 0, ClientOpen = 1 };

// A row of the account list: the header (no account, never checked) or one account.
struct TUserRow {
    std::string Caption;
    bool Header = false;
    bool Checked = false;
    TUser User;
};

inline constexpr const char* kOpenTypeCaption = "打开模式";
inline constexpr const char* kAppOpenCaption = "共享打开（非多开）";
inline constexpr const char* kClientOpenCaption = "独立打开（限多开）";
inline constexpr const char* kOtherClientTypeCaption = "独立缓存";
inline constexpr const char* kSelectUserHeader = "选择一个登录的用户名";

class TFrmOpenType {
  public:
    // Lists the accounts of address `GameUrlId` (at most 1000, as the database gives them) under
    // the header, the rows kept in caption order, and checks the one whose Id is exactly
    // `UserId`. Without a database only the header is listed. A failing statement throws, after
    // the statement has been released.
    void LoadBaseConfig(data::TDISQLite3Database* database, const std::string& GameUrlId,
                        const std::string& UserId);
    // Checks every account row (the "open all accounts" choice).
    void CheckAllUsers();

    // The open button: the mode follows the radio buttons.
    void btnOpenClick();
    // Checking one radio button unchecks the other; the cache option follows rbClientOpen.
    void SetClientOpen(bool client_open);
    bool rbClientOpen() const { return rbClientOpen_; }
    bool rbAppOpen() const { return !rbClientOpen_; }
    bool cgOtherClientTypeEnabled() const { return rbClientOpen_; }

    TOpenType OpenType() const { return FOpenType; }
    int ModalResult() const { return ModalResult_; }
    const std::vector<TUserRow>& lstSelectUser() const { return lstSelectUser_; }
    // The accounts of the checked rows, in list order.
    std::vector<TUser> CheckedUsers() const;

  private:
    TOpenType FOpenType = TOpenType::ServerOpen;
    bool rbClientOpen_ = true;
    int ModalResult_ = 0;
    std::vector<TUserRow> lstSelectUser_;
};


}  // namespace kivo::accounts
