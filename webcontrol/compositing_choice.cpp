#include "webcontrol/compositing_choice.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace uitWebControl {

namespace {

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

// Names the processor-only renderers give themselves: Mesa's llvmpipe, softpipe and swrast
// ("Software Rasterizer"), and SwiftShader.
constexpr std::array<std::string_view, 5> kSoftwareNames{"llvmpipe", "softpipe", "swrast",
                                                         "software rasterizer", "swiftshader"};

}  // namespace

std::optional<GlCompositing> CompositingFromOverride(std::string_view value) {
    const std::string lowered = Lowered(value);
    if (lowered == "hardware")
        return GlCompositing::EngineDefault;
    if (lowered == "software")
        return GlCompositing::Off;
    return std::nullopt;
}

bool IsSoftwareRenderer(std::string_view renderer) {
    const std::string lowered = Lowered(renderer);
    return std::any_of(kSoftwareNames.begin(), kSoftwareNames.end(), [&](std::string_view name) {
        return lowered.find(name) != std::string::npos;
    });
}

GlCompositing CompositingForRenderer(const std::optional<std::string>& renderer) {
    if (!renderer || renderer->find_first_not_of(" \t") == std::string::npos ||
        IsSoftwareRenderer(*renderer))
        return GlCompositing::Off;
    return GlCompositing::EngineDefault;
}

}  // namespace uitWebControl
