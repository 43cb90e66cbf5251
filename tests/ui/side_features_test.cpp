// The main menu's side features without their windows: the close preference against a real
// database file, the program's version, and the cleaning of a real engine's stored data.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <regex>

#include "platform/file_version.h"
#include "data/database.h"
#include "session/shell_folders.h"
#include "tests/data/test_database.h"
#include "tests/support/toolkit.h"
#include "ui/side/clear_cache.h"
#include "ui/side/frm_about.h"
#include "ui/side/preferences.h"
#include "webcontrol/webkit_browser_view.h"
// After gtkmm: the X11 headers define short macro names.
#include "tests/support/test_support.h"

namespace {

using kivo::CloseTypeForm;
using kivo::data::testing::CreateDatabase;
using kivo::data::testing::SchemaScript;
using kivo::data::testing::TempFolder;

class ClosePreference : public ::testing::Test {
  protected:
    ClosePreference() : database((folder.Path() / "MultOpenApp.dat").string()) {
        CreateDatabase(database.DatabaseName(), SchemaScript());
        database.Open();
    }
    void Store(const std::string& value) {
        auto update =
            database.Prepare16("update t_base set BASEVALUE=? where basename='CLOSETYPE'");
        update.Bind_Str(1, value);
        update.Step();
    }
    TempFolder folder;
    kivo::data::TDISQLite3Database database;
};

// What the dialog shows for a stored value, and what OK then stores unchanged.
std::pair<CloseTypeForm, std::optional<std::string>> ShownAndStored(const std::string& value) {
    const CloseTypeForm shown = kivo::CloseTypeFormFor(value);
    return {shown, kivo::CloseTypeToStore(shown)};
}

TEST_F(ClosePreference, EachStoredValueOpensTheDialogByTheRules) {
    EXPECT_EQ(kivo::ReadCloseType(database), "-1");  // as installed: ask
    struct Case {
        const char* stored;
        bool checked;
        int item;
        std::optional<std::string> ok_stores;
    } cases[] = {
        {"-1", false, 0, std::nullopt},  // asking: unchecked, the first item, OK stores nothing
        {"0", true, 0, "0"},
        {"1", true, 1, "1"},
        {"", true, 0, "0"},     // the row missing
        {"abc", true, 0, "0"},  // not a number
        {"1x", true, 0, "0"},
        {"7", true, 1, "1"},     // past the last item: the last
        {"-5", true, -1, "-1"},  // below the first: none, and OK stores "ask"
        {"99999999999", true, 0, "0"},
    };
    for (const Case& c : cases) {
        Store(c.stored);
        const auto [shown, stored] = ShownAndStored(kivo::ReadCloseType(database));
        EXPECT_EQ(shown.Save, c.checked) << c.stored;
        EXPECT_EQ(shown.ItemIndex, c.item) << c.stored;
        EXPECT_EQ(stored, c.ok_stores) << c.stored;
    }
}

TEST_F(ClosePreference, OkStoresOnlyWithTheBoxCheckedAndNeverMakesTheRow) {
    Store("0");
    EXPECT_EQ(kivo::CloseTypeToStore({false, 1}), std::nullopt);  // unchecked: the row keeps "0"
    kivo::StoreCloseType(database, *kivo::CloseTypeToStore({true, 1}));
    EXPECT_EQ(kivo::ReadCloseType(database), "1");
    // A quote in the value is data, not SQL.
    kivo::StoreCloseType(database, "1' or '1'='1");
    EXPECT_EQ(kivo::ReadCloseType(database), "1' or '1'='1");

    database.Execute("delete from t_base where basename='CLOSETYPE'");
    EXPECT_EQ(kivo::ReadCloseType(database), "");
    kivo::StoreCloseType(database, "1");  // changes no row
    EXPECT_EQ(kivo::ReadCloseType(database), "");
}

TEST(ProgramVersion, FourDotSeparatedNumbersInTheAboutText) {
    EXPECT_TRUE(std::regex_match(kivo::kFileVersion, std::regex(R"(\d+\.\d+\.\d+\.\d+)")))
        << kivo::kFileVersion;
    const std::string text = kivo::AboutText(kivo::kFileVersion);
    EXPECT_EQ(text.rfind("\n版本 " + std::string(kivo::kFileVersion) + "\n\n", 0), 0u) << text;
    EXPECT_EQ(text.find("%S"), std::string::npos);
    // Put in once: a version holding the marker stays as it is.
    EXPECT_NE(kivo::AboutText("%S").find("版本 %S\n"), std::string::npos);
}

TEST(CacheFilter, AllNineKindsMakeTheFullFilterAndWipeEverything) {
    kivo::TIECache cache;
    cache.SetFilterOptions(kivo::AllFilterOptions());
    EXPECT_EQ(cache.FilterOptionValue(), 0x330037u);
    EXPECT_EQ(cache.WebsiteDataTypes(), WEBKIT_WEBSITE_DATA_ALL);
    EXPECT_TRUE(cache.ClearsVisitedUrls());

    cache.SetFilterOptions({kivo::TFilterOption::COOKIE_ENTRY});
    EXPECT_EQ(cache.FilterOptionValue(), 0x100000u);
    EXPECT_EQ(cache.WebsiteDataTypes(), WEBKIT_WEBSITE_DATA_COOKIES);
    EXPECT_FALSE(cache.ClearsVisitedUrls());

    cache.SetFilterOptions({kivo::TFilterOption::URLHISTORY_ENTRY});
    EXPECT_EQ(cache.WebsiteDataTypes(), 0);
    EXPECT_TRUE(cache.ClearsVisitedUrls());
    EXPECT_TRUE(kivo::TIECache::LibraryFound());
}

// The cookies the engine holds for the profile, read back through the engine.
int CookieCount(WebKitWebsiteDataManager* manager) {
    struct Read {
        bool done = false;
        int count = -1;
    } read;
    webkit_cookie_manager_get_cookies(
        webkit_website_data_manager_get_cookie_manager(manager), "http://127.0.0.1/", nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* read = static_cast<Read*>(data);
            GList* cookies = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(source),
                                                                      result, nullptr);
            read->count = static_cast<int>(g_list_length(cookies));
            g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
            read->done = true;
        },
        &read);
    kivo::test::PumpUntil([&] { return read.done; }, std::chrono::seconds(30));
    return read.count;
}

TEST(ClearCache, TwoCleaningsInARowEachWipeTheProfilesCookiesAndTheVisitedList) {
    if (!kivo::test::TestDisplay() || !kivo::test::ToolkitReady())
        GTEST_SKIP() << "needs an X display";
    kivo::test::TempHome home;
    uitWebControl::WebKitEngine profile(kivo::DefaultSessionFolders());
    WebKitWebsiteDataManager* manager =
        webkit_web_context_get_website_data_manager(profile.Context());
    SoupCookie* cookie = soup_cookie_new("probe", "1", "127.0.0.1", "/", 3600);
    bool added = false;
    webkit_cookie_manager_add_cookie(
        webkit_website_data_manager_get_cookie_manager(manager), cookie, nullptr,
        [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; }, &added);
    soup_cookie_free(cookie);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return added; }, std::chrono::seconds(30)));
    ASSERT_EQ(CookieCount(manager), 1);

    int visited_cleared = 0;
    std::vector<bool> finished;
    for (int i = 0; i < 2; ++i)
        kivo::TClearCache::Start(
            manager, [&] { ++visited_cleared; }, [&](bool wiped) { finished.push_back(wiped); });
    EXPECT_EQ(visited_cleared, 2);  // at once, before the engine answers
    ASSERT_TRUE(
        kivo::test::PumpUntil([&] { return finished.size() == 2; }, std::chrono::seconds(60)));
    EXPECT_TRUE(finished[0] && finished[1]);
    EXPECT_EQ(CookieCount(manager), 0);
    // Each cleaning told the user; the notices do not block and go when answered.
    int notices = 0;
    for (GList *w = gtk_window_list_toplevels(), *l = w; l; l = l->next)
        if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) {
            ++notices;
            gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_OK);
        }
    EXPECT_EQ(notices, 2);
}

}  // namespace
