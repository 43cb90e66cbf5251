#pragma once
// The main process's reference to a worker's object: each member is one synchronous call over
// the connection. Created by ActivateWebControl, which starts a new worker process. A worker
// whose connection dies (it ended, hung, flooded or stopped reading) is ended at once.
#include <functional>
#include <memory>

#include "platform/process.h"
#include "webcontrol/channel.h"
#include "webcontrol/web_control_intf.h"

namespace gameKivo_TLB {

class RemoteWebControl final : public IWebControl {
public:
    RemoteWebControl(std::shared_ptr<kivo::Channel> channel, kivo::ChildProcess process);
    ~RemoteWebControl() override;

    void Navigate(int32_t TabHandle, const std::u16string& Url,
                  const std::u16string& PostData) override;
    int32_t CreateWeb(int32_t TabHandle) override;
    void Set_LoginSite(int32_t TabHandle, const std::u16string& Url) override;
    void LoginWeb(const std::u16string& Name, const std::u16string& Value,
                  int32_t TabHandle) override;
    int32_t Get_WebHandle(int32_t TabHandle) override;
    void WebRefresh(int32_t TabHandle) override;
    void WebForward(int32_t TabHandle) override;
    void WebBack(int32_t TabHandle) override;
    std::u16string Get_WebUrl(int32_t TabHandle) override;
    std::u16string Get_WebTitle(int32_t TabHandle) override;
    void Set_Serverhandle(int32_t Value) override;
    void FreeWeb(int32_t TabHandle) override;
    int32_t Get_WebCount() override;
    void SetFoucseWeb(int32_t TabHandle) override;
    void SetParent(int32_t TabHandle) override;
    void SaveWebToPic(int32_t TabHandle) override;
    void SaveWebToPicSmall(int32_t TabHandle) override;
    void DownloadSaveTo(int32_t DownloadId, const std::u16string& Path) override;
    // The page keys.
    void FindText(int32_t TabHandle, const std::u16string& Text, int32_t Options) override;
    void FindFinish(int32_t TabHandle) override;
    int32_t SetWebZoom(int32_t TabHandle, int32_t Percent) override;
    int32_t Get_WebZoom(int32_t TabHandle) override;

    // Asks for the thumbnail (as SaveWebToPicSmall) without waiting for it: `done` runs later
    // from the main loop, true once the worker has written the file, false when it failed, its
    // connection ended or it did not answer within `timeout`. A worker slow to answer this is
    // not taken for hung; its late answer is dropped.
    void SaveWebToPicSmallAsync(int32_t TabHandle, std::chrono::milliseconds timeout,
                                std::function<void(bool written)> done);

    // Subscribes `receiver` to the object's events; the object takes one subscriber only.
    void Advise(IWebControlEvents* receiver);
    void Unadvise();

    // Sends any member by DISPID, for callers that go by the type library (and for tests).
    std::vector<kivo::wire::Value> Invoke(int32_t dispid, InvokeKind kind,
                                          std::vector<kivo::wire::Value> arguments);

    pid_t WorkerPid() const { return process_.Pid(); }
    bool Alive() const { return channel_->Alive(); }
    const kivo::Channel& Connection() const { return *channel_; }

    // How long the worker may take to answer a member: a moment for those it answers at once,
    // longer for those that wait for the page's own process.
    static std::chrono::milliseconds MemberTimeout(int32_t dispid);

    // Runs from the main loop, soon after any worker's connection died, so that the program can
    // tell the user which pages ended without waiting for its next call to fail. Never runs
    // inside the nested call that found the connection dead.
    static void SetWorkerEndedHandler(std::function<void()> handler);

private:
    kivo::wire::Value Result(int32_t dispid, InvokeKind kind,
                             std::vector<kivo::wire::Value> arguments);
    kivo::wire::Message Request(kivo::wire::Kind kind);
    static std::function<void()>& WorkerEndedHandler();

    std::shared_ptr<kivo::Channel> channel_;
    kivo::ChildProcess process_;
    IWebControlEvents* receiver_ = nullptr;
};

// Starts a new worker process of the registered server and returns its object. Fails with an
// error when the class is not registered or the worker does not announce itself in time.
std::shared_ptr<RemoteWebControl> ActivateWebControl();

// Waits (serving the main loop) until every worker whose object was released has ended, for at
// most `grace`, then ends those that are still running. Used when the program quits.
void EndReleasedWorkers(std::chrono::milliseconds grace);

}  // namespace gameKivo_TLB
