#pragma once
// Whether the worker's views composite their pages with OpenGL. On a machine whose OpenGL draws
// on the processor, compositing costs each tab tens of megabytes and slows drawing down, so the
// views draw without it there; with a graphics card they keep the engine's own choice.
#include <optional>
#include <string>
#include <string_view>

namespace uitWebControl {

enum class GlCompositing {
    EngineDefault,  // as the engine decides for itself
    Off,            // never, whatever the page asks
};

// The environment variable that decides for tests and for users who know better than the probe:
// "hardware" keeps the engine's default, "software" turns compositing off; anything else is
// ignored and the machine is probed.
inline constexpr const char* kGlOverrideVariable = "KIVO_GL";

// The choice the override's value makes, or nothing when it makes none.
std::optional<GlCompositing> CompositingFromOverride(std::string_view value);

// Whether an OpenGL renderer name is that of a renderer drawing on the processor.
bool IsSoftwareRenderer(std::string_view renderer);

// The choice for the machine whose renderer is `renderer`; no renderer (no OpenGL at all, or a
// probe that failed) counts as software.
GlCompositing CompositingForRenderer(const std::optional<std::string>& renderer);

}  // namespace uitWebControl
