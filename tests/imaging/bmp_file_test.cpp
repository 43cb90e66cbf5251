#include "imaging/bmp_file.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kivo::imaging {
namespace {

namespace fs = std::filesystem;

// A picture in which every pixel has its own colour, so that swapped rows, columns or channels
// show.
RgbImage Pattern(int width, int height) {
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Set(x, y,
                      {static_cast<std::uint8_t>(x * 37 + 1), static_cast<std::uint8_t>(y * 53 + 2),
                       static_cast<std::uint8_t>((x ^ y) * 11 + 3)});
        }
    }
    return image;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 32-bit file made by hand: header of `header_size` bytes, optional masks for BI_BITFIELDS.
std::vector<std::uint8_t> Make32BitFile(const RgbImage& image, bool top_down,
                                        std::uint32_t header_size, bool bitfields) {
    const std::size_t offset = 14 + header_size + (bitfields && header_size == 40 ? 12 : 0);
    std::vector<std::uint8_t> b(offset +
                                static_cast<std::size_t>(image.Width()) * image.Height() * 4);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 2, static_cast<std::uint32_t>(b.size()));
    PutLe32(b, 10, static_cast<std::uint32_t>(offset));
    PutLe32(b, 14, header_size);
    PutLe32(b, 18, static_cast<std::uint32_t>(image.Width()));
    PutLe32(b, 22, static_cast<std::uint32_t>(top_down ? -image.Height() : image.Height()));
    b[26] = 1;
    b[28] = 32;
    if (bitfields) {
        // Red in the low byte, blue in the third: not the usual order, so masks must be obeyed.
        PutLe32(b, 30, 3);
        PutLe32(b, 54, 0x000000FF);
        PutLe32(b, 58, 0x0000FF00);
        PutLe32(b, 62, 0x00FF0000);
    }
    for (int y = 0; y < image.Height(); ++y) {
        const int file_row = top_down ? y : image.Height() - 1 - y;
        for (int x = 0; x < image.Width(); ++x) {
            const Rgb c = image.At(x, y);
            std::uint8_t* p =
                &b[offset + (static_cast<std::size_t>(file_row) * image.Width() + x) * 4];
            p[bitfields ? 0 : 2] = c.r;
            p[1] = c.g;
            p[bitfields ? 2 : 0] = c.b;
            p[3] = 0x5A;  // alpha, to be ignored
        }
    }
    return b;
}

class BmpFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kivo-imaging-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    static std::vector<std::uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Store(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename());
        return names;
    }

    fs::path folder_;
};

TEST_F(BmpFileTest, RoundTripKeepsEveryPixelWhateverTheRowPadding) {
    for (int width : {1, 2, 3, 4, 5, 7, 13}) {
        for (int height : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
            const RgbImage image = Pattern(width, height);
            const std::string path = PathOf("7341");
            WriteBmp24(path, image);
            const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
            EXPECT_EQ(fs::file_size(path), 54 + stride * height);
            EXPECT_EQ(ReadBmp(path), image);
        }
    }
}

TEST_F(BmpFileTest, HeaderAndRowLayoutAreThoseOfA24BitFile) {
    RgbImage image(3, 2);
    image.Set(0, 0, {1, 2, 3});     // top-left
    image.Set(0, 1, {10, 20, 30});  // bottom-left
    image.Set(2, 1, {40, 50, 60});  // bottom-right
    const std::vector<std::uint8_t> b = EncodeBmp24(image);
    ASSERT_EQ(b.size(), 54u + 12u * 2u);  // rows of 9 bytes padded to 12
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    // Field offset and value: file size, reserved, pixel offset, header size, width, height
    // (positive: bottom row first), compression, pixel bytes, resolution, colour counts.
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {2, 78}, {6, 0},   {10, 54},   {14, 40},   {18, 3}, {22, 2},
        {30, 0}, {34, 24}, {38, 2835}, {42, 2835}, {46, 0}, {50, 0}};
    for (const auto& [at, value] : fields) EXPECT_EQ(Le32(b, at), value) << "at " << at;
    EXPECT_EQ(b[26] | (b[27] << 8), 1);   // planes
    EXPECT_EQ(b[28] | (b[29] << 8), 24);  // bits per pixel
    // First stored row is the bottom one, blue first.
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.begin() + 57),
              (std::vector<std::uint8_t>{30, 20, 10}));
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 60, b.begin() + 63),
              (std::vector<std::uint8_t>{60, 50, 40}));
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 63, b.begin() + 66),
              (std::vector<std::uint8_t>{0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 66, b.begin() + 69),
              (std::vector<std::uint8_t>{3, 2, 1}));
}

TEST_F(BmpFileTest, AnotherDecoderReadsTheFileWithItsSizeAndColours) {
    const RgbImage image = Pattern(7, 5);
    const std::string path = PathOf("5");
    WriteBmp24(path, image);

    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
    ASSERT_NE(pixbuf, nullptr) << (error ? error->message : "");
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), 7);
    EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), 5);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            EXPECT_EQ((Rgb{p[0], p[1], p[2]}), image.At(x, y)) << x << "," << y;
        }
    }
    g_object_unref(pixbuf);
}

TEST_F(BmpFileTest, ReadsFilesOtherProgramsWrite) {
    const RgbImage image = Pattern(5, 3);
    for (bool top_down : {false, true}) {
        SCOPED_TRACE(top_down ? "top-down" : "bottom-up");
        EXPECT_EQ(DecodeBmp(Make32BitFile(image, top_down, 40, false)), image);
        EXPECT_EQ(DecodeBmp(Make32BitFile(image, top_down, 40, true)), image);
        EXPECT_EQ(DecodeBmp(Make32BitFile(image, top_down, 108, true)), image);
    }

    // A 24-bit top-down file: our own bottom-up file with its rows turned over.
    std::vector<std::uint8_t> b = EncodeBmp24(image);
    const std::size_t stride = 16;
    std::vector<std::uint8_t> flipped = b;
    for (int row = 0; row < 3; ++row) {
        std::copy_n(b.begin() + 54 + row * stride, stride,
                    flipped.begin() + 54 + (2 - row) * stride);
    }
    PutLe32(flipped, 22, static_cast<std::uint32_t>(-3));
    EXPECT_EQ(DecodeBmp(flipped), image);

    // The last row without its padding, as some writers leave it.
    b.resize(b.size() - 1);
    EXPECT_EQ(DecodeBmp(b), image);

    // A file the other decoder's own encoder writes.
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            guchar* p =
                gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * 3;
            const Rgb c = image.At(x, y);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    const std::string path = PathOf("foreign.bmp");
    GError* error = nullptr;
    ASSERT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), "bmp", &error, nullptr))
        << (error ? error->message : "");
    g_object_unref(pixbuf);
    EXPECT_EQ(ReadBmp(path), image);
}

TEST_F(BmpFileTest, DamagedFilesAreRefused) {
    const std::vector<std::uint8_t> good = EncodeBmp24(Pattern(5, 4));
    ASSERT_NO_THROW(DecodeBmp(good));

    // Every shortening that cuts into the pixels of the last row (the padding may go).
    for (std::size_t length = 0; length + 1 < good.size(); ++length) {
        EXPECT_THROW(DecodeBmp(std::span(good.data(), length)), ImageFileError) << length;
    }

    auto with = [&](std::size_t at, std::uint32_t value, int width = 4) {
        std::vector<std::uint8_t> b = good;
        for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"signature", with(0, 'B' | ('X' << 8), 2)},
        {"zero width", with(18, 0)},
        {"negative width", with(18, static_cast<std::uint32_t>(-5))},
        {"zero height", with(22, 0)},
        {"absurd width", with(18, 40000)},
        {"absurd height", with(22, 40000)},
        {"most negative height", with(22, static_cast<std::uint32_t>(INT_MIN))},
        {"more pixels than the file holds", with(18, 1000)},
        {"more rows than the file holds", with(22, 1000)},
        {"planes", with(26, 2, 2)},
        {"8 bits per pixel", with(28, 8, 2)},
        {"16 bits per pixel", with(28, 16, 2)},
        {"run-length compression", with(30, 1)},
        {"compressed 24-bit", with(30, 3)},
        {"small core header", with(14, 12)},
        {"header longer than the file", with(14, 100000)},
        {"pixels beyond the end", with(10, static_cast<std::uint32_t>(good.size() + 1))},
        {"pixels inside the header", with(10, 20)},
        {"offset wrapping around", with(10, 0xFFFFFFF0u)},
    };
    for (const auto& c : cases) EXPECT_THROW(DecodeBmp(c.bytes), ImageFileError) << c.what;

    // Masks that are not whole bytes.
    std::vector<std::uint8_t> masked = Make32BitFile(Pattern(2, 2), false, 40, true);
    PutLe32(masked, 54, 0x0000F0F0);
    EXPECT_THROW(DecodeBmp(masked), ImageFileError);
}

// Reading only the top rows gives exactly those rows of the whole picture, whichever way the file
// stores them, and still refuses a file cut short below them.
TEST_F(BmpFileTest, TopRowsAreThoseOfTheWholePicture) {
    const RgbImage image = Pattern(7, 5);
    const std::string bottom_up = PathOf("bottom-up"), top_down = PathOf("top-down");
    WriteBmp24(bottom_up, image);
    Store(top_down, Make32BitFile(image, true, 40, true));
    for (const std::string& path : {bottom_up, top_down}) {
        SCOPED_TRACE(path);
        for (int rows : {0, 1, 3, 5, 9}) {
            int asked_width = 0;
            const RgbImage top = ReadBmpTop(path, [&](int width) {
                asked_width = width;
                return rows;
            });
            EXPECT_EQ(asked_width, 7);
            EXPECT_EQ(top, FitToSize(image, 7, std::min(rows, 5))) << rows;
        }
        EXPECT_EQ(ReadBmpTop(path, {}), image);
    }
    std::vector<std::uint8_t> cut = Contents(bottom_up);
    cut.resize(cut.size() - 30);  // the bottom rows, stored first, are whole; the top ones not
    Store(bottom_up, cut);
    EXPECT_THROW(ReadBmpTop(bottom_up, [](int) { return 1; }), ImageFileError);
}

TEST_F(BmpFileTest, ReadErrorsNameTheFile) {
    const std::string missing = PathOf("missing");
    try {
        ReadBmp(missing);
        FAIL() << "no error for a missing file";
    } catch (const ImageFileError& error) {
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
    }
    const std::string garbage = PathOf("garbage");
    Store(garbage, {'B', 'M', 1, 2, 3});
    try {
        ReadBmp(garbage);
        FAIL() << "no error for a damaged file";
    } catch (const ImageFileError& error) {
        EXPECT_NE(std::string(error.what()).find(garbage), std::string::npos) << error.what();
    }
    EXPECT_THROW(ReadBmp(folder_.string()), ImageFileError);
}

TEST_F(BmpFileTest, WritingReplacesTheFileAndLeavesNothingElse) {
    const std::string path = PathOf("12");
    WriteBmp24(path, Pattern(9, 9));
    WriteBmp24(path, Pattern(3, 2));
    EXPECT_EQ(ReadBmp(path), Pattern(3, 2));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"12"});

    // A file of a path given without a folder lands in the working folder.
    const fs::path before = fs::current_path();
    fs::current_path(folder_);
    WriteBmp24("bare", Pattern(1, 1));
    fs::current_path(before);
    EXPECT_TRUE(fs::exists(folder_ / "bare"));
}

TEST_F(BmpFileTest, WriteErrorsNameThePathAndLeaveNoFile) {
    const std::string in_missing_folder = PathOf("WebImage/77");
    try {
        WriteBmp24(in_missing_folder, Pattern(2, 2));
        FAIL() << "no error for a missing folder";
    } catch (const ImageFileError& error) {
        EXPECT_NE(std::string(error.what()).find(in_missing_folder), std::string::npos)
            << error.what();
    }
    // A folder in the way of the target: the old content stays and no temporary file is left.
    fs::create_directory(folder_ / "taken");
    EXPECT_THROW(WriteBmp24(PathOf("taken"), Pattern(2, 2)), ImageFileError);
    EXPECT_TRUE(fs::is_directory(folder_ / "taken"));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"taken"});
    EXPECT_THROW(WriteBmp24(PathOf("empty"), RgbImage()), std::invalid_argument);
    EXPECT_THROW(WriteBmp24(folder_.string() + "/", Pattern(1, 1)), ImageFileError);
}

TEST_F(BmpFileTest, ReencodingMakesA24BitFileOfTheSamePicture) {
    const RgbImage image = Pattern(6, 4);
    const std::string path = PathOf("3");
    Store(path, Make32BitFile(image, true, 108, true));
    ReencodeBitmap(path);
    const std::vector<std::uint8_t> b = Contents(path);
    EXPECT_EQ(b, EncodeBmp24(image));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"3"});

    // A damaged file is refused and left as it was.
    const std::vector<std::uint8_t> damaged(b.begin(), b.begin() + 40);
    Store(path, damaged);
    EXPECT_THROW(ReencodeBitmap(path), ImageFileError);
    EXPECT_EQ(Contents(path), damaged);
    EXPECT_THROW(ReencodeBitmap(PathOf("none")), ImageFileError);
    EXPECT_FALSE(fs::exists(PathOf("none")));

    // A file already in the 24-bit layout is left as it is, not written again; one whose
    // header says so but whose rows are cut short is still refused.
    WriteBmp24(path, image);
    const auto inode = [&] {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_ino;
    };
    const auto before = inode();
    ReencodeBitmap(path);
    EXPECT_EQ(inode(), before) << "the file was replaced";
    EXPECT_EQ(Contents(path), EncodeBmp24(image));
    const std::vector<std::uint8_t> cut(b.begin(), b.end() - 5);
    Store(path, cut);
    EXPECT_THROW(ReencodeBitmap(path), ImageFileError);
    EXPECT_EQ(Contents(path), cut);
}

}  // namespace
}  // namespace kivo::imaging
