// TPic: saving a picture as a bitmap or a JPEG file and loading either back with a description
// of what was loaded; and the names of the timestamped export files.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <ctime>
#include <span>
#include <string>

#include "imaging/bmp_file.h"
#include "imaging/rgb_image.h"
#include "platform/gobject_ref.h"

namespace kivo::imaging {

enum class TSaveType { stBitMap, stJPEG };

class TPic {
  public:
    // Writes the picture whole (a temporary file renamed over the path): a 24-bit Windows
    // bitmap for stBitMap, whatever the extension, or a JPEG of quality PicQuality (clamped to
    // 0..100) for stJPEG. Throws ImageFileError naming the path when it cannot be written,
    // std::invalid_argument for an empty picture.
    void SavePic(const std::string& PathName, const RgbImage& picture, TSaveType SaveType,
                 int PicQuality);

    // Loads a ".bmp", ".jpg" or ".jpeg" file (any case) and sets PicInfoStr to width "x" height
    // "x" bits "位" and the kind, e.g. "640x480x24位 BMP位图". Throws ImageFileError for another
    // extension, a damaged file or a picture larger than kMaxSide; PicInfoStr is then unchanged.
    RgbImage LoadPic(const std::string& PathName);
    const std::string& GetLastLoadPicInfoStr() const { return PicInfoStr; }

  private:
    std::string PicInfoStr;
};

// The picture as an opaque RGB pixbuf, and back (any alpha is dropped). Throw
// std::invalid_argument for an empty picture or one larger than kMaxSide.
GObjectRef<GdkPixbuf> ImageToPixbuf(const RgbImage& picture);
RgbImage PixbufToImage(GdkPixbuf* pixbuf);

// Lays a width x height picture of premultiplied ARGB words (alpha in the top byte) over
// `target` with its top-left corner at (left, top); what falls outside `target` is left out.
void DrawPremultipliedOnto(RgbImage& target, int left, int top, int width, int height,
                           std::span<const std::uint32_t> argb);

// "YYYYMMDD-hhmmss.bmp" for the given local time.
std::string ExportFileName(const std::tm& local_time);

}  // namespace kivo::imaging
