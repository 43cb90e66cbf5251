#include "imaging/bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>

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

namespace {

// Where a file keeps its pixels, as its headers say.
struct BmpLayout {
    std::int64_t width = 0, height = 0;
    bool top_down = false;
    std::size_t pixel_offset = 0, stride = 0, bytes_per_pixel = 0;
    // Byte positions of red, green and blue within a pixel (blue first, as files store them).
    int red = 2, green = 1, blue = 0;

    // Where row y (counted from the top) starts, from the start of the file.
    std::size_t RowAt(std::int64_t y) const {
        return pixel_offset + static_cast<std::size_t>(top_down ? y : height - 1 - y) * stride;
    }
};

// Reads the headers from `head`, the file's first bytes, and checks them against the length of
// the whole file: every row the headers promise lies within the file.
BmpLayout ParseLayout(std::span<const std::uint8_t> head, std::size_t file_size) {
    if (head.size() < kFileHeaderSize + 4)
        Damaged("file is too short");
    if (head[0] != 'B' || head[1] != 'M')
        Damaged("no bitmap signature");
    BmpLayout layout;
    layout.pixel_offset = Get32(head, 10);
    const std::size_t header_size = Get32(head, kFileHeaderSize);
    if (header_size < kInfoHeaderSize || header_size > head.size() - kFileHeaderSize) {
        Damaged(header_size < kInfoHeaderSize ? "unsupported header" : "header is cut off");
    }
    const std::size_t h = kFileHeaderSize;
    layout.width = static_cast<std::int32_t>(Get32(head, h + 4));
    const std::int64_t signed_height = static_cast<std::int32_t>(Get32(head, h + 8));
    const std::uint16_t planes = Get16(head, h + 12);
    const std::uint16_t bits = Get16(head, h + 14);
    const std::uint32_t compression = Get32(head, h + 16);

    layout.top_down = signed_height < 0;
    layout.height = layout.top_down ? -signed_height : signed_height;
    if (layout.width <= 0 || layout.height <= 0 || layout.width > kMaxSide ||
        layout.height > kMaxSide) {
        Damaged("picture size out of range");
    }
    if (planes != 1)
        Damaged("plane count is not 1");
    if (bits != 24 && bits != 32)
        Damaged("only 24 and 32 bits per pixel are read");

    if (compression == kBitFields && bits == 32) {
        // The masks follow a 40-byte header, or lie inside a larger one.
        const std::size_t masks = h + kInfoHeaderSize;
        if (masks + 12 > head.size())
            Damaged("channel masks are cut off");
        layout.red = MaskByte(Get32(head, masks));
        layout.green = MaskByte(Get32(head, masks + 4));
        layout.blue = MaskByte(Get32(head, masks + 8));
        if (layout.red == layout.green || layout.green == layout.blue || layout.red == layout.blue)
            Damaged("overlapping channel masks");
    } else if (compression != kUncompressed) {
        Damaged("compressed bitmaps are not read");
    }

    layout.bytes_per_pixel = bits / 8;
    layout.stride = RowStride(static_cast<std::size_t>(layout.width), bits);
    const std::size_t row_bytes = static_cast<std::size_t>(layout.width) * layout.bytes_per_pixel;
    if (layout.pixel_offset < h + header_size || layout.pixel_offset > file_size) {
        Damaged("pixel data offset out of range");
    }
    // The last row need not carry its padding.
    const std::size_t needed =
        layout.stride * static_cast<std::size_t>(layout.height - 1) + row_bytes;
    if (file_size - layout.pixel_offset < needed)
        Damaged("pixel data is cut off");
    return layout;
}

// Copies `width` pixels of a file row into RGB order.
void TakeRow(const BmpLayout& layout, const std::uint8_t* source, std::uint8_t* target) {
    if (layout.bytes_per_pixel == 3 && layout.red == 2 && layout.green == 1 && layout.blue == 0) {
        // The files the workers write: fixed positions, which the compiler turns into a fast loop.
        for (std::int64_t x = 0; x < layout.width; ++x, source += 3, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
        return;
    }
    for (std::int64_t x = 0; x < layout.width; ++x, source += layout.bytes_per_pixel, target += 3) {
        target[0] = source[layout.red];
        target[1] = source[layout.green];
        target[2] = source[layout.blue];
    }
}

// Adds a file row's red, green and blue to the sums of their columns.
void AddRow(const BmpLayout& layout, const std::uint8_t* source, std::uint32_t* sums) {
    if (layout.bytes_per_pixel == 3 && layout.red == 2 && layout.green == 1 && layout.blue == 0) {
        for (std::int64_t x = 0; x < layout.width; ++x, source += 3, sums += 3) {
            sums[0] += source[2];
            sums[1] += source[1];
            sums[2] += source[0];
        }
        return;
    }
    for (std::int64_t x = 0; x < layout.width; ++x, source += layout.bytes_per_pixel, sums += 3) {
        sums[0] += source[layout.red];
        sums[1] += source[layout.green];
        sums[2] += source[layout.blue];
    }
}

// DecodeBmp for the top `top_rows(width)` rows of the picture (all of them when it has fewer).
RgbImage DecodeTop(std::span<const std::uint8_t> bytes,
                   const std::function<std::int64_t(int width)>& top_rows) {
    const BmpLayout layout = ParseLayout(bytes, bytes.size());
    const std::int64_t rows =
        top_rows
            ? std::clamp<std::int64_t>(top_rows(static_cast<int>(layout.width)), 0, layout.height)
            : layout.height;
    RgbImage image(static_cast<int>(layout.width), static_cast<int>(rows));
    for (std::int64_t y = 0; y < rows; ++y)
        TakeRow(layout, bytes.data() + layout.RowAt(y), image.Row(static_cast<int>(y)));
    return image;
}

}  // namespace

RgbImage DecodeBmp(std::span<const std::uint8_t> bytes) {
    return DecodeTop(bytes, {});
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

// Opens a picture file for reading; `size` gets its length. Throws ImageFileError naming the
// path for anything but a readable plain file.
UniqueFd OpenPictureFile(const std::string& path, std::size_t& size) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        throw ImageFileError(SystemError("cannot open", path));
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw ImageFileError(SystemError("cannot read", path));
    if (!S_ISREG(info.st_mode))
        throw ImageFileError("\"" + path + "\" is not a file");
    size = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));
    return fd;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::size_t size = 0;
    const UniqueFd fd = OpenPictureFile(path, size);

    // Read straight into place; a file that grows meanwhile is read to its end all the same.
    std::vector<std::uint8_t> data(size + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == data.size())
            data.resize(data.size() * 2);
        const ssize_t n = ::read(fd.Get(), data.data() + filled, data.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ImageFileError(SystemError("cannot read", path));
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    data.resize(filled);
    return data;
}

RgbImage DecodeFile(std::span<const std::uint8_t> data, const std::string& path,
                    const std::function<std::int64_t(int width)>& top_rows = {}) {
    try {
        return DecodeTop(data, top_rows);
    } catch (const ImageFileError& error) {
        throw ImageFileError("\"" + path + "\" is " + error.what());
    }
}

// Whether the bytes are laid out exactly as EncodeBmp24 writes them: such a file is already
// what a re-encoding would give.
// `head` holds the file's first bytes, `file_size` is its length.
bool IsPlainBmp24(std::span<const std::uint8_t> head, std::size_t file_size) {
    constexpr std::size_t offset = kFileHeaderSize + kInfoHeaderSize;
    if (head.size() < offset || head[0] != 'B' || head[1] != 'M' || Get32(head, 10) != offset)
        return false;
    const auto info = head.subspan(kFileHeaderSize);
    const std::uint32_t width = Get32(info, 4), height = Get32(info, 8);
    if (Get32(info, 0) != kInfoHeaderSize || width == 0 || height == 0 ||
        width > static_cast<std::uint32_t>(kMaxSide) ||
        height > static_cast<std::uint32_t>(kMaxSide) || Get16(info, 12) != 1 ||
        Get16(info, 14) != 24 || Get32(info, 16) != kUncompressed)
        return false;
    return file_size == offset + RowStride(width, 24) * height;
}

}  // namespace

RgbImage ReadBmp(const std::string& path) {
    return DecodeFile(ReadFileBytes(path), path);
}

namespace {

// Reads `size` bytes at `offset`; false when the file ends before them.
bool ReadAt(int fd, std::uint8_t* into, std::size_t size, std::size_t offset,
            const std::string& path) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, into, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ImageFileError(SystemError("cannot read", path));
        if (n == 0)
            return false;
        into += n;
        offset += static_cast<std::size_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The headers any file we read fit in; larger ones are taken as damage.
constexpr std::size_t kMostHeadBytes = 4096;

}  // namespace

RgbImage ReadBmpScaled(const std::string& path,
                       const std::function<std::int64_t(int width)>& crop_rows, int width,
                       int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        throw std::invalid_argument("the picture cannot be scaled to that size");
    std::size_t file_size = 0;
    const UniqueFd fd = OpenPictureFile(path, file_size);
    auto damaged = [&](const std::string& why) {
        return ImageFileError("\"" + path + "\" is not a readable bitmap: " + why);
    };

    std::vector<std::uint8_t> head(std::min(file_size, kMostHeadBytes));
    if (!ReadAt(fd.Get(), head.data(), head.size(), 0, path))
        throw damaged("file is too short");
    BmpLayout layout;
    try {
        layout = ParseLayout(head, file_size);
    } catch (const ImageFileError& error) {
        throw ImageFileError("\"" + path + "\" is " + error.what());
    }
    const std::int64_t crop = crop_rows(static_cast<int>(layout.width));
    if (crop <= 0 || crop > kMaxSide)
        throw std::invalid_argument("the picture cannot be cut to that many rows");

    // Target column tx covers file columns [first[tx], first[tx + 1]), at least one of them.
    const auto span = [](std::int64_t index, std::int64_t from, std::int64_t to) {
        return index * from / to;
    };
    std::vector<std::int64_t> first(static_cast<std::size_t>(width) + 1);
    for (int tx = 0; tx <= width; ++tx) first[tx] = span(tx, layout.width, width);

    RgbImage result(width, height);
    const std::size_t row_bytes = static_cast<std::size_t>(layout.width) * layout.bytes_per_pixel;
    std::vector<std::uint8_t> band;
    // Sums of red, green and blue down the file rows under one target row, column by column.
    std::vector<std::uint32_t> columns(static_cast<std::size_t>(layout.width) * 3);
    for (int ty = 0; ty < height; ++ty) {
        const std::int64_t y0 = span(ty, crop, height);
        const std::int64_t y1 = std::max(y0 + 1, span(ty + 1, crop, height));
        std::fill(columns.begin(), columns.end(), 0u);
        // The file's rows under this target row, read in one piece.
        const std::int64_t last = std::min(y1, layout.height);
        if (y0 < last) {
            const std::size_t start = std::min(layout.RowAt(y0), layout.RowAt(last - 1));
            const std::size_t end = std::max(layout.RowAt(y0), layout.RowAt(last - 1)) + row_bytes;
            band.resize(end - start);
            if (!ReadAt(fd.Get(), band.data(), band.size(), start, path))
                throw damaged("pixel data is cut off");
            for (std::int64_t y = y0; y < last; ++y)
                AddRow(layout, band.data() + (layout.RowAt(y) - start), columns.data());
        }
        // Below the picture's end the cut is white.
        if (y1 > layout.height) {
            const auto white = static_cast<std::uint32_t>(255 * (y1 - std::max(y0, layout.height)));
            for (std::uint32_t& sum : columns) sum += white;
        }
        std::uint8_t* target = result.Row(ty);
        for (int tx = 0; tx < width; ++tx) {
            const std::int64_t x0 = first[tx];
            const std::int64_t x1 = std::max(x0 + 1, first[tx + 1]);
            const std::uint64_t count = static_cast<std::uint64_t>((x1 - x0) * (y1 - y0));
            std::uint64_t r = 0, g = 0, b = 0;
            for (const std::uint32_t* sum = &columns[x0 * 3]; sum < &columns[x1 * 3]; sum += 3) {
                r += sum[0];
                g += sum[1];
                b += sum[2];
            }
            target[tx * 3] = static_cast<std::uint8_t>((r + count / 2) / count);
            target[tx * 3 + 1] = static_cast<std::uint8_t>((g + count / 2) / count);
            target[tx * 3 + 2] = static_cast<std::uint8_t>((b + count / 2) / count);
        }
    }
    return result;
}

RgbImage ReadBmpTop(const std::string& path, const std::function<std::int64_t(int width)>& rows) {
    return DecodeFile(ReadFileBytes(path), path, rows);
}

void ReencodeBitmap(const std::string& path) {
    {
        // Its headers and length tell whether the file is already as it would be written.
        std::size_t size = 0;
        const UniqueFd fd = OpenPictureFile(path, size);
        std::uint8_t head[kFileHeaderSize + kInfoHeaderSize];
        if (size >= sizeof head && ReadAt(fd.Get(), head, sizeof head, 0, path) &&
            IsPlainBmp24(head, size))
            return;
    }
    WriteBmp24(path, DecodeFile(ReadFileBytes(path), path));
}

}  // namespace kivo::imaging
