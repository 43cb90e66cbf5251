#include "data/accounts/account_store.h"

#include <algorithm>
#include <stdexcept>

#include "cipher/stored_value.h"
#include "data/database.h"
#include "data/guid.h"
#include "data/statements.h"
#include "platform/text.h"
#include "session/folder_cleanup.h"
#include "session/session_names.h"

namespace kivo::accounts {

using data::TDISQLite3Database;
using data::TDISQLite3Statement;

std::vector<TUser> SelectUsers(TDISQLite3Database& db, const std::string& url_id) {
    TDISQLite3Statement statement = db.Prepare16(data::sql::kSelectUsers);
    statement.Bind_Str(1, url_id);
    std::vector<TUser> users;
    while (statement.Step() == TDISQLite3Statement::kRow) {
        users.push_back({statement.Column_Str(0), statement.Column_Str(1), statement.Column_Str(2),
                         statement.Column_Str(3), statement.Column_Str(4)});
    }
    return users;
}

std::vector<TUser> LoadUsers(TDISQLite3Database& db, const std::string& url_id) {
    std::vector<TUser> users = SelectUsers(db, url_id);
    std::stable_sort(users.begin(), users.end(),
                     [](const TUser& a, const TUser& b) { return a.UName < b.UName; });
    return users;
}

bool IsStorableFieldName(std::string_view name) {
    return name.find_first_of("\r\n=") == std::string_view::npos;
}

std::string AddressValue(TDISQLite3Database& db, const std::string& url_id) {
    TDISQLite3Statement statement = db.Prepare16(data::sql::kSelectGameUrlValue);
    statement.Bind_Str(1, url_id);
    return statement.Step() == TDISQLite3Statement::kRow ? statement.Column_Str(0) : "";
}

bool IsBlankName(std::string_view name) {
    return name.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

bool IsFolderName(std::string_view name) {
    try {
        CheckSessionName(name);
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

std::string EncipherFieldValue(const std::string& value) {
    cipher::TCryptLib lib;
    return Utf16ToUtf8(
        cipher::EncryptValue(lib, Utf8ToUtf16(value), std::u16string(kFieldPassword)));
}

std::string DecipherFieldValue(const std::string& stored) {
    cipher::TCryptLib lib;
    return Utf16ToUtf8(
        cipher::DecryptValue(lib, Utf8ToUtf16(stored), std::u16string(kFieldPassword)));
}

namespace {

// Runs `body` inside a fresh deferred transaction: committed when it returns, rolled back (and
// the error passed on) when anything fails.
template <typename Body>
void InTransaction(TDISQLite3Database& db, Body&& body) {
    try {
        while (db.InTransaction()) db.Rollback();
        db.StartTransaction(data::TransactionKind::Deferred);
        body();
        db.Commit();
    } catch (...) {
        try {
            db.Rollback();
        } catch (...) {
        }
        throw;
    }
}

}  // namespace

std::string SaveAccount(TDISQLite3Database& db, const std::string& url_id, const std::string& name,
                        const std::vector<TEle>& fields) {
    const std::string account_id = data::NewGuidString();
    const std::string folder = AccountSessionFolder(name);
    InTransaction(db, [&] {
        TDISQLite3Statement user = db.Prepare16(data::sql::kInsertUser);
        user.Bind_Str(1, url_id);
        user.Bind_Str(2, name);
        user.Bind_Str(3, folder);
        user.Bind_Str(4, "");
        user.Bind_Str(5, account_id);
        user.Step();
        for (const TEle& field : fields) {
            TDISQLite3Statement row = db.Prepare16(data::sql::kInsertUserInfo);
            row.Bind_Str(1, account_id);
            row.Bind_Str(2, field.Name);
            row.Bind_Str(3, EncipherFieldValue(field.Value));
            row.Bind_Str(4, data::NewGuidString());
            row.Step();
        }
    });
    return account_id;
}

void DeleteAccount(TDISQLite3Database& db, const std::string& account_id) {
    InTransaction(db, [&] {
        db.Execute(data::sql::FormatDeleteUserInfo(account_id));
        db.Execute(data::sql::FormatDeleteUser(account_id));
    });
}

std::vector<std::string> AccountFolders(std::string_view cache_path, const std::string& work_path,
                                        const std::string& cache_root) {
    std::vector<std::string> folders;
    for (const std::string& root : {work_path, cache_root}) {
        if (root.empty())
            continue;
        try {
            folders.push_back(SessionPath(root, cache_path));
        } catch (const std::invalid_argument&) {
            // A stored form that names no folder below "KivoCache/" is never touched.
        }
    }
    return folders;
}

void DeleteAccountFolders(std::string_view cache_path, const std::string& work_path,
                          const std::string& cache_root) {
    for (const std::string& root : {work_path, cache_root}) {
        try {
            if (!root.empty())
                DeleteSessionFolder(root, SessionFolderName(cache_path));
        } catch (const std::exception&) {
            // A stored form that names no folder below "KivoCache/" is never touched.
        }
    }
}

}  // namespace kivo::accounts
