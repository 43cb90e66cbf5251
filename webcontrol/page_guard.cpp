#include "webcontrol/page_guard.h"

#include <gdk/gdkx.h>

#include "platform/x11_windows.h"
#include "webcontrol/uit_web_control.h"

namespace uitWebControl {

GtkWidget* NewPageQuestion(int32_t owner_window, const char* caption, const char* text,
                           const char* yes_label, const char* no_label) {
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                            GTK_BUTTONS_NONE, "%s", text);
    gtk_window_set_title(GTK_WINDOW(box), caption);
    GtkWidget* yes = gtk_dialog_add_button(GTK_DIALOG(box), yes_label, GTK_RESPONSE_YES);
    GtkWidget* no = gtk_dialog_add_button(GTK_DIALOG(box), no_label, GTK_RESPONSE_NO);
    for (GtkWidget* button : {yes, no})
        atk_object_set_name(gtk_widget_get_accessible(button),
                            gtk_button_get_label(GTK_BUTTON(button)));
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_NO);
    gtk_widget_grab_focus(no);
    gtk_widget_realize(box);
    // The main window lives in another process: the question stays above it and in its middle.
    GdkDisplay* display = gtk_widget_get_display(box);
    const auto owner_id = static_cast<Window>(static_cast<uint32_t>(owner_window));
    if (owner_id != 0 && GDK_IS_X11_DISPLAY(display) &&
        kivo::WindowExists(gdk_x11_display_get_xdisplay(display), owner_id)) {
        if (GdkWindow* owner = gdk_x11_window_foreign_new_for_display(display, owner_id)) {
            gdk_window_set_transient_for(gtk_widget_get_window(box), owner);
            int x = 0, y = 0;
            gdk_window_get_origin(owner, &x, &y);
            GtkRequisition size{};
            gtk_widget_get_preferred_size(box, nullptr, &size);
            const int width = gdk_window_get_width(owner);
            const int height = gdk_window_get_height(owner);
            gtk_window_move(GTK_WINDOW(box), x + (width - size.width) / 2,
                            y + (height - size.height) / 2);
            g_object_unref(owner);
        }
    }
    return box;
}

PageGuard::PageGuard(WebKitWebView* view, StartDownload start)
    : view_(view), start_(std::move(start)) {
    // A press reaches the view before the page sees it: the page's answer to it is allowed.
    g_signal_connect(view_, "button-press-event", G_CALLBACK(OnUserPress), this);
    g_signal_connect(view_, "key-press-event", G_CALLBACK(OnUserPress), this);
}

PageGuard::~PageGuard() {
    g_signal_handlers_disconnect_by_data(view_, this);
    if (question_) {
        g_signal_handlers_disconnect_by_data(question_, this);
        gtk_widget_destroy(std::exchange(question_, nullptr));
    }
    for (auto& transfer : waiting_) transfer->Cancel();
}

gboolean PageGuard::OnUserPress(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<PageGuard*>(data);
    self->popups_.UserInput();
    self->downloads_.UserInput();
    return FALSE;  // the page gets it as usual
}

bool PageGuard::AllowPopup(WebKitNavigationAction* action) {
    return popups_.Allow(webkit_navigation_action_is_user_gesture(action),
                         kivo::TPopupGate::Clock::now());
}

void PageGuard::DownloadBegan(std::shared_ptr<DownloadTransfer> transfer) {
    switch (downloads_.Begin()) {
        case kivo::TDownloadGate::Verdict::Go:
            start_(std::move(transfer));
            return;
        case kivo::TDownloadGate::Verdict::Ask:
            waiting_.push_back(std::move(transfer));
            AskMultipleDownloads();
            return;
        case kivo::TDownloadGate::Verdict::Wait:
            waiting_.push_back(std::move(transfer));
            return;
        case kivo::TDownloadGate::Verdict::Refuse:
            transfer->Cancel();
            ReportUncaught("a page's further download was refused");
            return;
    }
}

void PageGuard::AskMultipleDownloads() {
    question_ = NewPageQuestion(ServerWindowHandle(), kMultipleDownloadsCaption,
                                kivo::kMultipleDownloadsQuestion, "允许", "阻止");
    g_signal_connect(question_, "response", G_CALLBACK(OnMultipleDownloadsAnswer), this);
    gtk_widget_show(question_);
}

void PageGuard::OnMultipleDownloadsAnswer(GtkDialog*, gint response, gpointer data) {
    auto* self = static_cast<PageGuard*>(data);
    gtk_widget_destroy(std::exchange(self->question_, nullptr));
    const bool allowed = response == GTK_RESPONSE_YES;
    self->downloads_.Answer(allowed);
    auto waiting = std::move(self->waiting_);
    self->waiting_.clear();
    for (auto& transfer : waiting) {
        if (allowed)
            self->start_(std::move(transfer));
        else
            transfer->Cancel();
    }
}

}  // namespace uitWebControl
