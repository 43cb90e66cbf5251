#include "webcontrol/cookie_jar_sync.h"

#include <libsoup/soup.h>
#include <sqlite3.h>

#include <ctime>
#include <memory>

namespace uitWebControl {

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

std::map<std::string, StoredCookie> ReadCookieFile(const std::string& path) {
    std::map<std::string, StoredCookie> cookies;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    if (opened != SQLITE_OK) return cookies;
    sqlite3_busy_timeout(db.get(), 200);
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "SELECT name, value, host, path, expiry, isSecure, isHttpOnly, sameSite "
                           "FROM moz_cookies",
                           -1, &prepared, nullptr) != SQLITE_OK)
        return cookies;
    std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(prepared);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        StoredCookie cookie{Text(statement.get(), 0),
                            Text(statement.get(), 1),
                            Text(statement.get(), 2),
                            Text(statement.get(), 3),
                            sqlite3_column_int64(statement.get(), 4),
                            sqlite3_column_int(statement.get(), 5) != 0,
                            sqlite3_column_int(statement.get(), 6) != 0,
                            sqlite3_column_int(statement.get(), 7)};
        cookies[cookie.host + '\n' + cookie.path + '\n' + cookie.name] = std::move(cookie);
    }
    return cookies;
}

CookieJarWatcher::CookieJarWatcher(WebKitCookieManager* manager, std::string cookie_file)
    : manager_(manager), file_(std::move(cookie_file)), known_(ReadCookieFile(file_)) {
    auto file = kivo::GObjectRef<GFile>::Adopt(g_file_new_for_path(file_.c_str()));
    monitor_ = kivo::GObjectRef<GFileMonitor>::Adopt(
        g_file_monitor_file(file.Get(), G_FILE_MONITOR_NONE, nullptr, nullptr));
    if (monitor_) g_signal_connect(monitor_.Get(), "changed", G_CALLBACK(OnFileChanged), this);
}

CookieJarWatcher::~CookieJarWatcher() {
    if (monitor_) g_signal_handlers_disconnect_by_data(monitor_.Get(), this);
    if (pending_) g_source_remove(pending_);
}

void CookieJarWatcher::OnFileChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event,
                                     gpointer data) {
    auto* self = static_cast<CookieJarWatcher*>(data);
    if (event != G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT && event != G_FILE_MONITOR_EVENT_CREATED &&
        event != G_FILE_MONITOR_EVENT_CHANGED)
        return;
    // A write comes as several events; read the file once it has settled.
    if (self->pending_) return;
    self->pending_ = g_timeout_add(
        50,
        [](gpointer watcher) -> gboolean {
            auto* me = static_cast<CookieJarWatcher*>(watcher);
            me->pending_ = 0;
            me->TakeNewCookies();
            return G_SOURCE_REMOVE;
        },
        self);
}

void CookieJarWatcher::TakeNewCookies() {
    auto now_in_file = ReadCookieFile(file_);
    const long long now = static_cast<long long>(std::time(nullptr));
    for (const auto& [key, cookie] : now_in_file) {
        auto known = known_.find(key);
        if (known != known_.end() && known->second == cookie) continue;
        if (cookie.expiry <= now) continue;
        // Our own writes come back here too; taking an unchanged cookie again changes nothing.
        SoupCookie* soup = soup_cookie_new(cookie.name.c_str(), cookie.value.c_str(),
                                           cookie.host.c_str(), cookie.path.c_str(),
                                           static_cast<int>(std::min<long long>(cookie.expiry - now, G_MAXINT)));
        soup_cookie_set_secure(soup, cookie.secure);
        soup_cookie_set_http_only(soup, cookie.http_only);
        soup_cookie_set_same_site_policy(soup, static_cast<SoupSameSitePolicy>(cookie.same_site));
        webkit_cookie_manager_add_cookie(manager_, soup, nullptr, nullptr, nullptr);
        soup_cookie_free(soup);
    }
    known_ = std::move(now_in_file);
}

}  // namespace uitWebControl
