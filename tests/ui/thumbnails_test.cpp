// The grid and the strip of tab thumbnails in a real window, reaching a window of pretend tabs
// through their links: which tab each cell shows, pictures loaded from the thumbnail files,
// fresh pictures asked of all tabs at once, and tabs that go while their picture loads.
#include <gtest/gtest.h>
#include <gtkmm.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "imaging/bmp_file.h"
#include "ui/pictures/thumbnail_grid.h"
#include "ui/pictures/thumbnail_layout.h"
#include "ui/pictures/thumbnail_strip.h"
// After gtkmm: the X11 headers define short macro names.
#include "tests/support/test_support.h"
#include "tests/support/toolkit.h"

namespace kivo {
namespace {

using namespace std::chrono_literals;

// Tabs 0..n-1 with handles 101.., thumbnail files of a colour each, and what the regions ask.
class Thumbnails : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::ToolkitReady())
            GTEST_SKIP() << "no display";
        std::filesystem::create_directories(home_.Path() + "/WebImage");
    }

    void OpenTabs(int count) {
        handles_.clear();
        for (int i = 0; i < count; ++i) {
            handles_.push_back(101 + i);
            WritePicture(i, {static_cast<std::uint8_t>(10 * i), 100, 200});
        }
    }
    void WritePicture(int index, imaging::Rgb colour) {
        imaging::WriteBmp24(ThumbnailFile(home_.Path() + "/", handles_[index]),
                            imaging::RgbImage(800, 600, colour));
    }

    TThumbnailLinks Links() {
        TThumbnailLinks links;
        links.TabCount = [this] { return static_cast<int>(handles_.size()); };
        links.CurrentIndex = [this] { return current_; };
        links.TabHandle = [this](int index) {
            return index >= 0 && index < static_cast<int>(handles_.size()) ? handles_[index] : 0;
        };
        links.TabHint = [](int index) { return "tab " + std::to_string(index); };
        links.ActivateTab = [this](int index) {
            current_ = index;
            activated_.push_back(index);
        };
        links.FreshPicture = [this](int32_t handle, std::function<void(bool)> done) {
            asked_[handle] = std::move(done);
        };
        links.WorkPath = [this] { return home_.Path() + "/"; };
        links.ShowInfo = [this](const std::string& text, const std::string&) {
            messages_.push_back(text);
        };
        return links;
    }

    // The colour in the middle of a cell's picture; black without one.
    static imaging::Rgb Colour(const TThumbnailCell& cell) {
        auto picture = cell.Picture();
        if (!picture)
            return {0, 0, 0};
        const guint8* p = picture->get_pixels() +
                          picture->get_height() / 2 * picture->get_rowstride() +
                          picture->get_width() / 2 * picture->get_n_channels();
        return {p[0], p[1], p[2]};
    }

    test::TempHome home_;
    std::vector<int32_t> handles_;
    int current_ = 0;
    std::vector<int> activated_;
    std::map<int32_t, std::function<void(bool)>> asked_;
    std::vector<std::string> messages_;
    int strip_loads_ = 0;
    bool grid_shown_ = false;
};

TEST_F(Thumbnails, GridShowsTheFirstNineTabsAndGoesToTheClickedOne) {
    Gtk::Window window;
    Gtk::Box area{Gtk::ORIENTATION_VERTICAL};
    TThumbnailGrid grid({Links(), [this](bool shown) { grid_shown_ = shown; },
                         [] {
                             return std::pair{900, 600};
                         },
                         [this] { ++strip_loads_; }});
    area.pack_start(grid.Widget(), Gtk::PACK_EXPAND_WIDGET);
    window.add(area);
    window.set_default_size(900, 627);
    window.show_all();

    // One tab: the message, nothing shown.
    OpenTabs(1);
    grid.spSC9Click();
    EXPECT_EQ(messages_, std::vector<std::string>{"请您在至少打开2个以上的地址时使用此功能！"});
    EXPECT_FALSE(grid.Showing());

    OpenTabs(12);
    grid.spSC9Click();
    EXPECT_TRUE(grid.Showing());
    // The grid covers the tabs once the files' pictures are in, whole.
    ASSERT_TRUE(test::PumpUntil([&] { return grid_shown_; }, 10s));
    EXPECT_FALSE(grid.Loading());
    EXPECT_TRUE(grid.Widget().get_visible());
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(grid.Cell(k).Tag, k);
        EXPECT_EQ(Colour(grid.Cell(k)), (imaging::Rgb{static_cast<std::uint8_t>(10 * k), 100, 200}))
            << "cell " << k + 1;
    }
    // Once the files' pictures are in, every shown tab's worker is asked at once.
    EXPECT_TRUE(test::PumpUntil([&] { return asked_.size() == 9; }, 10s));

    // A fresh picture replaces the cell's; a failed one keeps the last.
    WritePicture(4, {1, 2, 3});
    asked_.at(handles_[4])(true);
    EXPECT_TRUE(test::PumpUntil(
        [&] {
            return !grid.Loading() && Colour(grid.Cell(4)) == imaging::Rgb{1, 2, 3};
        },
        10s));
    WritePicture(5, {7, 7, 7});
    asked_.at(handles_[5])(false);
    test::PumpUntil([&] { return !grid.Loading(); }, 10s);
    EXPECT_EQ(Colour(grid.Cell(5)), (imaging::Rgb{50, 100, 200}));

    // The hint shows in the caption under the pointer.
    grid.img1MouseEnter(2);
    EXPECT_EQ(grid.CaptionText(), "tab 2");
    EXPECT_TRUE(grid.Cell(2).Hot());
    grid.img1MouseLeave(2);
    EXPECT_EQ(grid.CaptionText(), "");
    EXPECT_FALSE(grid.Cell(2).Hot());

    grid.img1Click(6);
    EXPECT_EQ(activated_, std::vector<int>{6});
    EXPECT_EQ(strip_loads_, 1);
    EXPECT_FALSE(grid.Showing());
    EXPECT_FALSE(grid_shown_);
}

TEST_F(Thumbnails, TabsThatGoWhileTheirPicturesLoadAndBadFilesLeaveTheDigit) {
    Gtk::Window window;
    TThumbnailGrid grid({Links(), [](bool) {}, [] { return std::pair{900, 600}; }, [] {}});
    window.add(grid.Widget());
    window.show_all();
    OpenTabs(4);
    // Tab 2's file is not a picture; tab 3's is missing.
    std::filesystem::resize_file(ThumbnailFile(home_.Path() + "/", handles_[1]), 30);
    std::filesystem::remove(ThumbnailFile(home_.Path() + "/", handles_[2]));
    grid.spSC9Click();
    handles_.pop_back();  // the fourth tab closes before its picture is read
    ASSERT_TRUE(test::PumpUntil([&] { return !grid.Loading() && asked_.size() == 3; }, 10s));
    EXPECT_TRUE(grid.Cell(0).HasPicture());
    EXPECT_FALSE(grid.Cell(1).HasPicture());
    EXPECT_FALSE(grid.Cell(2).HasPicture());
    EXPECT_FALSE(grid.Cell(3).HasPicture());
    EXPECT_EQ(asked_.count(104), 0u);
    // The third closes while its worker draws: the answer draws nothing.
    WritePicture(2, {5, 5, 5});
    handles_.pop_back();
    asked_.at(103)(true);
    test::PumpUntil([&] { return !grid.Loading(); }, 10s);
    EXPECT_FALSE(grid.Cell(2).HasPicture());
    // An empty cell does nothing when clicked.
    grid.img1Click(3);
    grid.img1Click(8);
    EXPECT_TRUE(activated_.empty());
    EXPECT_TRUE(grid.Showing());
}

TEST_F(Thumbnails, AHiddenGridKeepsPicturesWhoseFilesStayAndReadsOnlyNewOnes) {
    Gtk::Window window;
    TThumbnailGrid grid({Links(), [this](bool shown) { grid_shown_ = shown; },
                         [] {
                             return std::pair{900, 600};
                         },
                         [] {}});
    window.add(grid.Widget());
    window.set_default_size(900, 627);
    window.show_all();
    OpenTabs(3);
    grid.spSC9Click();
    ASSERT_TRUE(test::PumpUntil([&] { return grid_shown_ && asked_.size() == 3; }, 10s));
    grid.img1Click(0);

    // Hidden: a fresh picture the strip asked for is taken at once; a file replaced without a
    // word is read at the next showing.
    WritePicture(1, {1, 1, 1});
    grid.PictureWritten(handles_[1]);
    ASSERT_TRUE(test::PumpUntil(
        [&] {
            return !grid.Loading() && Colour(grid.Cell(1)) == imaging::Rgb{1, 1, 1};
        },
        10s));
    WritePicture(2, {2, 2, 2});
    grid.spSC9Click();
    EXPECT_FALSE(grid_shown_);  // still reading the third
    ASSERT_TRUE(test::PumpUntil([&] { return grid_shown_; }, 10s));
    EXPECT_EQ(Colour(grid.Cell(0)), (imaging::Rgb{0, 100, 200}));
    EXPECT_EQ(Colour(grid.Cell(2)), (imaging::Rgb{2, 2, 2}));

    // Nothing new: the grid shows at once, with nothing to read.
    grid.img1Click(0);
    grid.spSC9Click();
    EXPECT_TRUE(grid_shown_);
    EXPECT_FALSE(grid.Loading());
    EXPECT_EQ(Colour(grid.Cell(1)), (imaging::Rgb{1, 1, 1}));

    // A tab gone from its place takes its picture with it.
    handles_[1] = 999;
    WritePicture(1, {9, 9, 9});
    grid.img1Click(0);
    grid.spSC9Click();
    EXPECT_FALSE(grid.Cell(1).HasPicture());
    ASSERT_TRUE(test::PumpUntil([&] { return !grid.Loading(); }, 10s));
    EXPECT_EQ(Colour(grid.Cell(1)), (imaging::Rgb{9, 9, 9}));
}

TEST_F(Thumbnails, StripShowsTheOtherTabsOfTheFirstNineAndCloses) {
    Gtk::Window window;
    Gtk::Box area{Gtk::ORIENTATION_VERTICAL};
    Gtk::Label page("the tab's page");  // takes all the height the strip leaves
    TThumbnailStrip strip(Links());
    area.pack_start(page, Gtk::PACK_EXPAND_WIDGET);
    area.pack_end(strip.Widget(), Gtk::PACK_SHRINK);
    window.add(area);
    window.set_default_size(1000, 600);
    window.show_all();
    EXPECT_FALSE(strip.Showing());

    OpenTabs(12);
    current_ = 10;
    strip.LoadSC8();
    EXPECT_TRUE(strip.Showing());
    ASSERT_TRUE(test::PumpUntil([&] { return !strip.Loading(); }, 10s));
    // Laid out, the strip keeps its height right under the page, which takes all the rest.
    auto page_reaches_the_strip = [&] {
        return page.get_allocation().get_y() + page.get_allocated_height() ==
               strip.Widget().get_allocation().get_y();
    };
    test::PumpUntil([&] { return page_reaches_the_strip() && page.get_allocated_height() > 300; },
                    5s);
    EXPECT_TRUE(page_reaches_the_strip());
    EXPECT_EQ(strip.Widget().get_allocated_height(), kStripHeight);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(strip.Cell(k).Tag, k);
        EXPECT_TRUE(strip.Cell(k).HasPicture()) << k;
    }

    // A click makes the cell's tab current; the window's tab change then reloads the strip.
    strip.img81Click(2);
    EXPECT_EQ(activated_, std::vector<int>{2});
    strip.LoadSC8();
    EXPECT_EQ(strip.Cell(2).Tag, 3);
    EXPECT_EQ(strip.Cell(7).Tag, 8);

    // With one tab left the strip keeps what it shows.
    OpenTabs(1);
    strip.LoadSC8();
    EXPECT_EQ(strip.Cell(0).Tag, 0);
    EXPECT_EQ(strip.Cell(7).Tag, 8);

    strip.RzURLLabel2Click();
    EXPECT_FALSE(strip.Showing());
}

// The threads that read the pictures: every step comes back on the main loop, and work not yet
// started when they go is dropped without its step.
TEST(PictureThreads, FinishOnTheMainLoopAndDropWaitingWorkWhenGone) {
    const auto main_thread = std::this_thread::get_id();
    std::vector<int> finished;
    std::atomic<int> started{0};
    std::atomic<bool> release{false};
    {
        std::jthread releaser;  // ends after the threads, which wait for it
        TPictureThreads threads(2);
        for (int i = 0; i < 20; ++i) {
            threads.Post([&, i]() -> TPictureThreads::Finish {
                ++started;
                return [&, i] {
                    EXPECT_EQ(std::this_thread::get_id(), main_thread);
                    finished.push_back(i);
                };
            });
        }
        threads.Post([] { return TPictureThreads::Finish{}; });  // a step may be empty
        EXPECT_EQ(threads.Pending(), 21);
        ASSERT_TRUE(test::PumpUntil([&] { return threads.Pending() == 0; }, 10s));
        std::sort(finished.begin(), finished.end());
        EXPECT_EQ(finished.size(), 20u);
        EXPECT_EQ(finished.front(), 0);
        EXPECT_EQ(finished.back(), 19);

        // One slow piece of work holds both threads' queue; the rest never starts.
        finished.clear();
        started = 0;
        for (int i = 0; i < 2; ++i) {
            threads.Post([&]() -> TPictureThreads::Finish {
                ++started;
                while (!release) std::this_thread::sleep_for(1ms);
                return [&] { finished.push_back(-1); };
            });
        }
        for (int i = 0; i < 5; ++i)
            threads.Post([&]() -> TPictureThreads::Finish {
                ++started;
                return [] {};
            });
        while (started < 2) std::this_thread::sleep_for(1ms);
        releaser = std::jthread([&] {
            std::this_thread::sleep_for(50ms);
            release = true;
        });
    }
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(finished.empty());
}

}  // namespace
}  // namespace kivo
