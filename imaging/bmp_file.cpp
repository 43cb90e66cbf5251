#include "imaging/bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/unique_fd.h"

namespace kivo::imaging {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch
constexpr std::uint32_t kUncompressed = 0;       // BI_RGB
constexpr std::uint32_t kBitFields = 3;          // BI_BITFIELDS

std::size_t RowStride(std::size_t width, std::size_t bits_per_pixel) {
    return (width * bits_per_pixel + 31) / 32 * 4;
}

void Put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

std::uint16_t Get16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

[[noreturn]] void Damaged(const std::string& why) {
    throw ImageFileError("not a readable bitmap: " + why);
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

// The byte position (0..3) of a channel mask in a 32-bit pixel; only whole bytes are taken.
int MaskByte(std::uint32_t mask) {
    for (int i = 0; i < 4; ++i) {
        if (mask == (0xFFu << (8 * i)))
            return i;
    }
    Damaged("unsupported channel mask");
}

void WriteAll(int fd, std::span<const std::uint8_t> data, const std::string& path) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ImageFileError(SystemError("cannot write", path));
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp24(const RgbImage& image) {
    if (image.Empty())
        throw std::invalid_argument("an empty picture cannot be saved");
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const std::size_t height = static_cast<std::size_t>(image.Height());
    const std::size_t stride = RowStride(width, 24);
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize;
    const std::size_t pixel_bytes = stride * height;
    if (offset + pixel_bytes > 0xFFFFFFFFu) {
        throw std::invalid_argument("picture is too large for a bitmap file");
    }

    std::vector<std::uint8_t> file(offset + pixel_bytes, 0);
    std::uint8_t* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<std::uint32_t>(file.size()));
    Put32(p + 10, static_cast<std::uint32_t>(offset));
    p += kFileHeaderSize;
    Put32(p, kInfoHeaderSize);
    Put32(p + 4, static_cast<std::uint32_t>(width));
    Put32(p + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
    Put16(p + 12, 1);                                  // planes
    Put16(p + 14, 24);                                 // bits per pixel
    Put32(p + 16, kUncompressed);
    Put32(p + 20, static_cast<std::uint32_t>(pixel_bytes));
    Put32(p + 24, kPixelsPerMetre);
    Put32(p + 28, kPixelsPerMetre);
    // Colours used and important colours stay 0.

    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* source = image.Row(static_cast<int>(y));
        std::uint8_t* target = file.data() + offset + (height - 1 - y) * stride;
        for (std::size_t x = 0; x < width; ++x) {
            target[3 * x] = source[3 * x + 2];  // stored as B, G, R
            target[3 * x + 1] = source[3 * x + 1];
            target[3 * x + 2] = source[3 * x];
        }
    }
    return file;
}

RgbImage DecodeBmp(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFileHeaderSize + 4)
        Damaged("file is too short");
    if (bytes[0] != 'B' || bytes[1] != 'M')
        Damaged("no bitmap signature");
    const std::size_t pixel_offset = Get32(bytes, 10);
    const std::size_t header_size = Get32(bytes, kFileHeaderSize);
    if (header_size < kInfoHeaderSize || header_size > bytes.size() - kFileHeaderSize) {
        Damaged(header_size < kInfoHeaderSize ? "unsupported header" : "header is cut off");
    }
    const std::size_t h = kFileHeaderSize;
    const std::int64_t width = static_cast<std::int32_t>(Get32(bytes, h + 4));
    const std::int64_t signed_height = static_cast<std::int32_t>(Get32(bytes, h + 8));
    const std::uint16_t planes = Get16(bytes, h + 12);
    const std::uint16_t bits = Get16(bytes, h + 14);
    const std::uint32_t compression = Get32(bytes, h + 16);

    const bool top_down = signed_height < 0;
    const std::int64_t height = top_down ? -signed_height : signed_height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        Damaged("picture size out of range");
    }
    if (planes != 1)
        Damaged("plane count is not 1");
    if (bits != 24 && bits != 32)
        Damaged("only 24 and 32 bits per pixel are read");

    // Byte positions of red, green and blue within a pixel (blue first, as files store them).
    int red = 2, green = 1, blue = 0;
    if (compression == kBitFields && bits == 32) {
        // The masks follow a 40-byte header, or lie inside a larger one.
        const std::size_t masks = h + kInfoHeaderSize;
        if (masks + 12 > bytes.size())
            Damaged("channel masks are cut off");
        red = MaskByte(Get32(bytes, masks));
        green = MaskByte(Get32(bytes, masks + 4));
        blue = MaskByte(Get32(bytes, masks + 8));
        if (red == green || green == blue || red == blue)
            Damaged("overlapping channel masks");
    } else if (compression != kUncompressed) {
        Damaged("compressed bitmaps are not read");
    }

    const std::size_t bytes_per_pixel = bits / 8;
    const std::size_t stride = RowStride(static_cast<std::size_t>(width), bits);
    const std::size_t row_bytes = static_cast<std::size_t>(width) * bytes_per_pixel;
    if (pixel_offset < h + header_size || pixel_offset > bytes.size()) {
        Damaged("pixel data offset out of range");
    }
    // The last row need not carry its padding.
    const std::size_t needed = stride * static_cast<std::size_t>(height - 1) + row_bytes;
    if (bytes.size() - pixel_offset < needed)
        Damaged("pixel data is cut off");

    RgbImage image(static_cast<int>(width), static_cast<int>(height));
    for (std::int64_t y = 0; y < height; ++y) {
        const std::size_t file_row = static_cast<std::size_t>(top_down ? y : height - 1 - y);
        const std::uint8_t* source = bytes.data() + pixel_offset + file_row * stride;
        std::uint8_t* target = image.Row(static_cast<int>(y));
        for (std::int64_t x = 0; x < width; ++x, source += bytes_per_pixel, target += 3) {
            target[0] = source[red];
            target[1] = source[green];
            target[2] = source[blue];
        }
    }
    return image;
}

void WriteBmp24(const std::string& path, const RgbImage& image) {
    WriteWholeFile(path, EncodeBmp24(image));
}

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data) {
    // The new file is written beside the target so that the rename stays within one file system.
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        throw ImageFileError("no file name in \"" + path + "\"");
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; !fd.Valid(); ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++) + ".tmp";
        fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.Valid() && (errno != EEXIST || attempt > 100)) {
            throw ImageFileError(SystemError("cannot create a picture file next to", path));
        }
    }
    try {
        WriteAll(fd.Get(), data, path);
        // No fsync: these pictures are redrawn on every page and thrown away at shut-down;
        // readers only need never to see a half-written file, which the rename gives.
        if (::close(fd.Release()) != 0)
            throw ImageFileError(SystemError("cannot write", path));
        if (::rename(temporary.c_str(), path.c_str()) != 0) {
            throw ImageFileError(SystemError("cannot replace", path));
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

namespace {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        throw ImageFileError(SystemError("cannot open", path));
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw ImageFileError(SystemError("cannot read", path));
    if (!S_ISREG(info.st_mode))
        throw ImageFileError("\"" + path + "\" is not a file");

    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)));
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ImageFileError(SystemError("cannot read", path));
        if (n == 0)
            break;
        data.insert(data.end(), buffer, buffer + n);
    }
    return data;
}

RgbImage DecodeFile(std::span<const std::uint8_t> data, const std::string& path) {
    try {
        return DecodeBmp(data);
    } catch (const ImageFileError& error) {
        throw ImageFileError("\"" + path + "\" is " + error.what());
    }
}

// Whether the bytes are laid out exactly as EncodeBmp24 writes them: such a file is already
// what a re-encoding would give.
bool IsPlainBmp24(std::span<const std::uint8_t> data) {
    constexpr std::size_t offset = kFileHeaderSize + kInfoHeaderSize;
    if (data.size() < offset || data[0] != 'B' || data[1] != 'M' || Get32(data, 10) != offset)
        return false;
    const auto info = data.subspan(kFileHeaderSize);
    const std::uint32_t width = Get32(info, 4), height = Get32(info, 8);
    if (Get32(info, 0) != kInfoHeaderSize || width == 0 || height == 0 ||
        width > static_cast<std::uint32_t>(kMaxSide) ||
        height > static_cast<std::uint32_t>(kMaxSide) || Get16(info, 12) != 1 ||
        Get16(info, 14) != 24 || Get32(info, 16) != kUncompressed)
        return false;
    return data.size() == offset + RowStride(width, 24) * height;
}

}  // namespace

RgbImage ReadBmp(const std::string& path) {
    return DecodeFile(ReadFileBytes(path), path);
}

void ReencodeBitmap(const std::string& path) {
    const std::vector<std::uint8_t> data = ReadFileBytes(path);
    if (IsPlainBmp24(data))
        return;
    WriteBmp24(path, DecodeFile(data, path));
}

}  // namespace kivo::imaging
