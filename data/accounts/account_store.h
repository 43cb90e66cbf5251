#pragma once
// The saved accounts of an address and their captured login fields, as the account dialog keeps
// them: listing, saving a new account with its fields (values enciphered), deleting accounts and
// their session folders. Plain code over the database; no window.
#include <string>
#include <string_view>
#include <vector>

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::accounts {

// The password every stored field value is enciphered with.
inline constexpr std::u16string_view kFieldPassword = u"518204";

// A saved account, one per row of t_usermanage.
struct TUser {
    std::string Id;
    std::string UrlID;
    std::string UName;
    std::string CACHEPATH;
    std::string Password;
};

// A captured login field: the input element's name and its value.
struct TEle {
    std::string Name;
    std::string Value;
};

// Whether a captured field's name can be kept: the login-info text holds one "name=value" line
// per field, so a name with CR, LF or "=" would break it.
bool IsStorableFieldName(std::string_view name);
// What the account dialog says after a capture that left such fields out: their count between.
inline constexpr const char* kFieldsLeftOutBefore = "已略去 ";
inline constexpr const char* kFieldsLeftOutAfter = " 个名字含换行或“=”的字段";

// The accounts of the address `url_id` (at most 1000), in the order the database returns them.
std::vector<TUser> SelectUsers(data::TDISQLite3Database& db, const std::string& url_id);
// The same, sorted by name as the lists show them.
std::vector<TUser> LoadUsers(data::TDISQLite3Database& db, const std::string& url_id);

// The catalogue address of the address ID `url_id`, the site its accounts are filled into;
// empty when there is no such address.
std::string AddressValue(data::TDISQLite3Database& db, const std::string& url_id);

// Whether `name` can name an account: not blank, and usable as the name of its session folder.
bool IsBlankName(std::string_view name);
bool IsFolderName(std::string_view name);

// Saves a new account `name` (untrimmed) of `url_id` with `fields` in their order, each value
// enciphered, in one transaction (an open one left by an earlier failure is abandoned first).
// Returns the new account's ID. On any failure the transaction is rolled back and the error
// thrown: nothing is half-written.
std::string SaveAccount(data::TDISQLite3Database& db, const std::string& url_id,
                        const std::string& name, const std::vector<TEle>& fields);

// Deletes the account `account_id` and its fields in a transaction of its own; rolled back and
// thrown on failure.
void DeleteAccount(data::TDISQLite3Database& db, const std::string& account_id);

// The session folders of an account, stored form `cache_path`: below `work_path` (see WorkPath),
// then below the cache root (left out when `cache_root` is empty). A stored form that would lead
// outside either "KivoCache/" gives none.
std::vector<std::string> AccountFolders(std::string_view cache_path, const std::string& work_path,
                                        const std::string& cache_root);

// Deletes those folders; results are ignored.
void DeleteAccountFolders(std::string_view cache_path, const std::string& work_path,
                          const std::string& cache_root);

// The enciphered and the plain form of a stored field value.
std::string EncipherFieldValue(const std::string& value);
std::string DecipherFieldValue(const std::string& stored);

}  // namespace kivo::accounts
