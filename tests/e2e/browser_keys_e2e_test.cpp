// The browser keys and the page's context menu driven from outside: F5 and the zoom keys on a
// local page, pressed in the page and in the window's own controls; the find bar counting a
// word's matches; the context menu copying a link's address to the desktop's clipboard and
// opening the link as a tab of the same session. What is checked is what a user sees and what
// the web server received.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <string>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ReceivedRequest;

// The showing element of the program whose name begins with `prefix`.
Element ShowingStartingWith(const UiDriver& ui, AtspiRole role, const std::string& prefix) {
    auto found = ui.FindAll([&](const Element& e) {
        return e.Role() == role && e.Name().rfind(prefix, 0) == 0 && e.Showing();
    });
    return found.empty() ? Element() : found.front();
}

// The page's width as its button reports it ("width:N"), -1 while it is not there.
int PageWidth(const UiDriver& ui) {
    const Element button = ShowingStartingWith(ui, ATSPI_ROLE_PUSH_BUTTON, "width:");
    if (!button)
        return -1;
    try {
        return std::stoi(button.Name().substr(6));
    } catch (const std::exception&) {
        return -1;
    }
}

// The zoom the status bar shows ("缩放：N%").
std::string ZoomShown(const UiDriver& ui) {
    const Element label = ShowingStartingWith(ui, ATSPI_ROLE_LABEL, "缩放：");
    return label ? label.Name() : "";
}

// Goes to a page, which opens in a new tab, and waits until that tab shows the page's title.
// The start page puts its address into the box when it completes: a user waits for it, and
// goes again if the address came under the typing all the same.
void GoAndWait(const UiDriver& ui, const std::string& address, const std::string& title) {
    WaitUntil([&] {
        const auto names = ui.TabNames();
        return !names.empty() && names.front() != "载入中";
    });
    const auto shown = [&] {
        const auto names = ui.TabNames();
        return !names.empty() && names.back() == title;
    };
    for (int attempt = 0; attempt < 3 && !shown(); ++attempt) {
        Go(ui, address);
        WaitUntil(shown, 20s);
    }
    ASSERT_TRUE(shown()) << ::testing::PrintToString(ui.TabNames());
}

Element FindMenuItem(const Element& root, const std::string& name, int depth = 0) {
    if (depth > 40)
        return {};
    for (const Element& child : root.Children()) {
        if (child.Role() == ATSPI_ROLE_MENU_ITEM && child.Name() == name && child.Showing())
            return child;
        if (Element found = FindMenuItem(child, name, depth + 1))
            return found;
    }
    return {};
}

// The showing item of the page's context menu, which its worker process shows.
Element WaitForPageMenuItem(ProgramUnderTest& program, const std::string& name) {
    Element found;
    WaitUntil([&] {
        const auto workers = program.Workers();
        Element desktop(atspi_get_desktop(0));
        for (const Element& app : desktop.Children()) {
            const pid_t pid = app.ProcessId();
            if (std::find(workers.begin(), workers.end(), pid) == workers.end())
                continue;
            atspi_accessible_clear_cache(app.Get());
            if ((found = FindMenuItem(app, name)))
                return true;
        }
        return false;
    });
    return found;
}

TEST(BrowserKeys, F5ReloadsAndTheZoomKeysChangeThePagesRenderedWidth) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    GoAndWait(ui, program.Server().Url("/width"), "Width");
    ASSERT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0; })) << Tree(ui.App());
    const int natural = PageWidth(ui);
    EXPECT_EQ(ZoomShown(ui), "缩放：100%");

    // Pressed inside the page.
    Click(ShowingStartingWith(ui, ATSPI_ROLE_PUSH_BUTTON, "width:"));
    const size_t loads = program.Server().RequestsTo("/width").size();
    PressKeys("F5");
    EXPECT_TRUE(WaitUntil([&] {
        return program.Server().RequestsTo("/width").size() == loads + 1;
    })) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0; }));

    PressKeys("ctrl+equal");
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0 && PageWidth(ui) < natural; }))
        << natural << " " << PageWidth(ui);
    EXPECT_TRUE(WaitUntil([&] { return ZoomShown(ui) == "缩放：110%"; })) << ZoomShown(ui);
    PressKeys("ctrl+minus");
    PressKeys("ctrl+minus");
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) > natural; })) << PageWidth(ui);
    EXPECT_TRUE(WaitUntil([&] { return ZoomShown(ui) == "缩放：90%"; })) << ZoomShown(ui);
    PressKeys("ctrl+0");
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) == natural; })) << PageWidth(ui);
    EXPECT_TRUE(WaitUntil([&] { return ZoomShown(ui) == "缩放：100%"; })) << ZoomShown(ui);

    // Ctrl with the wheel over the page.
    const Element::Box page = ShowingStartingWith(ui, ATSPI_ROLE_PUSH_BUTTON, "width:").Extents();
    WheelAt(page.x + page.width / 2, page.y + page.height / 2, Button::WheelUp, true);
    EXPECT_TRUE(WaitUntil([&] { return ZoomShown(ui) == "缩放：110%"; })) << ZoomShown(ui);
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0 && PageWidth(ui) < natural; }));
    WheelAt(page.x + page.width / 2, page.y + page.height / 2, Button::WheelDown, true);
    EXPECT_TRUE(WaitUntil([&] { return ZoomShown(ui) == "缩放：100%"; })) << ZoomShown(ui);
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) == natural; })) << PageWidth(ui);

    // Pressed with the focus in the window's own address box.
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(box);
    Click(box);
    PressKeys("ctrl+plus");
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0 && PageWidth(ui) < natural; }))
        << PageWidth(ui);
    const size_t before = program.Server().RequestsTo("/width").size();
    PressKeys("ctrl+r");
    EXPECT_TRUE(
        WaitUntil([&] { return program.Server().RequestsTo("/width").size() == before + 1; }));
    // A reload keeps the page's zoom.
    EXPECT_TRUE(WaitUntil([&] { return PageWidth(ui) > 0 && PageWidth(ui) < natural; }))
        << PageWidth(ui);
    EXPECT_TRUE(program.Running());
}

TEST(BrowserKeys, TheFindBarCountsTheMatchesOfAWordOnThePage) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    GoAndWait(ui, program.Server().Url("/words"), "Words");
    const Element on_page = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "Words");
    ASSERT_TRUE(on_page) << Tree(ui.App());
    ASSERT_NO_FATAL_FAILURE(ClickPageFromAddressBox(ui, on_page));

    // Ctrl+F in the page: what is typed next goes to the find box, not to the page.
    PressKeys("ctrl+f");
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "查找内容");
    ASSERT_TRUE(box) << Tree(ui.App());
    ASSERT_TRUE(WaitUntil([&] { return box.Has(ATSPI_STATE_FOCUSED); }, 10s));
    TypeText("apple");
    ASSERT_TRUE(WaitUntil([&] { return box.Text() == "apple"; }, 10s)) << box.Text();
    EXPECT_TRUE(WaitUntil([&] { return bool(ui.WaitFor(ATSPI_ROLE_LABEL, "共 3 处", 1s)); }))
        << Tree(ui.App());

    // Match case leaves out "Apple"; a word not on the page has no match.
    const Element match_case = ui.WaitFor(ATSPI_ROLE_CHECK_BOX, "区分大小写");
    ASSERT_TRUE(match_case);
    Click(match_case);
    EXPECT_TRUE(bool(ui.WaitFor(ATSPI_ROLE_LABEL, "共 2 处")));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "下一个"));
    ASSERT_TRUE(ReplaceTextByTyping(box, "pear"));
    EXPECT_TRUE(bool(ui.WaitFor(ATSPI_ROLE_LABEL, "无匹配")));

    // Esc in the box closes the bar.
    Click(box);
    PressKeys("Escape");
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_TEXT, "查找内容"));
    EXPECT_TRUE(program.Running());
}

TEST(BrowserKeys, TheContextMenuCopiesALinksAddressAndOpensItInTheSameSession) {
    InitClipboardToolkit();
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    GoAndWait(ui, program.Server().Url("/links"), "Links");
    const size_t tabs = ui.TabNames().size();
    const Element link = ui.WaitFor(ATSPI_ROLE_LINK, "Menu link");
    ASSERT_TRUE(link) << Tree(ui.App());

    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "before", -1);
    Click(link, Button::Right);
    const Element copy = WaitForPageMenuItem(program, "复制链接地址");
    ASSERT_TRUE(copy) << program.Output();
    Click(copy);
    const std::string address = program.Server().Url("/cookies?from=menu");
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == address; })) << ClipboardText();

    // Opened from the menu: a new tab whose page carries the session's cookie.
    Click(link, Button::Right);
    const Element open = WaitForPageMenuItem(program, "在新标签页中打开链接");
    ASSERT_TRUE(open);
    Click(open);
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/cookies").empty(); }))
        << program.Output();
    EXPECT_EQ(program.Server().RequestsTo("/cookies").front().cookie, "links=menu");
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }))
        << ::testing::PrintToString(ui.TabNames());
}

}  // namespace
