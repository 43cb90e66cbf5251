#pragma once
// What the regions of the left panel (the catalogue trees, the history, the mini-games and the
// favorites) need of the window around them. The window hands each region one of these; a region
// never reaches into the window otherwise.
#include <string>

#include "data/catalogue/catalogue_node.h"

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
    // Opens the address of a catalogue node or history entry `node` (`parent` is the node above
    // it, null at the top) once per account chosen for `user_id`, or once in a new temporary
    // session when none is; each tab belongs to the address, and the opening is recorded in the
    // history. Errors are reported as the free form's are.
    virtual void OpenGame(const catalogue::CatalogueNode& node,
                          const catalogue::CatalogueNode* parent, const std::string& user_id) = 0;
    // The same once for every saved account of the address, one tab each. Hosts that open no
    // accounts ignore it.
    virtual void OpenGameForAllAccounts(const catalogue::CatalogueNode& /*node*/,
                                        const catalogue::CatalogueNode* /*parent*/) {}
    // The active tab's page, for adding it to the catalogue or the favorites ("" without one).
    virtual std::string ActivePageUrl() = 0;
    virtual std::string ActivePageTitle() = 0;

    // The shared prompts, owned by the main window.
    virtual bool InputBox(const std::string& caption, const std::string& prompt, std::string& text,
                          int max_length, bool masked) = 0;
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
    // An OK/Cancel question with Cancel as the default; true for OK.
    virtual bool ConfirmOkCancel(const std::string& text, const std::string& caption) {
        return Confirm(text, caption);
    }
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
    // The window dialogs are made transient for.
    virtual Gtk::Window& Owner() = 0;
};

}  // namespace kivo
