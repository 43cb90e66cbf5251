#pragma once
// Pages that look like browser games, for the picture of the thumbnail grid: each a full-window
// scene in colours of its own with a Chinese title, drawn by style rules alone (no script, no
// images, nothing fetched), so a page is complete and still as soon as it has loaded.
#include <string>
#include <vector>

namespace kivo::shot {

// Writes the pages into `folder` (created if missing) and returns their file:// addresses.
std::vector<std::string> WriteGamePages(const std::string& folder);

}  // namespace kivo::shot
