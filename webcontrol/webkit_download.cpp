#include "webcontrol/webkit_download.h"

#include <optional>
#include <string>
#include <utility>

#include "platform/gobject_ref.h"
#include "webcontrol/download_list.h"
#include "webcontrol/webkit_browser_view.h"

namespace uitWebControl {

namespace {

std::string FailureText(const GError* error) {
    const std::string detail = error && error->message ? error->message : "";
    if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER))
        return "已取消";
    if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION))
        return "无法写入文件：" + detail;
    return "连接中断：" + detail;
}

// One download of the engine. It holds the transfer until Start gives it its file.
class WebKitTransfer final : public DownloadTransfer {
  public:
    explicit WebKitTransfer(WebKitDownload* download)
        : download_(kivo::GObjectRef<WebKitDownload>::Share(download)) {
        g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), this);
        g_signal_connect(download, "received-data", G_CALLBACK(OnReceivedData), this);
        g_signal_connect(download, "failed", G_CALLBACK(OnFailed), this);
        g_signal_connect(download, "finished", G_CALLBACK(OnFinished), this);
    }
    ~WebKitTransfer() override { Cancel(); }

    void Start(const std::string& path) override {
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        if (!uri) {
            Report([](DownloadTransferEvents& e, DownloadTransfer& t) {
                e.TransferFailed(t, "无法写入文件");
            });
            return;
        }
        // The file was made empty for this transfer.
        webkit_download_set_allow_overwrite(download_.Get(), TRUE);
        webkit_download_set_destination(download_.Get(), uri);
        g_free(uri);
    }

    void Attached() override {
        if (!named_)
            return;
        const auto [name, expected] = *std::exchange(named_, std::nullopt);
        Report([&](DownloadTransferEvents& e, DownloadTransfer& t) {
            e.TransferNamed(t, name, expected);
        });
    }

    void Cancel() override {
        if (!download_)
            return;
        auto download = std::move(download_);
        g_signal_handlers_disconnect_by_data(download.Get(), this);
        if (!ended_)
            webkit_download_cancel(download.Get());
    }

  private:
    template <typename Call>
    void Report(Call call) {
        if (events)
            call(*events, *this);
    }

    static gboolean OnDecideDestination(WebKitDownload* download, gchar* suggested, gpointer data) {
        auto* self = static_cast<WebKitTransfer*>(data);
        WebKitURIResponse* response = webkit_download_get_response(download);
        const uint64_t expected = response ? webkit_uri_response_get_content_length(response) : 0;
        const std::string name = suggested ? suggested : "";
        // The answer comes later, from the user: the transfer waits for Start or Cancel.
        if (!self->events) {
            self->named_ = std::pair{name, expected};  // told once a list takes it
            return TRUE;
        }
        self->Report([&](DownloadTransferEvents& e, DownloadTransfer& t) {
            e.TransferNamed(t, name, expected);
        });
        return TRUE;
    }

    static void OnReceivedData(WebKitDownload* download, guint64, gpointer data) {
        auto* self = static_cast<WebKitTransfer*>(data);
        const uint64_t received = webkit_download_get_received_data_length(download);
        self->Report([&](DownloadTransferEvents& e, DownloadTransfer& t) {
            e.TransferReceived(t, received);
        });
    }

    static void OnFailed(WebKitDownload*, GError* error, gpointer data) {
        auto* self = static_cast<WebKitTransfer*>(data);
        self->ended_ = true;
        const std::string reason = FailureText(error);
        self->Report(
            [&](DownloadTransferEvents& e, DownloadTransfer& t) { e.TransferFailed(t, reason); });
    }

    static void OnFinished(WebKitDownload*, gpointer data) {
        auto* self = static_cast<WebKitTransfer*>(data);
        if (std::exchange(self->ended_, true))
            return;  // after a failure
        self->Report([](DownloadTransferEvents& e, DownloadTransfer& t) { e.TransferFinished(t); });
    }

    kivo::GObjectRef<WebKitDownload> download_;
    bool ended_ = false;
    std::optional<std::pair<std::string, uint64_t>> named_;
};

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
    WebKitWebView* web_view = webkit_download_get_web_view(download);
    WebKitBrowserView* view = web_view ? WebKitBrowserView::OfWebView(web_view) : nullptr;
    auto transfer = std::make_shared<WebKitTransfer>(download);
    if (view)
        view->DownloadBegan(std::move(transfer));
    else
        transfer->Cancel();
}

}  // namespace

void ConnectDownloads(WebKitWebContext* context) {
    g_signal_connect(context, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
}

}  // namespace uitWebControl
