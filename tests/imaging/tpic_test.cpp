#include "imaging/tpic.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kivo::imaging {
namespace {

namespace fs = std::filesystem;

class TPicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kivo-tpic-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

std::string Head(const std::string& path, std::size_t count) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

RgbImage Noise(int width, int height) {
    RgbImage image(width, height);
    unsigned seed = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.Set(x, y,
                      {static_cast<std::uint8_t>(seed >> 16), static_cast<std::uint8_t>(seed >> 8),
                       static_cast<std::uint8_t>(seed >> 24)});
        }
    return image;
}

// An 8-bit palette bitmap of two pixels, written by hand.
void WriteEightBitFile(const std::string& path) {
    std::vector<std::uint8_t> b(14 + 40 + 256 * 4 + 4, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 14 + 40 + 256 * 4);
    put32(14, 40);
    put32(18, 2);
    put32(22, 1);
    b[26] = 1;
    b[28] = 8;
    put32(46, 256);
    put32(54 + 4, 0x00FF0000);  // palette entry 1: red
    b[54 + 1024 + 1] = 1;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

TEST_F(TPicTest, BitmapsRoundTripWhateverTheExtensionAndDescribeThemselves) {
    const RgbImage picture = Noise(5, 3);
    TPic pic;
    pic.SavePic(Path("a.BMP"), picture, TSaveType::stBitMap, 100);
    EXPECT_EQ(pic.LoadPic(Path("a.BMP")), picture);
    EXPECT_EQ(pic.GetLastLoadPicInfoStr(), "5x3x24位 BMP位图");

    // A bitmap is a bitmap even under a JPEG name.
    pic.SavePic(Path("b.jpg"), picture, TSaveType::stBitMap, 100);
    EXPECT_EQ(Head(Path("b.jpg"), 2), "BM");
    EXPECT_EQ(ReadBmp(Path("b.jpg")), picture);

    WriteEightBitFile(Path("eight.bmp"));
    const RgbImage eight = pic.LoadPic(Path("eight.bmp"));
    EXPECT_EQ(pic.GetLastLoadPicInfoStr(), "2x1x8位 BMP位图");
    EXPECT_EQ(eight.At(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(eight.At(1, 0), (Rgb{255, 0, 0}));
}

TEST_F(TPicTest, JpegKeepsTheColoursAndItsQualityDecidesTheSize) {
    const RgbImage solid(40, 30, {200, 40, 90});
    TPic pic;
    pic.SavePic(Path("solid.jpeg"), solid, TSaveType::stJPEG, 95);
    EXPECT_EQ(Head(Path("solid.jpeg"), 2), "\xFF\xD8");
    const RgbImage loaded = pic.LoadPic(Path("solid.jpeg"));
    EXPECT_EQ(pic.GetLastLoadPicInfoStr(), "40x30x24位 JPEG图象");
    const Rgb centre = loaded.At(20, 15);
    EXPECT_NEAR(centre.r, 200, 4);
    EXPECT_NEAR(centre.g, 40, 4);
    EXPECT_NEAR(centre.b, 90, 4);

    const RgbImage noise = Noise(64, 64);
    pic.SavePic(Path("low.jpg"), noise, TSaveType::stJPEG, 5);
    pic.SavePic(Path("high.jpg"), noise, TSaveType::stJPEG, 100);
    EXPECT_LT(fs::file_size(Path("low.jpg")) * 2, fs::file_size(Path("high.jpg")));
}

TEST_F(TPicTest, BadFilesAndPlacesFailWithoutLeavingAnything) {
    TPic pic;
    pic.SavePic(Path("good.bmp"), RgbImage(2, 2), TSaveType::stBitMap, 100);
    pic.LoadPic(Path("good.bmp"));
    const std::string info = pic.GetLastLoadPicInfoStr();

    // Another extension, a cut-off file, a text file named as a picture, a missing file.
    fs::copy_file(Path("good.bmp"), Path("good.png"));
    std::string bytes = Head(Path("good.bmp"), 1000);
    std::ofstream(Path("cut.bmp"), std::ios::binary) << bytes.substr(0, 40);
    std::ofstream(Path("text.jpg")) << "not a picture";
    for (const char* name : {"good.png", "cut.bmp", "text.jpg", "missing.bmp"}) {
        EXPECT_THROW(pic.LoadPic(Path(name)), ImageFileError) << name;
        EXPECT_EQ(pic.GetLastLoadPicInfoStr(), info) << name;
    }

    // A folder that does not exist, and an empty picture: nothing is written anywhere.
    const auto before = std::distance(fs::directory_iterator(folder_), fs::directory_iterator());
    EXPECT_THROW(pic.SavePic(Path("none/x.jpg"), RgbImage(2, 2), TSaveType::stJPEG, 50),
                 ImageFileError);
    EXPECT_THROW(pic.SavePic(Path("none/x.bmp"), RgbImage(2, 2), TSaveType::stBitMap, 50),
                 ImageFileError);
    EXPECT_THROW(pic.SavePic(Path("empty.jpg"), RgbImage(), TSaveType::stJPEG, 50),
                 std::invalid_argument);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), before);
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(ExportFileNameTest, IsTheLocalTimeWithLeadingZeros) {
    EXPECT_EQ(ExportFileName(LocalTime(2024, 1, 5, 7, 3, 9)), "20240105-070309.bmp");
    EXPECT_EQ(ExportFileName(LocalTime(2024, 12, 31, 23, 59, 58)), "20241231-235958.bmp");
}

TEST(DrawPremultipliedOntoTest, BlendsByAlphaAndLeavesOutWhatFallsOutside) {
    RgbImage target(3, 2, {100, 100, 100});
    // Opaque red, transparent, half-transparent white (premultiplied: 128 of each).
    const std::vector<std::uint32_t> argb = {0xFFFF0000, 0x00000000, 0x80808080, 0xFF00FF00};
    DrawPremultipliedOnto(target, -1, 0, 2, 2, argb);  // its left column falls outside
    EXPECT_EQ(target.At(0, 0), (Rgb{100, 100, 100}));
    EXPECT_EQ(target.At(0, 1), (Rgb{0, 255, 0}));
    EXPECT_EQ(target.At(1, 0), (Rgb{100, 100, 100}));
    DrawPremultipliedOnto(target, 2, 0, 2, 2, argb);
    EXPECT_EQ(target.At(2, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(target.At(2, 1), (Rgb{178, 178, 178}));
    EXPECT_THROW(DrawPremultipliedOnto(target, 0, 0, 3, 3, argb), std::invalid_argument);
}

}  // namespace
}  // namespace kivo::imaging
