#pragma once
// The worker's end of a connection: turns incoming requests into calls of the served object
// and raises the object's events to its one subscriber.
#include <memory>

#include "webcontrol/channel.h"
#include "webcontrol/web_control_intf.h"

namespace gameKivo_TLB {

// Executes one Invoke request on `object`; checks the member, the invocation kind and the
// number and types of the arguments before anything runs.
kivo::wire::Message InvokeMember(IWebControl& object, const kivo::wire::Message& request);

// The subscriber as the worker sees it: each event is one synchronous call to the main
// process, which returns once the main process has handled it.
class WebControlEventsSender {
public:
    explicit WebControlEventsSender(std::shared_ptr<kivo::Channel> channel)
        : channel_(std::move(channel)) {}

    void ProgressChange(int32_t Progress, int32_t ProgressMax, int32_t TabHandle);
    void StatusTextChange(const std::u16string& Text, int32_t TabHandle);
    void DocumentComplete(bool IsApplication, const std::u16string& Url, int32_t TabHandle);
    // TabHandle comes back as the main process's handler left it.
    void NewTab(int32_t& TabHandle, int32_t WebHandle);
    // The page keys.
    void BrowserKey(int32_t Command, int32_t TabHandle);
    void FindCount(int32_t Count, int32_t TabHandle);
    void PopupBlocked(const std::u16string& Url, int32_t TabHandle);

    // Downloads (see type_library.h).
    void DownloadAsk(int32_t DownloadId, const std::u16string& SuggestedName, int32_t TabHandle);
    void DownloadProgress(int32_t DownloadId, int32_t ReceivedKiB, int32_t ExpectedKiB);
    void DownloadEnded(bool Finished, const std::u16string& Text, int32_t DownloadId);

private:
    std::vector<kivo::wire::Value> Raise(int32_t dispid, std::vector<kivo::wire::Value> arguments);

    std::shared_ptr<kivo::Channel> channel_;
};

// The connection point of an object's events: it accepts exactly one subscriber.
class WebControlEventSource {
public:
    // Throws when the object already has a subscriber.
    void Advise(std::unique_ptr<WebControlEventsSender> subscriber);
    void Unadvise() { subscriber_.reset(); }
    // The current subscriber, or nothing.
    WebControlEventsSender* Subscriber() const { return subscriber_.get(); }

private:
    std::unique_ptr<WebControlEventsSender> subscriber_;
};

// Serves one object on one connection: member calls, and the subscription to its events.
void ServeWebControl(const std::shared_ptr<kivo::Channel>& channel,
                     std::shared_ptr<IWebControl> object, WebControlEventSource& events);

}  // namespace gameKivo_TLB
