#include "session/keep_running.h"

namespace kivo {

namespace {

// "0" is the id of a page opened freely.
bool IsCatalogueAddress(const std::string& url_id) {
    return !url_id.empty() && url_id != "0";
}

}  // namespace

bool SameCatalogueAddress(const std::string& url_id, const std::string& other) {
    return IsCatalogueAddress(url_id) && url_id == other;
}

bool KeepsRunning(const UserSettings& settings, const std::string& url_id) {
    if (!IsCatalogueAddress(url_id))
        return false;
    try {
        return settings.Read(kKeepRunningKey, url_id).value_or("") == "1";
    } catch (const std::exception&) {
        return false;  // an id the store cannot hold was never remembered
    }
}

void RememberKeepRunning(UserSettings settings, const std::string& url_id, bool keep) {
    if (!IsCatalogueAddress(url_id))
        return;
    if (keep)
        settings.Write(kKeepRunningKey, url_id, "1");
    else
        settings.DeleteValue(kKeepRunningKey, url_id);
}

}  // namespace kivo
