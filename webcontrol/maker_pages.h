#pragma once
// The maker's pages: every address of the maker's site that the program uses, in one place.
// The pages ship with the program and are served through a URI scheme of its own in every
// process that shows them, so a fresh installation works offline.
#include <array>
#include <optional>
#include <string>

namespace kivo {

inline constexpr const char* kMakerScheme = "kivo";
inline constexpr const char* kMakerHost = "kivo://www.kivo.local";
// The maker's mini-game site.
inline constexpr const char* kMiniGameHost = "kivo://flash.kivo.local";

// The address of a page of the maker's site ("/news/", "/explorer/u_1.0.html", ...).
std::string MakerUrl(const std::string& path);

// The probe page the main process loads through the ordinary profile at start-up. The variable
// KIVO_PROBE_URL names another address instead.
std::string MakerProbeUrl();

// The web search engines of the search box, by index: the address the search text follows, or
// nothing for an index without engine. Offline, both go to the program's own result page.
std::string SearchAddress(int engine, bool online = true);
// The program's own result page, shown while the network is down.
std::string OfflineSearchAddress();

// The maker's web-game search page; it takes a POST of "keyword=" and the encoded text. The
// variable KIVO_GAME_SEARCH_SITE ("http://host:port") moves it to another site.
std::string MakerSearchUrl();

// The promotion page of the mini window. The variable KIVO_PROMOTION_SITE ("http://host:port")
// moves it to another site.
std::string PromotionUrl();

struct MiniGameCategory {
    const char* caption;
    const char* path;
};
// The mini-game list of the left panel, in its order: an item's index decides its page.
extern const std::array<MiniGameCategory, 18> kMiniGameCategories;
// The page of the mini-game list's item `index`; an index outside the list gives the site's root.
std::string MiniGameUrl(int index);

struct MakerPage {
    std::string mime_type;
    std::string body;
};

// The page for a full address of the scheme, or nothing when there is no such page. `form_body`
// is the body of a POST in form encoding (empty for a GET).
std::optional<MakerPage> FindMakerPage(const std::string& url, const std::string& form_body = {});

}  // namespace kivo
