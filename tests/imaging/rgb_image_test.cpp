#include "imaging/rgb_image.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <stdexcept>

namespace kivo::imaging {
namespace {

TEST(RgbImageTest, SizesOutsideTheLimitsAreRefused) {
    EXPECT_THROW(RgbImage(-1, 3), std::invalid_argument);
    EXPECT_THROW(RgbImage(3, kMaxSide + 1), std::invalid_argument);
    EXPECT_TRUE(RgbImage(0, 5).Empty());
    const RgbImage filled(2, 1, {7, 8, 9});
    EXPECT_EQ(filled.At(1, 0), (Rgb{7, 8, 9}));
}

TEST(FitToSizeTest, CutsFromTheTopLeftAndFillsTheRest) {
    RgbImage page(4, 3, {0, 0, 0});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            page.Set(x, y, {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9});
    }

    const RgbImage cut = FitToSize(page, 2, 2);
    ASSERT_EQ(cut.Width(), 2);
    ASSERT_EQ(cut.Height(), 2);
    EXPECT_EQ(cut.At(1, 1), (Rgb{1, 1, 9}));

    // Wider than the source but shorter: columns beyond it take the fill colour.
    const RgbImage mixed = FitToSize(page, 6, 2, {1, 2, 3});
    EXPECT_EQ(mixed.At(3, 1), (Rgb{3, 1, 9}));
    EXPECT_EQ(mixed.At(4, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(mixed.At(5, 1), (Rgb{1, 2, 3}));

    // A page 1000 wide and 300 high for a 110 × 56 cell: 1000 × 509, the page in the top rows.
    const RgbImage wide(1000, 300, {10, 20, 30});
    const RgbImage thumbnail = FitToSize(wide, 1000, 1000 * 56 / 110);
    ASSERT_EQ(thumbnail.Height(), 509);
    EXPECT_EQ(thumbnail.At(999, 299), (Rgb{10, 20, 30}));
    EXPECT_EQ(thumbnail.At(0, 300), kWhite);
    EXPECT_EQ(thumbnail.At(999, 508), kWhite);

    EXPECT_TRUE(FitToSize(page, 0, 0).Empty());
    EXPECT_THROW(FitToSize(page, -1, 2), std::invalid_argument);
}

// Pixels as a drawing surface stores them: one native 32-bit word each, alpha on top.
std::vector<std::uint8_t> Surface(const std::vector<std::uint32_t>& words, int width, int stride) {
    const int height = static_cast<int>(words.size()) / width;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * height, 0xEE);  // padding
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::size_t at = (i / width) * stride + (i % width) * 4;
        std::memcpy(&bytes[at], &words[i], 4);
    }
    return bytes;
}

TEST(PremultipliedArgbTest, OpaquePixelsKeepTheirColoursAndRowsTheirOrder) {
    const std::vector<std::uint32_t> words = {0xFF102030, 0xFFFF0000, 0xFF00FF00,
                                              0xFF0000FF, 0xFFFFFFFF, 0xFF000000};
    const std::vector<std::uint8_t> bytes = Surface(words, 3, 16);
    const RgbImage image = FromPremultipliedArgb32(3, 2, 16, bytes);
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    EXPECT_EQ(image.At(0, 0), (Rgb{0x10, 0x20, 0x30}));
    EXPECT_EQ(image.At(1, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(image.At(2, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(image.At(0, 1), (Rgb{0, 0, 255}));
    EXPECT_EQ(image.At(1, 1), kWhite);
    EXPECT_EQ(image.At(2, 1), (Rgb{0, 0, 0}));

    if constexpr (std::endian::native == std::endian::little) {
        // In memory the word lies blue, green, red, alpha.
        const std::uint8_t raw[] = {0x30, 0x20, 0x10, 0xFF};
        EXPECT_EQ(FromPremultipliedArgb32(1, 1, 4, raw).At(0, 0), (Rgb{0x10, 0x20, 0x30}));
    }
}

TEST(PremultipliedArgbTest, TranslucentPixelsAreLaidOverTheBackground) {
    // Half-transparent red (premultiplied: 0x80 of 0x80), fully transparent, half grey.
    const std::vector<std::uint32_t> words = {0x80800000, 0x00000000, 0x80404040};
    const std::vector<std::uint8_t> bytes = Surface(words, 3, 12);
    const RgbImage on_white = FromPremultipliedArgb32(3, 1, 12, bytes);
    EXPECT_EQ(on_white.At(0, 0), (Rgb{255, 127, 127}));
    EXPECT_EQ(on_white.At(1, 0), kWhite);
    EXPECT_EQ(on_white.At(2, 0), (Rgb{191, 191, 191}));

    const RgbImage on_black = FromPremultipliedArgb32(3, 1, 12, bytes, {0, 0, 0});
    EXPECT_EQ(on_black.At(0, 0), (Rgb{128, 0, 0}));
    EXPECT_EQ(on_black.At(1, 0), (Rgb{0, 0, 0}));

    // A colour larger than its alpha is out of range for premultiplied data; it is clipped.
    const std::vector<std::uint8_t> bad = Surface({0x10FF0000}, 1, 4);
    EXPECT_EQ(FromPremultipliedArgb32(1, 1, 4, bad).At(0, 0), (Rgb{255, 239, 239}));
}

TEST(PremultipliedArgbTest, BuffersTooSmallForTheirSizesAreRefused) {
    const std::vector<std::uint8_t> bytes(4 * 3 * 2);
    EXPECT_THROW(FromPremultipliedArgb32(3, 2, 8, bytes), std::invalid_argument);   // stride < row
    EXPECT_THROW(FromPremultipliedArgb32(3, 3, 12, bytes), std::invalid_argument);  // rows missing
    EXPECT_THROW(FromPremultipliedArgb32(3, 2, 16, bytes), std::invalid_argument);
    // The last row needs no padding after it.
    EXPECT_NO_THROW(FromPremultipliedArgb32(3, 2, 12, bytes));
    EXPECT_NO_THROW(FromPremultipliedArgb32(2, 2, 16, std::span(bytes.data(), 24)));
    EXPECT_THROW(FromPremultipliedArgb32(-1, 2, 16, bytes), std::invalid_argument);
}

}  // namespace
}  // namespace kivo::imaging
