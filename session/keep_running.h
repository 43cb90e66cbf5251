#pragma once
// "后台继续运行": the catalogue addresses whose tabs keep drawing while they are not shown, for
// games that run their logic in animation frames. Kept per user in the settings store, by the
// address's catalogue id; a page opened freely (no catalogue address) is never remembered.
#include <string>

#include "platform/user_settings.h"

namespace kivo {

inline constexpr const char* kKeepRunningKey = "Software\\gameKivo\\KeepRunning";

// Both are the same catalogue address (free pages never are).
bool SameCatalogueAddress(const std::string& url_id, const std::string& other);
bool KeepsRunning(const UserSettings& settings, const std::string& url_id);
// Throws when the store cannot be written.
void RememberKeepRunning(UserSettings settings, const std::string& url_id, bool keep);

}  // namespace kivo
