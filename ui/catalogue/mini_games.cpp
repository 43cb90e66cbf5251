#include "ui/catalogue/mini_games.h"

#include <cstdlib>

#include "webcontrol/maker_pages.h"

namespace kivo::catalogue {

std::string MiniGamePath(int index) {
    if (index < 0 || index >= kMiniGameCount)
        return "/";
    return kMiniGames[index].path;
}

std::string MiniGameSite() {
    const char* site = std::getenv("KIVO_MINIGAME_SITE");
    return site && *site ? std::string(site) : MakerUrl("/flash");
}

std::string MiniGameAddress(int index) {
    return MiniGameSite() + MiniGamePath(index);
}

}  // namespace kivo::catalogue
