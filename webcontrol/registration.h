#pragma once
// Registration of the web-control server in the per-user settings store: the type library and
// the class, naming the executable that serves it. Activation reads it back.
#include <optional>
#include <string>

#include "platform/user_settings.h"

namespace gameKivo_TLB {

// Writes the records naming `server_executable` as the local server of the class.
void RegisterServer(kivo::UserSettings& settings, const std::string& server_executable);
// Removes every record RegisterServer wrote.
void UnregisterServer(kivo::UserSettings& settings);
// The registered server executable, or nothing: also when that file is not one this user may
// start (see IsTrustedExecutable).
std::optional<std::string> RegisteredServer(const kivo::UserSettings& settings);

}  // namespace gameKivo_TLB
