#pragma once
// TNavigationBar: the toolbar's back, forward and refresh buttons, the address row with its
// typed-address drop-down and completion, and the search box.
#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/visited_urls.h"
#include "ui/drawn_pictures.h"
#include "ui/tabs/tab_sheet.h"
#include "ui/window_frame.h"

namespace kivo {

// A row whose parts are placed by its owner when it changes size. It asks only for its minimum
// width, so parts widened to fill it never keep the window from shrinking again.
class TPlacedRow : public Gtk::Fixed {
  public:
    explicit TPlacedRow(int min_width) : min_width_(min_width) {}

  protected:
    void get_preferred_width_vfunc(int& minimum, int& natural) const override {
        minimum = natural = min_width_;
    }

  private:
    int min_width_;
};

class TNavigationBar : public sigc::trackable {
  public:
    // What the bar reaches of the rest of the window.
    struct TLinks {
        std::function<N_TRzTabSheet*()> ActiveTab;
        // Opens a free address in a new tab; throws when it cannot.
        std::function<N_TRzTabSheet*(const std::string& url)> OpenGame;
        // After a failed call: the tab shows its page ended when its worker has gone.
        std::function<void(N_TRzTabSheet* tab)> MarkIfWorkerGone;
    };

    explicit TNavigationBar(TLinks links);
    ~TNavigationBar();

    // The address row, and the toolbar buttons the window places among its own.
    Gtk::Widget& AddressRow() { return pnlAdr; }
    PictureButton btnBack{Glyph::Back, 29, 25, "后退"};
    PictureButton btnNext{Glyph::Forward, 29, 25, "前进"};
    PictureButton btnRefresh{Glyph::Refresh, 35, 25, "刷新"};

    void btnGoClick();
    void btnBackClick();
    void btnNextClick();
    void btnRefreshClick();
    std::string AddressText() const { return edtUrl.get_text(); }
    void SetAddressText(const std::string& text);
    // The active tab's address. While the user edits the box, an address of the same tab
    // (a page that completed meanwhile) leaves the typed text alone; another tab's replaces it.
    void ShowAddress(const std::string& url, bool same_tab);
    Gtk::Entry& AddressBox() { return edtUrl; }
    // The typed-address drop-down: rebuilt from the typed-address list each time it opens.
    void btnDropClick();
    std::vector<std::string> LoadTypedUrls();
    void cbbUrlListSelect(const std::string& url);
    void edtUrlClick();
    // Appends the rest of the newest visited address that continues what was typed, selected.
    void edtUrlAppendCompletion();
    // The addresses the box completes from, newest first.
    const VisitedUrls* VisitedAddresses() const { return FVisitedUrls.get(); }
    // A page the user reached: first in the completion list, saved a moment later.
    void RecordVisitedUrl(const std::string& url);
    // Empties the visited-address list, on the screen and on disk.
    void ClearVisitedUrls();
    // The search box: the text as it stands (the hint itself when nothing was typed).
    void edtSearchRightButtonClick();
    void SetSearchEngine(int engine);
    Gtk::Entry& SearchBox() { return edtSearch; }

  private:
    void BuildAddressRow();
    void pnlAdrResize();
    void SetupUrlAutoComplete();
    void SaveVisitedUrls();
    std::string CurrentSearchAddress() const;
    // Back, forward or refresh on the active tab; a tab whose worker died on it is discarded.
    void StepActiveTab(void (TWebControl::*step)(int32_t));

    TLinks links_;
    bool appending_completion_ = false;
    std::unique_ptr<VisitedUrls> FVisitedUrls;
    Gtk::TreeModelColumnRecord UrlColumns_;
    Gtk::TreeModelColumn<Glib::ustring> UrlColumn_;
    Glib::RefPtr<Gtk::ListStore> FUrlStore;
    Glib::RefPtr<Gtk::EntryCompletion> FAutoComplete;
    sigc::connection visited_save_;
    int address_row_width_ = -1;
    int search_selection_start_ = 0, search_selection_end_ = 0;
    int search_engine_ = 0;

    TPlacedRow pnlAdr{kWebMenuWidth + 40};
    Gtk::Entry edtUrl;
    Gtk::Menu cbbUrlList;
    PictureButton btnGo{Glyph::Go, 27, 24, "转到"};
    Gtk::Box pnlWebMenu{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Entry edtSearch;
    Gtk::Menu popSearch;
    // Set while the text in the box is the user's own, from a change made with the box
    // focused until the address is gone to or replaced.
    bool userEdited_ = false;
    bool settingText_ = false;
};

}  // namespace kivo
