// The program on a Wayland desktop session, which sets WAYLAND_DISPLAY and, for XWayland,
// DISPLAY: it runs through XWayland, and says so plainly where no X server can be reached.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "platform/identity.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "tests/e2e/support/wayland_desktop.h"

namespace {

using namespace kivo::e2e;

bool ShowsAPage(const UiDriver& ui) {
    return !ui.FindAll([](const Element& e) {
                  return e.Role() == ATSPI_ROLE_DOCUMENT_WEB && e.Showing();
              }).empty();
}

TEST(WaylandSession, TheProgramRunsThroughXWaylandOpensASecondTabAndQuitsWhole) {
    WaylandDesktop desktop;
    ProgramUnderTest program({.env = desktop.SessionEnvironment()});
    UiDriver ui(program.Pid());

    // The window, the home tab and its worker's page.
    ASSERT_TRUE(WaitUntil(
        [&] { return desktop.ShowsWindow(kivo::kMainWindowClass, kivo::kMainWindowCaption); }, 60s))
        << program.Output() << desktop.Log();
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1 && ShowsAPage(ui); }, 60s))
        << program.Output() << Tree(ui.App());
    EXPECT_FALSE(program.Workers().empty());

    // A typed address opens a second tab, through the compositor's pointer and keyboard.
    Go(ui, program.Server().Url("/title?t=Second"));
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/title").empty(); }))
        << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 2; }))
        << ::testing::PrintToString(ui.TabNames());

    // Quit: the program, its workers and their page processes all end.
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "关闭"));
    const Element quit = ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出");
    ASSERT_TRUE(quit) << "no close dialog";
    Click(quit);
    ASSERT_TRUE(WaitUntil([&] { return quit.Checked(); }));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    const auto status = program.WaitForEnd(60s);
    ASSERT_TRUE(status.has_value()) << "still running after quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return ProcessGroup(program.Pid()).empty(); }))
        << ::testing::PrintToString(ProcessGroup(program.Pid()));
    EXPECT_EQ(program.Output().find("GdkWaylandDisplay"), std::string::npos) << program.Output();
}

TEST(WaylandSession, WithoutAnXServerTheProgramSaysSoAndEndsWithStatusOne) {
    WaylandDesktop desktop;
    auto session = desktop.SessionEnvironment();
    for (auto& [name, value] : session)
        if (name == "DISPLAY")
            value = "";  // a Wayland session without XWayland
    ProgramUnderTest program({.env = session});
    const auto status = program.WaitForEnd(60s);
    ASSERT_TRUE(status.has_value()) << "still running\n" << program.Output();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << "status " << *status << "\n"
                                                                 << program.Output();
    EXPECT_NE(program.Output().find("cannot reach an X server"), std::string::npos)
        << program.Output();
}

}  // namespace
