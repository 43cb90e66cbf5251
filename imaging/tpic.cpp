#include "imaging/tpic.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/gobject_ref.h"

namespace kivo::imaging {

namespace {

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

std::string LowerExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

GObjectRef<GdkPixbuf> ImageToPixbuf(const RgbImage& picture) {
    if (picture.Empty())
        throw std::invalid_argument("an empty picture has no pixels");
    auto pixbuf = GObjectRef<GdkPixbuf>::Adopt(
        gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, picture.Width(), picture.Height()));
    if (!pixbuf)
        throw std::invalid_argument("not enough memory for the picture");
    const int stride = gdk_pixbuf_get_rowstride(pixbuf.Get());
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf.Get());
    for (int y = 0; y < picture.Height(); ++y)
        std::memcpy(pixels + static_cast<std::size_t>(stride) * y, picture.Row(y),
                    static_cast<std::size_t>(picture.Width()) * 3);
    return pixbuf;
}

RgbImage PixbufToImage(GdkPixbuf* pixbuf) {
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    RgbImage picture(width, height);
    for (int y = 0; y < height; ++y) {
        const guchar* source = pixels + static_cast<std::size_t>(stride) * y;
        for (int x = 0; x < width; ++x, source += channels)
            picture.Set(x, y, {source[0], source[1], source[2]});
    }
    return picture;
}

void DrawPremultipliedOnto(RgbImage& target, int left, int top, int width, int height,
                           std::span<const std::uint32_t> argb) {
    if (width < 0 || height < 0 ||
        argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("pixel buffer is too short for its size");
    for (int y = std::max(0, -top); y < height && top + y < target.Height(); ++y) {
        for (int x = std::max(0, -left); x < width && left + x < target.Width(); ++x) {
            const std::uint32_t word = argb[static_cast<std::size_t>(y) * width + x];
            const std::uint32_t keep = 255 - (word >> 24);
            const Rgb under = target.At(left + x, top + y);
            auto mix = [keep](std::uint32_t over, std::uint8_t below) {
                return static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(255, over + (below * keep + 127) / 255));
            };
            target.Set(left + x, top + y,
                       {mix((word >> 16) & 0xFF, under.r), mix((word >> 8) & 0xFF, under.g),
                        mix(word & 0xFF, under.b)});
        }
    }
}

namespace {

// The bits per pixel a bitmap file's header gives, as the description names them: 16-bit
// files with channel masks are "16", plain ones "15" (five bits a channel).
int BitmapDepth(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[34] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' ||
        header[1] != 'M')
        throw ImageFileError("\"" + path + "\" is not a readable bitmap");
    const int bits = header[28] | (header[29] << 8);
    const unsigned compression = header[30] | (header[31] << 8) | (header[32] << 16);
    if (bits == 16)
        return compression == 3 ? 16 : 15;
    return bits;
}

}  // namespace

void TPic::SavePic(const std::string& PathName, const RgbImage& picture, TSaveType SaveType,
                   int PicQuality) {
    if (SaveType == TSaveType::stBitMap) {
        WriteBmp24(PathName, picture);
        return;
    }
    if (picture.Empty())
        throw std::invalid_argument("an empty picture cannot be saved");
    const GObjectRef<GdkPixbuf> pixbuf = ImageToPixbuf(picture);
    const std::string quality = std::to_string(std::clamp(PicQuality, 0, 100));
    gchar* buffer = nullptr;
    gsize size = 0;
    GError* raw_error = nullptr;
    if (!gdk_pixbuf_save_to_buffer(pixbuf.Get(), &buffer, &size, "jpeg", &raw_error, "quality",
                                   quality.c_str(), nullptr)) {
        const ErrorPtr error(raw_error);
        throw ImageFileError("cannot compress \"" + PathName +
                             "\": " + (error ? error->message : "unknown error"));
    }
    const std::unique_ptr<gchar, decltype(&g_free)> owned(buffer, &g_free);
    WriteWholeFile(PathName, std::span(reinterpret_cast<const std::uint8_t*>(buffer), size));
}

RgbImage TPic::LoadPic(const std::string& PathName) {
    const std::string extension = LowerExtension(PathName);
    const bool bitmap = extension == ".bmp";
    if (!bitmap && extension != ".jpg" && extension != ".jpeg")
        throw ImageFileError("\"" + PathName + "\" is neither a bitmap nor a JPEG file");
    // The size comes from the header first, so a damaged one cannot make the loader allocate
    // a huge picture.
    int width = 0, height = 0;
    if (!gdk_pixbuf_get_file_info(PathName.c_str(), &width, &height) || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide)
        throw ImageFileError("\"" + PathName + "\" is not a readable picture");
    const int depth = bitmap ? BitmapDepth(PathName) : 24;

    GError* raw_error = nullptr;
    const auto pixbuf =
        GObjectRef<GdkPixbuf>::Adopt(gdk_pixbuf_new_from_file(PathName.c_str(), &raw_error));
    const ErrorPtr error(raw_error);
    if (!pixbuf)
        throw ImageFileError("\"" + PathName +
                             "\" is not a readable picture: " + (error ? error->message : ""));
    RgbImage picture = PixbufToImage(pixbuf.Get());
    PicInfoStr = std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()) + "x" +
                 std::to_string(depth) + "位 " + (bitmap ? "BMP位图" : "JPEG图象");
    return picture;
}

std::string ExportFileName(const std::tm& local_time) {
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d-%H%M%S.bmp", &local_time);
    return name;
}

}  // namespace kivo::imaging
