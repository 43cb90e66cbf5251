#pragma once
// Files that are replaced whole: a reader sees the old content or the new, never half of it.
#include <string>
#include <string_view>

namespace kivo {

// Writes `data` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`. Throws with the reason when any step fails; `path` is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace kivo
