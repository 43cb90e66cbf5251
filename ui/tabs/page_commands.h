#pragma once
// TPageCommands: what the browser keys do to the active tab, whether they were pressed in the
// window's own controls or inside the page, whose worker hands them on: reload (the refresh
// button's way, so a page that was the answer to a form asks before sending it again), the
// find bar, and the page's zoom, which the status bar shows.
#include <gtkmm.h>

#include <functional>

#include "ui/tabs/tab_sheet.h"
#include "webcontrol/browser_keys.h"

namespace kivo {

class TPageCommands : public sigc::trackable {
  public:
    struct TLinks {
        std::function<N_TRzTabSheet*()> ActiveTab;
        // The refresh button's click.
        std::function<void()> Refresh;
        // Ctrl+F: the find bar.
        std::function<void()> OpenFind;
        std::function<void(int percent)> ShowZoom;
        // After a failed call: the tab shows its page ended when its worker has gone.
        std::function<void(N_TRzTabSheet* tab)> MarkIfWorkerGone;
    };

    explicit TPageCommands(TLinks links) : links_(std::move(links)) {}

    // A key pressed in the window: runs it and returns true when it is a browser key.
    bool HandleKey(const GdkEventKey* event);
    // A browser key the worker of `TabHandle` handed on: runs once the worker's call is over,
    // on that tab when it is still the active one.
    void RunFromPage(int32_t command, int32_t TabHandle);
    void Run(BrowserCommand command);
    // Shows the active tab's zoom (another tab became current). The tab remembers it: this may
    // run while a worker is busy making a page, which a call must not wait for.
    void ShowActiveZoom();

  private:
    void Zoom(BrowserCommand command);

    TLinks links_;
};

}  // namespace kivo
