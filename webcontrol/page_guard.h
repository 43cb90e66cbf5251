#pragma once
// What the page of one view may start by itself, kept to what the user asked for: new windows
// and downloads (the rules are in page_gates.h). The guard watches the user's presses in the
// view and asks the user before a page starts several downloads by itself.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "webcontrol/download_list.h"
#include "webcontrol/page_gates.h"

namespace uitWebControl {

// A question of a page's to the user ("yes" accepts, "no", the default, refuses), made
// transient for and centred on the window `owner_window` of another process when it exists;
// not shown yet.
GtkWidget* NewPageQuestion(int32_t owner_window, const char* caption, const char* text,
                           const char* yes, const char* no);

// The caption of the question whether a page may download several files.
inline constexpr const char* kMultipleDownloadsCaption = "下载多个文件";

class PageGuard {
  public:
    using StartDownload = std::function<void(std::shared_ptr<DownloadTransfer>)>;

    // `start` hands a download that may go on to whoever takes it.
    PageGuard(WebKitWebView* view, StartDownload start);
    ~PageGuard();
    PageGuard(const PageGuard&) = delete;
    PageGuard& operator=(const PageGuard&) = delete;

    // Whether the page's request for a new window opens one.
    bool AllowPopup(WebKitNavigationAction* action);
    // A download the page began: it starts, waits for the user's answer, or is cancelled.
    void DownloadBegan(std::shared_ptr<DownloadTransfer> transfer);

  private:
    static gboolean OnUserPress(GtkWidget*, GdkEvent*, gpointer self);
    void AskMultipleDownloads();
    static void OnMultipleDownloadsAnswer(GtkDialog*, gint response, gpointer self);

    WebKitWebView* view_;
    StartDownload start_;
    kivo::TPopupGate popups_;
    kivo::TDownloadGate downloads_;
    // Downloads waiting for the answer to the open question.
    std::vector<std::shared_ptr<DownloadTransfer>> waiting_;
    GtkWidget* question_ = nullptr;  // owned
};

}  // namespace uitWebControl
