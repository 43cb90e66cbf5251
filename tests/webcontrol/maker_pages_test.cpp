// The pages that ship with the program, read without a browser engine.
#include "webcontrol/maker_pages.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::string Body(const std::string& url, const std::string& form = {}) {
    const auto page = kivo::FindMakerPage(url, form);
    if (!page)
        return "(no page: " + url + ")";
    EXPECT_EQ(page->mime_type, "text/html") << url;
    return page->body;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(GameSearchPage, ShowsThePostedKeywordAsTextOnly) {
    const std::string search = kivo::MakerSearchUrl();
    EXPECT_TRUE(Has(Body(search, "keyword=%E6%B8%B8%E6%88%8F"), "<b id=\"keyword\">游戏</b>"));
    EXPECT_TRUE(Has(Body(search, "keyword=%61%20%62"), "<b id=\"keyword\">a b</b>"));

    const std::string markup =
        Body(search, "keyword=%3Cscript%3Ealert(1)%3C%2Fscript%3E%22%27%26&keyword=second");
    EXPECT_FALSE(Has(markup, "<script>alert"));
    EXPECT_TRUE(Has(markup, "&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;</b>"));
    // Shown again in the box, where a quote must not end the attribute.
    EXPECT_TRUE(Has(markup, "value=\"&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;\""));

    // A GET (no body) is an empty search; a keyword in the address is not a posted one.
    for (const std::string& empty : {Body(search), Body(search + "?keyword=%61", "")}) {
        EXPECT_FALSE(Has(empty, "id=\"keyword\""));
        EXPECT_TRUE(Has(empty, "id=\"hint\""));
    }
}

TEST(MakerPages, AnotherHostThatMerelyBeginsLikeOursIsNoPage) {
    EXPECT_TRUE(kivo::FindMakerPage(std::string(kivo::kMakerHost) + "/news/"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMakerHost) + "x/news/"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMiniGameHost) + ".evil/"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMiniGameHost) + "/down/sort/1/1_1.htm"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMiniGameHost) + "/play/0_4.htm"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMiniGameHost) + "/play/17_0.htm"));
    EXPECT_FALSE(kivo::FindMakerPage(std::string(kivo::kMiniGameHost) + "/play/00_0.htm"));
}

TEST(MiniGameSite, TheIndexDecidesThePageAndOthersGoToTheRoot) {
    EXPECT_EQ(kivo::MiniGameUrl(0), std::string(kivo::kMiniGameHost) + "/down/sort/680/680_1.htm");
    EXPECT_EQ(kivo::MiniGameUrl(5),
              std::string(kivo::kMiniGameHost) + "/down/sort/1006/1006_1.htm");
    EXPECT_EQ(kivo::MiniGameUrl(16), std::string(kivo::kMiniGameHost) + "/down/sort/966/966_1.htm");
    EXPECT_EQ(kivo::MiniGameUrl(17), std::string(kivo::kMiniGameHost) + "/ee/top.htm");
    for (int other : {-1, 18, 1000})
        EXPECT_EQ(kivo::MiniGameUrl(other), std::string(kivo::kMiniGameHost) + "/");
    EXPECT_STREQ(kivo::kMiniGameCategories[17].caption, "排行榜");
}

// Every page reachable from the list's pages exists, uses nothing from outside and links only
// within the site.
TEST(MiniGameSite, EveryLinkLeadsToAPageOfTheSiteAndNothingComesFromOutside) {
    std::set<std::string> seen;
    std::vector<std::string> pending;
    for (int index = -1; index < static_cast<int>(kivo::kMiniGameCategories.size()); ++index)
        pending.push_back(kivo::MiniGameUrl(index).substr(std::string(kivo::kMiniGameHost).size()));
    while (!pending.empty()) {
        const std::string path = pending.back();
        pending.pop_back();
        if (!seen.insert(path).second)
            continue;
        const std::string body = Body(kivo::kMiniGameHost + path);
        ASSERT_FALSE(Has(body, "(no page")) << path;
        EXPECT_FALSE(Has(body, "src=")) << path;
        EXPECT_FALSE(Has(body, "//")) << path;
        EXPECT_FALSE(Has(body, "url(")) << path;
        for (size_t at = body.find("href=\""); at != std::string::npos;
             at = body.find("href=\"", at + 1)) {
            const size_t start = at + 6;
            const std::string link = body.substr(start, body.find('"', start) - start);
            ASSERT_EQ(link.substr(0, 1), "/") << path << " links to " << link;
            pending.push_back(link);
        }
    }
    EXPECT_EQ(seen.size(), 1u + 18u + 17u * 4u);  // the root, the list's pages, every game
}

// The mini window's page links to games of the maker's site, each in a new window (which the
// program turns into a tab); it loads nothing from elsewhere.
TEST(PromotionPage, LinksToExistingGamesInNewWindowsOnly) {
    ASSERT_EQ(kivo::PromotionUrl(), std::string(kivo::kMakerHost) + "/zt/webgame_open/index.php");
    const std::string body = Body(kivo::PromotionUrl());
    EXPECT_FALSE(Has(body, "src="));
    EXPECT_FALSE(Has(body, "url("));
    int links = 0;
    for (size_t at = body.find("<a "); at != std::string::npos; at = body.find("<a ", at + 1)) {
        const std::string tag = body.substr(at, body.find('>', at) - at);
        EXPECT_TRUE(Has(tag, "target=\"_blank\"")) << tag;
        const size_t start = tag.find("href=\"") + 6;
        const std::string link = tag.substr(start, tag.find('"', start) - start);
        EXPECT_EQ(link.rfind(kivo::kMiniGameHost, 0), 0u) << link;
        EXPECT_FALSE(Has(Body(link), "(no page")) << link;
        ++links;
    }
    EXPECT_GE(links, 4);
}

}  // namespace
