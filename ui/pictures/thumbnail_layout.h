#pragma once
// The arithmetic behind the tab thumbnails, free of any window: which tab each cell of the 9-grid
// and of the 8-strip shows, where the cells lie, how a page picture is cut to a cell's shape, and
// where a tab's thumbnail file lives.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/rgb_image.h"

namespace kivo {

// The grid has 3 x 3 cells, the strip 8 in one row; both keep 10 pixels between cells and along
// every side.
inline constexpr int kGridColumns = 3;
inline constexpr int kGridRows = 3;
inline constexpr int kStripCells = 8;
inline constexpr int kCellGutter = 10;
// The cell's frame is this wide on each side; the picture fills what lies inside it.
inline constexpr int kCellBorder = 3;
// The caption bars above the cells and the strip's height.
inline constexpr int kGridCaptionHeight = 27;
inline constexpr int kStripCaptionHeight = 20;
inline constexpr int kStripHeight = 145;
// The close link of the strip ends this far from the right end of its caption bar.
inline constexpr int kStripCloseRight = 35;

struct CellRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// Cell `k` (0-based, row by row) of `columns` x `rows` cells of equal share inside a panel of
// width x height, with kCellGutter pixels between cells and along the sides. Leftover pixels of
// the division go one each to the first columns and rows, as the toolkit's grid gives them, so
// the cells reach the far margin exactly. A panel
// too small for the gutters gives cells of no size.
CellRect CellOf(int width, int height, int columns, int rows, int k);

// The tab index each grid cell shows: cell k (0-based) shows tab k, for the first nine tabs. No
// cell shows a tab when at most one is open (the grid is not offered then).
std::vector<int> GridCellTabs(int tab_count);

// The tab index each strip cell shows: the first nine tabs without the current one, as long as
// there are cells for them. Empty when at most one tab is open.
std::vector<int> StripCellTabs(int tab_count, int current_index);

// The height of the part of a page picture `picture_width` wide that has the shape of an image
// control image_width x image_height: trunc(picture_width x image_height / image_width). 0 when
// the control has no size.
int64_t ThumbnailCropHeight(int picture_width, int image_width, int image_height);

// The top of the page, cut to the control's shape: a picture as wide as `page` and
// ThumbnailCropHeight high, holding the page's top rows; where the page is shorter the rest is
// white. Throws std::invalid_argument when the control or the page has no size or the cut would
// be larger than a picture may be.
imaging::RgbImage CropThumbnail(const imaging::RgbImage& page, int image_width, int image_height);

// Reads a thumbnail file and cuts it as CropThumbnail does. Throws imaging::ImageFileError for a
// file that is missing, damaged or not a picture, std::invalid_argument as CropThumbnail.
imaging::RgbImage LoadThumbnailPicture(const std::string& file, int image_width, int image_height);

// The picture LoadThumbnailPicture cuts, scaled to image_width x image_height, each pixel the
// average of those it covers: what a cell shows. Reads only the rows the cut keeps, a few at a
// time. Throws as LoadThumbnailPicture does.
imaging::RgbImage LoadThumbnailScaled(const std::string& file, int image_width, int image_height);

// The thumbnail file the tab's worker writes after each completed page: `work_path` (ending
// with "/") + "WebImage/" + the decimal TabHandle.
std::string ThumbnailFile(const std::string& work_path, int32_t tab_handle);

// Which version of a file a picture was read from. The workers replace a thumbnail file whole
// (a new file renamed over the old), so a file with the same stamp holds the same picture.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t modified_ns = 0;
    std::int64_t size = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file's stamp; none when it cannot be found.
std::optional<FileStamp> StampOf(const std::string& file);

}  // namespace kivo
