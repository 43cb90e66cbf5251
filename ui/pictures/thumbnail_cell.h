#pragma once
// What the grid and the strip of tab thumbnails share: the cell that shows one tab's picture (or
// its digit while it has none), the links through which both reach the window, and the loading of
// pictures on threads of their own so that the window keeps answering meanwhile.
#include <gtkmm.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "imaging/rgb_image.h"
#include "platform/gobject_ref.h"
#include "ui/pictures/picture_threads.h"
#include "ui/pictures/thumbnail_layout.h"

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
    // A fresh picture asked for by the grid or the strip was written (may be empty).
    std::function<void(int32_t tab_handle)> PictureWritten;
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

    // Puts the tab at `index` with its handle on the cell (-1 and 0 for none). The picture stays
    // while the handle does: it is the same tab's, and a refresh replaces it once read.
    void ShowTab(int index, int32_t handle);
    // A picture already cut and scaled to the inside of the frame, read from the file version
    // `from` when known.
    void SetPicture(Glib::RefPtr<Gdk::Pixbuf> picture, std::optional<FileStamp> from = {});
    void Clear();
    bool HasPicture() const { return static_cast<bool>(picture_); }
    // Whether the cell already shows what reading that version of its file at that size gives.
    bool HoldsPictureOf(const FileStamp& file, int width, int height) const;
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
    std::optional<FileStamp> picture_from_;
    // The picture as the display keeps it, made at its first drawing: later frames (the frame
    // turning orange under the pointer, say) draw it without sending it to the display again.
    Cairo::RefPtr<Cairo::Surface> drawn_;
};

// Loads the cells' pictures on threads of its own; each cell takes its picture on the main loop,
// so a long row of files or a slow disk never holds the window.
class TThumbnailLoader {
  public:
    explicit TThumbnailLoader(TThumbnailLinks& links);
    ~TThumbnailLoader();

    // Loads the pictures of `cells` (those showing a tab), each cut to the given size; pictures
    // asked for earlier and not yet shown are not shown. With `fresh`, once those are drawn, asks
    // each tab's worker for a fresh picture, all at once, and loads each as it comes: the files
    // show first, undisturbed by the workers' drawing. `files_read` runs once the cells have
    // taken the pictures of their files (or found none).
    void Load(const std::vector<TThumbnailCell*>& cells, int width, int height, bool fresh,
              std::function<void()> files_read = {});
    // Loads one cell's picture, if its tab is still the one it was put for.
    void LoadOne(TThumbnailCell& cell, int width, int height);
    // Pictures being read, or read and not yet shown.
    bool Busy() const { return threads_.Pending() > 0; }

  private:
    struct Job {
        TThumbnailCell* cell;
        int32_t handle;
        int width, height;
    };
    bool StillShows(const Job& job) const;
    // Reads the job's file on a thread; `shown` runs once the cell has taken the picture (or the
    // file gave none).
    bool Run(const Job& job, std::function<void()> shown = {});
    void FileShown(unsigned load);
    void AskFresh();
    void AfterPaint();
    void StopWaitingForPaint();

    TThumbnailLinks& links_;
    // Only the picture last asked for a cell is shown: later reads may finish first.
    std::map<TThumbnailCell*, unsigned> last_read_;
    // The files of the latest Load still to be shown, before its fresh pictures are asked for.
    unsigned load_ = 0;
    int files_left_ = 0;
    std::function<void()> files_read_;
    // Tabs whose worker is drawing a fresh picture: not asked again meanwhile.
    std::set<int32_t> asking_;
    // Cells whose tab's worker is to be asked for a fresh picture once the files are shown.
    std::vector<Job> fresh_;
    sigc::connection fresh_idle_;
    // The frame clock whose next painting is awaited before the workers are asked.
    GObjectRef<GdkFrameClock> painting_clock_;
    gulong after_paint_ = 0;
    // Dropped with the loader, so that answers arriving later touch nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Last: its threads end first, before anything their work reaches.
    TPictureThreads threads_;
};

// The look of the caption bars of the grid and the strip.
void StyleCaptionBar(Gtk::Widget& bar);

}  // namespace kivo
