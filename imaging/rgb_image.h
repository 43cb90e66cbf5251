// An 8-bit RGB picture held in memory, and the conversions the page pictures need: cutting to a
// size and taking over the 32-bit premultiplied ARGB pixels a drawing surface produces.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kivo::imaging {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};

// The largest width or height a picture may have; larger sizes are taken as damage.
inline constexpr int kMaxSide = 32768;

// Width × height pixels, rows from top to bottom, three bytes R, G, B per pixel, no padding.
class RgbImage {
  public:
    RgbImage() = default;
    // Throws std::invalid_argument for a negative side or one above kMaxSide.
    RgbImage(int width, int height, Rgb fill = kWhite);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    Rgb At(int x, int y) const {
        const std::uint8_t* p = &pixels_[Offset(x, y)];
        return {p[0], p[1], p[2]};
    }
    void Set(int x, int y, Rgb colour) {
        std::uint8_t* p = &pixels_[Offset(x, y)];
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
    }

    // The bytes of row y (3 × Width() of them).
    std::uint8_t* Row(int y) { return pixels_.data() + Offset(0, y); }
    const std::uint8_t* Row(int y) const { return pixels_.data() + Offset(0, y); }

    friend bool operator==(const RgbImage&, const RgbImage&) = default;

  private:
    std::size_t Offset(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)) *
               3;
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

// The picture cut to width × height from its top-left corner; where the source is smaller the
// rest is `fill`. Throws std::invalid_argument for sizes RgbImage refuses.
RgbImage FitToSize(const RgbImage& image, int width, int height, Rgb fill = kWhite);

// Takes over pixels laid out as 32-bit words in the machine's byte order, alpha in the top byte,
// colours premultiplied by alpha (the usual ARGB32 layout of drawing surfaces), `stride` bytes
// from one row to the next. Pixels that are not fully opaque are laid over `background`, so an
// opaque picture comes out unchanged. Throws std::invalid_argument when `bytes` is too short for
// the given sizes or the stride is smaller than a row.
RgbImage FromPremultipliedArgb32(int width, int height, int stride,
                                 std::span<const std::uint8_t> bytes, Rgb background = kWhite);

}  // namespace kivo::imaging
