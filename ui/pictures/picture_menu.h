#pragma once
// TPictureMenu, the nine items of the picture menu: the current web page, an area of the screen
// chosen by the user or the whole screen, each to a file, to the image program or to the
// clipboard.
#include <gtkmm.h>

#include <functional>
#include <optional>
#include <string>

#include "imaging/rgb_image.h"
#include "ui/tabs/tab_sheet.h"

namespace kivo {

class TPictureMenu {
  public:
    struct TLinks {
        // The current tab, null when none is open.
        std::function<N_TRzTabSheet*()> ActiveTab;
        // The window the save dialog and messages belong to.
        std::function<Gtk::Window*()> Owner;
    };

    // `app_path`: the program folder, which holds the area chooser; `work_path`: the folder of
    // "Temp/" (see WorkPath). Both end with "/".
    TPictureMenu(TLinks links, std::string app_path, std::string work_path);

    // Group 0 web page, 1 screen area, 2 full screen; output 0 file, 1 image program,
    // 2 clipboard.
    void Click(int group, int output);

    void MenuItem8Click();
    void MenuItem9Click();
    void MenuItem10Click();
    void MenuItem12Click();
    void MenuItem13Click();
    void MenuItem14Click();
    void MenuItem16Click();
    void MenuItem17Click();
    void MenuItem18Click();

  private:
    // Has the current tab's worker draw its page into the tab's snapshot file; its path when
    // the file is there afterwards.
    std::optional<std::string> PageSnapshot();
    // The user's choice of an area of the screen, through the clipboard; nothing when cancelled.
    std::optional<imaging::RgbImage> AreaPicture();
    // dlgSavePic: the chosen name, ".bmp" added when it has no extension; nothing when
    // cancelled or when the chosen name's folder does not exist.
    std::optional<std::string> ExecuteSavePic();
    // Writes a 24-bit bitmap; a failure is told to the user.
    void SaveBitmap(const std::string& path, const imaging::RgbImage& picture);
    // WorkPath + "Temp/" + the current local time's "YYYYMMDD-hhmmss.bmp".
    std::string TimestampedTempFile() const;

    TLinks links_;
    std::string app_path_;
    std::string work_path_;
};

}  // namespace kivo
