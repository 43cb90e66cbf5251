#include "ui/pictures/thumbnail_layout.h"

#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>

#include "imaging/bmp_file.h"

namespace kivo {

namespace {

// Where cell `i` of `count` starts along a side of `length`, and how long it is.
std::pair<int, int> Span(int length, int count, int i) {
    const int room = std::max(0, length - kCellGutter * (count + 1));
    const int share = room / count;
    const int extra =
        room % count;  // one more pixel each for the first cells, as the toolkit lays them out
    const int start = kCellGutter + i * (share + kCellGutter) + std::min(i, extra);
    const int size = share + (i < extra ? 1 : 0);
    return {start, size};
}

}  // namespace

CellRect CellOf(int width, int height, int columns, int rows, int k) {
    const auto [x, w] = Span(width, columns, k % columns);
    const auto [y, h] = Span(height, rows, k / columns);
    return {x, y, w, h};
}

std::vector<int> GridCellTabs(int tab_count) {
    std::vector<int> tabs;
    if (tab_count <= 1)
        return tabs;
    for (int i = 0; i <= std::min(tab_count - 1, kGridColumns * kGridRows - 1); ++i)
        tabs.push_back(i);
    return tabs;
}

std::vector<int> StripCellTabs(int tab_count, int current_index) {
    std::vector<int> tabs;
    if (tab_count <= 1)
        return tabs;
    for (int i = 0; i <= std::min(tab_count - 1, 8); ++i) {
        if (i == current_index)
            continue;
        if (static_cast<int>(tabs.size()) == kStripCells)
            break;  // no ninth cell
        tabs.push_back(i);
    }
    return tabs;
}

int64_t ThumbnailCropHeight(int picture_width, int image_width, int image_height) {
    if (image_width <= 0 || image_height <= 0 || picture_width <= 0)
        return 0;
    return static_cast<int64_t>(picture_width) * image_height / image_width;
}

imaging::RgbImage CropThumbnail(const imaging::RgbImage& page, int image_width, int image_height) {
    const int64_t height = ThumbnailCropHeight(page.Width(), image_width, image_height);
    if (height <= 0 || height > imaging::kMaxSide)
        throw std::invalid_argument("the picture cannot be cut to the cell's shape");
    return imaging::FitToSize(page, page.Width(), static_cast<int>(height));
}

imaging::RgbImage LoadThumbnailPicture(const std::string& file, int image_width, int image_height) {
    // A control of no size takes no picture: nothing is read for it.
    if (image_width <= 0 || image_height <= 0)
        throw std::invalid_argument("the cell has no size");
    // Only the rows the cut keeps are taken from the file.
    const imaging::RgbImage top = imaging::ReadBmpTop(
        file, [&](int width) { return ThumbnailCropHeight(width, image_width, image_height); });
    return CropThumbnail(top, image_width, image_height);
}

imaging::RgbImage LoadThumbnailScaled(const std::string& file, int image_width, int image_height) {
    if (image_width <= 0 || image_height <= 0)
        throw std::invalid_argument("the cell has no size");
    return imaging::ReadBmpScaled(
        file, [&](int width) { return ThumbnailCropHeight(width, image_width, image_height); },
        image_width, image_height);
}

std::string ThumbnailFile(const std::string& work_path, int32_t tab_handle) {
    return work_path + "WebImage/" + std::to_string(tab_handle);
}

std::optional<FileStamp> StampOf(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        static_cast<std::int64_t>(info.st_size)};
}

}  // namespace kivo
