// Row identifiers: random GUIDs in registry form, e.g. "{0F8E6C2A-3B1D-4E5F-9A7B-1C2D3E4F5A6B}".
#pragma once

#include <string>
#include <string_view>

namespace kivo::data {

inline constexpr std::size_t kGuidStringLength = 38;

// A new random (version 4) GUID: braces, groups of 8, 4, 4, 4 and 12 upper-case hexadecimal
// digits separated by hyphens. Never fails.
std::string NewGuidString();

// True for a text of the registry form (hexadecimal digits of either case).
bool IsGuidString(std::string_view text);

}  // namespace kivo::data
