#include "ui/promotion/promotion_rules.h"

#include <algorithm>

namespace kivo {

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
