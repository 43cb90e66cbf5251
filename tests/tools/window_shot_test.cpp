// Reading widgets back from the screen for the README's picture.
#include <gtest/gtest.h>
#include <gtkmm.h>

#include "tests/support/test_support.h"
#include "tools/screenshot/window_shot.h"

namespace {

using namespace std::chrono_literals;
using kivo::shot::GrabScreenArea;
using kivo::shot::SingleColour;

// gtkmm's wrappers, and GTK itself when there is a display.
bool GtkReady() {
    static const bool ready = [] {
        Gtk::Main::init_gtkmm_internals();
        return kivo::test::TestDisplay() && gtk_init_check(nullptr, nullptr);
    }();
    return ready;
}

Glib::RefPtr<Gdk::Pixbuf> Filled(int width, int height, bool alpha, guint32 rgba) {
    auto picture = Gdk::Pixbuf::create(Gdk::COLORSPACE_RGB, alpha, 8, width, height);
    picture->fill(rgba);
    return picture;
}

void SetPixel(const Glib::RefPtr<Gdk::Pixbuf>& picture, int x, int y, guint8 r, guint8 g, guint8 b) {
    guint8* p = picture->get_pixels() + y * picture->get_rowstride() + x * picture->get_n_channels();
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

TEST(WindowShot, SingleColourLooksAtEveryPixelButNotAtPaddingOrAlpha) {
    GtkReady();
    EXPECT_TRUE(SingleColour({}));
    // Three RGB pixels make 9 bytes a row, padded to 12: the padding is no pixel.
    auto picture = Filled(3, 4, false, 0x336699ff);
    ASSERT_GT(picture->get_rowstride(), 9);
    picture->get_pixels()[9] = 0xEE;
    EXPECT_TRUE(SingleColour(picture));
    SetPixel(picture, 2, 3, 0x33, 0x66, 0x98);  // the very last pixel, one step off
    EXPECT_FALSE(SingleColour(picture));

    auto with_alpha = Filled(5, 2, true, 0x10203040);
    with_alpha->get_pixels()[with_alpha->get_rowstride() + 3] = 0xFF;  // only an alpha differs
    EXPECT_TRUE(SingleColour(with_alpha));
    SetPixel(with_alpha, 0, 1, 0x10, 0x20, 0x31);
    EXPECT_FALSE(SingleColour(with_alpha));
}

// A bare window: red on its left half, blue on its right half, both windowless boxes.
struct TwoHalves {
    TwoHalves() {
        auto css = Gtk::CssProvider::create();
        css->load_from_data("#left { background: #FF0000; } #right { background: #0000FF; }");
        Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css,
                                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        left.set_name("left");
        right.set_name("right");
        left.set_size_request(60, 80);
        right.set_size_request(60, 80);
        row.pack_start(left, Gtk::PACK_SHRINK);
        row.pack_start(right, Gtk::PACK_SHRINK);
        window.add(row);
        window.set_decorated(false);
        window.set_resizable(false);
    }
    Gtk::Window window;
    Gtk::Box row{Gtk::ORIENTATION_HORIZONTAL, 0};
    Gtk::Box left, right;
};

guint32 PixelAt(const Glib::RefPtr<Gdk::Pixbuf>& picture, int x, int y) {
    const guint8* p = picture->get_pixels() + y * picture->get_rowstride() + x * picture->get_n_channels();
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

class Painted : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay()) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(GtkReady());
        shown_ = std::make_unique<TwoHalves>();
    }

    // Shows the window at (x, y) and waits until its blue half is on the screen.
    void ShowAt(int x, int y) {
        shown_->window.move(x, y);
        shown_->window.show_all();
        ASSERT_TRUE(kivo::shot::WaitUntil([&] {
            const auto right = GrabScreenArea(shown_->right);
            return right && PixelAt(right, 0, 0) == 0x0000FFu;
        }, 5s));
    }

    std::unique_ptr<TwoHalves> shown_;
};

TEST_F(Painted, TheWindowAndAWindowlessChildAreReadFromWhereTheyStand) {
    EXPECT_FALSE(GrabScreenArea(shown_->right));  // not realised yet
    ShowAt(40, 30);
    const auto whole = GrabScreenArea(shown_->window);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->get_width(), 120);
    EXPECT_EQ(whole->get_height(), 80);
    EXPECT_EQ(PixelAt(whole, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(whole, 59, 79), 0xFF0000u);
    EXPECT_EQ(PixelAt(whole, 60, 0), 0x0000FFu);
    EXPECT_EQ(PixelAt(whole, 119, 79), 0x0000FFu);

    // The child lies at its allocation inside the window, not at the window's corner.
    const auto child = GrabScreenArea(shown_->right);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->get_width(), 60);
    EXPECT_EQ(PixelAt(child, 0, 0), 0x0000FFu);
    EXPECT_TRUE(SingleColour(child));
}

TEST_F(Painted, APartOffTheScreenIsLeftOut) {
    ShowAt(-60, 30);  // the red half is left of the screen
    int x = 0, y = 0;
    shown_->window.get_window()->get_origin(x, y);
    if (x != -60) GTEST_SKIP() << "the window manager kept the window on the screen";
    const auto visible = GrabScreenArea(shown_->window);
    ASSERT_TRUE(visible);
    EXPECT_EQ(visible->get_width(), 60);
    EXPECT_EQ(visible->get_height(), 80);
    EXPECT_EQ(PixelAt(visible, 0, 0), 0x0000FFu);
    EXPECT_TRUE(SingleColour(visible));
    EXPECT_FALSE(GrabScreenArea(shown_->left));  // wholly off the screen
}

}  // namespace
