// A saved account's opening from its quick-login choice to the filled login form, against a
// free opening of the same local login page to its completed page, in the same run and the same
// window; and the reopening of that account's tab after its worker was killed, to the filled
// form again, against the account's fresh opening. They end when the page tells the server
// what its fields hold, or when the free tab shows the page's title.
#include <gtkmm.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/identity.h"
#include "cipher/stored_value.h"
#include "data/database.h"
#include "data/statements.h"
#include "platform/text.h"
#include "platform/user_settings.h"
#include "tests/data/test_database.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "tests/support/toolkit.h"
#include "data/catalogue/catalogue_node.h"
#include "ui/frm_mult_open_app.h"
#include "webcontrol/registration.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kAccountId = "{A0000000-0000-0000-0000-00000000000A}";
constexpr const char* kAddressId = "{11111111-1111-1111-1111-111111111111}";

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Insert(kivo::data::TDISQLite3Database& database, const char* sql,
            const std::vector<std::string>& values) {
    auto statement = database.Prepare16(sql);
    for (size_t i = 0; i < values.size(); ++i)
        statement.Bind_Str(static_cast<int>(i) + 1, values[i]);
    statement.Step();
}

std::string Enciphered(const char* value) {
    kivo::cipher::TCryptLib lib;
    return kivo::Utf16ToUtf8(kivo::cipher::EncryptValue(
        lib, kivo::Utf8ToUtf16(value), std::u16string(kivo::cipher::kStoredValuePassword)));
}

size_t Seen(kivo::test::TestWebServer& server, const std::string& query) {
    size_t seen = 0;
    for (const auto& request : server.RequestsTo("/account-seen")) seen += request.query == query;
    return seen;
}

// Milliseconds from `open` until `done` holds.
template <typename Open, typename Done>
double Measure(Open open, Done done) {
    const auto start = Clock::now();
    open();
    if (!kivo::test::PumpUntil(done, 60s))
        throw std::runtime_error("the page did not get there");
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    kivo::test::TempHome home;
    if (!kivo::test::ToolkitReady())
        return 1;
    gdk_set_program_class(kivo::kMainWindowClass);
    kivo::test::TestWebServer server;
    const std::string url = server.Url("/account-login");
    const std::string exe =
        kivo::test::CopyProgram(KIVO_EXECUTABLE, home.Path(), "kivo-login-bench");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    const std::string file = home.Path() + "/MultOpenApp.dat";
    kivo::data::testing::CreateDatabase(file, kivo::data::testing::SchemaScript());
    kivo::data::TDISQLite3Database database(file);
    database.Open();
    namespace sql = kivo::data::sql;
    Insert(database, sql::kInsertUser, {kAddressId, "bench", "KivoCache\\bench", "", kAccountId});
    Insert(database, sql::kInsertUserInfo, {kAccountId, "UserName", Enciphered("b-user"), "{F1}"});
    Insert(database, sql::kInsertUserInfo, {kAccountId, "PassWord", Enciphered("b-pass"), "{F2}"});

    auto window = std::make_unique<kivo::TFrmMultOpenApp>(&database);
    window->show();
    kivo::test::PumpUntil([&] { return window->Handle() != 0; }, 5s);
    kivo::catalogue::CatalogueNode node;
    node.ID = kAddressId;
    node.Value = url;
    node.Kind = kivo::catalogue::kKindAddress;

    std::vector<double> account_ms, free_ms, reopen_ms;
    for (int round = 0; round < rounds; ++round) {
        // The account's tab: until the page reports its filled fields.
        const size_t filled = Seen(server, "u=b-user&p=b-pass");
        const double account = Measure([&] { window->OpenGame(node, nullptr, kAccountId); },
                                       [&] { return Seen(server, "u=b-user&p=b-pass") > filled; });
        // Its worker killed, then "重新打开" on the tab that stayed.
        kivo::N_TRzTabSheet* crashed = window->ActiveTab();
        kill(crashed->SharedWebControl()->DefaultInterface()->WorkerPid(), SIGKILL);
        if (!kivo::test::PumpUntil([&] { return crashed->PageEnded; }, 30s))
            throw std::runtime_error("the killed worker's tab did not say so");
        const size_t refilled = Seen(server, "u=b-user&p=b-pass");
        const double reopen = Measure([&] { window->TabStrip().btnReopenClick(); },
                                      [&] { return Seen(server, "u=b-user&p=b-pass") > refilled; });
        // The free tab: until its page has completed and its tab shows the title.
        kivo::N_TRzTabSheet* tab = nullptr;
        const double free = Measure([&] { tab = window->OpenGame(url, "", ""); },
                                    [&] { return tab->Hint() == "Account login"; });
        std::printf("round %d: account %.0f ms, free %.0f ms (%.2fx), reopened %.0f ms (%.2fx)\n",
                    round + 1, account, free, account / free, reopen, reopen / account);
        account_ms.push_back(account);
        free_ms.push_back(free);
        reopen_ms.push_back(reopen);
        // Only the newest tabs are kept, so every round starts alike.
        while (window->TabCount() > 1) window->TabStrip().CloseActiveTab();
        kivo::test::PumpFor(300ms);
    }
    std::printf(
        "quick-login opening to the filled form, median of %d rounds: %.0f ms (free opening of "
        "the same page %.0f ms): %.2fx\n",
        rounds, Median(account_ms), Median(free_ms), Median(account_ms) / Median(free_ms));
    std::printf(
        "crashed account tab reopened to the filled form, median of %d rounds: %.0f ms (fresh "
        "account opening %.0f ms): %.2fx\n",
        rounds, Median(reopen_ms), Median(account_ms), Median(reopen_ms) / Median(account_ms));
    window->actAppHaltExecute();
    window.reset();
    return 0;
}
