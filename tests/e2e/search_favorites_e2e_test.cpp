// The catalogue search box and the favorites driven from outside: a search typed with real
// keys reaches the game-directory search page as a POST of exactly the typed bytes; a page is
// added to the favorites from its tab, opened from the tree and deleted. What is checked is what
// the screen shows, what the local web server received and the files of the favorites folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/text.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_search.h"
#include "data/catalogue/favorites.h"

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;

constexpr const char* kSearchPath = "/addtion/search.php";

ProgramOptions NotStarted() {
    ProgramOptions options;
    options.start = false;
    return options;
}

// The game-directory search moved to the test's own web server for the program started while
// this lives.
class SearchSiteAt {
  public:
    explicit SearchSiteAt(const std::string& site) {
        setenv("KIVO_GAME_SEARCH_SITE", site.c_str(), 1);
    }
    ~SearchSiteAt() { unsetenv("KIVO_GAME_SEARCH_SITE"); }
};

Element WaitForShowingNamed(const UiDriver& ui, const std::string& name,
                            AtspiRole role = ATSPI_ROLE_INVALID) {
    Element found;
    WaitUntil([&] {
        auto all = ui.FindAll([&](const Element& e) {
            return e.Name() == name && e.Showing() &&
                   (role == ATSPI_ROLE_INVALID || e.Role() == role);
        });
        if (all.empty())
            return false;
        found = all.front();
        return true;
    });
    return found;
}

bool IsShowing(const UiDriver& ui, const std::string& name) {
    return !ui.FindAll([&](const Element& e) { return e.Name() == name && e.Showing(); }).empty();
}

// The keyword field of a posted search body, decoded; the body must hold that one field only.
std::string PostedKeyword(const kivo::test::ReceivedRequest& request) {
    const std::string prefix = "keyword=";
    if (request.body.rfind(prefix, 0) != 0)
        return "(no keyword field: " + request.body + ")";
    const std::string value = request.body.substr(prefix.size());
    if (value.find_first_of("&=") != std::string::npos)
        return "(more than one field: " + request.body + ")";
    return kivo::DecodeFormComponent(value);
}

// Clears the box with a click (as every click does) and types the text with real keys.
void TypeQuery(const Element& box, const std::string& text) {
    Click(box);
    ASSERT_TRUE(WaitUntil([&] { return box.Text().empty(); })) << "the click left " << box.Text();
    TypeText(text);
    ASSERT_TRUE(WaitUntil([&] { return box.Text() == text; })) << "the box shows " << box.Text();
}

TEST(CatalogueSearch, TheTypedBytesArePostedOnEnterAndF4AndABlankBoxPostsNothing) {
    ProgramUnderTest program(NotStarted());
    const SearchSiteAt site(program.Server().Url(""));
    program.Start();
    UiDriver ui(program.Pid());

    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, kivo::catalogue::kSearchCue);
    ASSERT_TRUE(box) << program.Output();
    EXPECT_EQ(box.Text(), kivo::catalogue::kSearchPlaceholder);
    ASSERT_TRUE(WaitUntil([&] { return !ui.TabNames().empty(); }));
    const size_t tabs = ui.TabNames().size();

    // Enter: Chinese, a blank and the characters that mean something in a form body.
    const std::string first = "游戏 a&b=5%";
    TypeQuery(box, first);
    PressKeys("Return");
    ASSERT_TRUE(WaitUntil([&] { return program.Server().RequestsTo(kSearchPath).size() == 1; }))
        << program.Output();
    auto posts = program.Server().RequestsTo(kSearchPath);
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(posts[0].content_type, "application/x-www-form-urlencoded");
    EXPECT_EQ(PostedKeyword(posts[0]), first) << posts[0].body;
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }));
    // The result page shows the keyword it received as text.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return !ui.FindAll([&](const Element& e) {
                          return e.Showing() && e.Role() != ATSPI_ROLE_PAGE_TAB &&
                                 e.Name() != kivo::catalogue::kSearchCue &&
                                 (e.Name() == first || e.Text() == first);
                      }).empty();
        },
        10s))
        << [&] {
               std::string found;
               for (const auto& e : ui.FindAll([](const Element& e) {
                        return e.Name().find("5%") != std::string::npos ||
                               e.Text().find("5%") != std::string::npos ||
                               e.Description().find("5%") != std::string::npos;
                    }))
                   found += e.Describe() + " text=" + e.Text() + " desc=" + e.Description() + "\n";
               return found;
           }();
    EXPECT_EQ(box.Text(), first) << "a search leaves the box as it was";

    // F4 does the same; upper-case letters stay what they are.
    TypeQuery(box, "ABC");
    PressKeys("F4");
    ASSERT_TRUE(WaitUntil([&] { return program.Server().RequestsTo(kSearchPath).size() == 2; }));
    EXPECT_EQ(PostedKeyword(program.Server().RequestsTo(kSearchPath)[1]), "ABC");
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 2; }));

    // Blanks only: neither key searches. The search typed after them is the next one to arrive.
    TypeQuery(box, "   ");
    PressKeys("Return");
    PressKeys("F4");
    TypeQuery(box, " z ");
    PressKeys("Return");
    ASSERT_TRUE(WaitUntil([&] { return program.Server().RequestsTo(kSearchPath).size() >= 3; }));
    posts = program.Server().RequestsTo(kSearchPath);
    ASSERT_EQ(posts.size(), 3u) << "a blank box searched";
    EXPECT_EQ(PostedKeyword(posts[2]), " z ") << "the query is posted untrimmed";
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 3; }));
    EXPECT_TRUE(program.Running()) << program.Output();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Opens the menu of the tab captioned `caption` (activated first: the menu is the active
// tab's) and clicks the item.
bool ClickMenuOfTab(const UiDriver& ui, const std::string& caption, const std::string& item) {
    const Element tab = WaitForShowingNamed(ui, caption, ATSPI_ROLE_PAGE_TAB);
    if (!tab)
        return false;
    Click(tab);
    if (!WaitUntil([&] { return tab.Selected(); }))
        return false;
    Click(tab, Button::Right);
    const Element entry = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, item);
    if (!entry)
        return false;
    Click(entry);
    return true;
}

// Right-clicks the favorite and answers the delete question with `answer`.
void DeleteFavoriteAnswering(const UiDriver& ui, const std::string& caption,
                             const std::string& answer) {
    const Element row = WaitForShowingNamed(ui, caption);
    ASSERT_TRUE(row) << caption;
    Click(row, Button::Right);
    const Element item = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, kivo::catalogue::kDeleteFavoriteItem);
    ASSERT_TRUE(item);
    Click(item);
    ASSERT_TRUE(WaitForShowingNamed(ui, kivo::catalogue::kDeleteFavoriteQuestion)) << "no question";
    const Element button = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, answer);
    ASSERT_TRUE(button);
    Click(button);
    ASSERT_TRUE(
        WaitUntil([&] { return !IsShowing(ui, kivo::catalogue::kDeleteFavoriteQuestion); }));
}

TEST(Favorites, AddedFromATabIntoAFolderOpenedFromTheTreeAndDeletedOnlyAfterYes) {
    constexpr const char* kSaved = "我的 收藏";
    ProgramUnderTest program(NotStarted());
    // A folder to choose, holding a favorite that stays throughout.
    const fs::path root = fs::path(program.Home()) / "data/gameKivo/Favorites";
    fs::create_directories(root / "游戏");
    std::ofstream(root / "游戏" / "stays.url")
        << "[InternetShortcut]\r\nURL=" << program.Server().Url("/title?t=stays") << "\r\n";
    program.Start();
    UiDriver ui(program.Pid());

    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    const std::string page = program.Server().Url("/title?t=favpage");
    Go(ui, page);
    ASSERT_TRUE(WaitForShowingNamed(ui, "favpage", ATSPI_ROLE_PAGE_TAB))
        << ::testing::PrintToString(ui.TabNames()) << program.Output();

    // The add dialog shows the page's title and address; the name is changed and the folder
    // chosen from its list.
    ASSERT_TRUE(ClickMenuOfTab(ui, "favpage", kivo::catalogue::kAddFavoriteItem));
    const Element name = ui.WaitFor(ATSPI_ROLE_TEXT, "名称:");
    ASSERT_TRUE(name) << "no add dialog";
    EXPECT_EQ(name.Text(), "favpage");
    ASSERT_TRUE(ReplaceTextByTyping(name, kSaved));
    EXPECT_EQ(ui.WaitFor(ATSPI_ROLE_TEXT, "地址:").Text(), page);
    const Element folder = ui.WaitFor(ATSPI_ROLE_COMBO_BOX, "创建位置:");
    ASSERT_TRUE(folder);
    Click(folder);
    const Element choice = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, "收藏夹/游戏");
    ASSERT_TRUE(choice) << Tree(ui.App());
    Click(choice);
    ASSERT_TRUE(WaitUntil([&] { return folder.Name() == "创建位置:" && !choice.Showing(); }));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));

    const fs::path file = root / "游戏" / (std::string(kSaved) + ".url");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(file); })) << "no shortcut written";
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find("[InternetShortcut]"), std::string::npos) << text;
    EXPECT_NE(text.find("URL=" + page + "\r\n"), std::string::npos) << text;

    // The tree shows it in its folder; a click opens it in a new tab.
    const Element section = WaitForShowingNamed(ui, "收藏夹");
    ASSERT_TRUE(section);
    Click(section);
    const Element folder_row = WaitForShowingNamed(ui, "游戏");
    ASSERT_TRUE(folder_row);
    Click(folder_row);
    const Element link = WaitForShowingNamed(ui, kSaved);
    ASSERT_TRUE(link) << "the tree does not show it";
    const size_t tabs = ui.TabNames().size();
    const size_t visits = program.Server().RequestsTo("/title").size();
    Click(link);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }));
    EXPECT_TRUE(WaitUntil([&] { return program.Server().RequestsTo("/title").size() > visits; }));
    EXPECT_EQ(program.Server().RequestsTo("/title").back().query, "t=favpage");

    // "No" keeps it; "Yes" removes the file and, after the reload, the tree entry.
    DeleteFavoriteAnswering(ui, kSaved, "否");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(IsShowing(ui, kSaved));
    DeleteFavoriteAnswering(ui, kSaved, "是");
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(file); }));
    EXPECT_TRUE(fs::exists(root / "游戏" / "stays.url"));
    if (!IsShowing(ui, "stays"))
        Click(WaitForShowingNamed(ui, "游戏"));
    ASSERT_TRUE(WaitForShowingNamed(ui, "stays"));
    EXPECT_FALSE(IsShowing(ui, kSaved)) << "the tree still shows the deleted favorite";
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
