#pragma once
// The screen, the pointer, the clipboard and the image program as the picture menu meets them.
#include <optional>
#include <string>

#include "imaging/rgb_image.h"
#include "imaging/tpic.h"

namespace kivo {

// Screens wider or taller than this are not captured.
inline constexpr int kLargestScreenSide = 8000;

// The primary monitor: its width x height copied from the screen at (0, 0). Throws with the
// reason when there is no display or the screen is larger than kLargestScreenSide.
imaging::RgbImage CaptureScreen();

// Draws the pointer as it shows now onto a picture of the screen whose top-left corner lies at
// (origin_x, origin_y). Returns false, drawing nothing, when the display cannot give the
// pointer's picture (no XFixes).
bool DrawCursorOnto(imaging::RgbImage& picture, int origin_x, int origin_y);

// The whole primary screen after WaitWithMessages(100), the pointer drawn in when asked, onto
// the clipboard or into a file (whose folder must exist). False on any failure.
bool CaptureToClipboard(bool draw_cursor);
bool CaptureToFile(const std::string& path, imaging::TSaveType save_type, bool draw_cursor);

// The clipboard's picture: put there, or taken (nothing when it holds none).
void PutOnClipboard(const imaging::RgbImage& picture);
std::optional<imaging::RgbImage> ClipboardPicture();

// Opens the file in the desktop's default program for bitmap pictures; false when there is
// none or it cannot be started.
bool OpenInImageProgram(const std::string& path);

// Loads CameraDll.so from the program folder, lets the user choose an area through its
// CameraSubArea and unloads it again. True only when the library answered 1: the area's
// picture is then on the clipboard. False when the library or its export is missing.
bool QuickAreaCapture(const std::string& app_path);

}  // namespace kivo
