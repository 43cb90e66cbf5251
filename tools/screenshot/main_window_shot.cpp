// Takes the pictures of the README: the real window in this process, maximised, with a small
// catalogue of games in the left panel, as it stands on the screen. The main picture has tabs
// on the built-in pages served by real workers; with --grid the picture is of the thumbnail
// grid over nine tabs on pages that look like games, which the tool writes itself.
// Usage: main_window_shot [--grid] WORKER PICTURE.png
// Run it from a program folder of its own (scripts/screenshot.sh prepares one) with HOME and
// the XDG folders pointing at a scratch folder: it registers WORKER as the worker server in the
// user's settings, and the window keeps its session folders next to the executable.
#include <gtkmm.h>
// After gtkmm: the X headers define macros that clash with it.
#include <gdk/gdkx.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/identity.h"
#include "data/data_module.h"
#include "data/guid.h"
#include "data/statements.h"
#include "platform/paths.h"
#include "platform/user_settings.h"
#include "tools/screenshot/game_pages.h"
#include "tools/screenshot/window_shot.h"
#include "ui/frm_mult_open_app.h"
#include "ui/tab_rules.h"
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

}  // namespace

int main(int argc, char** argv) {
    const bool grid = argc == 4 && std::string(argv[1]) == "--grid";
    if (argc != 3 && !grid) {
        std::cerr << "usage: " << argv[0] << " [--grid] WORKER PICTURE.png\n";
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
