#pragma once
// Keeps the list of open tabs in the per-user file at every change, and at start offers the
// tabs the last run left open with one question. A quit keeps the list as well: whatever ended
// the last run, its tabs are what the next start offers.
#include <gtkmm.h>

#include <functional>
#include <string>
#include <vector>

#include "session/last_session.h"

namespace kivo {

inline constexpr const char* kRestoreQuestion = "是否恢复上次打开的页面？";

class TLastSessionKeeper : public sigc::trackable {
  public:
    struct TLinks {
        // The tabs open now, in strip order, that may be offered again.
        std::function<std::vector<SessionTab>()> OpenTabs;
        // Asks the question; true for yes.
        std::function<bool(const std::string& question)> Ask;
        // Opens one tab of the list again; throws when it cannot.
        std::function<void(const SessionTab& tab)> Restore;
    };

    TLastSessionKeeper(std::string path, TLinks links);
    ~TLastSessionKeeper();

    // Once at start: reads the list the last run left and, when it names tabs, asks whether to
    // open them again. From then on every change is written.
    void OfferLastSession();
    // The open tabs changed: the list is written once the current handler is over.
    void TabsChanged();
    // Writes what is pending and records nothing more: the tabs closed on the way out stay in
    // the list for the next start.
    void Stop();

  private:
    void Write();

    std::string path_;
    TLinks links_;
    bool recording_ = false;
    bool stopped_ = false;
    std::string written_;
    sigc::connection pending_;
    bool warned_ = false;
};

}  // namespace kivo
