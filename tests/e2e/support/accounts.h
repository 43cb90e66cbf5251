#pragma once
// Saved accounts as another installation would have left them in the program's database, and
// the quick-login menu a user opens them from.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cipher/stored_value.h"
#include "platform/text.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"

namespace kivo::e2e {

inline std::string Enciphered(const std::string& value) {
    kivo::cipher::TCryptLib lib;
    return kivo::Utf16ToUtf8(kivo::cipher::EncryptValue(
        lib, kivo::Utf8ToUtf16(value), std::u16string(kivo::cipher::kStoredValuePassword)));
}

// A SQL text literal of the seed.
inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// Game G with addresses (name, address) and accounts per address (name, session folder, user,
// password; empty user for an account without fields).
struct SeedAccount {
    std::string name, folder, user, password;
};
struct SeedAddress {
    std::string name, url;
    std::vector<SeedAccount> accounts;
};

inline void Seed(const std::string& database, const std::vector<SeedAddress>& addresses) {
    std::string sql =
        "insert into t_gamelist (ID,GAMENAME,GAMEHINT,GAMETYPE) values "
        "('{00000000-0000-0000-0000-0000000000A0}','账号游戏','',1);";
    int row = 0;
    auto id = [&] {
        char text[64];
        snprintf(text, sizeof text, "{00000000-0000-0000-0000-%012d}", ++row);
        return std::string(text);
    };
    for (const SeedAddress& address : addresses) {
        const std::string url_id = id();
        sql += "insert into t_gameurllist (ID,GAMEID,URLNAME,URLHINT,URLVALUE) values (" +
               Quoted(url_id) + ",'{00000000-0000-0000-0000-0000000000A0}'," +
               Quoted(address.name) + ",''," + Quoted(address.url) + ");";
        for (const SeedAccount& account : address.accounts) {
            const std::string user_id = id();
            sql += "insert into t_usermanage (ID,URLID,USERNAME,CACHEPATH,PASSWORD) values (" +
                   Quoted(user_id) + "," + Quoted(url_id) + "," + Quoted(account.name) + "," +
                   Quoted(account.folder) + ",'');";
            if (account.user.empty())
                continue;
            for (const auto& [name, value] :
                 {std::pair{"UserName", account.user}, std::pair{"PassWord", account.password}})
                sql += "insert into t_userinfotable (ID,GAMEURLID,ELENAME,ELEVALUE) values (" +
                       Quoted(id()) + "," + Quoted(user_id) + "," + Quoted(name) + "," +
                       Quoted(Enciphered(value)) + ");";
        }
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

// Right press on the address, then the quick-login submenu's item `choice`.
inline void QuickLogin(const UiDriver& ui, const std::string& address, const std::string& choice) {
    const Element node = WaitForShowing(ui, address);
    ASSERT_TRUE(node) << "no address " << address;
    Click(node, Button::Right);
    const Element submenu = WaitForShowing(ui, kivo::catalogue::kQuickLoginItem);
    ASSERT_TRUE(submenu);
    Click(submenu);
    const Element item = WaitForShowing(ui, choice);
    ASSERT_TRUE(item) << "no quick-login item " << choice;
    Click(item);
}

// The session cookie "sid" a request of the account login page carried ("" without one).
inline std::string Session(const kivo::test::ReceivedRequest& request) {
    const auto at = request.cookie.find("sid=");
    return at == std::string::npos
               ? ""
               : request.cookie.substr(at + 4, request.cookie.find(';', at) - at - 4);
}

// The sessions in which the account login page reported its fields holding `query`.
inline std::multiset<std::string> SessionsSeeing(ProgramUnderTest& program,
                                                 const std::string& query) {
    std::multiset<std::string> sessions;
    for (const kivo::test::ReceivedRequest& request : program.Server().RequestsTo("/account-seen"))
        if (request.query == query)
            sessions.insert(Session(request));
    return sessions;
}

// `text` with every byte but letters and digits written as "%" and two hexadecimal digits.
inline std::string QueryValue(const std::string& text) {
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            encoded += static_cast<char>(c);
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", c);
            encoded += hex;
        }
    }
    return encoded;
}

// The requests to `path` asked for under the host name `host` (the server answers to
// "127.0.0.1" and "localhost" alike).
inline std::vector<kivo::test::ReceivedRequest> ReportsFrom(ProgramUnderTest& program,
                                                            const std::string& path,
                                                            const std::string& host) {
    std::vector<kivo::test::ReceivedRequest> reports;
    for (const kivo::test::ReceivedRequest& request : program.Server().RequestsTo(path))
        if (request.host.rfind(host + ":", 0) == 0)
            reports.push_back(request);
    return reports;
}

// An address that sends the tab on to the account login page of another site (the same server
// asked for as "localhost") a second after it has loaded; that page reports what its fields
// hold to /account-settled six seconds after it has loaded, when any fill is long over.
inline std::string AddressLeavingTheSite(ProgramUnderTest& program) {
    const std::string elsewhere = "http://localhost:" + std::to_string(program.Server().Port()) +
                                  "/account-login?settle=6000";
    return program.Server().Url("/go-later?ms=1000&to=" + QueryValue(elsewhere));
}

}  // namespace kivo::e2e
