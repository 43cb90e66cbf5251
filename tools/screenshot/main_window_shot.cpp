// Takes the pictures of the README: the real window in this process, maximised, with a small
// catalogue of games in the left panel, as it stands on the screen. The main picture has tabs
// on the built-in pages served by real workers; with --grid the picture is of the thumbnail
// grid over nine tabs on pages that look like games, which the tool writes itself.
// With --dialogs it pictures the two dialogs of saving an account instead: the address dialog
// and the capture dialog over a login page the tool writes itself, as the toolbar's
// "保存登录表单" opens them, into FOLDER/save-url.png and FOLDER/capture.png.
// Usage: main_window_shot [--grid] WORKER PICTURE.png
//        main_window_shot --dialogs WORKER FOLDER
// Run it from a program folder of its own (scripts/screenshot.sh prepares one) with HOME and
// the XDG folders pointing at a scratch folder: it registers WORKER as the worker server in the
// user's settings, and the window keeps its session folders next to the executable.
#include <gtkmm.h>
// After gtkmm: the X headers define macros that clash with it.
#include <gdk/gdkx.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/identity.h"
#include "data/data_module.h"
#include "data/guid.h"
#include "data/statements.h"
#include "platform/paths.h"
#include "platform/user_settings.h"
#include "tools/screenshot/game_pages.h"
#include "tools/screenshot/window_shot.h"
#include "ui/accounts/frm_save_table.h"
#include "ui/catalogue/frm_save_url.h"
#include "ui/frm_mult_open_app.h"
#include "ui/dialogs/message_box.h"
#include "session/tab_rules.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/registration.h"

namespace {

using namespace std::chrono_literals;
using kivo::N_TRzTabSheet;
using kivo::TFrmMultOpenApp;
using kivo::shot::WaitUntil;

constexpr const char* kSearchKeyword = "网页游戏";

// Fails the run with a reason; the caller's clean-up still happens.
struct ShotFailed {
    std::string reason;
};

void Require(bool condition, const std::string& reason) {
    if (!condition)
        throw ShotFailed{reason};
}

// Waits for the tab's page to complete: its hint leaves the loading caption for the title.
void WaitForPage(N_TRzTabSheet* tab, const std::string& what) {
    Require(tab != nullptr, "no tab for " + what);
    Require(WaitUntil([tab] { return tab->Hint() != kivo::kLoadingCaption; }, 30s),
            "the page did not complete: " + what);
}

// A few games with their servers, for the catalogue tree of the left panel.
struct ShotAddress {
    const char* name;
    const char* hint;
    const char* url;
};
struct ShotGame {
    const char* name;
    std::vector<ShotAddress> addresses;
};

void SeedCatalogue(kivo::data::TDISQLite3Database& db) {
    using namespace kivo::data;
    const std::vector<ShotGame> games = {
        {"三国群英传",
         {{"电信一区 赤壁", "", "http://s1.sanguo.example/"},
          {"电信二区 官渡", "新区", "http://s2.sanguo.example/"},
          {"网通一区 长坂", "", "http://n1.sanguo.example/"}}},
        {"梦幻西游记",
         {{"双线一服", "", "http://s1.xiyou.example/"},
          {"双线二服", "", "http://s2.xiyou.example/"}}},
        {"仙剑奇缘", {{"首服 蜀山", "火爆", "http://s1.xianjian.example/"}}},
    };
    db.StartTransaction();
    for (const ShotGame& game : games) {
        const std::string game_id = NewGuidString();
        auto insert_game = db.Prepare16(sql::kInsertGame);
        insert_game.Bind_Str(1, game.name);
        insert_game.Bind_Str(2, "");
        insert_game.Bind_Int(3, 1);
        insert_game.Bind_Str(4, game_id);
        insert_game.Step();
        for (const ShotAddress& address : game.addresses) {
            auto insert_url = db.Prepare16(sql::kInsertGameUrl);
            insert_url.Bind_Str(1, game_id);
            insert_url.Bind_Str(2, address.name);
            insert_url.Bind_Str(3, address.hint);
            insert_url.Bind_Str(4, address.url);
            insert_url.Bind_Str(5, NewGuidString());
            insert_url.Step();
        }
    }
    db.Commit();
}

// Maximises the window and waits until it fills the screen.
void ShowMaximised(TFrmMultOpenApp& window) {
    // Maximised before its first showing, so the maximise maps the window only once. Toggled
    // on a window already mapped, the unmap of its hide reaches this process after the show
    // and reads as a minimise to the tray.
    gtk_widget_realize(GTK_WIDGET(window.gobj()));
    Gdk::Rectangle area;
    window.get_display()->get_monitor_at_window(window.get_window())->get_workarea(area);
    window.btnMaxClick();
    Require(WaitUntil(
                [&] {
                    return window.get_mapped() && window.WindowMaximized() &&
                           window.get_allocated_width() == area.get_width() &&
                           window.get_allocated_height() == area.get_height();
                },
                10s),
            "the main window did not fill the screen");
    WaitUntil([] { return false; }, 300ms);
    Require(!window.InTray() && window.get_mapped(), "the main window went to the tray");
}

// Makes the first tab current and waits until its worker has drawn the page into it.
void ShowFirstTab(TFrmMultOpenApp& window) {
    window.ActivateTab(0);
    N_TRzTabSheet* first = window.ActiveTab();
    Require(first == window.Tab(0), "the first tab did not become active");
    // The worker's view paints the tab's window some time after the page completed.
    Require(WaitUntil([&] { return !kivo::shot::SingleColour(kivo::shot::GrabScreenArea(*first)); },
                      15s),
            "the first page was never drawn in its tab");
}

void SaveWindow(TFrmMultOpenApp& window, const std::string& out) {
    WaitUntil([] { return false; }, 2s);  // the last frames of the views and the tab strip
    const Glib::RefPtr<Gdk::Pixbuf> picture = kivo::shot::GrabScreenArea(window);
    Require(picture && !kivo::shot::SingleColour(picture), "the window could not be read");
    picture->save(out, "png");
    std::cout << "main_window_shot: " << picture->get_width() << "x" << picture->get_height()
              << ", " << window.TabCount() << " tabs, saved to " << out << '\n';
}

void TakeMainPicture(TFrmMultOpenApp& window, const std::string& out) {
    ShowMaximised(window);
    window.actOpenMainUrlExecute();
    WaitForPage(window.ActiveTab(), "the home page");
    WaitForPage(window.OpenGame(
                    kivo::OfflineSearchAddress() + Glib::uri_escape_string(kSearchKeyword), "", ""),
                "the search page");
    WaitForPage(window.OpenGame(kivo::MakerUrl("/explorer/u_1.0.html"), "", ""), "the probe page");
    window.actOpenMainUrlExecute();
    WaitForPage(window.ActiveTab(), "the second home page");
    window.actLoadWebGamePnl();
    Require(window.TabCount() == 4, "expected 4 tabs, found " + std::to_string(window.TabCount()));

    ShowFirstTab(window);
    Require(window.AddressText() == kivo::MakerUrl("/news/"),
            "the first tab shows " + window.AddressText() + ", not the home page");
    SaveWindow(window, out);
}

// Nine tabs on the game pages, the grid shown with a picture in every cell and the pointer on
// the fifth, whose frame lights up and whose tab's name the caption bar shows.
void TakeGridPicture(TFrmMultOpenApp& window, const std::string& out) {
    ShowMaximised(window);
    const std::vector<std::string> pages =
        kivo::shot::WriteGamePages(kivo::AppPath() + "ShotGames/");
    for (const std::string& page : pages) WaitForPage(window.OpenGame(page, "", ""), page);
    Require(window.TabCount() == static_cast<int>(pages.size()),
            "expected " + std::to_string(pages.size()) + " tabs, found " +
                std::to_string(window.TabCount()));
    window.actLoadWebGamePnl();
    ShowFirstTab(window);

    kivo::TThumbnailGrid& grid = window.ThumbnailGrid();
    grid.spSC9Click();
    Require(grid.Showing(), "the grid did not show");
    Require(WaitUntil(
                [&] {
                    if (grid.Loading())
                        return false;
                    for (int k = 0; k < 9; ++k)
                        if (!grid.Cell(k).HasPicture())
                            return false;
                    return true;
                },
                60s),
            "the grid's cells did not all get a picture");
    grid.img1MouseEnter(4);
    for (int k = 0; k < 9; ++k)
        Require(
            WaitUntil(
                [&] { return !kivo::shot::SingleColour(kivo::shot::GrabScreenArea(grid.Cell(k))); },
                15s),
            "cell " + std::to_string(k + 1) + " was never drawn");
    SaveWindow(window, out);
}

// A login page with its fields typed in already, as a user leaves it before saving the form.
std::string WriteLoginPage(const std::string& folder) {
    kivo::MakeFolders(folder);
    const std::string path = folder + "login.html";
    std::ofstream(path) << R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>三国群英传 登录</title>
<style>body{font-family:sans-serif;background:#3b1f0e;color:#f5e6c8;text-align:center}
form{display:inline-block;margin-top:120px;padding:24px 40px;background:#6b3a1a;border-radius:8px}
input{display:block;margin:10px auto;padding:6px;width:200px}</style></head>
<body><form><h2>三国群英传 · 电信一区</h2>
<input id="username" name="username" value="zhaoyun01">
<input id="password" name="password" type="password" value="changban">
<button type="button">登录</button></form></body></html>
)";
    return "file://" + path;
}

// The button of the window with that accessible name, as a user finds it by its caption.
Gtk::Button* FindButton(Gtk::Widget& widget, const std::string& name) {
    auto* button = dynamic_cast<Gtk::Button*>(&widget);
    if (button && button->get_accessible()->get_name() == name)
        return button;
    if (auto* container = dynamic_cast<Gtk::Container*>(&widget))
        for (Gtk::Widget* child : container->get_children())
            if (Gtk::Button* found = FindButton(*child, name))
                return found;
    return nullptr;
}

// Waits for the dialog to be on the screen and drawn, then saves its picture.
void SaveDialog(Gtk::Window& dialog, const std::string& out) {
    Require(WaitUntil([&] { return dialog.get_mapped(); }, 10s), "the dialog did not show");
    WaitUntil([] { return false; }, 1s);  // its first frames
    const Glib::RefPtr<Gdk::Pixbuf> picture = kivo::shot::GrabScreenArea(dialog);
    Require(picture && !kivo::shot::SingleColour(picture), "the dialog could not be read");
    picture->save(out, "png");
    std::cout << "main_window_shot: " << picture->get_width() << "x" << picture->get_height()
              << " saved to " << out << '\n';
}

// The toolbar's "保存登录表单" over a page not yet in the catalogue: the notice is answered,
// the address dialog pictured and confirmed with the first game, then the capture dialog
// pictured and closed. The dialogs are modal, so the steps run from the main loop meanwhile.
void TakeDialogPictures(TFrmMultOpenApp& window, const std::string& folder) {
    ShowMaximised(window);
    window.actLoadWebGamePnl();
    WaitForPage(window.OpenGame(WriteLoginPage(kivo::AppPath() + "ShotLogin/"), "", ""),
                "the login page");
    ShowFirstTab(window);
    std::string failure;
    const auto give_up = std::chrono::steady_clock::now() + 60s;
    bool address_taken = false, capture_taken = false;
    auto step = Glib::signal_timeout().connect(
        [&] {
            try {
                using kivo::accounts::TFrmSaveTable;
                using kivo::catalogue::TFrmSaveUrl;
                if (Gtk::Dialog* notice = kivo::ActiveMessageBox()) {
                    notice->response(Gtk::RESPONSE_OK);
                } else if (TFrmSaveUrl* form = TFrmSaveUrl::Active();
                           form && form->get_mapped() && !address_taken) {
                    address_taken = true;
                    form->cbbGameList.set_active(0);
                    SaveDialog(*form, folder + "/save-url.png");
                    form->btnOpen.clicked();
                } else if (TFrmSaveTable* capture = TFrmSaveTable::Active();
                           capture && capture->get_mapped() && !capture->Fields().empty() &&
                           !capture_taken) {
                    capture_taken = true;
                    SaveDialog(*capture, folder + "/capture.png");
                    capture->btnCloseClick();
                } else if (std::chrono::steady_clock::now() > give_up) {
                    failure = "the dialogs did not come as expected";
                    for (Gtk::Dialog* open : {static_cast<Gtk::Dialog*>(TFrmSaveUrl::Active()),
                                              static_cast<Gtk::Dialog*>(TFrmSaveTable::Active())})
                        if (open)
                            open->response(Gtk::RESPONSE_CANCEL);
                }
            } catch (const ShotFailed& failed) {
                failure = failed.reason;
            }
            return true;
        },
        200);
    Gtk::Button* save_form = FindButton(window, "保存登录表单");
    Require(save_form != nullptr, "no button 保存登录表单");
    save_form->clicked();
    step.disconnect();
    Require(failure.empty(), failure);
    Require(address_taken, "the address dialog did not show");
    Require(capture_taken, "the capture dialog did not show the page's fields");
}

}  // namespace

int main(int argc, char** argv) {
    const bool grid = argc == 4 && std::string(argv[1]) == "--grid";
    const bool dialogs = argc == 4 && std::string(argv[1]) == "--dialogs";
    if (argc != 3 && !grid && !dialogs) {
        std::cerr << "usage: " << argv[0] << " [--grid] WORKER PICTURE.png\n"
                  << "       " << argv[0] << " --dialogs WORKER FOLDER\n";
        return 2;
    }
    const std::string worker = argv[argc - 2];
    const std::string out = argv[argc - 1];
    if (!gtk_init_check(nullptr, nullptr)) {
        std::cerr << "main_window_shot: cannot open the display; set DISPLAY to an X server\n";
        return 1;
    }
    Gtk::Main::init_gtkmm_internals();
    // As in the main process: the workers find the window by its class, and an X error about
    // a worker's window that is already gone must not end this one.
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    gdk_set_program_class(kivo::kMainWindowClass);
    Glib::set_application_name(kivo::kApplicationTitle);

    int status = 0;
    try {
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, worker);
        for (const char* folder : {"Temp/", "WebImage/"})
            kivo::MakeFolders(kivo::WorkPath() + folder);
        kivo::data::TData data(
            kivo::Writable().Database, [](const std::string& text, const std::string& title) {
                std::cerr << "main_window_shot: " << title << ": " << text << '\n';
            });
        SeedCatalogue(data.FDatabase);
        auto window = std::make_unique<TFrmMultOpenApp>(&data.FDatabase);
        // No dialog may wait for an answer nobody gives.
        window->Confirm = [](const std::string&, const std::string&) { return false; };
        window->InputBox = [](const std::string&, const std::string&, std::string&, int, bool) {
            return false;
        };
        window->ShowError = [&status](const std::string& text, const std::string& caption) {
            std::cerr << "main_window_shot: " << caption << ": " << text << '\n';
            status = 1;
        };
        window->Quit = [] {};
        try {
            if (grid)
                TakeGridPicture(*window, out);
            else if (dialogs)
                TakeDialogPictures(*window, out);
            else
                TakeMainPicture(*window, out);
        } catch (const ShotFailed& failure) {
            std::cerr << "main_window_shot: " << failure.reason << '\n';
            status = 1;
        } catch (const std::exception& e) {  // a worker that cannot start
            std::cerr << "main_window_shot: " << e.what() << '\n';
            status = 1;
        } catch (const Glib::Error& e) {  // the picture cannot be saved
            std::cerr << "main_window_shot: " << e.what() << '\n';
            status = 1;
        }
        // Closes every tab, waits for the workers to end and removes the session folders.
        window->actAppHaltExecute();
        window.reset();
    } catch (const std::exception& e) {
        std::cerr << "main_window_shot: " << e.what() << '\n';
        status = 1;
    }
    return status;
}
