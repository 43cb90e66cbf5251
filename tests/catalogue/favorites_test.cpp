// The favorites folder read into a tree, written and deleted, in a temporary home.
#include "data/catalogue/favorites.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/test_support.h"

namespace {

using namespace kivo::catalogue;
namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Favorites : public ::testing::Test {
  protected:
    kivo::test::TempHome home_;
    fs::path root_ = FavoritesFolder();
};

TEST_F(Favorites, TheFolderLiesInTheDataHomeAndListsFoldersThenShortcuts) {
    EXPECT_EQ(root_, fs::path(home_.Path() + "/data/gameKivo/Favorites/"));
    EXPECT_TRUE(fs::is_directory(root_));

    MakeFavoriteFolder(root_, {}, "游戏");
    WriteShortcut(root_, {"游戏"}, "服务器 1", "http://s1.example/?a=1&b=2");
    WriteShortcut(root_, {}, "b", "http://b.example/");
    WriteFile(root_ / "a.URL",
              "\xEF\xBB\xBF[Other]\r\nURL=http://wrong/\r\n"
              "[InternetShortcut]\r\nIconIndex=0\r\n url = http://a.example/ \r\n");
    WriteFile(root_ / "notes.txt", "[InternetShortcut]\nURL=http://txt/\n");
    WriteFile(root_ / "script.url", "[InternetShortcut]\nURL= JavaScript:alert(1)\n");
    WriteFile(root_ / "nosection.url", "URL=http://nosection/\n");
    WriteFile(root_ / "binary.url", std::string("\0\1\2\3", 4));
    fs::create_directory_symlink("/", root_ / "outside");

    const auto items = ReadFavorites(root_);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].folder);
    EXPECT_EQ(items[0].caption, "游戏");
    ASSERT_EQ(items[0].children.size(), 1u);
    EXPECT_EQ(items[0].children[0].caption, "服务器 1");
    EXPECT_EQ(items[0].children[0].url, "http://s1.example/?a=1&b=2");
    EXPECT_EQ(items[1].caption, "a");
    EXPECT_EQ(items[1].url, "http://a.example/");
    EXPECT_EQ(items[2].caption, "b");
    EXPECT_EQ(ReadShortcut(root_ / "script.url"), std::nullopt);
    EXPECT_EQ(ReadShortcut(root_ / "missing.url"), std::nullopt);
}

TEST_F(Favorites, NamesAndAddressesThatWouldEscapeOrRunScriptAreRefused) {
    const fs::path outside = fs::path(home_.Path()) / "keep.url";
    WriteFile(outside, "[InternetShortcut]\nURL=http://keep/\n");

    for (const std::string name : {"../keep", "a/b", "..", ".", "", "line\nbreak"}) {
        EXPECT_THROW(WriteShortcut(root_, {}, name, "http://x/"), FavoriteError) << name;
        EXPECT_THROW(DeleteFavorite(root_, {}, name, false), FavoriteError) << name;
        EXPECT_THROW(MakeFavoriteFolder(root_, {}, name), FavoriteError) << name;
    }
    EXPECT_THROW(DeleteFavorite(root_, {".."}, "keep", false), FavoriteError);
    EXPECT_THROW(DeleteFavorite(root_, {"..", ".."}, "data", true), FavoriteError);
    EXPECT_THROW(WriteShortcut(root_, {"missing"}, "x", "http://x/"), FavoriteError);
    fs::create_directory_symlink(home_.Path(), root_ / "link");
    EXPECT_THROW(DeleteFavorite(root_, {"link"}, "keep", false), FavoriteError);
    EXPECT_TRUE(fs::exists(outside));

    EXPECT_THROW(WriteShortcut(root_, {}, "s", "javascript:alert(1)"), FavoriteError);
    EXPECT_THROW(WriteShortcut(root_, {}, "s", "java\tscript:alert(1)"), FavoriteError);
    EXPECT_THROW(WriteShortcut(root_, {}, "s", "http://a/\r\nURL=javascript:x"), FavoriteError);
    EXPECT_THROW(WriteShortcut(root_, {}, "s", ""), FavoriteError);
    EXPECT_FALSE(fs::exists(root_ / "s.url"));

    // A listed shortcut changed meanwhile into a script address is not opened when clicked.
    WriteShortcut(root_, {}, "later", "http://later/");
    ASSERT_EQ(CurrentShortcutAddress(root_, {}, "later"), "http://later/");
    WriteFile(root_ / "later.url", "[InternetShortcut]\r\nURL=\x01javascript:alert(1)\r\n");
    EXPECT_EQ(CurrentShortcutAddress(root_, {}, "later"), std::nullopt);
    WriteFile(root_ / "later.url", "[InternetShortcut]\r\nURL=  JAVASCRIPT:alert(1)\r\n");
    EXPECT_EQ(CurrentShortcutAddress(root_, {}, "later"), std::nullopt);
    EXPECT_THROW(CurrentShortcutAddress(root_, {".."}, "keep"), FavoriteError);

    // A shortcut that links to a file elsewhere is neither listed, read, renamed nor deleted.
    fs::create_symlink(outside, root_ / "linked.url");
    for (const auto& item : ReadFavorites(root_)) EXPECT_NE(item.caption, "linked");
    EXPECT_EQ(CurrentShortcutAddress(root_, {}, "linked"), std::nullopt);
    EXPECT_FALSE(DeleteFavorite(root_, {}, "linked", false));
    EXPECT_THROW(RenameFavorite(root_, {}, "linked", false, "moved"), FavoriteError);
    EXPECT_EQ(ReadShortcut(outside), "http://keep/");
}

TEST_F(Favorites, DeletingRemovesTheShortcutOrTheWholeFolder) {
    WriteShortcut(root_, {}, "one", "http://one/");
    WriteFile(root_ / "two.Url", "[InternetShortcut]\nURL=http://two/\n");
    MakeFavoriteFolder(root_, {}, "folder");
    WriteShortcut(root_, {"folder"}, "inner", "http://inner/");
    MakeFavoriteFolder(root_, {"folder"}, "deeper");

    EXPECT_TRUE(DeleteFavorite(root_, {}, "two", false)) << "the file with \".Url\"";
    EXPECT_TRUE(DeleteFavorite(root_, {}, "one", false)) << "any case of the extension";
    EXPECT_FALSE(DeleteFavorite(root_, {}, "one", false)) << "already gone: nothing to delete";
    EXPECT_FALSE(DeleteFavorite(root_, {}, "folder", false)) << "a folder is no shortcut";
    EXPECT_EQ(CurrentShortcutAddress(root_, {"folder"}, "inner"), "http://inner/");
    EXPECT_TRUE(DeleteFavorite(root_, {"folder"}, "inner", false));
    EXPECT_EQ(CurrentShortcutAddress(root_, {"folder"}, "inner"), std::nullopt) << "vanished";
    EXPECT_TRUE(fs::exists(root_ / "folder" / "deeper"));
    EXPECT_TRUE(DeleteFavorite(root_, {}, "folder", true));
    EXPECT_FALSE(DeleteFavorite(root_, {}, "folder", true));
    EXPECT_TRUE(ReadFavorites(root_).empty());
    EXPECT_TRUE(fs::is_directory(root_)) << "the favorites folder itself stays";
}

TEST_F(Favorites, OrganizingRenamesAndMovesWithinTheFolderOnly) {
    WriteShortcut(root_, {}, "page", "http://page/");
    MakeFavoriteFolder(root_, {}, "a");
    MakeFavoriteFolder(root_, {"a"}, "b");
    WriteShortcut(root_, {}, "taken", "http://taken/");

    RenameFavorite(root_, {}, "page", false, "renamed");
    EXPECT_EQ(ReadShortcut(root_ / "renamed.url"), "http://page/");
    EXPECT_THROW(RenameFavorite(root_, {}, "renamed", false, "taken"), FavoriteError);
    EXPECT_THROW(RenameFavorite(root_, {}, "renamed", false, "../up"), FavoriteError);
    EXPECT_THROW(RenameFavorite(root_, {}, "gone", false, "x"), FavoriteError);

    MoveFavorite(root_, {}, "renamed", false, {"a", "b"});
    EXPECT_EQ(ReadShortcut(root_ / "a" / "b" / "renamed.url"), "http://page/");
    EXPECT_THROW(MoveFavorite(root_, {}, "a", true, {"a", "b"}), FavoriteError);
    EXPECT_THROW(MoveFavorite(root_, {}, "a", true, {"a"}), FavoriteError);
    EXPECT_THROW(MoveFavorite(root_, {}, "taken", false, {".."}), FavoriteError);
    MakeFavoriteFolder(root_, {}, "c");
    MoveFavorite(root_, {}, "a", true, {"c"});
    EXPECT_TRUE(fs::exists(root_ / "c" / "a" / "b" / "renamed.url"));
    EXPECT_TRUE(fs::exists(root_ / "taken.url"));
}

TEST(FavoriteNames, ATitleBecomesAShortcutNameThatStaysInItsFolder) {
    EXPECT_EQ(FavoriteNameForTitle("  Game / Server 1 \n"), "Game   Server 1");
    EXPECT_EQ(FavoriteNameForTitle("a\tb/../c"), "a b .. c");
    EXPECT_EQ(FavoriteNameForTitle(".."), "_");
    EXPECT_EQ(FavoriteNameForTitle(""), "_");
    EXPECT_TRUE(IsFavoriteName(FavoriteNameForTitle("../../etc/passwd")));
    EXPECT_FALSE(CanAddFavorite(" ", "http://x/"));
    EXPECT_FALSE(CanAddFavorite("title", "\t"));
    EXPECT_TRUE(CanAddFavorite("title", "http://x/"));
}

}  // namespace
