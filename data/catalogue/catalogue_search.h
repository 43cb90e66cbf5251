#pragma once
// The catalogue search box: when its text is a query, and what is posted to the maker's
// game-directory search page (MakerSearchUrl).
#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::catalogue {

inline constexpr const char* kSearchPlaceholder = "要在列表中查找的内容";
inline constexpr const char* kSearchCue = "输入要查找的名字";
inline constexpr const char* kSearchButtonHint = "点击查找游戏";
inline constexpr std::uint32_t kPlaceholderColour = 0xC0C0C0;

// Not the placeholder, and something is left once the characters of code 32 or below are
// trimmed from both ends.
bool IsSearchQuery(std::string_view text);

// Every byte of the UTF-8 text as "%" and two upper-case hexadecimal digits.
std::string PercentEncodeBytes(std::string_view utf8);

// "keyword=" and the encoded text, untrimmed.
std::string SearchPostData(std::string_view text);

}  // namespace kivo::catalogue
