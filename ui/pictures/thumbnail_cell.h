#pragma once
// What the grid and the strip of tab thumbnails share: the cell that shows one tab's picture (or
// its digit while it has none), the links through which both reach the window, and the loading of
// pictures a few at a time so that the window keeps answering meanwhile.
#include <gtkmm.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "imaging/rgb_image.h"

namespace kivo {

// What the thumbnails reach of the window.
struct TThumbnailLinks {
    std::function<int()> TabCount;
    // The current tab's index, -1 without one.
    std::function<int()> CurrentIndex;
    // The window handle of the tab at `index`; 0 when there is no such tab.
    std::function<int32_t(int index)> TabHandle;
    std::function<std::string(int index)> TabHint;
    // Makes the tab at `index` current as a click on it does.
    std::function<void(int index)> ActivateTab;
    // Asks the tab's worker for a fresh thumbnail file; `done` runs later from the main loop
    // with true once the file was written. Never waits.
    std::function<void(int32_t tab_handle, std::function<void(bool written)> done)> FreshPicture;
    // The folder that holds "WebImage/" (see WorkPath), ending with "/".
    std::function<std::string()> WorkPath;
    // An information message box owned by the window.
    std::function<void(const std::string& text, const std::string& caption)> ShowInfo;
};

// How long a worker may take to draw a fresh thumbnail before its cell keeps the last one.
inline constexpr std::chrono::milliseconds kFreshPictureTime{8000};

// One cell: a white framed panel with curved corners whose caption is its digit; the picture,
// when there is one, is stretched over the inside of the frame. The frame turns orange under the
// pointer; the pointer is a hand.
class TThumbnailCell : public Gtk::EventBox {
  public:
    // `click` runs on a left click, `enter` and `leave` as the pointer comes and goes.
    TThumbnailCell(int digit, const std::string& accessible_name, std::function<void()> click,
                   std::function<void()> enter, std::function<void()> leave);

    // The index of the tab the cell shows (-1 for none) and that tab's handle when it was put.
    int Tag = -1;
    int32_t ShownHandle = 0;

    // A page picture already cut to the cell's shape; it is scaled to `width` x `height` here.
    void SetPicture(const imaging::RgbImage& picture, int width, int height);
    void Clear();
    bool HasPicture() const { return static_cast<bool>(picture_); }
    // The picture as scaled for the cell (empty without one).
    Glib::RefPtr<Gdk::Pixbuf> Picture() const { return picture_; }
    void SetHot(bool hot);
    bool Hot() const { return hot_; }

  protected:
    bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
    void on_realize() override;

  private:
    int digit_;
    bool hot_ = false;
    Glib::RefPtr<Gdk::Pixbuf> picture_;
};

// Cells waiting for their picture, loaded one per turn of the main loop: a long row of files
// never holds the window for more than one file's read.
class TThumbnailLoader {
  public:
    explicit TThumbnailLoader(TThumbnailLinks& links);
    ~TThumbnailLoader();

    // Forgets what waits and loads the pictures of `cells` (those showing a tab), each cut to
    // the given size. With `fresh`, once those are drawn, asks each tab's worker for a fresh
    // picture, all at once, and loads each as it comes: the files show first, undisturbed by the
    // workers' drawing.
    void Load(const std::vector<TThumbnailCell*>& cells, int width, int height, bool fresh);
    // Loads one cell's picture now, if its tab is still the one it was put for.
    void LoadNow(TThumbnailCell& cell, int width, int height);
    bool Busy() const { return !queue_.empty(); }

  private:
    struct Job {
        TThumbnailCell* cell;
        int32_t handle;
        int width, height;
    };
    bool StillShows(const Job& job) const;
    void Run(const Job& job);
    bool Step();
    void AskFresh();

    TThumbnailLinks& links_;
    std::deque<Job> queue_;
    // Tabs whose worker is drawing a fresh picture: not asked again meanwhile.
    std::set<int32_t> asking_;
    // Cells whose tab's worker is to be asked for a fresh picture once the files are shown.
    std::vector<Job> fresh_;
    sigc::connection idle_, fresh_idle_;
    // Dropped with the loader, so that answers arriving later touch nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The look of the caption bars of the grid and the strip.
void StyleCaptionBar(Gtk::Widget& bar);

}  // namespace kivo
