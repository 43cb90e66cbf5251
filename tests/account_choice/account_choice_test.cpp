// The account choice of an opening and the login-info text, against a real database file.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cipher/stored_value.h"
#include "data/database.h"
#include "data/statements.h"
#include "platform/text.h"
#include "tests/data/test_database.h"
#include "ui/accounts/frm_open_type.h"
#include "session/login_fill.h"
#include "data/accounts/login_info.h"

namespace kivo::accounts {
namespace {

constexpr const char* kAddress = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kOtherAddress = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kZed = "{A0000000-0000-0000-0000-00000000000A}";
constexpr const char* kAnn = "{B0000000-0000-0000-0000-00000000000B}";
constexpr const char* kAnnTwin = "{C0000000-0000-0000-0000-00000000000C}";
constexpr const char* kElsewhere = "{D0000000-0000-0000-0000-00000000000D}";

class Accounts : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto file = folder_.Path() / "MultOpenApp.dat";
        data::testing::CreateDatabase(file, data::testing::SchemaScript());
        database_.SetDatabaseName(file.string());
        database_.Open();
        AddUser(kAddress, "zed", kZed);
        AddUser(kAddress, "ann", kAnn);
        AddUser(kAddress, "ann", kAnnTwin);
        AddUser(kOtherAddress, "bob", kElsewhere);
    }

    void AddUser(const std::string& url_id, const std::string& name, const std::string& id) {
        auto insert = database_.Prepare16(data::sql::kInsertUser);
        const std::vector<std::string> values{url_id, name, "KivoCache\\" + name, "", id};
        for (size_t i = 0; i < values.size(); ++i)
            insert.Bind_Str(static_cast<int>(i) + 1, values[i]);
        insert.Step();
    }
    void AddField(const std::string& account, const std::string& name, const std::string& stored) {
        static int row = 0;
        auto insert = database_.Prepare16(data::sql::kInsertUserInfo);
        insert.Bind_Str(1, account);
        insert.Bind_Str(2, name);
        insert.Bind_Str(3, stored);
        insert.Bind_Str(4, "{F" + std::to_string(++row) + "}");
        insert.Step();
    }
    std::string Enciphered(const std::string& value) {
        cipher::TCryptLib lib;
        return Utf16ToUtf8(cipher::EncryptValue(lib, Utf8ToUtf16(value),
                                                std::u16string(cipher::kStoredValuePassword)));
    }
    std::vector<std::string> Captions(const TFrmOpenType& form) {
        std::vector<std::string> captions;
        for (const TUserRow& row : form.lstSelectUser())
            captions.push_back(row.Caption + (row.Checked ? "*" : ""));
        return captions;
    }

    data::testing::TempFolder folder_;
    data::TDISQLite3Database database_;
    cipher::TCryptLib libMain_;
};

TEST_F(Accounts, LoginInfoJoinsTheAccountsOwnFieldsDeciphered) {
    AddField(kZed, "UserName", Enciphered("张三 <x>"));
    AddField(kZed, "PassWord", Enciphered("p=w'\"</script>"));
    AddField(kAnn, "UserName", Enciphered("ann"));
    EXPECT_EQ(LoadLoginInfo(database_, libMain_, kZed),
              "UserName=张三 <x>\rPassWord=p=w'\"</script>");
    EXPECT_EQ(LoadLoginInfo(database_, libMain_, kAnn), "UserName=ann");
    EXPECT_EQ(LoadLoginInfo(database_, libMain_, kAnnTwin), "");  // no fields: nothing to fill
    const std::string long_value(10000, 'v');
    AddField(kElsewhere, "a", Enciphered(long_value));
    AddField(kElsewhere, "b", Enciphered(""));
    EXPECT_EQ(LoadLoginInfo(database_, libMain_, kElsewhere), "a=" + long_value + "\rb=");
}

TEST_F(Accounts, LoginInfoOfAValueThatIsNotCipherTextFails) {
    AddField(kZed, "UserName", Enciphered("zed"));
    AddField(kZed, "PassWord", "plain text");
    EXPECT_THROW(LoadLoginInfo(database_, libMain_, kZed), cipher::TCryptLibError);
    // The component is fine for the next account.
    AddField(kAnn, "UserName", Enciphered("ann"));
    EXPECT_EQ(LoadLoginInfo(database_, libMain_, kAnn), "UserName=ann");
}

TEST_F(Accounts, TheFormChecksExactlyTheAccountAskedFor) {
    TFrmOpenType form;
    EXPECT_EQ(form.OpenType(), TOpenType::ServerOpen);
    form.LoadBaseConfig(&database_, kAddress, kAnnTwin);
    // Header first, then the accounts by caption; only the twin with that ID is checked.
    EXPECT_EQ(Captions(form), (std::vector<std::string>{kSelectUserHeader, "ann", "ann*", "zed"}));
    form.SetClientOpen(true);
    form.btnOpenClick();
    EXPECT_EQ(form.OpenType(), TOpenType::ClientOpen);
    EXPECT_EQ(form.ModalResult(), 1);
    ASSERT_EQ(form.CheckedUsers().size(), 1u);
    const TUser user = form.CheckedUsers()[0];
    EXPECT_EQ(user.Id, kAnnTwin);
    EXPECT_EQ(user.UrlID, kAddress);
    EXPECT_EQ(user.CACHEPATH, "KivoCache\\ann");

    // Reloaded for another account: the list is built anew.
    form.LoadBaseConfig(&database_, kAddress, kZed);
    EXPECT_EQ(Captions(form), (std::vector<std::string>{kSelectUserHeader, "ann", "ann", "zed*"}));
    form.SetClientOpen(false);
    form.btnOpenClick();
    EXPECT_EQ(form.OpenType(), TOpenType::ServerOpen);
}

TEST_F(Accounts, NoMatchingAccountChecksNothing) {
    TFrmOpenType form;
    // A plain click, an ID differing only in case, a deleted account, another address's account.
    for (std::string asked :
         {std::string(), std::string(kZed).replace(1, 1, "a"),
          std::string("{E0000000-0000-0000-0000-00000000000E}"), std::string(kElsewhere)}) {
        form.LoadBaseConfig(&database_, kAddress, asked);
        EXPECT_TRUE(form.CheckedUsers().empty()) << asked;
        EXPECT_EQ(form.lstSelectUser().size(), 4u);
    }
    form.LoadBaseConfig(&database_, "{no such address}", kZed);
    EXPECT_EQ(Captions(form), (std::vector<std::string>{kSelectUserHeader}));
    form.LoadBaseConfig(nullptr, kAddress, kZed);  // no database: only the header
    EXPECT_EQ(Captions(form), (std::vector<std::string>{kSelectUserHeader}));
}

TEST_F(Accounts, AllAccountsAreCheckedInListOrderButNeverTheHeader) {
    TFrmOpenType form;
    form.LoadBaseConfig(&database_, kAddress, "");
    form.CheckAllUsers();
    std::vector<std::string> ids;
    for (const TUser& user : form.CheckedUsers()) ids.push_back(user.Id);
    EXPECT_EQ(ids, (std::vector<std::string>{kAnn, kAnnTwin, kZed}));
    EXPECT_FALSE(form.lstSelectUser()[0].Checked);
}

constexpr const char* kSite = "http://127.0.0.1:8080/login";
constexpr const char* kPage = "http://127.0.0.1:8080/login?step=2";

TEST(LoginFill, AMissingFieldIsAskedForAgainUntilTheDeadlineThenEndsTheFill) {
    using Clock = TLoginFill::Clock;
    const Clock::time_point start{};
    const Clock::time_point deadline = start + kFieldWait;
    std::set<std::string> present{"user"};
    std::vector<std::string> sent;
    const TLoginFill::Send send = [&](const std::string& name, const std::string& value) {
        if (!present.contains(name))
            throw std::runtime_error("no element " + name);
        sent.push_back(name + "=" + value);
    };

    TLoginFill fill({{"user", "a"}, {"pass", "b"}, {"code", "c"}}, kSite, deadline);
    EXPECT_EQ(fill.Run(send, kPage, start), TLoginFill::Outcome::Again);
    EXPECT_EQ(sent, (std::vector<std::string>{"user=a"}));
    present.insert("pass");  // drawn by the page's script meanwhile
    EXPECT_EQ(fill.Run(send, kPage, start + kFieldRetryInterval), TLoginFill::Outcome::Again);
    EXPECT_EQ(sent, (std::vector<std::string>{"user=a", "pass=b"}));  // not sent twice
    // "code" never comes: at the deadline the fill ends there.
    EXPECT_EQ(fill.Run(send, kPage, deadline), TLoginFill::Outcome::Failed);
    EXPECT_EQ(fill.Filled(), 2u);

    TLoginFill late({{"user", "a"}, {"code", "c"}, {"pass", "b"}}, kSite, deadline);
    EXPECT_EQ(late.Run(send, kPage, deadline + std::chrono::seconds(1)),
              TLoginFill::Outcome::Failed);
    present.insert("code");
    TLoginFill whole({{"user", "a"}, {"code", "c"}}, kSite, deadline);
    EXPECT_EQ(whole.Run(send, kPage, start), TLoginFill::Outcome::Done);
    EXPECT_EQ(TLoginFill({}, kSite, deadline).Run(send, kPage, start), TLoginFill::Outcome::Done);
}

TEST(LoginFill, AfterTheTabLeavesTheAccountsSiteNothingMoreIsSent) {
    const TLoginFill::Clock::time_point start{};
    std::vector<std::string> sent;
    const TLoginFill::Send send = [&](const std::string& name, const std::string&) {
        if (name == "pass")
            throw std::runtime_error("not drawn yet");
        sent.push_back(name);
    };
    TLoginFill fill({{"user", "a"}, {"pass", "b"}}, kSite, start + kFieldWait);
    EXPECT_EQ(fill.Run(send, kPage, start), TLoginFill::Outcome::Again);
    // The page sent the tab to another site before the password field came.
    EXPECT_EQ(fill.Run(send, "http://localhost:8080/login", start), TLoginFill::Outcome::Elsewhere);
    EXPECT_EQ(sent, std::vector<std::string>{"user"});

    // A first page of another site gets nothing at all.
    TLoginFill redirected({{"user", "a"}}, kSite, start + kFieldWait);
    EXPECT_EQ(redirected.Run(send, "http://127.0.0.1:8081/login", start),
              TLoginFill::Outcome::Elsewhere);
    EXPECT_EQ(redirected.Run(send, "about:blank", start), TLoginFill::Outcome::Elsewhere);
    EXPECT_EQ(sent.size(), 1u);
}

}  // namespace
}  // namespace kivo::accounts
