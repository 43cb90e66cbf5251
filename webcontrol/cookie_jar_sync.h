#pragma once
// Workers started on the same session folder share one cookie file, but each engine reads it
// only when it starts. This watcher takes into its engine the persistent cookies that other
// workers write to the file while this one runs, so tabs of one account stay logged in alike.
#include <webkit2/webkit2.h>

#include <map>
#include <string>

#include "platform/gobject_ref.h"

namespace uitWebControl {

struct StoredCookie {
    std::string name, value, host, path;
    long long expiry = 0;
    bool secure = false, http_only = false;
    int same_site = 0;
    bool operator==(const StoredCookie&) const = default;
};

// The persistent cookies in the engine's cookie file, keyed by host, path and name; nothing when
// the file does not exist or cannot be read (it is then tried again at the next change).
std::map<std::string, StoredCookie> ReadCookieFile(const std::string& path);

class CookieJarWatcher {
public:
    CookieJarWatcher(WebKitCookieManager* manager, std::string cookie_file);
    ~CookieJarWatcher();
    CookieJarWatcher(const CookieJarWatcher&) = delete;
    CookieJarWatcher& operator=(const CookieJarWatcher&) = delete;

private:
    static void OnFileChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer self);
    void TakeNewCookies();

    WebKitCookieManager* manager_;
    std::string file_;
    kivo::GObjectRef<GFileMonitor> monitor_;
    std::map<std::string, StoredCookie> known_;
    guint pending_ = 0;
};

}  // namespace uitWebControl
