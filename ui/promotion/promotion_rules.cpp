#include "ui/promotion/promotion_rules.h"

#include <algorithm>
#include <cctype>

#include "webcontrol/maker_pages.h"

namespace kivo {

bool TPopupGate::Allow(bool page_gesture, Clock::time_point now) {
    while (!opened_.empty() && now - opened_.front() >= kPopupSpan) opened_.pop_front();
    if (!page_gesture || !input_since_popup_ || static_cast<int>(opened_.size()) >= kPopupBurst)
        return false;
    input_since_popup_ = false;
    opened_.push_back(now);
    return true;
}

bool IsPopupAddress(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || url.compare(colon, 3, "://") != 0 || url.size() == colon + 3)
        return false;
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme == "http" || scheme == "https" || scheme == kMakerScheme;
}

std::vector<ShapeRun> OpaqueRuns(const uint32_t* pixels, int width, int height, int stride,
                                 uint32_t key) {
    std::vector<ShapeRun> runs;
    key &= 0xFFFFFF;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
            const int start = x;
            while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
            if (x > start)
                runs.push_back({start, y, x - start});
        }
    }
    return runs;
}

}  // namespace kivo
