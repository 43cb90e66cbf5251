#include "imaging/rgb_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace kivo::imaging {

namespace {

void CheckSides(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        throw std::invalid_argument("picture size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is out of range");
    }
}

// One premultiplied channel laid over the background channel: c + (1 − a) × bg, rounded.
std::uint8_t Over(std::uint32_t channel, std::uint32_t alpha, std::uint32_t background) {
    const std::uint32_t value = channel + ((255 - alpha) * background + 127) / 255;
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(value, 255));
}

}  // namespace

RgbImage::RgbImage(int width, int height, Rgb fill) : width_(width), height_(height) {
    CheckSides(width, height);
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    if (fill.r == fill.g && fill.g == fill.b) {
        pixels_.assign(size, fill.r);  // white and the greys: one byte throughout
        return;
    }
    pixels_.resize(size);
    if (size == 0)
        return;
    // The first row pixel by pixel, the others as copies of it.
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (std::size_t i = 0; i < row; i += 3) {
        pixels_[i] = fill.r;
        pixels_[i + 1] = fill.g;
        pixels_[i + 2] = fill.b;
    }
    for (std::size_t at = row; at < size; at += row) std::memcpy(&pixels_[at], pixels_.data(), row);
}

RgbImage FitToSize(const RgbImage& image, int width, int height, Rgb fill) {
    RgbImage result(width, height, fill);
    const int columns = std::min(width, image.Width());
    const int rows = std::min(height, image.Height());
    for (int y = 0; y < rows; ++y) {
        std::memcpy(result.Row(y), image.Row(y), static_cast<std::size_t>(columns) * 3);
    }
    return result;
}

RgbImage FromPremultipliedArgb32(int width, int height, int stride,
                                 std::span<const std::uint8_t> bytes, Rgb background) {
    CheckSides(width, height);
    if (stride < width * 4)
        throw std::invalid_argument("stride is smaller than a row of pixels");
    if (height > 0 && bytes.size() < static_cast<std::size_t>(stride) * (height - 1) +
                                         static_cast<std::size_t>(width) * 4) {
        throw std::invalid_argument("pixel buffer is too short for its size");
    }
    RgbImage result(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = bytes.data() + static_cast<std::size_t>(stride) * y;
        std::uint8_t* target = result.Row(y);
        for (int x = 0; x < width; ++x, source += 4, target += 3) {
            std::uint32_t word;
            std::memcpy(&word, source, sizeof word);
            const std::uint32_t a = word >> 24;
            const std::uint32_t r = (word >> 16) & 0xFF;
            const std::uint32_t g = (word >> 8) & 0xFF;
            const std::uint32_t b = word & 0xFF;
            if (a == 255) {
                target[0] = static_cast<std::uint8_t>(r);
                target[1] = static_cast<std::uint8_t>(g);
                target[2] = static_cast<std::uint8_t>(b);
            } else {
                target[0] = Over(r, a, background.r);
                target[1] = Over(g, a, background.g);
                target[2] = Over(b, a, background.b);
            }
        }
    }
    return result;
}

}  // namespace kivo::imaging
