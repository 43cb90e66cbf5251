// The thumbnails' arithmetic: cell assignment of the grid and the strip, cell geometry, the crop
// of a page picture to a cell's shape, and pictures that cannot be shown.
#include "ui/pictures/thumbnail_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/bmp_file.h"
#include "tests/support/test_support.h"

namespace kivo {
namespace {

using imaging::RgbImage;

TEST(ThumbnailCells, GridShowsTheFirstNineTabsAndNeedsTwo) {
    EXPECT_TRUE(GridCellTabs(0).empty());
    EXPECT_TRUE(GridCellTabs(1).empty());
    EXPECT_EQ(GridCellTabs(3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(GridCellTabs(12), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ThumbnailCells, StripSkipsTheCurrentTabAndStopsAtTheNinthCell) {
    // Three tabs, the third made current from the grid: the first two, the rest empty.
    EXPECT_EQ(StripCellTabs(3, 2), (std::vector<int>{0, 1}));
    EXPECT_EQ(StripCellTabs(3, 0), (std::vector<int>{1, 2}));
    // Twelve tabs, the eleventh current: tabs 1..8, as there is no ninth cell for tab 9.
    EXPECT_EQ(StripCellTabs(12, 10), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // The current tab among the first nine leaves room for the ninth.
    EXPECT_EQ(StripCellTabs(12, 4), (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8}));
    EXPECT_TRUE(StripCellTabs(1, 0).empty());
    // No current tab at all (-1): the first eight.
    EXPECT_EQ(StripCellTabs(9, -1).size(), 8u);
}

TEST(ThumbnailCells, CellsShareThePanelWithTenPixelGuttersAndMargins) {
    // 3 x 3 in 340 x 250: (340 - 40) / 3 = 100 wide, (250 - 40) / 3 = 70 high.
    EXPECT_EQ(CellOf(340, 250, 3, 3, 0), (CellRect{10, 10, 100, 70}));
    EXPECT_EQ(CellOf(340, 250, 3, 3, 4), (CellRect{120, 90, 100, 70}));
    EXPECT_EQ(CellOf(340, 250, 3, 3, 8), (CellRect{230, 170, 100, 70}));
    // Leftover pixels go one each to the first columns and rows: the far margin stays 10.
    EXPECT_EQ(CellOf(342, 252, 3, 3, 0), (CellRect{10, 10, 101, 71}));
    EXPECT_EQ(CellOf(342, 252, 3, 3, 4), (CellRect{121, 91, 101, 71}));
    const CellRect last = CellOf(342, 252, 3, 3, 8);
    EXPECT_EQ(last, (CellRect{232, 172, 100, 70}));
    EXPECT_EQ(last.x + last.width, 342 - kCellGutter);
    EXPECT_EQ(last.y + last.height, 252 - kCellGutter);
    // The strip: eight in a row.
    const CellRect eighth = CellOf(1000, 125, kStripCells, 1, 7);
    EXPECT_EQ(eighth.x + eighth.width, 990);
    EXPECT_EQ(eighth.height, 105);
    // A panel too small for its gutters: cells of no size, never negative.
    const CellRect tiny = CellOf(20, 5, 3, 3, 8);
    EXPECT_EQ(tiny.width, 0);
    EXPECT_EQ(tiny.height, 0);
}

TEST(ThumbnailCrop, CutsTheTopOfThePageToTheCellsShape) {
    // 1000 x 300 into 110 x 56: h = trunc(1000 * 56 / 110) = 509, the page in the top 300 rows.
    EXPECT_EQ(ThumbnailCropHeight(1000, 110, 56), 509);
    RgbImage page(1000, 300, {10, 20, 30});
    const RgbImage cut = CropThumbnail(page, 110, 56);
    ASSERT_EQ(cut.Width(), 1000);
    ASSERT_EQ(cut.Height(), 509);
    EXPECT_EQ(cut.At(999, 299), (imaging::Rgb{10, 20, 30}));
    EXPECT_EQ(cut.At(0, 300), imaging::kWhite);
    // A long page keeps only its top.
    RgbImage tall(200, 1000, {1, 1, 1});
    tall.Set(0, 99, {9, 9, 9});
    const RgbImage top = CropThumbnail(tall, 200, 100);
    ASSERT_EQ(top.Height(), 100);
    EXPECT_EQ(top.At(0, 99), (imaging::Rgb{9, 9, 9}));
}

TEST(ThumbnailCrop, RefusesShapesThatGiveNoPicture) {
    RgbImage page(1000, 300);
    EXPECT_EQ(ThumbnailCropHeight(1000, 0, 56), 0);
    EXPECT_THROW(CropThumbnail(page, 0, 56), std::invalid_argument);
    EXPECT_THROW(CropThumbnail(page, 110, 0), std::invalid_argument);
    EXPECT_THROW(CropThumbnail(RgbImage(), 110, 56), std::invalid_argument);
    // A cell one pixel wide and very high would ask for a cut taller than any picture.
    EXPECT_THROW(CropThumbnail(page, 1, 100), std::invalid_argument);
}

class ThumbnailFiles : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = home_.Path() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    test::TempHome home_;
};

TEST_F(ThumbnailFiles, NameIsTheDecimalTabHandleUnderWebImage) {
    EXPECT_EQ(ThumbnailFile("/app/", 48234567), "/app/WebImage/48234567");
    EXPECT_EQ(ThumbnailFile("/app/", -5), "/app/WebImage/-5");
}

TEST_F(ThumbnailFiles, AWholeFileLoadsCutAndEveryDamagedOneIsRefused) {
    const auto good = imaging::EncodeBmp24(RgbImage(1000, 300, {200, 0, 0}));
    const RgbImage cut = LoadThumbnailPicture(Write("good", good), 110, 56);
    EXPECT_EQ(cut.Height(), 509);
    EXPECT_EQ(cut.At(500, 100), (imaging::Rgb{200, 0, 0}));

    auto truncated = good;
    truncated.resize(good.size() / 2);
    auto eight_bit = good;
    eight_bit[28] = 8;
    auto empty = good;
    for (int i = 18; i < 26; ++i) empty[i] = 0;  // 0 x 0
    auto towering = imaging::EncodeBmp24(RgbImage(1, 1));
    towering[22] = 0x40;  // 40,000 rows claimed, one stored
    towering[23] = 0x9C;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
             {"truncated", truncated},
             {"eight", eight_bit},
             {"empty", empty},
             {"tall", towering},
             {"text", {'<', 'h', 't', 'm', 'l', '>'}},
             {"nothing", {}}}) {
        EXPECT_THROW(LoadThumbnailPicture(Write(name, bytes), 110, 56), std::exception) << name;
        EXPECT_THROW(LoadThumbnailScaled(Write(name, bytes), 110, 56), std::exception) << name;
    }
    for (const auto& load : {LoadThumbnailPicture, LoadThumbnailScaled}) {
        EXPECT_THROW(load(home_.Path() + "/missing", 110, 56), imaging::ImageFileError);
        EXPECT_THROW(load(home_.Path(), 110, 56), imaging::ImageFileError);
        EXPECT_THROW(load(Write("good", good), 0, 56), std::invalid_argument);
    }
}

// What a cell shows: the cut picture with each pixel the average of those it covers; white where
// the page ends above the cut; a small page stretched pixel by pixel.
TEST_F(ThumbnailFiles, ScaledPictureAveragesTheCutPicture) {
    // 8 x 6 page into a 4 x 2 cell: the cut is 8 x 4, each cell pixel a 2 x 2 block of it.
    RgbImage page(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            page.Set(x, y,
                     {static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 40),
                      static_cast<std::uint8_t>(x == 0 ? 255 : 0)});
    const std::string file = Write("page", imaging::EncodeBmp24(page));
    const RgbImage cell = LoadThumbnailScaled(file, 4, 2);
    const RgbImage cut = LoadThumbnailPicture(file, 4, 2);
    ASSERT_EQ(cell.Width(), 4);
    ASSERT_EQ(cell.Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            int sums[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const auto c = cut.At(2 * x + dx, 2 * y + dy);
                    sums[0] += c.r, sums[1] += c.g, sums[2] += c.b;
                }
            EXPECT_EQ(cell.At(x, y), (imaging::Rgb{static_cast<std::uint8_t>((sums[0] + 2) / 4),
                                                   static_cast<std::uint8_t>((sums[1] + 2) / 4),
                                                   static_cast<std::uint8_t>((sums[2] + 2) / 4)}))
                << x << ", " << y;
        }
    }

    // The Part's wide page: its 300 rows fill 300 of the cut's 509, the rest is white.
    const std::string wide = Write("wide", imaging::EncodeBmp24(RgbImage(1000, 300, {200, 0, 0})));
    const RgbImage small = LoadThumbnailScaled(wide, 110, 56);
    EXPECT_EQ(small.At(55, 0), (imaging::Rgb{200, 0, 0}));
    EXPECT_EQ(small.At(55, 31), (imaging::Rgb{200, 0, 0}));
    EXPECT_EQ(small.At(55, 34), imaging::kWhite);
    EXPECT_EQ(small.At(109, 55), imaging::kWhite);

    // A 2 x 1 page into a 4 x 2 cell (the cut is the page): each page pixel becomes 2 x 2.
    RgbImage tiny(2, 1);
    tiny.Set(0, 0, {1, 2, 3});
    tiny.Set(1, 0, {4, 5, 6});
    const RgbImage stretched = LoadThumbnailScaled(Write("tiny", imaging::EncodeBmp24(tiny)), 4, 2);
    EXPECT_EQ(stretched.At(0, 0), (imaging::Rgb{1, 2, 3}));
    EXPECT_EQ(stretched.At(1, 0), (imaging::Rgb{1, 2, 3}));
    EXPECT_EQ(stretched.At(2, 0), (imaging::Rgb{4, 5, 6}));
    EXPECT_EQ(stretched.At(3, 0), (imaging::Rgb{4, 5, 6}));
    EXPECT_EQ(stretched.At(0, 1), (imaging::Rgb{1, 2, 3}));
    EXPECT_EQ(stretched.At(3, 1), (imaging::Rgb{4, 5, 6}));
}

}  // namespace
}  // namespace kivo
