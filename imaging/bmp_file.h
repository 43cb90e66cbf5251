// Windows bitmap files: the page pictures the workers write and the main window reads.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/rgb_image.h"

namespace kivo::imaging {

// A picture file that cannot be written, read or understood; the text names the file.
class ImageFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The complete file: BITMAPFILEHEADER, BITMAPINFOHEADER, 24 bits per pixel, rows bottom-up, each
// padded to a multiple of four bytes, 2835 pixels per metre. Throws std::invalid_argument for an
// empty picture (a file of no pixels is no picture).
std::vector<std::uint8_t> EncodeBmp24(const RgbImage& image);

// Uncompressed 24- or 32-bit files (32-bit also with byte-sized channel masks), bottom-up or
// top-down. The alpha byte of 32-bit files is ignored. Throws ImageFileError for anything else
// or for a damaged file; never reads outside `bytes`.
RgbImage DecodeBmp(std::span<const std::uint8_t> bytes);

// Writes EncodeBmp24(image) to a new file in the same folder and renames it over `path`, so a
// reader finds either the previous file or the whole new one. Throws ImageFileError naming the
// path (for example when its folder does not exist), std::invalid_argument for an empty picture.
void WriteBmp24(const std::string& path, const RgbImage& image);

// Writes `data` to a new file in the same folder and renames it over `path`. Throws
// ImageFileError naming the path when any step fails; `path` is then untouched.
void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data);

// Throws ImageFileError when the file cannot be read or is not a picture DecodeBmp takes.
RgbImage ReadBmp(const std::string& path);

// As ReadBmp, but only the picture's top `rows(width)` rows are taken (all of them when it has
// fewer); the file is still checked whole.
RgbImage ReadBmpTop(const std::string& path, const std::function<std::int64_t(int width)>& rows);

// The picture's top `crop_rows(width)` rows (white below its end when it has fewer), shrunk or
// stretched to width x height: each pixel is the average of the file's pixels it covers. Only
// those rows are read, a few at a time, so a large file costs no large memory. Throws
// ImageFileError as ReadBmp does (also for a file cut short while it is read), and
// std::invalid_argument for a size or a number of rows out of range.
RgbImage ReadBmpScaled(const std::string& path,
                       const std::function<std::int64_t(int width)>& crop_rows, int width,
                       int height);

// Reads the picture file and writes it back under the same path as a 24-bit file. The new file
// replaces the old one in one step: when the write fails the old file is still there.
void ReencodeBitmap(const std::string& path);

}  // namespace kivo::imaging
