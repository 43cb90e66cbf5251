#pragma once
// The mini-game list of the left panel: one item per category of the maker's mini-game site,
// each opened in the session all mini-game tabs share.
#include <gtkmm.h>

#include "ui/left/left_host.h"

namespace kivo {

class TMiniGameList {
  public:
    explicit TMiniGameList(TLeftPanelHost& host);
    TMiniGameList(const TMiniGameList&) = delete;
    TMiniGameList& operator=(const TMiniGameList&) = delete;

    // What the window puts into the "小游戏" section.
    Gtk::Widget& Widget() { return tvFlash; }
    Gtk::TreeView& Tree() { return tvFlash; }

    // A click at a point of the list: opens the selected item when it is the one under the point.
    void tvFlashClick(int x, int y);
    // Opens the page of the item at `index`.
    void OpenItem(int index);

  private:
    bool tvFlashButtonRelease(GdkEventButton* event);

    struct Columns : Gtk::TreeModelColumnRecord {
        Columns() { add(caption); }
        Gtk::TreeModelColumn<Glib::ustring> caption;
    };

    TLeftPanelHost& host_;
    Columns columns_;
    Glib::RefPtr<Gtk::ListStore> store_;
    Gtk::TreeView tvFlash;
};

}  // namespace kivo
