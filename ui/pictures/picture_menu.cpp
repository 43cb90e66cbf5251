#include "ui/pictures/picture_menu.h"

#include <unistd.h>

#include <array>
#include <ctime>
#include <filesystem>

#include "imaging/bmp_file.h"
#include "imaging/tpic.h"
#include "session/wait_messages.h"
#include "ui/dialogs/message_box.h"
#include "ui/pictures/screen_capture.h"

namespace kivo {

namespace {

bool FolderOfExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path).parent_path(), error);
}

}  // namespace

TPictureMenu::TPictureMenu(TLinks links, std::string app_path, std::string work_path)
    : links_(std::move(links)), app_path_(std::move(app_path)), work_path_(std::move(work_path)) {}

void TPictureMenu::Click(int group, int output) {
    using Handler = void (TPictureMenu::*)();
    static constexpr std::array<std::array<Handler, 3>, 3> kHandlers{{
        {&TPictureMenu::MenuItem8Click, &TPictureMenu::MenuItem9Click,
         &TPictureMenu::MenuItem10Click},
        {&TPictureMenu::MenuItem12Click, &TPictureMenu::MenuItem13Click,
         &TPictureMenu::MenuItem14Click},
        {&TPictureMenu::MenuItem16Click, &TPictureMenu::MenuItem17Click,
         &TPictureMenu::MenuItem18Click},
    }};
    if (group < 0 || group > 2 || output < 0 || output > 2)
        return;
    // Pictures that cannot be read or written say nothing, as the save failure is told where
    // it happens.
    try {
        (this->*kHandlers[group][output])();
    } catch (const std::exception&) {
    }
}

std::optional<std::string> TPictureMenu::PageSnapshot() {
    N_TRzTabSheet* tab = links_.ActiveTab();
    if (!tab || !tab->HasWebControl())
        return std::nullopt;
    const std::string path = work_path_ + "Temp/" + std::to_string(tab->TabHandle());
    // An older snapshot must not pass for this one when the worker fails to draw.
    ::unlink(path.c_str());
    tab->WebControl().SaveWebToPic(tab->TabHandle());
    if (!std::filesystem::is_regular_file(path))
        return std::nullopt;
    return path;
}

std::optional<std::string> TPictureMenu::ExecuteSavePic() {
    Gtk::FileChooserDialog dlgSavePic("保存图片", Gtk::FILE_CHOOSER_ACTION_SAVE);
    if (Gtk::Window* owner = links_.Owner())
        dlgSavePic.set_transient_for(*owner);
    dlgSavePic.add_button("取消", Gtk::RESPONSE_CANCEL);
    dlgSavePic.add_button("保存", Gtk::RESPONSE_ACCEPT);
    dlgSavePic.set_default_response(Gtk::RESPONSE_ACCEPT);
    auto filter = Gtk::FileFilter::create();
    filter->set_name("Bitmaps (*.bmp)");
    filter->add_pattern("*.bmp");
    filter->add_pattern("*.BMP");
    dlgSavePic.add_filter(filter);
    if (dlgSavePic.run() != Gtk::RESPONSE_ACCEPT)
        return std::nullopt;
    std::string name = dlgSavePic.get_filename();
    dlgSavePic.hide();
    if (name.empty())
        return std::nullopt;
    if (std::filesystem::path(name).extension().empty())
        name += ".bmp";
    if (!FolderOfExists(name))
        return std::nullopt;
    return name;
}

void TPictureMenu::SaveBitmap(const std::string& path, const imaging::RgbImage& picture) {
    try {
        imaging::TPic().SavePic(path, picture, imaging::TSaveType::stBitMap, 100);
    } catch (const std::exception&) {
        ShowMessageBox("保存失败请重试！", "提示", Gtk::MESSAGE_ERROR, MessageButtons::Ok,
                       links_.Owner());
    }
}

std::string TPictureMenu::TimestampedTempFile() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return work_path_ + "Temp/" + imaging::ExportFileName(local);
}

void TPictureMenu::MenuItem8Click() {
    const auto snapshot = PageSnapshot();
    if (!snapshot)
        return;
    if (const auto name = ExecuteSavePic())
        SaveBitmap(*name, imaging::ReadBmp(*snapshot));
}

void TPictureMenu::MenuItem9Click() {
    if (const auto snapshot = PageSnapshot())
        OpenInImageProgram(*snapshot);
}

void TPictureMenu::MenuItem10Click() {
    if (const auto snapshot = PageSnapshot())
        PutOnClipboard(imaging::ReadBmp(*snapshot));
}

std::optional<imaging::RgbImage> TPictureMenu::AreaPicture() {
    WaitWithMessages(100);
    if (!QuickAreaCapture(app_path_))
        return std::nullopt;
    return ClipboardPicture();
}

void TPictureMenu::MenuItem12Click() {
    if (const auto picture = AreaPicture()) {
        if (const auto name = ExecuteSavePic())
            SaveBitmap(*name, *picture);
    }
}

void TPictureMenu::MenuItem13Click() {
    const auto picture = AreaPicture();
    if (!picture)
        return;
    const std::string path = TimestampedTempFile();
    imaging::TPic().SavePic(path, *picture, imaging::TSaveType::stBitMap, 100);
    OpenInImageProgram(path);
}

void TPictureMenu::MenuItem14Click() {
    WaitWithMessages(100);
    QuickAreaCapture(app_path_);
}

void TPictureMenu::MenuItem16Click() {
    // At once: the menu may still show, as the user sees the screen when choosing.
    const imaging::RgbImage picture = CaptureScreen();
    if (const auto name = ExecuteSavePic())
        SaveBitmap(*name, picture);
}

void TPictureMenu::MenuItem17Click() {
    const std::string path = TimestampedTempFile();
    CaptureToFile(path, imaging::TSaveType::stBitMap, true);
    // Opened whether or not the picture could be taken.
    OpenInImageProgram(path);
}

void TPictureMenu::MenuItem18Click() {
    CaptureToClipboard(false);
}

}  // namespace kivo
