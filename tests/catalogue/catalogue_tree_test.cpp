// The catalogue trees and the address dialog over a real database file, in a real window.
#include "ui/catalogue/catalogue_tree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/statements.h"
#include "tests/data/test_database.h"
#include "tests/support/toolkit.h"
#include "data/catalogue/catalogue_edit.h"
#include "ui/catalogue/frm_save_url.h"
#include "data/catalogue/history.h"
#include "ui/left/history_tree.h"
#include "ui/left/left_host.h"
#include "ui/dialogs/message_box.h"
// After the GTK headers: it brings in Xlib and its macros.
#include "tests/support/test_support.h"

namespace {

using namespace kivo::catalogue;
using namespace std::chrono_literals;

struct Answer {
    bool confirmed;
    std::string text;
};

// The window side: a real database file and window; the prompts are answered from queues.
class TestHost : public kivo::TLeftPanelHost {
  public:
    TestHost() {
        const auto file = folder.Path() / "MultOpenApp.dat";
        kivo::data::testing::CreateDatabase(file, kivo::data::testing::SchemaScript());
        db.SetDatabaseName(file.string());
    }

    kivo::data::TDISQLite3Database* Database() override { return open ? &db : nullptr; }
    void OpenGame(const std::string& url, const std::string& post_data,
                  const std::string& cache_dir) override {
        opened.push_back(url + "|" + post_data + "|" + cache_dir);
    }
    void OpenGame(const kivo::catalogue::CatalogueNode& node,
                  const kivo::catalogue::CatalogueNode* parent,
                  const std::string& user_id) override {
        opened.push_back(node.Value + "|address " + node.ID + " of " +
                         (parent ? parent->Name : "-") + "|" + user_id);
    }
    std::string ActivePageUrl() override { return page_url; }
    std::string ActivePageTitle() override { return page_title; }
    bool InputBox(const std::string&, const std::string& prompt, std::string& text, int max_length,
                  bool) override {
        prompts.push_back(prompt + "|" + text + "|" + std::to_string(max_length));
        if (inputs.empty())
            return false;
        Answer answer = inputs.front();
        inputs.pop_front();
        if (answer.confirmed || !answer.text.empty())
            text = answer.text;
        return answer.confirmed;
    }
    bool Confirm(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return yes;
    }
    void ShowError(const std::string& text, const std::string&) override { errors.push_back(text); }
    void ShowInformation(const std::string& text, const std::string&) override {
        errors.push_back(text);
    }
    Gtk::Window& Owner() override { return window; }

    int Count(const std::string& sql) {
        auto st = db.Prepare16(sql);
        st.Step();
        return std::stoi(st.Column_Str(0));
    }

    kivo::data::testing::TempFolder folder;
    kivo::data::TDISQLite3Database db;
    Gtk::Window window;
    bool open = true;
    bool yes = true;
    std::string page_url, page_title;
    std::deque<Answer> inputs;
    std::vector<std::string> prompts, questions, errors, opened;
};

using kivo::test::WhenShown;

void AnswerMessageBox(int response, std::string* text = nullptr) {
    WhenShown([] { return kivo::ActiveMessageBox() != nullptr; },
              [response, text] {
                  auto* box = static_cast<Gtk::MessageDialog*>(kivo::ActiveMessageBox());
                  if (text)
                      *text = box->property_text().get_value();
                  box->response(response);
              });
}

class CatalogueTree : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay())
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(kivo::test::ToolkitReady());
        host = std::make_unique<TestHost>();
        web = std::make_unique<TCatalogueTree>(*host, kWebGameTree, context, Reload());
        sns = std::make_unique<TCatalogueTree>(*host, kSnsTree, context, Reload());
        auto* box = Gtk::make_managed<Gtk::Box>(Gtk::ORIENTATION_VERTICAL);
        box->pack_start(web->Widget(), true, true);
        box->pack_start(sns->Widget(), true, true);
        host->window.add(*box);
        host->window.set_default_size(200, 600);
        host->window.show_all();
        actLoadWebGamePnl(*web, *sns);
    }

    std::function<void()> Reload() {
        return [this] {
            ++reloads;
            actLoadWebGamePnl(*web, *sns);
        };
    }

    std::vector<std::string> Captions(TCatalogueTree& tree) {
        std::vector<std::string> captions;
        for (const auto& row : tree.TopLevel()) {
            captions.push_back(tree.NodeAt(row).Name);
            for (const auto& child : row.children())
                captions.push_back("  " + tree.NodeAt(child).Name);
        }
        return captions;
    }

    void AddGame(TCatalogueTree& tree, const std::string& name) {
        host->inputs.push_back({true, name});
        tree.vstWebGameClick(tree.FindByName(tree.Kind().add_game_caption));
    }

    void RightPress(TCatalogueTree& tree, const std::string& name) {
        auto row = tree.FindByName(name);
        ASSERT_TRUE(row) << name;
        tree.vstWebGameMouseDown(row, nullptr);
    }

    std::unique_ptr<TestHost> host;
    TContextNode context;
    std::unique_ptr<TCatalogueTree> web, sns;
    int reloads = 0;
};

TEST_F(CatalogueTree, AnEmptyCatalogueShowsExactlyItsTwoAddNodes) {
    EXPECT_EQ(Captions(*web), std::vector<std::string>{"添加新游戏"});
    EXPECT_EQ(Captions(*sns), std::vector<std::string>{"添加新SNS"});
    // A click on an add-game node that is cancelled, or a game row, opens nothing.
    web->vstWebGameClick(web->FindByName("添加新游戏"));
    EXPECT_TRUE(host->opened.empty());
    EXPECT_EQ(host->Count("select count(*) from t_gamelist"), 0);
}

// The texts assistive tools read for a row: the cell's own name and those of its parts.
std::string AccessibleText(AtkObject* cell) {
    std::string text = atk_object_get_name(cell) ? atk_object_get_name(cell) : "";
    for (int i = 0; i < atk_object_get_n_accessible_children(cell); ++i) {
        AtkObject* part = atk_object_ref_accessible_child(cell, i);
        text += "[" + AccessibleText(part) + "]";
        g_object_unref(part);
    }
    return text;
}

TEST_F(CatalogueTree, RowsAndMenuItemsAreNamedByTheirCaptions) {
    AtkObject* view = gtk_widget_get_accessible(GTK_WIDGET(web->View().gobj()));
    EXPECT_STREQ(atk_object_get_name(view), "WebGame网页游戏");
    AtkObject* first_row = atk_object_ref_accessible_child(view, 1);  // after the column header
    ASSERT_TRUE(first_row);
    EXPECT_NE(AccessibleText(first_row).find("添加新游戏"), std::string::npos)
        << AccessibleText(first_row);
    g_object_unref(first_row);
    // The captions show no mnemonic marker, neither on the screen nor to a screen reader.
    for (Gtk::MenuItem* item : {&web->N13, &web->MenuItem2, &web->MenuItem3, &web->N16,
                                &web->MenuItem7, &web->N17, &web->N8}) {
        EXPECT_EQ(item->get_accessible()->get_name(), item->get_label());
        EXPECT_EQ(item->get_label().raw().find('&'), std::string::npos) << item->get_label();
    }
    EXPECT_EQ(web->N13.get_label(), "快速登录");
    EXPECT_FALSE(web->MenuItem3.get_visible());
}

TEST_F(CatalogueTree, AddingGamesKeepsTheNameAsTypedAndRefusesBlankNames) {
    AddGame(*web, "  Zeta  ");
    AddGame(*web, "'; drop table t_gamelist; --");
    AddGame(*web, " \t ");  // refused silently
    AddGame(*sns, "社区\"引号\"");
    EXPECT_TRUE(host->errors.empty());
    EXPECT_EQ(host->prompts.front(), std::string(kAddGamePrompt) + "||20");
    EXPECT_EQ(Captions(*web),
              (std::vector<std::string>{"  Zeta  ", "  添加新地址", "'; drop table t_gamelist; --",
                                        "  添加新地址", "添加新游戏"}));
    EXPECT_EQ(Captions(*sns),
              (std::vector<std::string>{"社区\"引号\"", "  添加新地址", "添加新SNS"}));
    EXPECT_EQ(host->Count("select count(*) from t_gamelist where gamename='  Zeta  ' and "
                          "gametype=1"),
              1);
    EXPECT_EQ(host->Count("select count(*) from t_gamelist where gametype=2"), 1);
    // Games start unfolded.
    EXPECT_TRUE(
        web->View().row_expanded(web->View().get_model()->get_path(web->TopLevel().begin())));
}

TEST_F(CatalogueTree, AnAddressAddedThroughTheDialogIsListedAndOpensOnClick) {
    AddGame(*web, "Alpha");
    std::string preselected;
    WhenShown([] { return TFrmSaveUrl::Active() && TFrmSaveUrl::Active()->get_visible(); },
              [&] {
                  TFrmSaveUrl* form = TFrmSaveUrl::Active();
                  preselected = form->cbbGameList.get_active_text();
                  form->edtUrlName.set_text("一服");
                  form->edtUrl.set_text("http://127.0.0.1:1/game?a=1");
                  form->edtUrl.activate();  // Enter in the address confirms
              });
    auto add = web->FindByName("Alpha")->children().begin();
    ASSERT_EQ(web->NodeAt(add).Name, "添加新地址");
    web->vstWebGameClick(add);
    EXPECT_EQ(preselected, "Alpha") << "the dialog selects the game of the add node";
    EXPECT_EQ(Captions(*web),
              (std::vector<std::string>{"Alpha", "  一服", "  添加新地址", "添加新游戏"}));
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist where urlvalue="
                          "'http://127.0.0.1:1/game?a=1' and urlname='一服'"),
              1);

    web->vstWebGameClick(web->FindByName("一服"));
    web->vstWebGameClick(web->FindByName("Alpha"));
    const std::string url_id = web->NodeAt(web->FindByName("一服")).ID;
    EXPECT_EQ(host->opened, std::vector<std::string>{"http://127.0.0.1:1/game?a=1|address " +
                                                     url_id + " of Alpha|"});
}

// A button pressed and released over a row, sent as the display would.
void ClickRow(TCatalogueTree& tree, const Gtk::TreeModel::iterator& row, guint button) {
    Gdk::Rectangle area;
    tree.View().get_cell_area(tree.View().get_model()->get_path(row), *tree.View().get_column(0),
                              area);
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->button.window = GDK_WINDOW(g_object_ref(tree.View().get_bin_window()->gobj()));
        event->button.x = area.get_x() + 60;
        event->button.y = area.get_y() + area.get_height() / 2.0;
        event->button.button = button;
        event->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(
            event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
}

TEST_F(CatalogueTree, AMouseClickOpensTheAddressUnderThePointer) {
    AddGame(*web, "Alpha");
    InsertGameUrl(host->db, web->NodeAt(web->FindByName("Alpha")).ID, "one", "http://one/");
    actLoadWebGamePnl(*web, *sns);
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return web->View().get_realized(); }, 10s));
    kivo::test::PumpFor(200ms);
    ClickRow(*web, web->FindByName("one"), 3);  // the right button selects, opens nothing
    EXPECT_EQ(context.ContextTree, web.get());
    EXPECT_TRUE(host->opened.empty());
    EXPECT_TRUE(web->pmLeft1.get_visible()) << "the address menu pops up";
    web->pmLeft1.popdown();
    ClickRow(*web, web->FindByName("one"), 1);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !host->opened.empty(); }, 10s));
    EXPECT_EQ(host->opened,
              std::vector<std::string>{"http://one/|address " +
                                       web->NodeAt(web->FindByName("one")).ID + " of Alpha|"});
}

TEST_F(CatalogueTree, AFailedLoadKeepsThePendingAddNodesAndNoDatabaseLeavesTheTreeEmpty) {
    AddGame(*web, "Alpha");
    AddGame(*web, "Beta");
    host->db.Execute("drop table t_gameurllist");
    EXPECT_ANY_THROW(web->Reload());
    EXPECT_EQ(Captions(*web), (std::vector<std::string>{"Alpha", "  添加新地址", "添加新游戏"}));
    host->open = false;
    web->Reload();
    EXPECT_TRUE(Captions(*web).empty());
}

TEST_F(CatalogueTree, RightPressSetsTheContextAndMenusEditInPlace) {
    AddGame(*web, "Alpha");
    auto game_id = web->NodeAt(web->FindByName("Alpha")).ID;
    InsertGameUrl(host->db, game_id, "old", "http://old/");
    actLoadWebGamePnl(*web, *sns);

    RightPress(*web, "添加新游戏");
    EXPECT_EQ(context.ContextTree, web.get());
    web->N16.set_sensitive(false);  // as a history entry's press leaves it
    RightPress(*web, "old");
    EXPECT_TRUE(web->N16.get_sensitive());
    // Both prompts cancelled untouched: the same texts are written back.
    host->inputs = {{false, ""}, {false, ""}};
    web->N16Click();
    EXPECT_EQ(host->prompts.back(), std::string(kEditUrlPrompt) + "|http://old/|255");
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist where urlname='old'"), 1);
    host->inputs = {{true, "new"}, {false, "http://new/"}};
    web->N16Click();
    auto node = web->NodeAt(web->FindByName("new"));
    EXPECT_EQ(node.Value, "http://new/");
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist where urlname='new' and "
                          "urlvalue='http://new/'"),
              1);

    RightPress(*web, "Alpha");
    host->inputs = {{false, "ignored"}};
    web->N17Click();
    EXPECT_TRUE(web->FindByName("Alpha"));
    host->inputs = {{true, "Omega"}};
    web->N17Click();
    EXPECT_TRUE(web->FindByName("Omega"));
    EXPECT_EQ(host->Count("select count(*) from t_gamelist where gamename='Omega'"), 1);
    EXPECT_EQ(reloads, 1) << "edits change the node in place";
}

TEST_F(CatalogueTree, DeletionsAskFirstAndRemoveTheRowsAndTheNode) {
    AddGame(*web, "Alpha");
    const auto game_id = web->NodeAt(web->FindByName("Alpha")).ID;
    const auto url_id = InsertGameUrl(host->db, game_id, "one", "http://one/");
    InsertGameUrl(host->db, game_id, "two", "http://two/");
    host->db.Execute("insert into t_usermanage (ID, URLID) values ('u1', '" + url_id + "')");
    actLoadWebGamePnl(*web, *sns);

    host->yes = false;
    RightPress(*web, "one");
    web->MenuItem7Click();
    RightPress(*web, "Alpha");
    web->N8Click();
    EXPECT_EQ(host->questions, (std::vector<std::string>{kDeleteUrlQuestion, kDeleteGameQuestion}));
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist"), 2);
    EXPECT_TRUE(web->FindByName("one"));

    host->yes = true;
    RightPress(*web, "one");
    web->MenuItem7Click();
    EXPECT_FALSE(web->FindByName("one"));
    EXPECT_EQ(host->Count("select count(*) from t_usermanage"), 0);
    EXPECT_TRUE(context.Empty());
    web->N8Click();  // no context node: nothing
    EXPECT_EQ(host->Count("select count(*) from t_gamelist"), 1);

    RightPress(*web, "Alpha");
    web->N8Click();
    EXPECT_EQ(Captions(*web), std::vector<std::string>{"添加新游戏"});
    EXPECT_EQ(host->Count("select count(*) from t_gamelist"), 0);
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist"), 0);
}

TEST_F(CatalogueTree, TheDialogWantsAGameAndAddsOneThroughItsLink) {
    AddGame(*sns, "Beta");
    TFrmSaveUrl form(*host, Reload());
    form.Prepare("no such game", "标题", "http://x/", "2");
    EXPECT_EQ(form.cbbGameType.get_active_text(), "SNS社区");
    EXPECT_EQ(form.SelectedGameId(), "");
    bool confirmed = false;
    form.signal_response().connect([&](int r) { confirmed = r == Gtk::RESPONSE_OK; });
    std::string message;
    AnswerMessageBox(Gtk::RESPONSE_OK, &message);
    form.btnOpenClick();
    EXPECT_EQ(message, kChooseGame);
    EXPECT_FALSE(confirmed);

    host->inputs = {{true, "Gamma"}};
    AnswerMessageBox(Gtk::RESPONSE_OK, &message);
    const int before = reloads;
    form.lblAddGameClick();
    EXPECT_EQ(message, kGameAdded);
    EXPECT_EQ(form.cbbGameList.get_active_text(), "Gamma");
    EXPECT_EQ(reloads, before + 1);
    EXPECT_TRUE(sns->FindByName("Gamma"));
    form.btnOpenClick();
    EXPECT_TRUE(confirmed);
}

TEST_F(CatalogueTree, TheActivePageIsSavedAsAnAddressOfTheChosenGame) {
    AddGame(*web, "Alpha");
    host->page_title = "第一页";
    host->page_url = "http://127.0.0.1:1/page";
    std::string shown;
    auto choose = [&](bool confirm) {
        WhenShown([] { return TFrmSaveUrl::Active() && TFrmSaveUrl::Active()->get_visible(); },
                  [&shown, confirm] {
                      TFrmSaveUrl* form = TFrmSaveUrl::Active();
                      shown = form->edtUrlName.get_text() + " " + form->edtUrl.get_text() + " " +
                              form->SelectedGameId();
                      form->cbbGameList.set_active(0);
                      (confirm ? form->btnOpen : form->btnClose).clicked();
                  });
    };
    choose(false);
    EXPECT_EQ(SaveActivePage(*host, "0", Reload()), "");
    EXPECT_EQ(shown, "第一页 http://127.0.0.1:1/page ") << "a tab's address ID selects no game";
    choose(true);
    const std::string url_id = SaveActivePage(*host, "0", Reload());
    EXPECT_EQ(web->NodeAt(web->FindByName("第一页")).ID, url_id);
    EXPECT_EQ(host->Count("select count(*) from t_gameurllist where urlvalue="
                          "'http://127.0.0.1:1/page'"),
              1);
}

void PressEnter(Gtk::Window& window) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window.get_window()->gobj()));
    event->key.keyval = GDK_KEY_Return;
    GdkKeymapKey* keys = nullptr;
    gint n_keys = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          GDK_KEY_Return, &keys, &n_keys) &&
        n_keys > 0)
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

TEST_F(CatalogueTree, TheDialogsEnterKeyMovesOnAndItsGameListFollowsTheCategoryWhenEntered) {
    AddGame(*web, "Alpha");
    AddGame(*sns, "Beta");
    TFrmSaveUrl form(*host, Reload());
    form.Prepare("", "", "", "1");
    bool confirmed = false;
    form.signal_response().connect([&](int r) { confirmed = r == Gtk::RESPONSE_OK; });
    form.show();
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return form.get_mapped(); }, 10s));
    EXPECT_EQ(form.get_focus(), static_cast<Gtk::Widget*>(&form.edtUrlName));
    form.cbbGameType.set_active_id("2");
    form.cbbGameList.child_focus(Gtk::DIR_TAB_FORWARD);
    form.cbbGameList.set_active(0);
    EXPECT_EQ(form.cbbGameList.get_active_text(), "Beta") << "refilled on entering the list";
    form.edtUrlName.grab_focus();
    PressEnter(form);
    EXPECT_EQ(form.get_focus(), static_cast<Gtk::Widget*>(&form.edtUrl));
    PressEnter(form);
    EXPECT_TRUE(confirmed);
}

TEST_F(CatalogueTree, AThousandGamesWithTenAddressesEachLoad) {
    host->db.StartTransaction();
    for (int g = 0; g < 1000; ++g) {
        const auto id = InsertGame(host->db, "game " + std::to_string(1000 + g), 1);
        for (int u = 0; u < 10; ++u) InsertGameUrl(host->db, id, std::to_string(u), "http://x/");
    }
    host->db.Commit();
    actLoadWebGamePnl(*web, *sns);
    ASSERT_EQ(web->TopLevel().size(), 1001u);
    EXPECT_EQ(web->TopLevel().begin()->children().size(), 11u);
    Gtk::TreeView& view = web->View();
    ASSERT_TRUE(kivo::test::PumpUntil([&] { return view.get_realized(); }, 10s));
    // Every game is unfolded, and the view scrolls down to the last row, the add-game node.
    int unfolded = 0;
    for (const auto& row : web->TopLevel())
        unfolded += view.row_expanded(view.get_model()->get_path(row));
    EXPECT_EQ(unfolded, 1000);
    const Gtk::TreeModel::Path last = view.get_model()->get_path(web->TopLevel()[1000]);
    view.scroll_to_row(last);
    EXPECT_TRUE(kivo::test::PumpUntil(
        [&] {
            Gtk::TreeModel::Path first_shown, last_shown;
            return view.get_visible_range(first_shown, last_shown) && last_shown == last;
        },
        30s));
    EXPECT_EQ(web->NodeAt(view.get_model()->get_iter(last)).Name, "添加新游戏");
}

// The history tree beside the catalogue trees, sharing their context node and address menu.
class HistoryTree : public CatalogueTree {
  protected:
    void SetUp() override {
        CatalogueTree::SetUp();
        if (IsSkipped())
            return;
        history = std::make_unique<kivo::THistoryTree>(*host, context, *web);
        const auto game = InsertGame(host->db, "A", 1);
        address = InsertGameUrl(host->db, game, "B", "http://b.test/");
        actLoadWebGamePnl(*web, *sns);
        history->actLoadHistoryExecute();
    }

    std::vector<std::string> HistoryCaptions() {
        std::vector<std::string> captions;
        for (const auto& row : history->TopLevel()) {
            captions.push_back(history->NodeAt(row).Name);
            for (const auto& child : row.children())
                captions.push_back("  " + history->NodeAt(child).Name);
        }
        return captions;
    }

    std::unique_ptr<kivo::THistoryTree> history;
    std::string address;
};

TEST_F(HistoryTree, EntriesOpenUnderTheirGroupAndOnlyEntriesOfferTheAddressMenu) {
    EXPECT_EQ(HistoryCaptions(),
              (std::vector<std::string>{"今日", "一日前", "二日前", "一周内", "清除历史记录"}));
    // What a catalogue opening records, with the game as the address's parent.
    const auto game_row = web->FindByName("A");
    const CatalogueNode game = web->NodeAt(game_row);
    AddHistory(host->db, web->NodeAt(web->FindByName("B")), &game);
    history->actLoadHistoryExecute();
    EXPECT_EQ(HistoryCaptions(), (std::vector<std::string>{"今日", "  A-B", "一日前", "二日前",
                                                           "一周内", "清除历史记录"}));

    // A group caption opens nothing; the entry opens with its group as parent.
    history->vstHistoryClick(history->FindByName("今日"));
    EXPECT_TRUE(host->opened.empty());
    history->vstHistoryClick(history->FindByName("A-B"));
    EXPECT_EQ(host->opened,
              std::vector<std::string>{"http://b.test/|address " + address + " of 今日|"});

    // Groups and the clear node take the context node but show no menu; an entry disables
    // the edit and delete items, which the catalogue's right press enables again.
    for (const char* name : {"今日", "清除历史记录"}) {
        history->vstHistoryMouseDown(history->FindByName(name), nullptr);
        EXPECT_EQ(context.ContextTree, history.get()) << name;
        EXPECT_TRUE(web->N16.get_sensitive()) << name;
    }
    history->vstHistoryMouseDown(history->FindByName("A-B"), nullptr);
    EXPECT_FALSE(web->N16.get_sensitive());
    EXPECT_FALSE(web->MenuItem7.get_sensitive());
    EXPECT_EQ(context.ContextTree, history.get());
    RightPress(*web, "B");
    EXPECT_TRUE(web->N16.get_sensitive());
    EXPECT_TRUE(web->MenuItem7.get_sensitive());
    // A press beside the rows empties the context node.
    history->vstHistoryMouseDown({}, nullptr);
    EXPECT_TRUE(context.Empty());
}

TEST_F(HistoryTree, TheClearNodeAsksAndEmptiesOnlyOnOkAndReportsAFailure) {
    const CatalogueNode game = web->NodeAt(web->FindByName("A"));
    AddHistory(host->db, web->NodeAt(web->FindByName("B")), &game);
    history->actLoadHistoryExecute();
    host->yes = false;
    history->vstHistoryClick(history->FindByName("清除历史记录"));
    EXPECT_EQ(host->questions, std::vector<std::string>{"你确认清除以前的访问记录吗？"});
    EXPECT_EQ(host->Count("select count(*) from t_history"), 1);
    EXPECT_TRUE(history->FindByName("A-B"));

    host->yes = true;
    history->vstHistoryClick(history->FindByName("清除历史记录"));
    EXPECT_EQ(host->Count("select count(*) from t_history"), 0);
    EXPECT_EQ(HistoryCaptions(),
              (std::vector<std::string>{"今日", "一日前", "二日前", "一周内", "清除历史记录"}));
    EXPECT_TRUE(host->errors.empty());

    host->open = false;
    history->vstHistoryClick(history->FindByName("清除历史记录"));
    EXPECT_EQ(host->errors, std::vector<std::string>{"清除失败，请重试！"});
}

}  // namespace
