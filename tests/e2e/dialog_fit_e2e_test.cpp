// Every dialog, menu and bar of the program holds its controls: opened one after the other as a
// user opens them, at the desktop's default text size, at a larger one and at scale 2, none of
// their showing controls covers another or reaches out of its window. The close button on a
// tab is reached and pressed through the accessibility interface like every other control.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/support/catalogue_steps.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"
#include "ui/promotion/promotion_rules.h"
// Last: its macros clash with the names above.
#include <X11/Xlib.h>

namespace {

using namespace kivo::e2e;

struct Desktop {
    const char* name;
    std::vector<std::pair<std::string, std::string>> env;
    int scale;  // device pixels per pixel the accessibility interface reports
};

std::ostream& operator<<(std::ostream& out, const Desktop& desktop) {
    return out << desktop.name;
}

const Desktop kDesktops[] = {
    {"DefaultText", {}, 1},
    {"LargerText", {{"GDK_DPI_SCALE", "1.25"}}, 1},
    {"ScaleTwo", {{"GDK_SCALE", "2"}}, 2},
};

// The pointer scaled as the program's places for one test, and plain again after it.
struct ScaledPointer {
    explicit ScaledPointer(int scale) { SetPointerScale(scale); }
    ~ScaledPointer() { SetPointerScale(1); }
    ScaledPointer(const ScaledPointer&) = delete;
    ScaledPointer& operator=(const ScaledPointer&) = delete;
};

// The width of the test's screen in its own pixels.
int ScreenWidth() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    const int width = DisplayWidth(display, DefaultScreen(display));
    XCloseDisplay(display);
    return width;
}

// The catalogue an installation would hold: one game with the local login page as its address.
void AddCatalogue(const std::string& database, const std::string& url) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "insert into t_gamelist (ID,GAMENAME,GAMEHINT,GAMETYPE) values "
        "('{6A0E5A52-1F0B-4C1E-9E51-7D0C33A1B001}','测试游戏','',1);"
        "insert into t_gameurllist (ID,GAMEID,URLNAME,URLHINT,URLVALUE) values "
        "('{6A0E5A52-1F0B-4C1E-9E51-7D0C33A1B002}','{6A0E5A52-1F0B-4C1E-9E51-7D0C33A1B001}',"
        "'登录页','','" +
        url + "');";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

bool Inside(const Element::Box& inner, const Element::Box& outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

bool Overlap(const Element::Box& a, const Element::Box& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

std::string Show(const Element::Box& box) {
    std::ostringstream text;
    text << box.width << "x" << box.height << "+" << box.x << "+" << box.y;
    return text.str();
}

struct Control {
    Element element;
    Element::Box box;
    std::vector<size_t> ancestors;  // indices of the showing controls it lies in
};

// The showing controls of the program's own below `root` (a page's elements belong to its
// site); those without a place on the screen take no room.
void CollectShowing(const Element& root, pid_t own, std::vector<size_t> ancestors,
                    std::vector<Control>& found) {
    for (const Element& child : root.Children()) {
        if (!child.Showing() || child.ProcessId() != own)
            continue;
        const Element::Box box = child.Extents();
        std::vector<size_t> inner = ancestors;
        if (box.width > 0 && box.height > 0) {
            found.push_back({child, box, ancestors});
            inner.push_back(found.size() - 1);
        }
        CollectShowing(child, own, inner, found);
    }
}

bool Contains(const std::vector<size_t>& list, size_t index) {
    return std::find(list.begin(), list.end(), index) != list.end();
}

// What does not fit below `root`: controls outside `frame`, and pairs that overlap where
// neither holds the other. Empty when everything fits.
std::string Misfits(const UiDriver& ui, const Element& root, const Element::Box& frame) {
    std::vector<Control> controls;
    CollectShowing(root, ui.App().ProcessId(), {}, controls);
    std::string found;
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& a = controls[i];
        if (!Inside(a.box, frame))
            found += "  " + a.element.Describe() + " " + Show(a.box) + " leaves " + Show(frame) +
                     "\n";
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control& b = controls[j];
            if (Contains(b.ancestors, i) || Contains(a.ancestors, j) || !Overlap(a.box, b.box))
                continue;
            found += "  " + a.element.Describe() + " " + Show(a.box) + " overlaps " +
                     b.element.Describe() + " " + Show(b.box) + "\n";
        }
    }
    if (controls.empty())
        found = "  no showing controls in " + root.Describe() + "\n";
    return found;
}

class DialogFit : public ::testing::TestWithParam<Desktop> {
  protected:
    // The top-level window that shows `text` holds its controls; its size goes to the log.
    void ExpectFits(const UiDriver& ui, const std::string& text, const std::string& what) {
        const Element window = WindowShowing(ui, text);
        ASSERT_TRUE(window) << "nothing shows " << text << " for " << what;
        const Element::Box frame = window.Extents();
        std::cout << GetParam().name << ": " << what << " " << frame.width << " x "
                  << frame.height << " at " << frame.x << "," << frame.y << "\n";
        EXPECT_EQ(Misfits(ui, window, frame), "") << what << "\n" << Tree(window);
    }

    // The controls of the bar that holds `control`, inside the bar and inside its window.
    void ExpectBarFits(const UiDriver& ui, const Element& control, const std::string& what) {
        ASSERT_TRUE(control) << what;
        const Element bar = control.Parent();
        Element window = bar;
        while (window.Parent() && window.Parent().Role() != ATSPI_ROLE_APPLICATION)
            window = window.Parent();
        const Element::Box box = bar.Extents();
        std::cout << GetParam().name << ": " << what << " " << box.width << " x " << box.height
                  << "\n";
        EXPECT_TRUE(Inside(box, window.Extents())) << what << " " << Show(box);
        EXPECT_EQ(Misfits(ui, bar, box), "") << what << "\n" << Tree(bar);
    }

    static Element MenuItemStartingWith(const UiDriver& ui, const std::string& start) {
        Element found;
        WaitUntil([&] {
            for (const Element& e : ui.FindAll([&](const Element& e) {
                     return e.Role() == ATSPI_ROLE_MENU_ITEM && e.Showing() &&
                            e.Name().rfind(start, 0) == 0;
                 }))
                found = e;
            return bool(found);
        });
        return found;
    }
};

TEST_P(DialogFit, EveryDialogMenuAndBarHoldsItsControlsAndATabClosesByItsButton) {
    // Scaled, the main window needs a screen as many times wider than its least width, as the
    // screens that desktops scale are.
    if (ScreenWidth() < GetParam().scale * 1000)
        GTEST_SKIP() << "a screen " << ScreenWidth() << " pixels wide is too small at scale "
                     << GetParam().scale;
    const ScaledPointer pointer(GetParam().scale);
    ProgramUnderTest program({.start = false, .promotion = true, .env = GetParam().env});
    AddCatalogue(program.DatabasePath(), program.Server().Url("/account-form"));
    program.Start();
    UiDriver ui(program.Pid());

    // The promotion window, a second after the start.
    const Element mini = ui.WaitFor(ATSPI_ROLE_FRAME, kivo::kMiniWindowTitle);
    ASSERT_TRUE(mini) << program.Output();
    ExpectFits(ui, kivo::kMiniWindowTitle, "promotion window");
    const Element close_mini = FirstBelow(mini, [](const Element& e) {
        return e.Role() == ATSPI_ROLE_PUSH_BUTTON && e.Name() == "关闭" && e.Showing();
    });
    ASSERT_TRUE(close_mini) << Tree(mini);
    Click(close_mini);
    ASSERT_TRUE(ui.WaitGone(ATSPI_ROLE_FRAME, kivo::kMiniWindowTitle))
        << "its close button at " << Show(close_mini.Extents());

    // The main menu, the settings and the about box.
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "主菜单"));
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_MENU_ITEM, "关于"));
    ExpectFits(ui, "关于", "main menu");
    Click(ui.WaitFor(ATSPI_ROLE_MENU_ITEM, "设置"));
    ASSERT_TRUE(Shown(ui, "以后不再提示"));
    ExpectFits(ui, "以后不再提示", "设置");
    ClickIn(ui, "以后不再提示", "取消");
    ASSERT_TRUE(GoneFromScreen(ui, "以后不再提示"));
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "关于"}));
    ASSERT_TRUE(Shown(ui, "Kivo游戏盒官方网站"));
    ExpectFits(ui, "Kivo游戏盒官方网站", "about box");
    ClickIn(ui, "Kivo游戏盒官方网站", "确定");
    ASSERT_TRUE(GoneFromScreen(ui, "Kivo游戏盒官方网站"));

    // The tab menu, the find bar and the picture menu.
    ASSERT_TRUE(WaitUntil([&] { return !ui.TabNames().empty(); }));
    Click(ui.Find(ATSPI_ROLE_PAGE_TAB, ui.TabNames().front()), Button::Right);
    const Element rename = MenuItemStartingWith(ui, "修改标签页名称");
    ASSERT_TRUE(rename) << "no tab menu";
    ExpectFits(ui, rename.Name(), "tab menu");
    PressKeys("Escape");
    ASSERT_TRUE(GoneFromScreen(ui, rename.Name()));
    PressKeys("ctrl+f");
    ExpectBarFits(ui, ui.WaitFor(ATSPI_ROLE_TEXT, "查找内容"), "find bar");
    PressKeys("Escape");
    ASSERT_TRUE(ui.WaitGone(ATSPI_ROLE_TEXT, "查找内容"));
    PressKeys("alt+b");
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_MENU, "全屏截图"));
    ExpectFits(ui, "全屏截图", "picture menu");
    PressKeys("Escape");
    ASSERT_TRUE(GoneFromScreen(ui, "全屏截图"));

    // The prompt, from the catalogue's add node; cancelled.
    Click(TreeNode(ui, kAddGameNode));
    ASSERT_TRUE(Shown(ui, kivo::catalogue::kAddGamePrompt));
    ExpectFits(ui, kivo::catalogue::kAddGamePrompt, "prompt");
    ClickIn(ui, kivo::catalogue::kAddGamePrompt, "取消");
    ASSERT_TRUE(GoneFromScreen(ui, kivo::catalogue::kAddGamePrompt));

    // The address dialog over the home page, and the message it shows with no game chosen.
    Click(Shown(ui, "添加到游戏列表"));
    ASSERT_TRUE(Shown(ui, kivo::catalogue::kAddGameLink));
    ExpectFits(ui, kivo::catalogue::kAddGameLink, kivo::catalogue::kSaveUrlTitle);
    ClickIn(ui, kivo::catalogue::kAddGameLink, "确定");
    ASSERT_TRUE(Shown(ui, kivo::catalogue::kChooseGame));
    ExpectFits(ui, kivo::catalogue::kChooseGame, "message box");
    ClickIn(ui, kivo::catalogue::kChooseGame, "确定");
    ASSERT_TRUE(GoneFromScreen(ui, kivo::catalogue::kChooseGame));
    ClickIn(ui, kivo::catalogue::kAddGameLink, "取消");
    ASSERT_TRUE(GoneFromScreen(ui, kivo::catalogue::kAddGameLink));

    // The address's menu and its maintenance dialog.
    Click(TreeNode(ui, "登录页"), Button::Right);
    const Element maintain = MenuItemStartingWith(ui, "维护登录信息");
    ASSERT_TRUE(maintain) << "no address menu";
    ExpectFits(ui, maintain.Name(), "tree menu");
    Click(maintain);
    ASSERT_TRUE(Shown(ui, "选择一个登录的用户信息"));
    ExpectFits(ui, "选择一个登录的用户信息", "maintenance dialog");
    ClickIn(ui, "选择一个登录的用户信息", "关闭");
    ASSERT_TRUE(GoneFromScreen(ui, "选择一个登录的用户信息"));

    // The capture dialog over the address's login page, with the fields it read.
    const size_t tabs = ui.TabNames().size();
    Click(TreeNode(ui, "登录页"));
    ASSERT_TRUE(WaitUntil([&] {
        for (const std::string& name : ui.TabNames())
            if (name.rfind("Account", 0) == 0)  // captions may be cut short
                return true;
        return false;
    })) << ::testing::PrintToString(ui.TabNames());
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存登录表单"));
    ASSERT_TRUE(Shown(ui, "pass", ATSPI_ROLE_CHECK_BOX)) << "no fields read";
    ExpectFits(ui, "采集到的数据", "capture dialog");
    ClickIn(ui, "采集到的数据", "关闭");
    ASSERT_TRUE(GoneFromScreen(ui, "采集到的数据"));

    // The current tab's own close button closes it.
    ASSERT_EQ(ui.TabNames().size(), tabs + 1);
    const Element close = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "关闭标签");
    ASSERT_TRUE(close) << "the tab's close button is out of reach";
    Click(close);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs; }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running()) << program.Output();
}

INSTANTIATE_TEST_SUITE_P(Desktops, DialogFit, ::testing::ValuesIn(kDesktops),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
