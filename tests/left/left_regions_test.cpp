// The left panel's regions in a real window, driven through a host that records what they ask
// of the window and answers its prompts as the test says.
#include <gtest/gtest.h>
#include <gtkmm.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "data/catalogue/catalogue_search.h"
#include "ui/left/favorites_tree.h"
#include "ui/left/left_panel.h"
#include "ui/left/mini_game_list.h"
#include "webcontrol/maker_pages.h"
// After gtkmm: the X11 headers define short macro names.
#include "tests/support/test_support.h"
#include "tests/support/toolkit.h"

namespace {

namespace fs = std::filesystem;
using kivo::catalogue::Section;
using namespace std::chrono_literals;

struct Opened {
    std::string url, post_data, cache_dir;
    bool operator==(const Opened&) const = default;
};

class TestHost : public kivo::TLeftPanelHost {
  public:
    kivo::data::TDISQLite3Database* Database() override { return nullptr; }
    void OpenGame(const std::string& url, const std::string& post_data,
                  const std::string& cache_dir) override {
        opened.push_back({url, post_data, cache_dir});
    }
    void OpenGame(const kivo::catalogue::CatalogueNode& node, const kivo::catalogue::CatalogueNode*,
                  const std::string& user_id) override {
        opened.push_back({node.Value, "address " + node.ID, user_id});
    }
    std::string ActivePageUrl() override { return ""; }
    std::string ActivePageTitle() override { return ""; }
    bool InputBox(const std::string&, const std::string&, std::string& text, int, bool) override {
        text = input;
        return true;
    }
    bool Confirm(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answer_yes;
    }
    void ShowError(const std::string& text, const std::string&) override { errors.push_back(text); }
    void ShowInformation(const std::string&, const std::string&) override {}
    Gtk::Window& Owner() override { return window; }

    Gtk::Window window;
    std::vector<Opened> opened;
    std::vector<std::string> questions, errors;
    bool answer_yes = false;
    std::string input;
};

class LeftRegions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay())
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(kivo::test::ToolkitReady());
        host_ = std::make_unique<TestHost>();
        row_ = std::make_unique<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL);
    }
    // A panel keeps its own width at the window's left; the lists fill the window.
    void Show(Gtk::Widget& content, int width, int height, bool own_width = false) {
        if (own_width)
            row_->pack_start(content, false, false);
        else
            row_->pack_start(content, true, true);
        host_->window.add(*row_);
        host_->window.set_default_size(width, height);
        host_->window.show_all();
        ASSERT_TRUE(kivo::test::PumpUntil([&] { return content.get_allocated_height() > 1; }, 10s));
    }
    std::string Accessible(Gtk::Widget& widget) { return widget.get_accessible()->get_name(); }

    kivo::test::TempHome home_;
    std::unique_ptr<TestHost> host_;
    std::unique_ptr<Gtk::Box> row_;
};

void SendKey(Gtk::Widget& widget, guint keyval) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(widget.get_window()->gobj()));
    event->key.keyval = keyval;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(widget.gobj(), event);
    gdk_event_free(event);
}

// A button press at a point of the widget (its own coordinates).
void SendPress(Gtk::Widget& widget, int x, int y, guint button = 1) {
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(widget.get_window()->gobj()));
    event->button.button = button;
    int origin_x = 0, origin_y = 0;
    widget.get_window()->get_origin(origin_x, origin_y);
    const auto area = widget.get_allocation();
    event->button.x = area.get_x() + x;
    event->button.y = area.get_y() + y;
    event->button.x_root = origin_x + area.get_x() + x;
    event->button.y_root = origin_y + area.get_y() + y;
    gdk_event_set_device(
        event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(widget.gobj(), event);
    gdk_event_free(event);
}

// A right press at a point of the tree's rows area.
void SendTreePress(Gtk::TreeView& tree, int x, int y) {
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(tree.get_bin_window()->gobj()));
    event->button.button = 3;
    event->button.x = x;
    event->button.y = y;
    int origin_x = 0, origin_y = 0;
    tree.get_bin_window()->get_origin(origin_x, origin_y);
    event->button.x_root = origin_x + x;
    event->button.y_root = origin_y + y;
    gdk_event_set_device(
        event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(GTK_WIDGET(tree.gobj()), event);
    gdk_event_free(event);
}

TEST_F(LeftRegions, SectionsOpenOneAtATimeAndFollowThePanelsHeight) {
    kivo::TLeftPanel panel(*host_);
    Gtk::Box favorites;
    Gtk::Label favorite("b");
    favorites.add(favorite);
    panel.SetSectionContent(Section::Favorites, favorites);
    Show(panel.Widget(), 187, 700);
    EXPECT_FALSE(favorite.get_mapped());
    for (const auto& info : kivo::catalogue::kSections)
        EXPECT_EQ(Accessible(panel.SectionHeader(info.section)), info.caption);
    ASSERT_TRUE(
        kivo::test::PumpUntil([&] { return panel.SectionHeight(Section::WebGame) > 30; }, 10s));
    const int open_height = panel.SectionHeight(Section::WebGame);
    EXPECT_EQ(panel.SectionHeight(Section::History), 30);
    EXPECT_FALSE(panel.Expanded(Section::MiniGames));

    std::vector<Section> expanded;
    panel.OnSectionExpanded = [&](Section s) { expanded.push_back(s); };
    panel.SectionHeader(Section::MiniGames).clicked();
    EXPECT_FALSE(panel.Expanded(Section::WebGame));
    EXPECT_EQ(panel.SectionHeight(Section::WebGame), 30);
    EXPECT_EQ(panel.SectionHeight(Section::MiniGames), open_height);
    EXPECT_EQ(expanded, std::vector<Section>{Section::MiniGames});
    // A second click closes it: no section is open, and a resize then changes nothing.
    panel.SectionHeader(Section::MiniGames).clicked();
    EXPECT_FALSE(panel.Expanded(Section::MiniGames));
    panel.CategoryPanelGroup1Resize(900);
    EXPECT_EQ(panel.SectionHeight(Section::MiniGames), 30);

    panel.Expand(Section::Favorites);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return favorite.get_mapped(); }, 10s));
    host_->window.resize(187, 800);
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] { return panel.SectionHeight(Section::Favorites) == open_height + 100; }, 10s));
}

TEST_F(LeftRegions, TheStripHidesAndShowsThePanel) {
    kivo::TLeftPanel panel(*host_);
    Show(panel.Widget(), 300, 500, true);
    std::vector<bool> shown;
    panel.OnShownChanged = [&](bool s) { shown.push_back(s); };
    EXPECT_EQ(panel.PanelWidth(), 187);
    // At the left edge at its own width: nothing inside asks for more or spreads it out.
    EXPECT_EQ(panel.Widget().get_allocation().get_x(), 0);
    EXPECT_EQ(panel.Widget().get_allocated_width(), 187);
    EXPECT_TRUE(panel.SpotButton(true).get_visible());
    EXPECT_FALSE(panel.SpotButton(false).get_visible());
    EXPECT_FALSE(Accessible(panel.SpotButton(true)).empty());

    panel.SpotButton(true).clicked();
    EXPECT_EQ(panel.PanelWidth(), 7);
    EXPECT_FALSE(panel.SpotButton(true).get_visible());
    EXPECT_TRUE(panel.SpotButton(false).get_visible());
    ASSERT_TRUE(
        kivo::test::PumpUntil([&] { return panel.Widget().get_allocated_width() == 7; }, 10s));
    panel.SpotButton(false).clicked();
    panel.btnSpotClick();
    panel.btnSpotClick();
    EXPECT_EQ(panel.PanelWidth(), 185);
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false, true}));
}

TEST_F(LeftRegions, TheSearchBoxPostsTheEncodedKeywordOnlyForAQuery) {
    kivo::TLeftPanel panel(*host_);
    Show(panel.Widget(), 187, 500);
    auto& box = panel.SearchBox();
    EXPECT_EQ(box.get_text(), kivo::catalogue::kSearchPlaceholder);
    EXPECT_FALSE(box.child_focus(Gtk::DIR_TAB_FORWARD));  // Tab passes it by
    EXPECT_FALSE(box.is_focus());
    box.grab_focus();
    EXPECT_TRUE(box.is_focus());
    SendKey(box, GDK_KEY_F4);
    box.activate();
    EXPECT_TRUE(host_->opened.empty());  // the placeholder is no query

    SendPress(box, 5, 5);
    EXPECT_EQ(box.get_text(), "");
    box.set_text("abc");
    const auto icon = box.get_icon_area(Gtk::ENTRY_ICON_SECONDARY);
    SendPress(box, icon.get_x() + icon.get_width() / 2, icon.get_y() + icon.get_height() / 2);
    EXPECT_EQ(box.get_text(), "abc");  // the find button leaves the text for the search
    box.set_text(" \t ");
    SendKey(box, GDK_KEY_F4);
    EXPECT_TRUE(host_->opened.empty());

    box.set_text(" 游戏");
    SendKey(box, GDK_KEY_F4);
    box.set_text("abc");
    box.activate();
    const std::vector<Opened> expected{
        {kivo::MakerSearchUrl(), "keyword=%20%E6%B8%B8%E6%88%8F", ""},
        {kivo::MakerSearchUrl(), "keyword=%61%62%63", ""}};
    EXPECT_EQ(host_->opened, expected);
    // A click empties a typed query too.
    SendPress(box, 5, 5);
    EXPECT_EQ(box.get_text(), "");
}

TEST_F(LeftRegions, AMiniGameOpensItsPageInTheSharedSessionWhenClickedWhileSelected) {
    kivo::TMiniGameList list(*host_);
    Show(list.Widget(), 187, 700);
    auto& tree = list.Tree();
    ASSERT_EQ(tree.get_model()->children().size(), 18u);
    Gdk::Rectangle last, first;
    tree.get_cell_area(Gtk::TreeModel::Path("17"), *tree.get_column(0), last);
    tree.get_cell_area(Gtk::TreeModel::Path("0"), *tree.get_column(0), first);

    list.tvFlashClick(last.get_x() + 2, last.get_y() + 2);  // nothing selected yet
    tree.get_selection()->select(Gtk::TreeModel::Path("17"));
    list.tvFlashClick(first.get_x() + 2, first.get_y() + 2);  // not the selected item
    EXPECT_TRUE(host_->opened.empty());
    list.tvFlashClick(last.get_x() + 2, last.get_y() + 2);
    ASSERT_EQ(host_->opened.size(), 1u);
    EXPECT_EQ(host_->opened[0],
              (Opened{std::string(kivo::kMiniGameHost) + "/ee/top.htm", "", "FlashGame"}));
    list.OpenItem(99);
    EXPECT_EQ(host_->opened[1].url, kivo::MiniGameUrl(99));
}

class Favorites : public LeftRegions {
  protected:
    void SetUp() override {
        LeftRegions::SetUp();
        if (IsSkipped())
            return;
        root_ = kivo::catalogue::FavoritesFolder();
        kivo::catalogue::MakeFavoriteFolder(root_, {}, "Games");
        kivo::catalogue::WriteShortcut(root_, {"Games"}, "a", "http://127.0.0.1/a");
        kivo::catalogue::WriteShortcut(root_, {}, "b", "http://127.0.0.1/b");
        std::ofstream(root_ / "note.url") << "[Other]\nURL=http://x/\n";
        std::ofstream(root_ / "evil.url") << "[InternetShortcut]\nURL=javascript:alert(1)\n";
    }
    std::vector<std::string> TopCaptions(const Glib::RefPtr<Gtk::TreeStore>& store) {
        std::vector<std::string> captions;
        for (const auto& row : store->children())
            captions.push_back(Glib::ustring(row[columns_.caption]).raw());
        return captions;
    }
    fs::path root_;
    kivo::FavoriteColumns columns_;
};

TEST_F(Favorites, ListedOpenedAndAVanishedShortcutDropped) {
    kivo::TFavoritesTree tree(*host_);
    Show(tree.Widget(), 187, 400);
    EXPECT_EQ(TopCaptions(tree.Model()), (std::vector<std::string>{"Games", "b"}));
    EXPECT_EQ(Accessible(*tree.Menu().get_children()[0]), "整理收藏夹");

    tree.FavTreelistNavigate(Gtk::TreeModel::Path("0:0"));
    tree.FavTreelistNavigate(Gtk::TreeModel::Path("0"));  // a folder opens nothing
    EXPECT_EQ(host_->opened, (std::vector<Opened>{{"http://127.0.0.1/a", "", ""}}));

    fs::remove(root_ / "b.url");
    tree.FavTreelistNavigate(Gtk::TreeModel::Path("1"));
    EXPECT_EQ(host_->opened.size(), 1u);
    EXPECT_EQ(TopCaptions(tree.Model()), (std::vector<std::string>{"Games"}));
}

TEST_F(Favorites, ARightPressSelectsItsRowAndShowsTheMenuOnlyOverARow) {
    kivo::TFavoritesTree tree(*host_);
    Show(tree.Widget(), 187, 400);
    auto& view = tree.Tree();
    view.get_selection()->select(Gtk::TreeModel::Path("0"));
    SendTreePress(view, 20, 380);  // below the rows
    EXPECT_FALSE(tree.Menu().get_visible());
    Gdk::Rectangle row;
    view.get_cell_area(Gtk::TreeModel::Path("1"), *view.get_column(0), row);
    SendTreePress(view, row.get_x() + 5, row.get_y() + 2);
    EXPECT_EQ(view.get_model()->get_path(view.get_selection()->get_selected()).to_string(), "1");
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return tree.Menu().get_visible(); }, 10s));
    tree.Menu().popdown();
}

TEST_F(Favorites, DeletedOnlyAfterYes) {
    kivo::TFavoritesTree tree(*host_);
    Show(tree.Widget(), 187, 400);
    tree.Tree().get_selection()->select(Gtk::TreeModel::Path("1"));
    host_->answer_yes = false;
    tree.MenuItem5Click();
    EXPECT_TRUE(fs::exists(root_ / "b.url"));
    host_->answer_yes = true;
    tree.MenuItem5Click();
    EXPECT_FALSE(fs::exists(root_ / "b.url"));
    EXPECT_EQ(host_->questions.size(), 2u);
    EXPECT_EQ(host_->questions[0], kivo::catalogue::kDeleteFavoriteQuestion);

    tree.Tree().get_selection()->select(Gtk::TreeModel::Path("0"));
    tree.MenuItem5Click();  // the folder with what it holds
    EXPECT_FALSE(fs::exists(root_ / "Games"));
    EXPECT_TRUE(TopCaptions(tree.Model()).empty());
    EXPECT_TRUE(fs::exists(root_ / "note.url"));
}

TEST_F(Favorites, TheAddDialogRefusesBadInputAndWritesIntoTheChosenFolder) {
    kivo::TFavoritesTree tree(*host_);
    Show(tree.Widget(), 187, 400);
    EXPECT_FALSE(tree.N19Click("  ", "http://127.0.0.1/c"));
    EXPECT_EQ(kivo::TFrmAddFavorite::Active(), nullptr);

    Glib::signal_idle().connect_once([this] {
        auto* dialog = kivo::TFrmAddFavorite::Active();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->NameEdit().get_text(), "Page  x");
        dialog->NameEdit().set_text("../x");
        dialog->btnOkClick();
        dialog->NameEdit().set_text("c");
        dialog->UrlEdit().set_text("javascript:alert(1)");
        dialog->btnOkClick();
        EXPECT_EQ(host_->errors.size(), 2u);
        dialog->UrlEdit().set_text("http://127.0.0.1/c");
        dialog->FolderChoice().set_active(1);
        dialog->btnOkClick();
    });
    EXPECT_TRUE(tree.N19Click("Page /x", "http://127.0.0.1/c"));
    EXPECT_FALSE(fs::exists(root_.parent_path() / "x.url"));
    EXPECT_FALSE(fs::exists(root_ / "x.url"));
    EXPECT_EQ(kivo::catalogue::ReadShortcut(root_ / "Games" / "c.url"), "http://127.0.0.1/c");
    EXPECT_EQ(tree.Model()->children()[0]->children().size(), 2u);  // reloaded
}

TEST_F(Favorites, TheOrganizeDialogRenamesMovesMakesFoldersAndTheTreeReloads) {
    kivo::TFavoritesTree tree(*host_);
    Show(tree.Widget(), 187, 400);
    Glib::signal_idle().connect_once([this] {
        auto* dialog = kivo::TFrmOrganizeFavorites::Active();
        ASSERT_NE(dialog, nullptr);
        host_->input = "New";
        dialog->Tree().get_selection()->unselect_all();
        dialog->btnNewFolderClick();  // nothing selected: at the top
        ASSERT_TRUE(dialog->SelectItem({}, "Games"));
        host_->input = "Inner";
        dialog->btnNewFolderClick();  // inside the selected folder
        ASSERT_TRUE(dialog->SelectItem({}, "b"));
        host_->input = "../b";
        dialog->btnRenameClick();
        EXPECT_EQ(host_->errors.size(), 1u);
        ASSERT_TRUE(dialog->SelectItem({}, "b"));
        host_->input = "bee";
        dialog->btnRenameClick();
        ASSERT_TRUE(dialog->SelectItem({}, "bee"));
        dialog->MoveTarget().set_active_text("收藏夹/New");
        dialog->btnMoveClick();
        ASSERT_TRUE(dialog->SelectItem({"Games"}, "a"));
        host_->answer_yes = true;
        dialog->btnDeleteClick();
        dialog->response(Gtk::RESPONSE_CLOSE);
    });
    tree.MenuItem1Click();
    EXPECT_TRUE(fs::exists(root_ / "New" / "bee.url"));
    EXPECT_FALSE(fs::exists(root_ / "Games" / "a.url"));
    EXPECT_TRUE(fs::is_directory(root_ / "Games" / "Inner"));
    EXPECT_FALSE(fs::exists(root_.parent_path() / "b.url"));
    EXPECT_EQ(TopCaptions(tree.Model()), (std::vector<std::string>{"Games", "New"}));
}

}  // namespace
