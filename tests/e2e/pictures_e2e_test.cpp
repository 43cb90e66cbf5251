// The picture menu driven from outside: the page to a chosen file, an area dragged with the
// pointer to the clipboard (and Esc cancelling it), the whole screen to the image program.
// What is checked is what a user gets: files, the clipboard, what the image program is given.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "imaging/bmp_file.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

// Last: its macros clash with names of the test framework.
#include <X11/extensions/XTest.h>

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;

constexpr const char* kPane = "快速截图：Alt+B";
constexpr unsigned long kPageColour = 0x20A040;
constexpr kivo::imaging::Rgb kPageRgb{0x20, 0xA0, 0x40};

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

// A desktop whose default program for bitmap pictures is a script that records its argument.
void InstallFakeImageProgram(const std::string& home) {
    const std::string script = home + "/fake-viewer.sh";
    WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + home + "/viewer-args.txt\"\n");
    fs::permissions(script, fs::perms::owner_all);
    WriteFile(home + "/data/applications/kivo-fake-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Fake viewer\nExec=" + script +
                  " %f\nMimeType=image/bmp;\n");
    WriteFile(home + "/config/mimeapps.list",
              "[Default Applications]\nimage/bmp=kivo-fake-viewer.desktop\n");
}

// Drags with the left button from one point to another through a few steps, as a hand does.
void Drag(int x0, int y0, int x1, int y1) {
    Display* display = kivo::test::TestDisplay();
    MovePointer(x0, y0);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    for (int step = 1; step <= 4; ++step)
        MovePointer(x0 + (x1 - x0) * step / 4, y0 + (y1 - y0) * step / 4);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

bool AreaChooserShowing(const UiDriver& ui) {
    return !ui.FindAll([](const Element& e) {
                  return e.Role() == ATSPI_ROLE_WINDOW && e.Name() == "区域截图" && e.Showing();
              }).empty();
}

// The middle of the page area: the showing page tab list's box is the strip and its page.
Element::Box PageBox(const UiDriver& ui) {
    const auto strips = ui.FindAll(
        [](const Element& e) { return e.Role() == ATSPI_ROLE_PAGE_TAB_LIST && e.Showing(); });
    return strips.empty() ? Element::Box{} : strips.front().Extents();
}

TEST(PicturesE2E, PageAreaAndScreenExportsGiveWhatWasShown) {
    ProgramOptions options;
    options.start = false;
    ProgramUnderTest program(options);
    InstallFakeImageProgram(program.Home());
    program.Start();
    UiDriver ui(program.Pid());
    InitClipboardToolkit();

    // The start page puts its address into the box when it completes: a user waits for it, and
    // types the address again if it came under the typing all the same.
    WaitUntil([&] {
        const auto names = ui.TabNames();
        return !names.empty() && names.front() != "载入中";
    });
    const std::string colour_url = program.Server().Url("/picture-colour?c=20A040");
    const auto colour_tab_shown = [&] {
        const auto names = ui.TabNames();
        return std::find(names.begin(), names.end(), "20A040") != names.end();
    };
    for (int attempt = 0; attempt < 3 && !colour_tab_shown(); ++attempt) {
        Go(ui, colour_url);
        WaitUntil(colour_tab_shown, 40s);
    }
    ASSERT_TRUE(colour_tab_shown()) << ::testing::PrintToString(ui.TabNames()) << program.Output();
    const Element::Box page = PageBox(ui);
    ASSERT_GT(page.width, 300);
    const int cx = page.x + page.width / 2, cy = page.y + page.height / 2;
    ASSERT_TRUE(WaitUntil([&] { return ScreenPixel(cx, cy) == kPageColour; }, 60s));

    // The page to a file: the name is typed without extension and gets ".bmp".
    const std::string chosen = program.Home() + "/pictures/page";
    fs::create_directories(program.Home() + "/pictures");
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {kPane, "网页截图", "输出到文件"}));
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存"));
    const Element name_box = NameBoxOfSaveDialog(ui);
    ASSERT_TRUE(name_box);
    Click(name_box);
    const bool focused = WaitUntil([&] { return name_box.Has(ATSPI_STATE_FOCUSED); }, 10s);
    ASSERT_TRUE(focused) << "the name box never took the keyboard";
    TypeText(chosen);
    ASSERT_TRUE(WaitUntil([&] { return name_box.Text() == chosen; }, 10s)) << name_box.Text();
    // The save button, not Enter: the name box's completion may still be looking through the
    // folder and take the key. A click the completion's pop-up takes is made again.
    const Element save = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存");
    for (int attempt = 0; attempt < 3 && save.Showing(); ++attempt) {
        Click(save);
        WaitUntil([&] { return !save.Showing(); }, 10s);
    }
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(chosen + ".bmp"); }, 30s)) << program.Output();
    {
        std::ifstream file(chosen + ".bmp", std::ios::binary);
        char header[30] = {};
        file.read(header, sizeof header);
        EXPECT_EQ(header[28], 24) << "bits per pixel";
        const auto picture = kivo::imaging::ReadBmp(chosen + ".bmp");
        EXPECT_GT(picture.Width(), 300);
        EXPECT_EQ(picture.At(picture.Width() / 2, picture.Height() / 2), kPageRgb);
    }

    // An area: Esc leaves the clipboard as another program left it.
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "before", -1);
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {kPane, "区域截图", "输出到剪贴板"}));
    ASSERT_TRUE(WaitUntil([&] { return AreaChooserShowing(ui); }, 30s));
    PressKeys("Escape");
    ASSERT_TRUE(WaitUntil([&] { return !AreaChooserShowing(ui); }, 30s));
    EXPECT_EQ(ClipboardText(), "before");

    // A dragged rectangle over the page lands on the clipboard, exactly its size and colour.
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {kPane, "区域截图", "输出到剪贴板"}));
    ASSERT_TRUE(WaitUntil([&] { return AreaChooserShowing(ui); }, 30s));
    Drag(cx - 60, cy - 40, cx + 60, cy + 40);
    ASSERT_TRUE(WaitUntil([&] { return !AreaChooserShowing(ui); }, 30s));
    GdkPixbuf* area = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            area = gtk_clipboard_wait_for_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
            return area != nullptr;
        },
        30s));
    EXPECT_EQ(gdk_pixbuf_get_width(area), 120);
    EXPECT_EQ(gdk_pixbuf_get_height(area), 80);
    bool all_page = true;
    const int channels = gdk_pixbuf_get_n_channels(area);
    for (int y = 0; y < gdk_pixbuf_get_height(area); ++y) {
        const guchar* row = gdk_pixbuf_read_pixels(area) + y * gdk_pixbuf_get_rowstride(area);
        for (int x = 0; x < gdk_pixbuf_get_width(area); ++x) {
            const guchar* p = row + x * channels;
            all_page = all_page && p[0] == kPageRgb.r && p[1] == kPageRgb.g && p[2] == kPageRgb.b;
        }
    }
    EXPECT_TRUE(all_page) << "the clipboard's picture is not that of the dragged area alone";
    g_object_unref(area);

    // The whole screen to the image program, chosen by keys with the pointer over the page.
    MovePointer(cx, cy);
    PressKeys("alt+b");
    // An item with a submenu is a menu itself.
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_MENU, "全屏截图"));
    for (const char* key : {"Down", "Down", "Down", "Right", "Down", "Return"}) PressKeys(key);
    const std::string args = program.Home() + "/viewer-args.txt";
    // The script's redirection makes the file before its line is written: wait for the line.
    std::string shown;
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::ifstream file(args);
            return std::getline(file, shown) && !file.eof() && !shown.empty();
        },
        30s))
        << program.Output();
    const fs::path shown_path(shown);
    EXPECT_EQ(shown_path.parent_path(), fs::path(program.Folder()) / "Temp");
    EXPECT_TRUE(std::regex_match(shown_path.filename().string(), std::regex(R"(\d{8}-\d{6}\.bmp)")))
        << shown;
    const auto screen = kivo::imaging::ReadBmp(shown);
    EXPECT_EQ(screen.Width(), 1280);
    EXPECT_EQ(screen.Height(), 1024);
    // The screen itself shows the page under the pointer; the picture shows the pointer there.
    EXPECT_EQ(ScreenPixel(cx, cy), kPageColour);
    EXPECT_EQ(screen.At(cx + 100, cy + 100), kPageRgb);
    int pointer_pixels = 0;
    for (int y = cy - 16; y < cy + 16; ++y)
        for (int x = cx - 16; x < cx + 16; ++x) pointer_pixels += screen.At(x, y) != kPageRgb;
    EXPECT_GT(pointer_pixels, 5) << "no pointer drawn at " << cx << "," << cy;
}

}  // namespace
