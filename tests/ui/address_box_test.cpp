// The rules of the address row that need no window: the typed-address drop-down, the
// visited-address list the box completes from, and where the row's parts go.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/user_settings.h"
#include "platform/visited_urls.h"
#include "tests/support/test_support.h"
#include "session/address_rules.h"
#include "session/tab_rules.h"
#include "platform/typed_urls.h"
#include "ui/window_frame.h"
#include "webcontrol/maker_pages.h"

namespace {

using kivo::UserSettings;
using kivo::VisitedUrls;
using Strings = std::vector<std::string>;

TEST(TypedUrls, TheDropDownSkipsTextsAlreadyInTheListAndTrims) {
    kivo::test::TempHome home;
    UserSettings settings(home.Path() + "/settings");
    EXPECT_EQ(kivo::LoadTypedUrls(settings), Strings{}) << "no key: an empty list";

    settings.Write(kivo::kTypedUrlsKey, "Url1", "http://game.example/server/7");
    settings.Write(kivo::kTypedUrlsKey, "Url2", "http://game.example/ser");  // a leading part
    settings.Write(kivo::kTypedUrlsKey, "Url3", "  http://other.example/  ");
    settings.Write(kivo::kTypedUrlsKey, "Url4", "   ");
    settings.Write(kivo::kTypedUrlsKey, "Url6", "HTTP://GAME.EXAMPLE/");  // case-sensitive test
    settings.Write(kivo::kTypedUrlsKey, "Url26", "http://beyond.example/");
    EXPECT_EQ(kivo::LoadTypedUrls(settings),
              (Strings{"http://game.example/server/7", "http://other.example/",
                       "HTTP://GAME.EXAMPLE/"}));
}

TEST(TypedUrls, RecordingPutsTheNewestFirstWithoutDoublesAndKeepsTwentyFive) {
    kivo::test::TempHome home;
    UserSettings settings(home.Path() + "/settings");
    for (int i = 1; i <= 30; ++i) kivo::RecordTypedUrl(settings, "http://h/" + std::to_string(i));
    kivo::RecordTypedUrl(settings, "http://h/20");
    kivo::RecordTypedUrl(settings, " ");
    const Strings urls = kivo::ReadTypedUrls(settings);
    ASSERT_EQ(urls.size(), 25u);
    EXPECT_EQ(urls[0], "http://h/20");
    EXPECT_EQ(urls[1], "http://h/30");
    EXPECT_EQ(std::count(urls.begin(), urls.end(), "http://h/20"), 1);
    EXPECT_EQ(urls.back(), "http://h/6") << "moving up drops nothing";
}

TEST(VisitedAddresses, NewestFirstSurvivesARestartAndRefusesWhatCannotBeAnAddress) {
    kivo::test::TempHome home;
    const std::string file = home.Path() + "/profile/VisitedUrls";
    {
        VisitedUrls visited(file);
        EXPECT_TRUE(visited.Urls().empty()) << "a missing file is an empty list";
        EXPECT_TRUE(visited.Add("http://a.example/"));
        EXPECT_TRUE(visited.Add("http://b.example/"));
        EXPECT_TRUE(visited.Add("http://a.example/"));
        EXPECT_FALSE(visited.Add("http://a.example/")) << "already first";
        EXPECT_FALSE(visited.Add("about:blank"));
        EXPECT_FALSE(visited.Add("http://x.example/\nhttp://injected.example/"));
        EXPECT_FALSE(visited.Add(std::string(VisitedUrls::kMaxUrlBytes + 1, 'a')));
        EXPECT_FALSE(visited.Add(""));
        visited.Save();
    }
    VisitedUrls again(file);
    EXPECT_EQ(again.Urls(), (Strings{"http://a.example/", "http://b.example/"}));
    for (size_t i = 0; i < VisitedUrls::kMaxUrls + 5; ++i) again.Add("http://n/" + std::to_string(i));
    EXPECT_EQ(again.Urls().size(), VisitedUrls::kMaxUrls);
    EXPECT_EQ(again.Urls().front(), "http://n/" + std::to_string(VisitedUrls::kMaxUrls + 4));

    // A damaged file: blank and doubled lines are skipped, the rest is kept.
    std::ofstream(file) << "http://c.example/\n\n   \nhttp://c.example/\nhttp://d.example/";
    EXPECT_EQ(VisitedUrls(file).Urls(), (Strings{"http://c.example/", "http://d.example/"}));
}

TEST(VisitedAddresses, TypedTextCompletesWithOrWithoutSchemeAndWww) {
    using kivo::CompletesAddress;
    EXPECT_TRUE(CompletesAddress("http://www.game.example/s1", "http://www.g"));
    EXPECT_TRUE(CompletesAddress("http://www.game.example/s1", "WWW.GAME"));
    EXPECT_TRUE(CompletesAddress("https://www.game.example/s1", "game.ex"));
    EXPECT_TRUE(CompletesAddress("http://game.example/", "game"));
    EXPECT_FALSE(CompletesAddress("http://game.example/", "example"));
    EXPECT_FALSE(CompletesAddress("http://game.example/", ""));
    EXPECT_FALSE(CompletesAddress("ftp://game.example/", "game"));
}

TEST(AddressRow, PartsFollowTheRowsWidthAndTheWindowStartsCentred) {
    const kivo::AddressBarLayout row = kivo::LayoutAddressBar(600);
    EXPECT_EQ(row.WebMenuLeft, 448);
    EXPECT_EQ(row.GoLeft, 418);
    EXPECT_EQ(row.UrlWidth, 415);
    EXPECT_EQ(kivo::LayoutAddressBar(100).UrlWidth, 0) << "never a negative width";

    EXPECT_EQ(kivo::CentredBounds({0, 0, 972, 600}, {0, 0, 1280, 1000}),
              (kivo::Bounds{154, 200, 972, 600}));
    EXPECT_EQ(kivo::CentredBounds({0, 0, 1400, 1100}, {0, 24, 1280, 1000}),
              (kivo::Bounds{0, 24, 1400, 1100}))
        << "a window larger than the work area keeps its top-left corner on it";

    kivo::MaximizeToggle toggle;
    EXPECT_EQ(toggle.Toggle({0, 0, 972, 600}, {0, 24, 1280, 976}), (kivo::Bounds{0, 24, 1280, 976}))
        << "maximised exactly over a work area below a top panel";
}

}  // namespace

namespace {

TEST(AddressForTyped, AddsTheSchemeToAddressesAndSearchesForTheRest) {
    const std::string search = "https://search.example/s?wd=";
    EXPECT_EQ(kivo::AddressForTyped("127.0.0.1:8765/who", search), "http://127.0.0.1:8765/who");
    EXPECT_EQ(kivo::AddressForTyped("www.example.com", search), "http://www.example.com");
    EXPECT_EQ(kivo::AddressForTyped("localhost:8080", search), "http://localhost:8080");
    EXPECT_EQ(kivo::AddressForTyped("LocalHost/a b", search), search + "LocalHost/a b")
        << "a blank inside is no address";
    EXPECT_EQ(kivo::AddressForTyped("  game.example/s?x=1  ", search), "http://game.example/s?x=1");
    EXPECT_EQ(kivo::AddressForTyped("[::1]:80/", search), "http://[::1]:80/");
    EXPECT_EQ(kivo::AddressForTyped("user@host.example", search), "http://user@host.example");
    EXPECT_EQ(kivo::AddressForTyped("游戏.中国/首页", search), "http://游戏.中国/首页");

    // Texts that carry a scheme go as typed.
    EXPECT_EQ(kivo::AddressForTyped("https://a.example/", search), "https://a.example/");
    EXPECT_EQ(kivo::AddressForTyped("about:blank", search), "about:blank");
    EXPECT_EQ(kivo::AddressForTyped("file:///tmp/x.html", search), "file:///tmp/x.html");

    // Plainly no address: searched for.
    EXPECT_EQ(kivo::AddressForTyped("网页游戏", search), search + "网页游戏");
    EXPECT_EQ(kivo::AddressForTyped("hello world", search), search + "hello world");
    EXPECT_EQ(kivo::AddressForTyped("game", search), search + "game");
    EXPECT_EQ(kivo::AddressForTyped(".example", search), search + ".example");
    EXPECT_EQ(kivo::AddressForTyped("mailto:x", search), "mailto:x") << "a scheme, not a port";
    EXPECT_EQ(kivo::AddressForTyped(" \t", search), "");
}

// Addresses that reach a view from elsewhere than the address box: never a search.
TEST(AddressForView, AddsTheSchemeToAddressesAndLeavesTheRestAsItIs) {
    EXPECT_EQ(kivo::AddressForView("www.game.com"), "http://www.game.com");
    EXPECT_EQ(kivo::AddressForView(" 127.0.0.1:8765/login?a=1\n"), "http://127.0.0.1:8765/login?a=1");
    EXPECT_EQ(kivo::AddressForView("https://a.example/x"), "https://a.example/x");
    EXPECT_EQ(kivo::AddressForView("kivo://pages/news/"), "kivo://pages/news/");
    EXPECT_EQ(kivo::AddressForView("about:blank"), "about:blank");
    EXPECT_EQ(kivo::AddressForView("my game"), "my game") << "not an address: left to the view";
    EXPECT_EQ(kivo::AddressForView(""), "");
}

TEST(SearchAddress, RealSitesOnlineTheProgramsPageOfflineAndOneOverrideForTests) {
    unsetenv("KIVO_SEARCH_SITE");
    EXPECT_TRUE(kivo::SearchAddress(0).starts_with("https://"));
    EXPECT_NE(kivo::SearchAddress(0).find("?q="), std::string::npos);
    EXPECT_TRUE(kivo::SearchAddress(1).ends_with("/s?wd="));
    EXPECT_EQ(kivo::SearchAddress(2), "");
    EXPECT_EQ(kivo::SearchAddress(0, false), kivo::OfflineSearchAddress());
    EXPECT_EQ(kivo::SearchAddress(1, false), kivo::OfflineSearchAddress());
    EXPECT_TRUE(kivo::FindMakerPage(kivo::OfflineSearchAddress() + "x").has_value());

    setenv("KIVO_SEARCH_SITE", "http://127.0.0.1:9", 1);
    EXPECT_EQ(kivo::SearchAddress(0), "http://127.0.0.1:9/search?q=");
    EXPECT_EQ(kivo::SearchAddress(1), "http://127.0.0.1:9/s?wd=");
    unsetenv("KIVO_SEARCH_SITE");
}

TEST(UserSettings, SeveralValuesGoInOneWriteAndKeepTheOthers) {
    kivo::test::TempHome home;
    UserSettings settings(home.Path() + "/settings");
    settings.Write("K", "Url3", "old");
    settings.Write("K", "Other", "kept");
    settings.WriteValues("k", {{"Url1", "a"}, {"url3", "c"}, {"Url2", "b"}});
    EXPECT_EQ(settings.Read("K", "Url1"), "a");
    EXPECT_EQ(settings.Read("K", "Url2"), "b");
    EXPECT_EQ(settings.Read("K", "Url3"), "c");
    EXPECT_EQ(settings.Read("K", "Other"), "kept");
    EXPECT_THROW(settings.WriteValues("K", {{"a=b", "x"}}), std::exception);
    EXPECT_EQ(settings.Read("K", "Url1"), "a") << "a refused name changes nothing";
}

}  // namespace

namespace {

TEST(CompletionRest, ContinuesTheNewestMatchBehindItsSchemeAndWww) {
    const Strings urls = {"https://www.Example.com/a", "http://example.org/", "about:blank"};
    EXPECT_EQ(kivo::CompletionRest("exa", urls), "mple.com/a");
    EXPECT_EQ(kivo::CompletionRest("EXAMPLE.O", urls), "rg/");
    EXPECT_EQ(kivo::CompletionRest("https://www.ex", urls), "ample.com/a");
    EXPECT_EQ(kivo::CompletionRest("www.example.c", urls), "om/a");
    EXPECT_EQ(kivo::CompletionRest("https://www.Example.com/a", urls), "");
    EXPECT_EQ(kivo::CompletionRest("zzz", urls), "");
    EXPECT_EQ(kivo::CompletionRest("", urls), "");
    EXPECT_EQ(kivo::CompletionRest("ab", urls), "out:blank");
}

}  // namespace
