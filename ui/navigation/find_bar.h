#pragma once
// TFindBar: the bar below the page that finds text in the active tab's page: the text box,
// previous and next, match case, the count of matches, and its close button (Esc as well).
// The page's worker does the finding and answers with the count.
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/tabs/tab_sheet.h"

namespace kivo {

class TFindBar : public sigc::trackable {
  public:
    // What the bar reaches of the rest of the window.
    struct TLinks {
        std::function<N_TRzTabSheet*()> ActiveTab;
        // After a failed call: the tab shows its page ended when its worker has gone.
        std::function<void(N_TRzTabSheet* tab)> MarkIfWorkerGone;
    };

    explicit TFindBar(TLinks links);

    Gtk::Widget& Widget() { return bar_; }
    bool Showing() const { return bar_.get_visible(); }
    // Ctrl+F: shows the bar with the focus in its text box, the text selected; a text already
    // there is searched for again in the active page.
    void Open();
    // Esc or the close button: hides the bar and ends the search and its marks in the page.
    void Close();
    // The next (or previous) match of the same search.
    void FindAgain(bool backwards);
    // The count of a search's matches from a worker; a count of a page no longer searched is
    // left aside.
    void ShowCount(int32_t count, int32_t TabHandle);
    // Another tab became current: the search in the page before ends.
    void ActiveTabChanged();
    std::string CountText() const { return lblCount_.get_text(); }

  private:
    // Searches the active page for the box's text; `again` goes on with the same search.
    void Search(int32_t again_options);
    int32_t Options() const;
    // Ends the search in the page searched last, if any.
    void EndSearch();
    bool EntryKeyPress(GdkEventKey* event);

    TLinks links_;
    // The page searched last: its tab's handle and the proxy of its worker.
    int32_t searched_tab_ = 0;
    std::weak_ptr<TWebControl> searched_proxy_;

    Gtk::Box bar_{Gtk::ORIENTATION_HORIZONTAL, 4};
    Gtk::Label lblFind_{"查找："};
    Gtk::Entry edtFind_;
    Gtk::Button btnPrevious_{"上一个"};
    Gtk::Button btnNext_{"下一个"};
    Gtk::CheckButton chkMatchCase_{"区分大小写"};
    Gtk::Label lblCount_;
    Gtk::Button btnClose_{"×"};
};

}  // namespace kivo
