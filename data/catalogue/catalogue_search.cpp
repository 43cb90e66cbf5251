#include "data/catalogue/catalogue_search.h"

#include "data/catalogue/catalogue_edit.h"

namespace kivo::catalogue {

bool IsSearchQuery(std::string_view text) {
    return text != kSearchPlaceholder && !TrimControls(text).empty();
}

std::string PercentEncodeBytes(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

std::string SearchPostData(std::string_view text) {
    return "keyword=" + PercentEncodeBytes(text);
}

}  // namespace kivo::catalogue
