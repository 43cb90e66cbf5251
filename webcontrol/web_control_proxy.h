#pragma once
// TWebControl, the main process's proxy of one worker connection. Each member wrapper calls
// the member and raises a failure of the worker as WebControlError. A wrapper never connects:
// a worker is started only by an explicit Connect, which the opening of a tab makes while the
// session's folders are switched in. A proxy that never connected, failed to, or was
// disconnected fails every call instead of starting a worker in whatever session is current.
// Events arrive in the handler slots.
#include <functional>
#include <memory>

#include "webcontrol/remote_web_control.h"

namespace gameKivo_Work_TLB {

using gameKivo_TLB::RemoteWebControl;

class TWebControl final : private gameKivo_TLB::IWebControlEvents {
public:
    using TProgressChange =
        std::function<void(TWebControl& Sender, int32_t Progress, int32_t ProgressMax,
                           int32_t TabHandle)>;
    using TStatusTextChange =
        std::function<void(TWebControl& Sender, const std::u16string& Text, int32_t TabHandle)>;
    using TForeground = std::function<void(TWebControl& Sender)>;
    using TDocumentComplete = std::function<void(TWebControl& Sender, bool IsApplication,
                                                 const std::u16string& Url, int32_t TabHandle)>;
    using TNewTab =
        std::function<void(TWebControl& Sender, int32_t& TabHandle, int32_t WebHandle)>;
    // The page keys.
    using TBrowserKey =
        std::function<void(TWebControl& Sender, int32_t Command, int32_t TabHandle)>;
    using TFindCount = std::function<void(TWebControl& Sender, int32_t Count, int32_t TabHandle)>;
    using TPopupBlocked =
        std::function<void(TWebControl& Sender, const std::u16string& Url, int32_t TabHandle)>;

    TWebControl() = default;
    ~TWebControl() override;
    TWebControl(const TWebControl&) = delete;
    TWebControl& operator=(const TWebControl&) = delete;

    TProgressChange OnProgressChange;
    TStatusTextChange OnStatusTextChange;
    TForeground OnForeground;
    TDocumentComplete OnDocumentComplete;
    TNewTab OnNewTab;
    TBrowserKey OnBrowserKey;
    TFindCount OnFindCount;
    TPopupBlocked OnPopupBlocked;

    // Downloads (see type_library.h).
    using TDownloadAsk =
        std::function<void(TWebControl& Sender, int32_t DownloadId,
                           const std::u16string& SuggestedName, int32_t TabHandle)>;
    using TDownloadProgress = std::function<void(TWebControl& Sender, int32_t DownloadId,
                                                 int32_t ReceivedKiB, int32_t ExpectedKiB)>;
    using TDownloadEnded = std::function<void(TWebControl& Sender, bool Finished,
                                              const std::u16string& Text, int32_t DownloadId)>;
    TDownloadAsk OnDownloadAsk;
    TDownloadProgress OnDownloadProgress;
    TDownloadEnded OnDownloadEnded;
    void DownloadSaveTo(int32_t DownloadId, const std::u16string& Path);

    void Connect();
    void ConnectTo(std::shared_ptr<RemoteWebControl> object);
    void Disconnect();
    bool Connected() const { return object_ != nullptr; }
    // The connected object's reference (empty until connected).
    std::shared_ptr<RemoteWebControl> DefaultInterface() const { return object_; }

    void Navigate(int32_t TabHandle, const std::u16string& Url, const std::u16string& PostData);
    int32_t CreateWeb(int32_t TabHandle);
    void LoginWeb(const std::u16string& Name, const std::u16string& Value, int32_t TabHandle);
    void LoginSite(int32_t TabHandle, const std::u16string& Url);
    int32_t WebHandle(int32_t TabHandle);
    void WebRefresh(int32_t TabHandle);
    void WebForward(int32_t TabHandle);
    void WebBack(int32_t TabHandle);
    std::u16string WebUrl(int32_t TabHandle);
    std::u16string WebTitle(int32_t TabHandle);
    void Serverhandle(int32_t Value);
    void FreeWeb(int32_t TabHandle);
    int32_t WebCount();
    void SetFoucseWeb(int32_t TabHandle);
    void SetParent(int32_t TabHandle);
    void SaveWebToPic(int32_t TabHandle);
    void SaveWebToPicSmall(int32_t TabHandle);
    // The page keys.
    void FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options);
    void FindFinish(int32_t TabHandle);
    int32_t SetWebZoom(int32_t TabHandle, int32_t Percent);
    int32_t WebZoom(int32_t TabHandle);
    // The thumbnail without waiting: `done` runs later from the main loop, true once written
    // (see RemoteWebControl::SaveWebToPicSmallAsync); false at once for a proxy not connected.
    void SaveWebToPicSmallAsync(int32_t TabHandle, std::chrono::milliseconds timeout,
                                std::function<void(bool written)> done);

private:
    // The event receiver: maps the DISPID to its slot; an empty slot or another DISPID is
    // ignored, and arguments of the wrong number or kind are refused.
    void Invoke(int32_t dispid, std::vector<kivo::wire::Value>& arguments) override;
    RemoteWebControl& Object();

    std::shared_ptr<RemoteWebControl> object_;
};

}  // namespace gameKivo_Work_TLB
