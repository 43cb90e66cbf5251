#pragma once
// The address dialog: the category, the game an address belongs to (with a link adding a game
// there), the address's description and the address itself.
#include <gtkmm.h>

#include <functional>
#include <string>

#include "ui/dialogs/frm_input.h"

namespace kivo {

class TLeftPanelHost;
namespace data {
class TDISQLite3Database;
}

namespace catalogue {

class TFrmSaveUrl : public TBorderlessDialog {
  public:
    // `reload_catalogue` rebuilds the window's catalogue trees after a game was added here.
    TFrmSaveUrl(TLeftPanelHost& host, std::function<void()> reload_catalogue);
    ~TFrmSaveUrl() override;

    // Puts the values in before showing: the category ("1" or "2") is selected, its games
    // listed, and the game with `game_id` selected when listed.
    void Prepare(const std::string& game_id, const std::string& description,
                 const std::string& address, const std::string& category);

    // The ID of the selected game ("" for none).
    std::string SelectedGameId() const;

    void cbbGameListEnter();
    void btnOpenClick();
    void lblAddGameClick();

    // The dialog on the screen now, if any (tests fill it in).
    static TFrmSaveUrl* Active();

    std::string GameUrlId;  // the game selected when shown
    Gtk::ComboBoxText cbbGameType, cbbGameList;
    Gtk::Button lblAddGame;
    Gtk::Entry edtUrlName, edtUrl;
    Gtk::Button btnOpen;
    // The cancel button; the close glyph at the top right is the frame's own.
    Gtk::Button btnClose;
    Gtk::Button& btnSysClose = TBorderlessDialog::btnClose;

  private:
    void FormShow();
    bool FormKeyPress(GdkEventKey* event);
    void FormSetFocus(Gtk::Widget* focus);
    int SelectedCategory() const;
    void Message(const char* text, Gtk::MessageType icon);

    TLeftPanelHost& host_;
    std::function<void()> reload_catalogue_;
    Gtk::Label lblGameType_, lblGameList_, lblUrlName_, lblUrl_;
};

// The host's database; throws when it is not open.
data::TDISQLite3Database& DatabaseOf(TLeftPanelHost& host);

// Asks for a game name and adds the game to the category: its new ID, or "" when the prompt
// was cancelled or the name is blank. Throws when the insert fails.
std::string AskNewGame(TLeftPanelHost& host, const char* prompt, int category);

// Shows the address dialog modally. Confirmed: true with the chosen game ID, description and
// address; otherwise false and the arguments unchanged.
bool ShowSaveUrl(TLeftPanelHost& host, std::string& game_id, std::string& description,
                 std::string& address, const std::string& category,
                 const std::function<void()>& reload_catalogue);

// The work of saving the active tab's page as an address (the toolbar's add and save-form
// buttons): the dialog over the page's title and address in the web-game category with
// `game_id` selected when it names a game, then the new address row and a reload. Returns the
// new address's ID, "" when the dialog was cancelled; throws when the insert or the reload
// fails (each button shows its own message).
std::string SaveActivePage(TLeftPanelHost& host, const std::string& game_id,
                           const std::function<void()>& reload_catalogue);

}  // namespace catalogue
}  // namespace kivo
