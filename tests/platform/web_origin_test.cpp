// Which pages are of an account address's site.
#include "platform/web_origin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

TEST(AccountSite, SameSchemeHostAndPortOrAnUpgradeToHttpsOfTheSameHost) {
    const auto same = [](const char* account, const char* page) {
        return IsAccountSite(account, page);
    };
    // The same origin, whatever the path, the letter case of scheme and host, the user
    // information or a port written out that is the scheme's default.
    EXPECT_TRUE(same("http://game.example/login", "http://game.example/play?x=1#top"));
    EXPECT_TRUE(same("HTTP://Game.Example:80/", "http://game.example/"));
    EXPECT_TRUE(same("https://game.example/", "https://bob@game.example:443/x"));
    EXPECT_TRUE(same("http://[::1]:8080/a", "http://[::1]:8080/b"));
    EXPECT_TRUE(same("http://my_game.example/", "http://my_game.example/x"));
    // A host in other scripts as pages report it.
    EXPECT_TRUE(same("http://游戏.例子/", "http://xn--unup4y.xn--fsqu00a/"));
    // An address saved without a scheme opens as http.
    EXPECT_TRUE(same("game.example/login", "http://game.example/login"));
    EXPECT_TRUE(same("game.example/login", "game.example/login"));
    // The same host upgraded to https.
    EXPECT_TRUE(same("http://game.example/login", "https://game.example/login"));
    EXPECT_TRUE(same("http://game.example:8080/", "https://game.example:8080/"));

    // Other hosts, ports or schemes; a downgrade; a host that merely begins or ends alike.
    EXPECT_FALSE(same("http://127.0.0.1:8080/", "http://localhost:8080/"));
    EXPECT_FALSE(same("http://game.example/", "http://game.example:8080/"));
    EXPECT_FALSE(same("http://game.example:8080/", "https://game.example/"));
    EXPECT_FALSE(same("https://game.example/", "http://game.example/"));
    EXPECT_FALSE(same("http://game.example/", "http://game.example.evil.test/"));
    EXPECT_FALSE(same("http://game.example/", "http://evil.test/?game.example"));
    EXPECT_FALSE(same("http://game.example/", "http://game.example@evil.test/"));
    EXPECT_FALSE(same("http://game.example/", "http://sub.game.example/"));
    // Pages and addresses that are no web site of their own.
    EXPECT_FALSE(same("http://game.example/", "about:blank"));
    EXPECT_FALSE(same("http://game.example/", "game.example/login"));
    EXPECT_FALSE(same("http://game.example/", "file:///game.example/"));
    EXPECT_FALSE(same("http://game.example/", "blob:http://game.example/1"));
    EXPECT_FALSE(same("file:///tmp/login.html", "file:///tmp/login.html"));
    EXPECT_FALSE(same("http:///nohost", "http:///nohost"));
    EXPECT_FALSE(same("http://game.example:99999/", "http://game.example:99999/"));
    EXPECT_FALSE(same("", ""));
}

TEST(AccountSite, TheSiteIsTheAddresssOwnOriginAndItsHttpsUpgrades) {
    std::vector<std::string> texts;
    for (const WebOrigin& origin : AccountSiteOrigins("http://Game.Example/login"))
        texts.push_back(OriginText(origin));
    EXPECT_EQ(texts, (std::vector<std::string>{"http://game.example:80", "https://game.example:80",
                                               "https://game.example:443"}));
    ASSERT_EQ(AccountSiteOrigins("https://game.example:8443/").size(), 1u);
    EXPECT_EQ(OriginText(AccountSiteOrigins("https://game.example:8443/")[0]),
              "https://game.example:8443");
    EXPECT_TRUE(AccountSiteOrigins("about:blank").empty());
}

}  // namespace
}  // namespace kivo
