#pragma once
// The maker's pages: every address of the maker's site that the program uses, in one place.
// The pages ship with the program and are served through a URI scheme of its own in every
// process that shows them, so a fresh installation works offline.
#include <optional>
#include <string>

namespace kivo {

inline constexpr const char* kMakerScheme = "kivo";
inline constexpr const char* kMakerHost = "kivo://www.kivo.local";

// The address of a page of the maker's site ("/news/", "/explorer/u_1.0.html", ...).
std::string MakerUrl(const std::string& path);

// The web search engines of the search box, by index: the address the search text follows, or
// nothing for an index without engine. Offline, both go to the program's own result page.
std::string SearchAddress(int engine, bool online = true);
// The program's own result page, shown while the network is down.
std::string OfflineSearchAddress();

struct MakerPage {
    std::string mime_type;
    std::string body;
};

// The page for a full address of the scheme, or nothing when there is no such page.
std::optional<MakerPage> FindMakerPage(const std::string& url);

}  // namespace kivo
