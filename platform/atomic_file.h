#pragma once
// Files that are replaced whole: a reader sees the old content or the new, never half of it.
#include <string>
#include <string_view>

namespace kivo {

// Writes `data` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`. Throws with the reason when any step fails; `path` is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view data);

// Copies `from` to `to` unless `to` exists: the copy is written to a temporary file beside `to`,
// flushed to the disk and then linked under the name `to` only if that name is still free, so
// that several processes copying at once never show half a file and never replace one another's.
// True when this call made `to`, false when it was there already. Throws with the reason when the
// copy fails; nothing is left under the name `to` then.
bool CopyFileOnce(const std::string& from, const std::string& to);

}  // namespace kivo
