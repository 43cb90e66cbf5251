#pragma once
// The mini-game list: its items and the category page each opens on the mini-game site.
#include <string>
#include <string_view>

namespace kivo::catalogue {

struct MiniGame {
    const char* caption;
    const char* path;
};
inline constexpr MiniGame kMiniGames[] = {
    {"益智", "/down/sort/680/680_1.htm"},    {"敏捷", "/down/sort/732/732_1.htm"},
    {"体育", "/down/sort/724/724_1.htm"},    {"射击", "/down/sort/676/676_1.htm"},
    {"综合", "/down/sort/883/883_1.htm"},    {"双人", "/down/sort/1006/1006_1.htm"},
    {"儿童", "/down/sort/1004/1004_1.htm"},  {"白领", "/down/sort/1005/1005_1.htm"},
    {"冒险", "/down/sort/728/728_1.htm"},    {"棋牌", "/down/sort/730/730_1.htm"},
    {"搞笑", "/down/sort/722/722_1.htm"},    {"动作", "/down/sort/678/678_1.htm"},
    {"经典", "/down/sort/941/941_1.htm"},    {"音乐", "/down/sort/672/672_1.htm"},
    {"折磨", "/down/sort/400/400_1.htm"},    {"模拟器", "/down/sort/975/975_1.htm"},
    {"FlashMV", "/down/sort/966/966_1.htm"}, {"排行榜", "/ee/top.htm"},
};
inline constexpr int kMiniGameCount = sizeof(kMiniGames) / sizeof(kMiniGames[0]);

// Every mini-game tab shares the session folder named by this suffix.
inline constexpr const char* kMiniGameSessionSuffix = "FlashGame";

// The page path for an item's index among its siblings; the site's root for any other index.
std::string MiniGamePath(int index);

// The mini-game site: the maker's site under "/flash", or $KIVO_MINIGAME_SITE when set (tests
// point it at a local server). No trailing "/".
std::string MiniGameSite();

// The address an item opens.
std::string MiniGameAddress(int index);

}  // namespace kivo::catalogue
