#pragma once
// Whether a tab's page is shown, told by the main process to the worker that draws it. The main
// process marks the view's window (the plug in the tab's window) with a property; the worker
// follows the mark. A page not shown is hidden to the engine: it reports "hidden" to its
// scripts, gets no animation frames and draws nothing, while its timers, network and sound go
// on. A window without the mark shows its page.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace kivo::page {

inline constexpr const char* kShownProperty = "_KIVO_PAGE_SHOWN";

// Main process: marks the view's window; nothing when the window has gone meanwhile.
void MarkPageShown(GdkWindow* view_window, bool shown);

// Worker: the view inside `plug` is shown or hidden as the plug's window is marked.
void FollowPageShown(GtkWidget* plug);

// Worker: timers of a hidden page keep their own rate; the engine would slow them to one a
// second, which stops the logic of games that run on timers.
void KeepTimersOfHiddenPage(WebKitSettings* settings);

}  // namespace kivo::page
