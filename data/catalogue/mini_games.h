#pragma once
// The mini-game list: its items are the maker's mini-game categories (webcontrol/maker_pages.h,
// where the index of an item decides its page) and every item opens in one shared session.
#include <string>

#include "webcontrol/maker_pages.h"

namespace kivo::catalogue {

inline constexpr int kMiniGameCount = static_cast<int>(kMiniGameCategories.size());

// Every mini-game tab shares the session folder named by this suffix.
inline constexpr const char* kMiniGameSessionSuffix = "FlashGame";

// The caption of the list's item `index`.
inline const char* MiniGameCaption(int index) {
    return kMiniGameCategories.at(index).caption;
}

}  // namespace kivo::catalogue
