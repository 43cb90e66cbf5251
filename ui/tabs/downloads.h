#pragma once
// TDownloads: where the downloads of every worker go. A worker asks where to save; the desktop's
// file chooser, starting in the user's download folder with the server's name made safe, lets
// the user choose or cancel; the worker is told the answer. One chooser is open at a time: the
// downloads that ask meanwhile wait their turn. The status bar shows each download's progress
// and how it ended.
#include <gtkmm.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "webcontrol/web_control_proxy.h"

namespace kivo {

using gameKivo_Work_TLB::TWebControl;

inline constexpr const char* kDownloadChooserTitle = "保存下载的文件";

// The status bar's texts; sizes in KiB, `expected_kib` 0 when not known.
std::string DownloadProgressText(const std::string& name, int64_t received_kib,
                                 int64_t expected_kib);
std::string DownloadFinishedText(const std::string& path);
std::string DownloadFailedText(const std::string& name, const std::string& reason);
std::string DownloadCancelledText(const std::string& name);

class TDownloads {
  public:
    struct TLinks {
        // The window the chooser belongs to.
        std::function<Gtk::Window*()> Owner;
        std::function<void(const std::string& text)> ShowDownloadText;
    };

    explicit TDownloads(TLinks links) : links_(std::move(links)) {}

    // Takes the download events of a worker's proxy.
    void Watch(const std::shared_ptr<TWebControl>& worker);
    // After workers ended unexpectedly: their downloads are over, and the user is told.
    void WorkersEnded();
    // Whether the worker has a download that has not ended (asked about or running).
    bool Running(const TWebControl& worker) const;
    // The worker's downloads are given up (its last tab closes): the user is told.
    void Abandon(const TWebControl& worker);

  private:
    using Key = std::pair<const TWebControl*, int32_t>;
    struct Entry {
        std::weak_ptr<TWebControl> worker;
        std::string name;
        Glib::RefPtr<Gtk::FileChooserNative> chooser;  // while the user chooses
        bool chosen = false;  // the user gave its file
        uint64_t turn = 0;    // the order in which the downloads asked
    };

    void Ask(const std::weak_ptr<TWebControl>& worker, int32_t id, const std::string& name);
    // Opens the chooser for the next download waiting for one, unless one is open.
    void ShowNextChooser();
    void Close(std::map<Key, Entry>::iterator entry);
    void Answer(Key key, int response);
    void Progress(const TWebControl& worker, int32_t id, int32_t received_kib,
                  int32_t expected_kib);
    void Ended(const TWebControl& worker, int32_t id, bool finished, const std::string& text);

    TLinks links_;
    std::map<Key, Entry> entries_;
    uint64_t turns_ = 0;
};

}  // namespace kivo
