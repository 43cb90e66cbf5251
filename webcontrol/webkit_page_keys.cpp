// What the user does inside the page beyond browsing: finding text, zoom, the browser keys and the
// context menu.
#include "webcontrol/webkit_browser_view.h"

#include <cairo.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "platform/gl_renderer.h"
#include "platform/page_sandbox.h"
#include "platform/paths.h"
#include "platform/x11_windows.h"
#include "webcontrol/document_access.h"
#include "webcontrol/document_server.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/page_guard.h"
#include "webcontrol/page_messages.h"
#include "webcontrol/page_shown.h"
#include "webcontrol/post_form.h"
#include "webcontrol/uit_web_control.h"
#include "webcontrol/webkit_download.h"
#include "webcontrol/webkit_view_support.h"

namespace uitWebControl {

using gameKivo_TLB::WebControlError;
using namespace webkit_support;

void WebKitBrowserView::Find(const std::string& text, int32_t options) {
    CheckText(text);
    WebKitFindController* finder = webkit_web_view_get_find_controller(view_.Get());
    const bool match_case = options & kivo::find_options::kMatchCase;
    const bool backwards = options & kivo::find_options::kBackwards;
    guint32 engine_options = WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    if (!match_case)
        engine_options |= WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE;
    if ((options & kivo::find_options::kAgain) && text == find_text_ &&
        match_case == find_match_case_) {
        if (backwards)
            webkit_find_controller_search_previous(finder);
        else
            webkit_find_controller_search_next(finder);
        return;
    }
    if (backwards)
        engine_options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
    find_text_ = text;
    find_match_case_ = match_case;
    webkit_find_controller_search(finder, text.c_str(), engine_options, kivo::kMaxFindMatches);
    webkit_find_controller_count_matches(finder, text.c_str(), engine_options,
                                         kivo::kMaxFindMatches);
}

void WebKitBrowserView::FinishFind() {
    find_text_.clear();
    webkit_find_controller_search_finish(webkit_web_view_get_find_controller(view_.Get()));
}

void WebKitBrowserView::SetZoom(int percent) {
    webkit_web_view_set_zoom_level(view_.Get(), kivo::ClampZoom(percent) / 100.0);
}

int WebKitBrowserView::Zoom() const {
    return static_cast<int>(std::lround(webkit_web_view_get_zoom_level(view_.Get()) * 100));
}

void WebKitBrowserView::HandOn(kivo::BrowserCommand command) {
    Guard("browser key", [&] {
        auto keep = shared_from_this();
        events_.ViewBrowserKey(*this, command);
    });
}

gboolean WebKitBrowserView::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    const kivo::KeyModifiers modifiers{
        (event->state & GDK_CONTROL_MASK) != 0, (event->state & GDK_SHIFT_MASK) != 0,
        (event->state & GDK_MOD1_MASK) != 0, (event->state & GDK_SUPER_MASK) != 0};
    const kivo::BrowserCommand command = kivo::CommandForKey(event->keyval, modifiers);
    if (command == kivo::BrowserCommand::NoCommand)
        return FALSE;
    static_cast<WebKitBrowserView*>(data)->HandOn(command);
    return TRUE;
}

gboolean WebKitBrowserView::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    if (!(event->state & GDK_CONTROL_MASK))
        return FALSE;
    double dy = 0;
    if (event->direction == GDK_SCROLL_UP)
        dy = -1;
    else if (event->direction == GDK_SCROLL_DOWN)
        dy = 1;
    else if (event->direction == GDK_SCROLL_SMOOTH)
        dy = event->delta_y;
    // Sideways or no movement: nothing to zoom, and nothing for the page to scroll either.
    if (dy != 0)
        static_cast<WebKitBrowserView*>(data)->HandOn(dy < 0 ? kivo::BrowserCommand::ZoomIn
                                                             : kivo::BrowserCommand::ZoomOut);
    return TRUE;
}

void WebKitBrowserView::OnCountedMatches(WebKitFindController*, guint count, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("find", [&] {
        auto keep = self->shared_from_this();
        const int32_t reported = count > static_cast<guint>(kivo::kMaxFindMatches)
                                     ? kivo::kTooManyMatches
                                     : static_cast<int32_t>(count);
        self->events_.ViewFindCount(*self, reported);
    });
}

void WebKitBrowserView::OnFailedToFind(WebKitFindController*, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("find", [&] {
        auto keep = self->shared_from_this();
        self->events_.ViewFindCount(*self, 0);
    });
}

namespace {

struct ContextStep {
    std::weak_ptr<BrowserView> view;
    void (BrowserView::*step)();
};

void RunContextStep(GSimpleAction*, GVariant*, gpointer data) {
    const auto* step = static_cast<const ContextStep*>(data);
    Guard("context menu", [&] {
        if (auto view = step->view.lock())
            ((*view).*(step->step))();
    });
}

struct OpenLink {
    std::weak_ptr<BrowserView> view;
    std::string url;
};

void RunOpenLink(GSimpleAction*, GVariant*, gpointer data) {
    const auto* link = static_cast<const OpenLink*>(data);
    if (auto view = std::dynamic_pointer_cast<WebKitBrowserView>(link->view.lock()))
        view->OpenInNewTab(link->url);
}

void AppendStock(WebKitContextMenu* menu, WebKitContextMenuAction action, const char* label) {
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_stock_action_with_label(action, label));
}

}  // namespace

WebKitContextMenuItem* WebKitBrowserView::OpenLinkItem(const char* url) {
    GSimpleAction* action = g_simple_action_new("kivo-open-link", nullptr);
    g_signal_connect_data(
        action, "activate", G_CALLBACK(RunOpenLink), new OpenLink{weak_from_this(), url ? url : ""},
        [](gpointer data, GClosure*) { delete static_cast<OpenLink*>(data); }, GConnectFlags(0));
    WebKitContextMenuItem* item =
        webkit_context_menu_item_new_from_gaction(G_ACTION(action), "在新标签页中打开链接", nullptr);
    g_object_unref(action);
    return item;
}

WebKitContextMenuItem* WebKitBrowserView::StepItem(const char* label, bool enabled,
                                                   void (BrowserView::*step)()) {
    GSimpleAction* action = g_simple_action_new("kivo-step", nullptr);
    g_simple_action_set_enabled(action, enabled);
    g_signal_connect_data(
        action, "activate", G_CALLBACK(RunContextStep), new ContextStep{weak_from_this(), step},
        [](gpointer data, GClosure*) { delete static_cast<ContextStep*>(data); }, GConnectFlags(0));
    WebKitContextMenuItem* item =
        webkit_context_menu_item_new_from_gaction(G_ACTION(action), label, nullptr);
    g_object_unref(action);
    return item;
}

gboolean WebKitBrowserView::OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*,
                                          WebKitHitTestResult* hit, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    // The engine's own menu speaks the desktop's language and reloads or steps through the
    // history around the rule on forms sent again: ours offers the same in the program's words.
    webkit_context_menu_remove_all(menu);
    const bool editable = webkit_hit_test_result_context_is_editable(hit);
    if (webkit_hit_test_result_context_is_link(hit)) {
        // A link opened from here becomes a tab in the same session, as a page's pop-up does;
        // the user chose it, so no rule on pop-ups holds it back.
        webkit_context_menu_append(
            menu, self->OpenLinkItem(webkit_hit_test_result_get_link_uri(hit)));
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD, "复制链接地址");
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    }
    if (webkit_hit_test_result_context_is_image(hit)) {
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK, "图片另存为");
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD, "复制图片");
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    }
    if (editable)
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_CUT, "剪切");
    if (editable || webkit_hit_test_result_context_is_selection(hit))
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY, "复制");
    if (editable)
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_PASTE, "粘贴");
    if (editable || webkit_hit_test_result_context_is_selection(hit))
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    webkit_context_menu_append(
        menu, self->StepItem("后退", webkit_web_view_can_go_back(view), &BrowserView::GoBack));
    webkit_context_menu_append(menu, self->StepItem("前进", webkit_web_view_can_go_forward(view),
                                                    &BrowserView::GoForward));
    webkit_context_menu_append(menu, self->StepItem("刷新", true, &BrowserView::Reload));
    return FALSE;
}

}  // namespace uitWebControl
