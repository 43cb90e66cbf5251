#pragma once
// The login-info text a tab carries from its account's opening to its first completed page:
// one "name=value" line per stored field of the account, the values deciphered.
#include <string>

namespace kivo::data {
class TDISQLite3Database;
}
namespace kivo::cipher {
class TCryptLib;
}

namespace kivo::accounts {

// Lines end with a carriage return; the text has none at its end.
inline constexpr char kLoginInfoSeparator = '\r';

// The fields of account `AccountId` in the order the database gives them, each as its element
// name, "=" and the deciphered value; "" for an account without fields. A stored value that is
// not cipher text throws the cipher's error; a failing statement throws the database's.
std::string LoadLoginInfo(data::TDISQLite3Database& database, cipher::TCryptLib& libMain,
                          const std::string& AccountId);

}  // namespace kivo::accounts
