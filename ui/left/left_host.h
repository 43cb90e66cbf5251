#pragma once
// What the regions of the left panel (the catalogue trees, the history, the mini-games and the
// favorites) need of the window around them. The window hands each region one of these; a region
// never reaches into the window otherwise.
#include <string>

namespace Gtk {
class Window;
}

namespace kivo {

namespace data {
class TDISQLite3Database;
}

class TLeftPanelHost {
public:
    virtual ~TLeftPanelHost() = default;

    // The program's database connection; null when it could not be opened.
    virtual data::TDISQLite3Database* Database() = 0;
    // Opens a free address in a new tab of its own (the free form of OpenGame). Errors are
    // reported by the window as any opening's are.
    virtual void OpenGame(const std::string& url, const std::string& post_data,
                          const std::string& cache_dir) = 0;
    // Opens a catalogue address once, in a new temporary session of its own; the new tab
    // belongs to the address `url_id`. Errors are reported as OpenGame's are.
    virtual void OpenAddress(const std::string& url_id, const std::string& url) = 0;
    // The active tab's page, for adding it to the catalogue or the favorites ("" without one).
    virtual std::string ActivePageUrl() = 0;
    virtual std::string ActivePageTitle() = 0;

    // The shared prompts, owned by the main window.
    virtual bool InputBox(const std::string& caption, const std::string& prompt,
                          std::string& text, int max_length, bool masked) = 0;
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
    // The window dialogs are made transient for.
    virtual Gtk::Window& Owner() = 0;
};

}  // namespace kivo
