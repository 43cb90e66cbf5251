#include "ui/tabs/last_session_keeper.h"

#include <iostream>

#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace kivo {

TLastSessionKeeper::TLastSessionKeeper(std::string path, TLinks links)
    : path_(std::move(path)), links_(std::move(links)) {}

TLastSessionKeeper::~TLastSessionKeeper() {
    pending_.disconnect();
}

void TLastSessionKeeper::OfferLastSession() {
    if (recording_ || stopped_)
        return;
    // Nothing is written before the answer: the list stays the last run's until then.
    const std::vector<SessionTab> last = ReadLastSession(path_, std::cerr);
    if (!last.empty() && links_.Ask(kRestoreQuestion)) {
        for (const SessionTab& tab : last) {
            if (stopped_)
                return;
            try {
                links_.Restore(tab);
            } catch (const std::exception& e) {
                std::cerr << "gameKivo: " << tab.Url << " cannot open again: " << e.what() << '\n';
            }
        }
    }
    if (stopped_)
        return;
    recording_ = true;
    Write();
}

void TLastSessionKeeper::TabsChanged() {
    if (!recording_ || stopped_ || pending_.connected())
        return;
    pending_ = Glib::signal_idle().connect(
        [this] {
            Write();
            return false;
        },
        Glib::PRIORITY_DEFAULT_IDLE);
}

void TLastSessionKeeper::Stop() {
    if (recording_ && !stopped_)
        Write();
    stopped_ = true;
    pending_.disconnect();
}

void TLastSessionKeeper::Write() {
    pending_.disconnect();
    const std::string text = FormatSessionFile(links_.OpenTabs());
    if (text == written_)
        return;
    try {
        const size_t slash = path_.rfind('/');
        if (slash != std::string::npos)
            MakeFolders(path_.substr(0, slash + 1));
        WriteFileAtomically(path_, text);
        written_ = text;
    } catch (const std::exception& e) {
        // Said once; the next change tries again.
        if (!warned_)
            std::cerr << "gameKivo: the list of open tabs cannot be kept: " << e.what() << '\n';
        warned_ = true;
    }
}

}  // namespace kivo
