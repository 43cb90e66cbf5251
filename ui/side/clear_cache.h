#pragma once
// Cleaning the main process's own browser data: TIECache says which kinds of entry go, and
// TClearCache is one run of the cleaning started from the main menu.
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <set>

namespace kivo {

// The kinds of browser-cache entry, with the flag value each stands for.
enum class TFilterOption : uint32_t {
    NORMAL_ENTRY = 0x1,
    STABLE_ENTRY = 0x2,
    STICKY_ENTRY = 0x4,
    COOKIE_ENTRY = 0x100000,
    URLHISTORY_ENTRY = 0x200000,
    TRACK_OFFLINE_ENTRY = 0x10,
    TRACK_ONLINE_ENTRY = 0x20,
    SPARSE_ENTRY = 0x10000,
    OCX_ENTRY = 0x20000,
};
using TFilterOptions = std::set<TFilterOption>;
// Every kind: what the cleaning wipes.
TFilterOptions AllFilterOptions();

inline constexpr const char* kClearCacheDone = "清理完成，请重新启动程序！";

class TIECache {
  public:
    // Whether the engine can wipe its stored data, found once per process.
    static bool LibraryFound();

    void SetFilterOptions(const TFilterOptions& options);
    const TFilterOptions& FilterOptions() const { return FFilterOptions; }
    // The sum of the flag values of the kinds chosen.
    uint32_t FilterOptionValue() const { return FFilterOptionValue; }

    // The engine's data that the chosen kinds stand for: cookies for COOKIE_ENTRY, and every
    // other kind of stored site data (caches, storage, databases...) for any content kind.
    WebKitWebsiteDataTypes WebsiteDataTypes() const;
    // Whether the visited-address list goes too (URLHISTORY_ENTRY).
    bool ClearsVisitedUrls() const;

  private:
    TFilterOptions FFilterOptions;
    uint32_t FFilterOptionValue = 0;
};

class TClearCache {
  public:
    // Starts one cleaning of `profile`'s data of every kind and returns at once; the visited
    // addresses go through `ClearVisitedUrls` first. When the engine is done, the information
    // box kClearCacheDone appears (without blocking the window); after a failure nothing is
    // shown. Several cleanings may run at the same time, each finishing on its own.
    static void Start(WebKitWebsiteDataManager* profile,
                      const std::function<void()>& ClearVisitedUrls,
                      std::function<void(bool wiped)> Finished = nullptr);
};

}  // namespace kivo
