#include "ui/side/clear_cache.h"

#include <iostream>
#include <memory>

#include "platform/gobject_ref.h"
#include "ui/dialogs/message_box.h"

namespace kivo {

namespace {

constexpr auto kContentEntries = {
    TFilterOption::NORMAL_ENTRY,       TFilterOption::STABLE_ENTRY,
    TFilterOption::STICKY_ENTRY,       TFilterOption::TRACK_OFFLINE_ENTRY,
    TFilterOption::TRACK_ONLINE_ENTRY, TFilterOption::SPARSE_ENTRY,
    TFilterOption::OCX_ENTRY};

// One running cleaning: it holds the profile's data manager until the engine answers.
struct Task {
    GObjectRef<WebKitWebsiteDataManager> profile;
    std::function<void(bool)> finished;
};

void TaskDone(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Task> task(static_cast<Task*>(data));
    GError* error = nullptr;
    const bool wiped = webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source),
                                                                result, &error);
    if (error) {
        std::cerr << "gameKivo: the browser data cannot be cleaned: " << error->message << '\n';
        g_error_free(error);
    }
    if (wiped)
        ShowNotice(kClearCacheDone, "提示", Gtk::MESSAGE_INFO);
    if (task->finished)
        task->finished(wiped);
}

}  // namespace

TFilterOptions AllFilterOptions() {
    TFilterOptions all(kContentEntries.begin(), kContentEntries.end());
    all.insert(TFilterOption::COOKIE_ENTRY);
    all.insert(TFilterOption::URLHISTORY_ENTRY);
    return all;
}

bool TIECache::LibraryFound() {
    // The engine wipes every kind of data with one call since 2.16.
    static const bool found = webkit_get_major_version() > 2 ||
                              (webkit_get_major_version() == 2 && webkit_get_minor_version() >= 16);
    return found;
}

void TIECache::SetFilterOptions(const TFilterOptions& options) {
    FFilterOptions = options;
    FFilterOptionValue = 0;
    for (TFilterOption option : options) FFilterOptionValue += static_cast<uint32_t>(option);
}

WebKitWebsiteDataTypes TIECache::WebsiteDataTypes() const {
    unsigned types = 0;
    for (TFilterOption option : kContentEntries)
        if (FFilterOptions.count(option))
            types |= WEBKIT_WEBSITE_DATA_ALL & ~WEBKIT_WEBSITE_DATA_COOKIES;
    if (FFilterOptions.count(TFilterOption::COOKIE_ENTRY))
        types |= WEBKIT_WEBSITE_DATA_COOKIES;
    return static_cast<WebKitWebsiteDataTypes>(types);
}

bool TIECache::ClearsVisitedUrls() const {
    return FFilterOptions.count(TFilterOption::URLHISTORY_ENTRY) > 0;
}

void TClearCache::Start(WebKitWebsiteDataManager* profile,
                        const std::function<void()>& ClearVisitedUrls,
                        std::function<void(bool)> Finished) {
    TIECache cache;
    cache.SetFilterOptions(AllFilterOptions());
    if (!TIECache::LibraryFound() || !profile) {
        // Nothing can be wiped; the user still hears that the cleaning has run.
        ShowNotice(kClearCacheDone, "提示", Gtk::MESSAGE_INFO);
        if (Finished)
            Finished(false);
        return;
    }
    if (cache.ClearsVisitedUrls() && ClearVisitedUrls)
        ClearVisitedUrls();
    auto* task =
        new Task{GObjectRef<WebKitWebsiteDataManager>::Share(profile), std::move(Finished)};
    // A time span of 0 means everything, however old.
    webkit_website_data_manager_clear(profile, cache.WebsiteDataTypes(), 0, nullptr, TaskDone,
                                      task);
}

}  // namespace kivo
