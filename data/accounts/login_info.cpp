#include "data/accounts/login_info.h"

#include "cipher/stored_value.h"
#include "data/database.h"
#include "data/statements.h"
#include "platform/text.h"

namespace kivo::accounts {

std::string LoadLoginInfo(data::TDISQLite3Database& database, cipher::TCryptLib& libMain,
                          const std::string& AccountId) {
    std::string info;
    auto statement = database.Prepare16(data::sql::kSelectUserInfo);
    statement.Bind_Str(1, AccountId);
    while (statement.Step() == data::TDISQLite3Statement::kRow) {
        const std::u16string value = cipher::DecryptValue(
            libMain, statement.Column_Str16(1), std::u16string(cipher::kStoredValuePassword));
        info += statement.Column_Str(0);
        info += '=';
        info += Utf16ToUtf8(value);
        info += kLoginInfoSeparator;
    }
    if (!info.empty())
        info.pop_back();
    return info;
}

}  // namespace kivo::accounts
