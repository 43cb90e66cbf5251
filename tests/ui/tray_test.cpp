// Where the tray icon goes on a desktop, decided without one and checked against a display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "ui/tray_icon.h"
// After gtkmm: the X11 headers define short macro names.
#include "tests/support/test_support.h"

namespace {

using kivo::TrayHosts;
using kivo::TrayKind;

TEST(TrayChoice, NotifierHostFirstThenXEmbedElseNowhere) {
    EXPECT_EQ(kivo::ChooseTray({true, true, false}), TrayKind::StatusNotifier);
    EXPECT_EQ(kivo::ChooseTray({true, true, true}), TrayKind::StatusNotifier);
    // A watcher with no host registered shows nothing: the docked icon, or nothing at all.
    EXPECT_EQ(kivo::ChooseTray({true, false, true}), TrayKind::XEmbed);
    EXPECT_EQ(kivo::ChooseTray({true, false, false}), TrayKind::Nowhere);
    EXPECT_EQ(kivo::ChooseTray({false, false, true}), TrayKind::XEmbed);
    EXPECT_EQ(kivo::ChooseTray({}), TrayKind::Nowhere);
}

TEST(TrayChoice, TheDisplaysTrayIsSeenWhileItRunsAndNotAfter) {
    if (!kivo::test::TestDisplay() || !gtk_init_check(nullptr, nullptr))
        GTEST_SKIP() << "needs an X display";
    kivo::test::TempHome home;  // no session bus of the user's is asked
    GdkScreen* screen = gdk_screen_get_default();
    EXPECT_FALSE(kivo::ProbeTrayHosts(screen, false).XEmbedTray);
    {
        kivo::test::XEmbedTrayOwner tray;
        EXPECT_TRUE(kivo::ProbeTrayHosts(screen, false).XEmbedTray);
    }
    EXPECT_FALSE(kivo::ProbeTrayHosts(screen, false).XEmbedTray);
    EXPECT_TRUE(kivo::ProbeTrayHosts(screen, true).XEmbedTray);
}

}  // namespace
