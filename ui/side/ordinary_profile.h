#pragma once
// The main process's own browser engine: the user's ordinary profile, shared by the hidden
// probe browser, the promotion window and the cleaning of the browser data.
#include "webcontrol/webkit_browser_view.h"

namespace kivo {

// Made on first use and kept for the life of the process.
uitWebControl::WebKitEngine& OrdinaryProfile();

}  // namespace kivo
