#include "ui/side/ordinary_profile.h"

#include "session/shell_folders.h"

namespace kivo {

uitWebControl::WebKitEngine& OrdinaryProfile() {
    // Never destroyed: the engine's objects must not be torn down after the toolkit at exit.
    static auto* engine = new uitWebControl::WebKitEngine(DefaultSessionFolders());
    return *engine;
}

}  // namespace kivo
