#pragma once
// The engine's downloads as transfers of the worker's download list.
#include <webkit2/webkit2.h>

namespace uitWebControl {

// Hands every download begun in `context` to the view whose page began it; one that no view
// of ours began is cancelled.
void ConnectDownloads(WebKitWebContext* context);

}  // namespace uitWebControl
